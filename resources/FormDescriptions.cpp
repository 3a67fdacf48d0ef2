#include "resources/FormDescriptions.h"

#include "component/Contract.h"
#include "resources/ProductInfo.h"
#include "resources/ResourceIds.h"

#include <array>
#include <string_view>

namespace vgwl {
namespace {

// The tables keep one control per entry, laid out by hand for reading.
// clang-format off

using K = ControlKind;
using namespace opt;

// -------------------------------------------------------------- splash

constexpr ControlDesc kSplashControls[] = {
    {.name = "Image1", .kind = K::Image, .width = 411, .height = 309, .options = kAlignClient},
};

// -------------------------------------------------------------- main window

constexpr FontDesc kTitleFont{.face = "Impact", .heightPx = 24};

constexpr std::string_view kSupportLink =
    "mailto:support@velmora-gatewick.com?subject=Velmora Gatewick Lite ver 3 - New support ticket";
constexpr std::string_view kMailingListLink =
    "mailto:news@velmora-gatewick.com?subject=Join Corvantis Inc. mailing list";
constexpr std::string_view kWebSiteLink = "http://www.velmora-gatewick.com";

constexpr ControlDesc kPreferencesControls[] = {
    // Top level.
    {.name = "RzPageControl1", .kind = K::PageControl, .left = 6, .top = 7, .width = 403,
     .height = 287, .tabOrder = 0, .tabWidth = 138, .tabHeight = 19},
    {.name = "RzBorder1", .kind = K::Border, .left = 7, .top = 300, .width = 398, .height = 5},
    {.name = "Label1", .kind = K::Label, .left = 29, .top = 308, .width = 333, .height = 26,
     .caption = "Upgrade now to Velmora Ostrand and get many advanced features over Velmora "
                "Gatewick Lite. Click the link below to find out more!",
     .options = kCentered | kWordWrap},
    {.name = "RzURLLabel3", .kind = K::UrlLabel, .left = 67, .top = 342, .width = 266,
     .height = 13, .caption = "Click here to find out more and protect your privacy now!",
     .tabOrder = 1},

    // Page 1: preferences.
    {.name = "TabSheet1", .kind = K::TabSheet, .parent = "RzPageControl1",
     .caption = "Prefrences", .tabOrder = 0},
    {.name = "RzCheckBox1", .kind = K::CheckBox, .parent = "TabSheet1", .left = 16, .top = 25,
     .width = 260, .height = 17, .caption = "Enable popup blocking", .tabOrder = 0},
    {.name = "RzCheckBox2", .kind = K::CheckBox, .parent = "TabSheet1", .left = 16, .top = 53,
     .width = 260, .height = 17, .caption = "Start Velmora Gatewick Lite when windows start",
     .tabOrder = 1},
    {.name = "RzCheckBox3", .kind = K::CheckBox, .parent = "TabSheet1", .left = 16, .top = 80,
     .width = 303, .height = 17,
     .caption = "Animate system tray icon when a popup window is blocked", .tabOrder = 3},
    {.name = "RzCheckBox4", .kind = K::CheckBox, .parent = "TabSheet1", .left = 16, .top = 108,
     .width = 294, .height = 17, .caption = "Play a sound when a popup window is blocked",
     .tabOrder = 4},
    {.name = "RzGroupBox1", .kind = K::GroupBox, .parent = "TabSheet1", .left = 15, .top = 142,
     .width = 367, .height = 52, .caption = "Sound to play", .tabOrder = 2},
    {.name = "RzButtonEdit1", .kind = K::ButtonEdit, .parent = "RzGroupBox1", .left = 11,
     .top = 21, .width = 273, .height = 21, .hint = "Sound to play", .tabOrder = 0},
    {.name = "RzBitBtn1", .kind = K::BitBtn, .parent = "RzGroupBox1", .left = 285, .top = 21,
     .width = 27, .height = 21, .hint = "Test sound", .tabOrder = 1, .options = kHotTrack,
     .glyph = IDB_GLYPH_PLAY, .glyphDisabled = IDB_GLYPH_PLAY_DISABLED},
    {.name = "RzPanel2", .kind = K::Panel, .parent = "TabSheet1", .left = 15, .top = 209,
     .width = 367, .height = 41, .options = kBorderRounded},
    {.name = "Label3", .kind = K::Label, .parent = "RzPanel2", .left = 35, .top = 15,
     .caption = "Number of eliminated popup windows", .options = kAutoSize},
    {.name = "Label4", .kind = K::Label, .parent = "RzPanel2", .left = 260, .top = 15,
     .caption = "0000000000", .hint = "Number of eliminated popup windows",
     .options = kAutoSize},

    // Page 2: white list.
    {.name = "TabSheet2", .kind = K::TabSheet, .parent = "RzPageControl1",
     .caption = "White List", .tabOrder = 1},
    {.name = "RzPanel1", .kind = K::Panel, .parent = "TabSheet2", .left = 4, .top = 5,
     .width = 390, .height = 193, .tabOrder = 0, .options = kBorderBold},
    {.name = "ListView1", .kind = K::ListView, .parent = "RzPanel1", .tabOrder = 0,
     .options = kAlignClient | kNoBorder | kGridLines | kMultiSelect | kRowSelect | kHandPoint |
                kEditLabels},
    {.name = "ListView1Column1", .kind = K::ListColumn, .parent = "ListView1", .width = 390,
     .caption = "URL"},
    {.name = "Label2", .kind = K::Label, .parent = "TabSheet2", .left = 6, .top = 207,
     .caption = "URL", .options = kAutoSize},
    {.name = "RzEdit1", .kind = K::Edit, .parent = "TabSheet2", .left = 31, .top = 203,
     .width = 333, .height = 21, .tabOrder = 3},
    {.name = "RzBitBtn2", .kind = K::BitBtn, .parent = "TabSheet2", .left = 364, .top = 201,
     .width = 30, .height = 25, .hint = "Add", .tabOrder = 1, .options = kHotTrack,
     .glyph = IDB_GLYPH_PLUS, .glyphDisabled = IDB_GLYPH_PLUS_DISABLED},
    {.name = "RzBorder2", .kind = K::Border, .parent = "TabSheet2", .left = 5, .top = 230,
     .width = 389, .height = 5},
    {.name = "RzBitBtn4", .kind = K::BitBtn, .parent = "TabSheet2", .left = 304, .top = 235,
     .width = 90, .height = 25, .caption = "Save", .tabOrder = 2, .options = kHotTrack,
     .glyph = IDB_GLYPH_DISK, .glyphDisabled = IDB_GLYPH_DISK_DISABLED},

    // Page 3: about.
    {.name = "TabSheet3", .kind = K::TabSheet, .parent = "RzPageControl1", .caption = "About",
     .tabOrder = 2},
    {.name = "RzLabel1", .kind = K::Label, .parent = "TabSheet3", .left = 81, .top = 60,
     .width = 233, .height = 29, .caption = "Velmora Gatewick Lite", .options = kRaised,
     .font = &kTitleFont, .textColor = 0x000000},
    {.name = "RzLabel2", .kind = K::Label, .parent = "TabSheet3", .left = 49, .top = 102,
     .caption = product::kLegalNotice, .options = kAutoSize},
    {.name = "RzLabel3", .kind = K::Label, .parent = "TabSheet3", .left = 114, .top = 142,
     .caption = "Support", .options = kAutoSize},
    {.name = "RzURLLabel1", .kind = K::UrlLabel, .parent = "TabSheet3", .left = 161, .top = 142,
     .caption = product::kSupportEmail, .tabOrder = 0, .link = kSupportLink},
    {.name = "RzLabel4", .kind = K::Label, .parent = "TabSheet3", .left = 114, .top = 166,
     .caption = "Website", .options = kAutoSize},
    // No link of its own; clicking it opens the site its caption names.
    {.name = "RzURLLabel2", .kind = K::UrlLabel, .parent = "TabSheet3", .left = 170, .top = 166,
     .caption = product::kWebHost, .tabOrder = 1, .link = kWebSiteLink},
    {.name = "RzLabel5", .kind = K::Label, .parent = "TabSheet3", .left = 36, .top = 218,
     .caption = "Keep informed about updates for Velmora Gatewick Lite!", .options = kAutoSize},
    {.name = "RzURLLabel4", .kind = K::UrlLabel, .parent = "TabSheet3", .left = 315, .top = 218,
     .caption = "Click here", .tabOrder = 2, .link = kMailingListLink},
};

// -------------------------------------------------------------- sound dialog

constexpr std::string_view kSoundNames[] = {
    "Sound Notification 1", "Sound Notification 2", "Sound Notification 3",
    "Sound Notification 4", "Sound Notification 5",
};

constexpr ControlDesc kSelectSoundControls[] = {
    {.name = "RzPanel1", .kind = K::Panel, .left = 7, .top = 8, .width = 237, .height = 112,
     .tabOrder = 0, .options = kBorderBold},
    {.name = "CoolListBox1", .kind = K::ListBox, .parent = "RzPanel1", .tabOrder = 0,
     .options = kAlignClient | kNoBorder, .items = kSoundNames, .itemHeight = 20},
    {.name = "RzBitBtn1", .kind = K::BitBtn, .left = 56, .top = 128, .width = 140, .height = 25,
     .caption = "Select", .tabOrder = 1, .options = kHotTrack, .glyph = IDB_GLYPH_CHECK,
     .glyphDisabled = IDB_GLYPH_CHECK_DISABLED},
};

// -------------------------------------------------------------- tray menu

constexpr MenuItemDesc kTrayMenuItems[] = {
    {"Preferences1", "&Preferences", ""},
    {"N2", "-", ""},
    {"EnablePopUpBlocker1", "&Enable Popup Blocking", ""},
    {"Playsoundnotificationwhenapopupblocked1", "Play a sound when a popup window is blocked", ""},
    {"AnimatetrayIconWhenPopUpBlocked1", "Animate system tray icon when a popup window is blocked",
     ""},
    {"N1", "-", ""},
    {"Help1", "&Help", ""},
    {"ContentsandTopics1", "&Contents and Topics", "Help1"},
    {"N6", "-", "Help1"},
    {"OnlineSupport1", "&Online Support", "Help1"},
    {"N7", "-", "Help1"},
    {"OnlineFAQs1", "Online &FAQ", "Help1"},
    {"N3", "-", "Help1"},
    {"SubmitSupportTicketOnline1", "Submit Support Ticket Online", "Help1"},
    {"N10", "-", ""},
    // The trailing blank is part of the caption.
    {"UpgradeToSentrel1", "Upgrade NOW to Velmora Ostrand complete privacy solution ", ""},
    {"N11", "-", ""},
    {"ExitPopUpBlocker1", "Exit", ""},
};

// clang-format on

}  // namespace

const std::span<const MenuItemDesc> kTrayMenu = kTrayMenuItems;

const FormDesc kSplashScreenForm{
    .className = "TSplashScreen",
    .caption = "Splash",
    .clientWidth = 411,
    .clientHeight = 309,
    .border = FormBorder::None,
    .controls = kSplashControls,
};

// The blocking component finds the main window by these names.
const FormDesc kPreferencesForm{
    .className = contract::kMainWindowClass,
    .caption = contract::kMainWindowCaption,
    .clientWidth = 415,
    .clientHeight = 363,
    .border = FormBorder::Single,
    .keyPreview = true,
    .controls = kPreferencesControls,
};

const FormDesc kSelectSoundForm{
    .className = "TSelectSound",
    .caption = "Select Sound",
    .clientWidth = 251,
    .clientHeight = 162,
    .border = FormBorder::Single,
    .keyPreview = true,
    .controls = kSelectSoundControls,
};

}  // namespace vgwl
