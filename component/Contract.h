#pragma once
// What the front end and the blocking component agree on. Portable: no
// Windows header, so both sides and the native tests share one copy.

#include <cstdint>
#include <string_view>

namespace vgwl::contract {

// Main window that receives one WM_COPYDATA per blocked popup.
inline constexpr std::string_view kMainWindowClass = "TVMGWLPreferences";
inline constexpr std::string_view kMainWindowCaption = "Velmora Gatewick Lite";
inline constexpr std::string_view kApplicationTitle = "Velmora Gatewick Lite";

// Single-instance guard, and the title a second copy searches for.
inline constexpr std::string_view kMutexName = "Velmora Gatewick LITEMUTEX";
inline constexpr std::string_view kSecondCopySearchTitle = "Velmora Gatewick LITE";

inline constexpr unsigned kWmCopyData = 74;
inline constexpr unsigned kWmTrayIcon = 2025;

// Registered window message that asks the main window to run Exit; the
// uninstaller sends it. Its parameters carry nothing and are ignored.
inline constexpr std::string_view kExitRequestMessage = "Corvantis.VelmoraGWLite.ExitRequest";

// Settings shared through the registry, under HKEY_LOCAL_MACHINE.
inline constexpr std::string_view kSettingsKey =
    "SOFTWARE\\Corvantis\\VelmoraLite\\Version3\\Settings";
inline constexpr std::string_view kValueBlockingOn = "VGWPBStatus";
inline constexpr std::string_view kValueSoundOn = "SoundNotification";
inline constexpr std::string_view kValueSoundIndex = "SoundIndex";
inline constexpr std::string_view kValueBlinkOn = "AnimTrayIcon";
inline constexpr std::string_view kValueRunning = "GatewickRunning";
inline constexpr std::string_view kValueFirstRun = "VGWPBFirst";
inline constexpr std::string_view kValuePopupCount = "EPWC";
// Raised (wrapping) by the front end after each publish of the white list
// table, so that the browser bridge, which watches the settings key, learns
// of a new list without polling the table.
inline constexpr std::string_view kValueWhiteListSerial = "WhiteListSerial";

// Serialises the read-increment-write of EPWC across every process that
// counts (bridges of several browsers, vgwlblock). An abandoned mutex counts
// as acquired.
inline constexpr std::string_view kPopupCountMutex = "Corvantis.VelmoraGWLite.PopupCount";

// The browser bridge: native messaging host name, its manifest beside it,
// and the extension that may talk to it.
inline constexpr std::string_view kNativeHostName = "com.corvantis.velmora_gatewick_lite";
inline constexpr std::string_view kBridgeFileName = "vgwlhost.exe";
inline constexpr std::string_view kBridgeManifestFileName = "vgwlhost.json";
inline constexpr std::string_view kExtensionId = "hocjjooaehcbbheljilpafidamikncan";
// Firefox names the extension by its add-on ID, in a manifest of its own
// ("allowed_extensions" where Chromium has "allowed_origins").
inline constexpr std::string_view kFirefoxBridgeManifestFileName = "vgwlhost-firefox.json";
inline constexpr std::string_view kFirefoxExtensionId = "velmora-gatewick-lite@corvantis.com";

// The component library beside the program, and its registration export.
inline constexpr std::string_view kComponentFileName = "olvrex.dll";
inline constexpr std::string_view kRegisterExport = "DllRegisterServer";

// Shared white list table.
inline constexpr std::string_view kWhiteListTableName = "VMGWLITE";
inline constexpr std::size_t kWhiteListSlotSize = 64;
inline constexpr std::size_t kWhiteListCountSize = 4;
inline constexpr std::size_t kWhiteListMaxEntryChars = kWhiteListSlotSize - 1;

}  // namespace vgwl::contract
