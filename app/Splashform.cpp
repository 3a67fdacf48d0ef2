#include "app/Splashform.h"

#include "resources/FormDescriptions.h"
#include "resources/ResourceIds.h"
#include "toolkit/Application.h"
#include "toolkit/Picture.h"

namespace vgwl {

TSplashScreen::TSplashScreen(TApplication& app) : TForm(app, kSplashScreenForm) {
    Image1 = &Find<TImage>("Image1");
    Image1->SetPicture(
        LoadPictureResource(app.ModuleInstance(), VGWL_RES_SPLASH_NAME, VGWL_RES_SPLASH_TYPE));
}

void TSplashScreen::ReleasePicture() { Image1->SetPicture({}); }

bool TSplashScreen::HandleMessage(UINT msg, WPARAM, LPARAM, LRESULT& result) {
    // Borderless: there is no frame to paint, and painting none spares the
    // device context the system would otherwise keep for it.
    if (msg == WM_NCPAINT) {
        result = 0;
        return true;
    }
    return false;
}

}  // namespace vgwl
