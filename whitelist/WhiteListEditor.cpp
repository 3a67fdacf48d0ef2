#include "whitelist/WhiteListEditor.h"

#include <unordered_set>

namespace vgwl {

bool WhiteListEditor::IsNew(std::string_view text) const { return !captions_.contains(text); }

EntryRefusal WhiteListEditor::CheckAdd(std::string_view text) const {
    const EntryRefusal refusal = CheckWhiteListEntry(text);
    if (refusal != EntryRefusal::None) {
        return refusal;
    }
    return IsNew(text) ? EntryRefusal::None : EntryRefusal::Duplicate;
}

EntryRefusal WhiteListEditor::CheckEdit(std::string_view from, std::string_view to) const {
    const EntryRefusal refusal = CheckWhiteListEntry(to);
    if (refusal != EntryRefusal::None || from == to) {
        return refusal;
    }
    return IsNew(to) ? EntryRefusal::None : EntryRefusal::Duplicate;
}

std::vector<std::string> WhiteListEditor::DropEntries(const std::vector<std::u16string>& links,
                                                      const AnsiEncoder& toAnsi) const {
    std::vector<std::string> entries;
    // What this drop has taken so far: a later copy is passed over, as the
    // view's own test would once the first copy stands in it.
    std::unordered_set<std::string, Hash, std::equal_to<>> taken;
    for (const std::u16string& link : links) {
        std::optional<std::string> entry = DroppedLinkEntry(link, toAnsi);
        if (entry && IsNew(*entry) && taken.insert(*entry).second) {
            entries.push_back(std::move(*entry));
        }
    }
    return entries;
}

void WhiteListEditor::Added(std::string_view caption) {
    auto it = captions_.find(caption);
    if (it == captions_.end()) {
        captions_.emplace(std::string(caption), 1);
    } else {
        ++it->second;
    }
    rows_.emplace_back(caption);
}

void WhiteListEditor::Forget(std::string_view caption) {
    auto it = captions_.find(caption);
    if (it != captions_.end() && --it->second == 0) {
        captions_.erase(it);
    }
}

void WhiteListEditor::RemovedAt(std::size_t index) {
    if (index >= rows_.size()) {
        return;
    }
    Forget(rows_[index]);
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(index));
}

void WhiteListEditor::ChangedAt(std::size_t index, std::string_view caption) {
    if (index >= rows_.size()) {
        return;
    }
    Forget(rows_[index]);
    auto it = captions_.find(caption);
    if (it == captions_.end()) {
        captions_.emplace(std::string(caption), 1);
    } else {
        ++it->second;
    }
    rows_[index] = std::string(caption);
}

void WhiteListEditor::Cleared() noexcept {
    rows_.clear();
    captions_.clear();
}

}  // namespace vgwl
