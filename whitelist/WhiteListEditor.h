#pragma once
// The white list editor's own state: the rows of the list view in order, and
// a multiset of them, both kept in step with the view. The duplicate test
// then costs one hash look-up instead of a scan of every caption, and a save
// takes the rows without asking the view for each one. This class knows no
// window. Portable: no Windows header.

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

    // The view changed: keep in step. Rows are appended at the end, and
    // removed or changed by their index; an index out of range changes
    // nothing.
    void Added(std::string_view caption);
    void RemovedAt(std::size_t index);
    void ChangedAt(std::size_t index, std::string_view caption);
    void Cleared() noexcept;
    // The rows, in the view's order, duplicates included.
    [[nodiscard]] const std::vector<std::string>& Rows() const noexcept { return rows_; }
    [[nodiscard]] std::size_t Count() const noexcept { return rows_.size(); }

private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const noexcept {
            return std::hash<std::string_view>{}(text);
        }
    };
    void Forget(std::string_view caption);

    std::vector<std::string> rows_;
    std::unordered_map<std::string, std::size_t, Hash, std::equal_to<>> captions_;
};

}  // namespace vgwl
