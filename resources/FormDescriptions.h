#pragma once
// Descriptions of the program's forms. Portable data: the layout can be read
// and checked without Windows.

#include "toolkit/FormDescription.h"

#include <span>

namespace vgwl {

extern const FormDesc kSplashScreenForm;  // TSplashScreen
extern const FormDesc kPreferencesForm;   // TVMGWLPreferences
extern const FormDesc kSelectSoundForm;   // TSelectSound

// The tray icon's pop-up menu, TrayMenu.
extern const std::span<const MenuItemDesc> kTrayMenu;

// The shared colours of every picture button.
inline constexpr ButtonColors kPictureButtonColors{15791348, 16026986, 3983359};

}  // namespace vgwl
