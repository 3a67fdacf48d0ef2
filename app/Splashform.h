#pragma once
// TSplashScreen: the borderless picture shown while the program starts.

#include "toolkit/Form.h"

namespace vgwl {

class TSplashScreen : public TForm {
public:
    explicit TSplashScreen(TApplication& app);
    // The picture is needed only while the splash is up.
    void ReleasePicture();

    TImage* Image1 = nullptr;

protected:
    bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};

}  // namespace vgwl
