#pragma once
// The white list editor's own state: which captions the list view holds, as
// a multiset kept in step with the view, so that the duplicate test costs
// one hash look-up instead of a scan of every caption. The view stays the
// working copy; this class knows no window. Portable: no Windows header.

#include "whitelist/DroppedLink.h"
#include "whitelist/WhiteListEntry.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vgwl {

class WhiteListEditor {
public:
    // True when no listed caption equals `text`: the same length and the
    // same bytes, case-sensitive, no trimming.
    [[nodiscard]] bool IsNew(std::string_view text) const;
    // Why `text` cannot be added: the entry rule first, then the duplicate
    // test; None when it can.
    [[nodiscard]] EntryRefusal CheckAdd(std::string_view text) const;
    // Why the caption `from` cannot be edited into `to`; an edit that
    // changes nothing is no duplicate of itself.
    [[nodiscard]] EntryRefusal CheckEdit(std::string_view from, std::string_view to) const;
    // The entries that a drop of these links appends, in order: each link
    // as DroppedLinkEntry makes it, passing over links that give no entry,
    // entries already listed and entries an earlier link of the drop gave.
    [[nodiscard]] std::vector<std::string> DropEntries(const std::vector<std::u16string>& links,
                                                       const AnsiEncoder& toAnsi) const;

    // The view changed: keep in step.
    void Added(std::string_view caption);
    void Removed(std::string_view caption);
    void Changed(std::string_view from, std::string_view to);
    void Cleared() noexcept;
    // Number of captions held, duplicates included.
    [[nodiscard]] std::size_t Count() const noexcept { return count_; }

private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const noexcept {
            return std::hash<std::string_view>{}(text);
        }
    };
    std::unordered_map<std::string, std::size_t, Hash, std::equal_to<>> captions_;
    std::size_t count_ = 0;
};

}  // namespace vgwl
