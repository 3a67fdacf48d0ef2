// The White List page: the working copy of the white list in ListView1, its
// entry box, the drop target, and Save. The rules live in whitelist/: what an
// entry may be, the duplicate index, the file and the table.
#include "ui/Settings.h"

#include "toolkit/AnsiText.h"
#include "toolkit/Application.h"
#include "toolkit/FilePaths.h"
#include "toolkit/WindowText.h"
#include "whitelist/WhiteListFile.h"
#include "whitelist/WhiteListSave.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vgwl {

namespace {

constexpr char kNotAddedTitle[] = "Not added";
constexpr char kNotChangedTitle[] = "Not changed";
constexpr char kSaveFailed[] = "The white list could not be saved.";

std::string Count(std::size_t n) { return std::to_string(n); }

// What the user is told once the list holds more than the table takes.
std::string BeyondTableText(std::size_t listed) {
    return "The white list holds " + Count(listed) +
           " entries, but the blocking component sees "
           "only the first " +
           Count(WhiteListPublisher::kMaxPublishedEntries) +
           " of them: the entries after those let no popup through.";
}

// The entry for typed text, or why there is none.
std::pair<std::string, EntryRefusal> TypedText(const std::u16string& typed) {
    std::optional<std::string> entry = TypedEntry(typed, &ExactAnsi);
    if (!entry) {
        return {std::string(), EntryRefusal::NotConvertible};
    }
    return {std::move(*entry), EntryRefusal::None};
}

}  // namespace

void TVMGWLPreferences::WireWhiteList() {
    RzEdit1->OnKeyPress = [this](char& key) { RzEdit1KeyPress(key); };
    RzBitBtn2->OnClick = [this] { RzBitBtn2Click(); };
    RzBitBtn4->OnClick = [this] { RzBitBtn4Click(); };
    ListView1->OnKeyDown = [this](WORD key) { ListView1KeyDown(key); };
    ListView1->OnEndLabelEdit = [this](int index, const std::u16string& text) {
        return ListView1EndEdit(index, text);
    };
    DMTextTarget1.OnDrop = [this](const std::vector<std::u16string>&) { DMTextTarget1Drop(); };
}

void TVMGWLPreferences::RegisterDropTarget() {
    // Without OLE on this thread the list simply takes no drops.
    if (!DMTextTarget1.Registered() && Application().EnsureOle()) {
        (void)DMTextTarget1.Register(ListView1->Handle());
    }
}

std::string TVMGWLPreferences::WhiteListPath() const {
    return ExtractFilePath(services_.programPath) + kWhiteListFileName;
}

bool TVMGWLPreferences::IsNewWhiteListEntry(const std::string& text) const {
    return whiteList_.IsNew(text);
}

void TVMGWLPreferences::RzEdit1KeyPress(char& key) {
    if (key == '\r') {
        AddWhiteListEntry();
    }
}

void TVMGWLPreferences::RzBitBtn2Click() { AddWhiteListEntry(); }

void TVMGWLPreferences::AddWhiteListEntry() {
    // Read as typed: the ANSI copy of the box may hold look-alike letters.
    auto [text, refusal] = TypedText(WindowTextUtf16(RzEdit1->Handle()));
    if (refusal == EntryRefusal::None) {
        refusal = whiteList_.CheckAdd(text);
    }
    if (refusal != EntryRefusal::None) {
        // The text stays in the box for the user to mend.
        RzEdit1->ShowBalloonTip(kNotAddedTitle, EntryRefusalText(refusal));
        return;
    }
    ListView1->BeginUpdate();
    ListView1->Add(text);
    whiteList_.Added(text);
    ListView1->EndUpdate();
    RzEdit1->HideBalloonTip();
    RzEdit1->SetText("");
    WarnBeyondTable(1);
}

void TVMGWLPreferences::WarnBeyondTable(std::size_t added) {
    const std::size_t limit = WhiteListPublisher::kMaxPublishedEntries;
    // Once when the list grows past the table's limit, not at every entry.
    if (added != 0 && whiteList_.Count() > limit && whiteList_.Count() - added <= limit) {
        Application().MessageDialog(MessageDialogType::Warning,
                                    BeyondTableText(whiteList_.Count()));
    }
}

void TVMGWLPreferences::ListView1KeyDown(WORD key) {
    // Any modifier with Delete does the same.
    if (key != VK_DELETE || ListView1->SelectedCount() == 0) {
        return;
    }
    ListView1->BeginUpdate();
    for (int index = ListView1->FirstSelected(); index >= 0; index = ListView1->FirstSelected()) {
        whiteList_.RemovedAt(static_cast<std::size_t>(index));
        ListView1->Delete(index);
    }
    ListView1->EndUpdate();
}

