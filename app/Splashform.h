#pragma once
// TSplashScreen: the borderless picture shown while the program starts.

#include "toolkit/Form.h"

namespace vgwl {

class TSplashScreen : public TForm {
public:
    explicit TSplashScreen(TApplication& app);

    TImage* Image1 = nullptr;
};

}  // namespace vgwl
