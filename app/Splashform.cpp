#include "app/Splashform.h"

#include "resources/FormDescriptions.h"
#include "resources/ResourceIds.h"
#include "toolkit/Application.h"
#include "toolkit/Picture.h"

#include <cstdlib>
#include <utility>

namespace vgwl {

TSplashScreen::TSplashScreen(TApplication& app) : TForm(app, kSplashScreenForm) {
    Image1 = &Find<TImage>("Image1");
    UniqueGdiObject picture =
        LoadPictureResource(app.ModuleInstance(), VGWL_RES_SPLASH_NAME, VGWL_RES_SPLASH_TYPE);
    // Above 96 DPI the window is larger than the picture: the picture is
    // resampled to fill it rather than left in the middle of a grey border.
    RECT area{};
    GetClientRect(Image1->Handle(), &area);
    BITMAP bm{};
    if (picture && GetObjectA(picture.get(), sizeof(bm), &bm) &&
        (bm.bmWidth != area.right || std::abs(bm.bmHeight) != area.bottom)) {
        if (UniqueGdiObject scaled =
                ScalePicture(static_cast<HBITMAP>(picture.get()), area.right, area.bottom)) {
            picture = std::move(scaled);
        }
    }
    Image1->SetPicture(std::move(picture));
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