bool TVMGWLPreferences::ListView1EndEdit(int index, const std::u16string& typed) {
    const std::string before = ListView1->Caption(index);
    auto [text, refusal] = TypedText(typed);
    if (refusal == EntryRefusal::None) {
        refusal = whiteList_.CheckEdit(before, text);
    }
    if (refusal != EntryRefusal::None) {
        ListView1->ShowBalloonTip(index, kNotChangedTitle, EntryRefusalText(refusal));
        return false;
    }
    // The caption is set here, not by the list: its own copy of the text has
    // been through a best-fit conversion.
    whiteList_.ChangedAt(static_cast<std::size_t>(index), text);
    ListView1->SetCaption(index, text);
    return false;
}

void TVMGWLPreferences::DMTextTarget1Drop() {
    // Each link tested against the rows and the links before it; links that
    // make no entry are passed over.
    const std::vector<std::string> entries =
        whiteList_.DropEntries(DMTextTarget1.DroppedLines(), &ExactAnsi);
    if (entries.empty()) {
        return;
    }
    ListView1->BeginUpdate();
    for (const std::string& entry : entries) {
        ListView1->Add(entry);
        whiteList_.Added(entry);
    }
    ListView1->EndUpdate();
    WarnBeyondTable(entries.size());
}

void TVMGWLPreferences::LoadWhiteListView() {
    const auto content = ReadSavedWhiteList(WhiteListPath());
    if (!content || !content->hasCount) {
        return;  // nothing saved yet, or not a white list: the view keeps its rows
    }
    // One update for the whole list: a redraw per row would cost more than
    // the rows themselves.
    ListView1->BeginUpdate();
    ListView1->Clear();
    whiteList_.Cleared();
    ListView1->Reserve(static_cast<int>(content->entries.size()));
    // No duplicate test: an entry listed twice is shown twice.
    for (const std::string& entry : content->entries) {
        ListView1->Add(entry);
        whiteList_.Added(entry);
    }
    ListView1->EndUpdate();
    if (whiteList_.Count() > WhiteListPublisher::kMaxPublishedEntries) {
        Application().MessageDialog(MessageDialogType::Warning,
                                    BeyondTableText(whiteList_.Count()));
    }
}

void TVMGWLPreferences::RzBitBtn4Click() {
    // The editor holds the rows in step with the view; should anything have
    // changed the view behind its back, the view's own captions count.
    const std::vector<std::string>* entries = &whiteList_.Rows();
    std::vector<std::string> captions;
    if (entries->size() != static_cast<std::size_t>(ListView1->Count())) {
        for (int i = 0; i < ListView1->Count(); ++i) {
            captions.push_back(ListView1->Caption(i));
        }
        entries = &captions;
    }
    // The whole file at once, through the companion file: a save that fails
    // or is stopped leaves the saved list as it was, or the new one whole.
    const WhiteListSaveResult saved =
        SaveWhiteListFile(WhiteListPath(), WhiteListFileBytes(*entries));
    if (!saved.saved) {
        ShowError(std::string(kSaveFailed) + "\n\n" + saved.reason);
        return;
    }
    // The table gets what the file now holds, as the reading rule gives it
    // back: the entries just written.
    const WhiteListPublication& published = publisher_.PublishEntries(*entries);
    if (published.published) {
        AnnounceWhiteList();
    }
    if (!published.published) {
        Application().MessageDialog(
            MessageDialogType::Warning,
            "The white list was saved, but the blocking component could not be given it: it "
            "keeps the list it had until Velmora Gatewick Lite is started again.");
    } else if (published.listed > WhiteListPublisher::kMaxPublishedEntries &&
               published.inTable == WhiteListPublisher::kMaxPublishedEntries) {
        Application().MessageDialog(
            MessageDialogType::Warning,
            "The white list was saved. " + BeyondTableText(published.listed));
    } else if (published.inTable < published.listed) {
        Application().MessageDialog(
            MessageDialogType::Warning,
            "The white list was saved, but the blocking component sees only the first " +
                std::to_string(published.inTable) + " of its " + std::to_string(published.listed) +
                " entries: another program holds the white list table open, so it cannot grow. "
                "Close your web browsers and press Save again.");
    }
}

void TVMGWLPreferences::AppendWhiteListLine(const std::string& text, const std::string& path,
                                            bool isText, std::int32_t number) {
    AppendWhiteListFileLine(path, WhiteListLine(text, isText, number));
}

}  // namespace vgwl
