#include "whitelist/WhiteListEntry.h"

namespace vgwl {

EntryRefusal CheckWhiteListEntry(std::string_view entry) noexcept {
    if (entry.empty()) {
        return EntryRefusal::Empty;
    }
    // White space first: a blank is the likelier mistake, and its reason is
    // the one the user can act on.
    bool control = false;
    for (const char ch : entry) {
        const auto c = static_cast<unsigned char>(ch);
        if (IsEntrySeparator(c)) {
            return EntryRefusal::WhiteSpace;
        }
        control = control || IsControlCharacter(c);
    }
    if (control) {
        return EntryRefusal::ControlCharacter;
    }
    if (entry.size() > kMaxWhiteListEntryChars) {
        return EntryRefusal::TooLong;
    }
    return EntryRefusal::None;
}

std::string EntryRefusalText(EntryRefusal refusal) {
    switch (refusal) {
        case EntryRefusal::None:
            return {};
        case EntryRefusal::Empty:
            return "Type a web address to add to the white list.";
        case EntryRefusal::WhiteSpace:
            return "A white list entry cannot hold blanks, tabs or line breaks.";
        case EntryRefusal::ControlCharacter:
            return "A white list entry cannot hold control characters.";
        case EntryRefusal::TooLong:
            return "A white list entry can be at most " + std::to_string(kMaxWhiteListEntryChars) +
                   " characters long. Shorten it to the site's name, for example "
                   "www.example.com.";
        case EntryRefusal::Duplicate:
            return "This address is already in the white list.";
        case EntryRefusal::NotConvertible:
            return "This address holds characters that cannot be written as a web address. "
                   "Check it for stray characters.";
    }
    return {};
}

}  // namespace vgwl
