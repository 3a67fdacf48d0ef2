#pragma once
// Registration of the browser bridge as the native messaging host of the
// Chromium-family browsers: one key per browser, whose default value is the
// full path of the bridge's manifest beside this library.

#include <windows.h>

namespace vgwl::olvrex {

HRESULT RegisterBridge();
HRESULT UnregisterBridge();

}  // namespace vgwl::olvrex
