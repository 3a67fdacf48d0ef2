// Blocked-popup notification, the sound box and the sound test.
#include "ui/Settings.h"

#include "toolkit/Application.h"
#include "ui/Unit1.h"

namespace vgwl {

LRESULT TVMGWLPreferences::PopupBlockedMessage(WPARAM, LPARAM) {
    // Every message is one blocked popup, whoever sent it and whatever its
    // record holds; the record is never read. The check boxes are the live
    // copy of the switches.
    notification_.React(RzCheckBox4->Checked(), SoundIndex, RzCheckBox3->Checked());
    return 0;
}

void TVMGWLPreferences::RzButtonEdit1ButtonClick() {
    if (selectSound_) {
        (void)selectSound_->ShowModal();  // the dialog stores the choice itself
    }
}

void TVMGWLPreferences::RzButtonEdit1KeyPress(char& key) {
    // The box only shows the choice: no typed character reaches it, control
    // characters for Backspace, cut and paste included.
    key = 0;
}

void TVMGWLPreferences::RzBitBtn1Click() {
    if (RzButtonEdit1->Text().empty()) {
        return;
    }
    if (!notification_.PlayTest(SoundIndex)) {
        Application().MessageDialog(MessageDialogType::Error, "Sound file missing", Handle());
    }
}

}  // namespace vgwl
