#pragma once
// Declarative descriptions of forms and their controls: the layout as data,
// kept apart from behaviour. Positions and sizes are pixels at 96 DPI,
// relative to the parent's client area; the toolkit scales them.

#include <cstdint>
#include <span>
#include <string_view>

namespace vgwl {

enum class ControlKind {
    Label,        // STATIC
    UrlLabel,     // SysLink: opens its link when clicked
    CheckBox,     // BUTTON, auto check box
    Edit,         // EDIT
    ButtonEdit,   // EDIT with a flat BUTTON inside its right edge
    BitBtn,       // BUTTON, owner-drawn with a glyph (picture button)
    PageControl,  // SysTabControl32
    TabSheet,     // page of a page control (container)
    Panel,        // container with an optional border
    GroupBox,     // container with a BUTTON group box frame and caption
    Border,       // STATIC separator line
    ListView,     // SysListView32, report view
    ListColumn,   // a column of the list view named as parent
    ListBox,      // LISTBOX, owner-drawn fixed items
    Image,        // STATIC picture
};

// Option flags of a control description.
namespace opt {
inline constexpr std::uint32_t kNone = 0;
inline constexpr std::uint32_t kAlignClient = 1u << 0;    // fill the parent's client area
inline constexpr std::uint32_t kCentered = 1u << 1;       // centred text
inline constexpr std::uint32_t kWordWrap = 1u << 2;       // wrapped text
inline constexpr std::uint32_t kBorderBold = 1u << 3;     // flat bold border (panels)
inline constexpr std::uint32_t kBorderRounded = 1u << 4;  // flat rounded border (panels)
inline constexpr std::uint32_t kNoBorder = 1u << 5;       // no border of its own
inline constexpr std::uint32_t kGridLines = 1u << 6;      // list view grid lines
inline constexpr std::uint32_t kMultiSelect = 1u << 7;    // several rows selectable
inline constexpr std::uint32_t kRowSelect = 1u << 8;      // whole-row selection
inline constexpr std::uint32_t kHandPoint = 1u << 9;      // hand pointer over items
inline constexpr std::uint32_t kEditLabels = 1u << 10;    // captions editable in place
inline constexpr std::uint32_t kHotTrack = 1u << 11;      // picture buttons: hot tracking
inline constexpr std::uint32_t kRaised = 1u << 12;        // raised text (labels): lit from top left
inline constexpr std::uint32_t kAutoSize = 1u << 13;      // label sized to its text
}  // namespace opt

struct FontDesc {
    std::string_view face = "MS Sans Serif";
    int heightPx = 11;  // character height in pixels at 96 DPI
    bool bold = false;
    bool underline = false;
};

inline constexpr std::uint32_t kDefaultColor = 0xFFFFFFFFu;

struct ControlDesc {
    std::string_view name;
    ControlKind kind = ControlKind::Label;
    std::string_view parent;  // empty: the form itself
    int left = 0;
    int top = 0;
    int width = 0;  // 0 with kAutoSize: measured from the caption
    int height = 0;
    std::string_view caption;
    std::string_view hint;
    int tabOrder = -1;  // order among siblings; -1: not a tab stop
    std::uint32_t options = opt::kNone;
    const FontDesc* font = nullptr;           // null: the form's font
    std::uint32_t textColor = kDefaultColor;  // 0x00BBGGRR
    int glyph = 0;                            // bitmap resource of a picture button
    int glyphDisabled = 0;                    // its grey image
    std::string_view link;                    // link labels: what the shell opens
    std::span<const std::string_view> items;  // list boxes: the items
    int itemHeight = 0;                       // list boxes
    int tabWidth = 0;                         // page controls: tab size
    int tabHeight = 0;
};

enum class FormBorder { Single, None };

struct FormDesc {
    std::string_view className;  // the window class, after the form class
    std::string_view caption;
    int clientWidth = 0;
    int clientHeight = 0;
    FormBorder border = FormBorder::Single;
    bool keyPreview = false;
    FontDesc font;
    std::span<const ControlDesc> controls;
};

struct MenuItemDesc {
    std::string_view name;
    std::string_view caption;  // "-" is a separator line; "&" marks the access key
    std::string_view parent;   // empty: the top level; otherwise the submenu's item
};

// Colours of the hot-tracked picture buttons (0x00BBGGRR).
struct ButtonColors {
    std::uint32_t face = 0;
    std::uint32_t highlight = 0;
    std::uint32_t hotTrack = 0;
};

}  // namespace vgwl
