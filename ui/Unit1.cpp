#include "ui/Unit1.h"

#include "resources/FormDescriptions.h"
#include "resources/ResourceIds.h"
#include "toolkit/Application.h"
#include "settings/SettingsStore.h"
#include "ui/Settings.h"

namespace vgwl {

TSelectSound::TSelectSound(TApplication& app, TVMGWLPreferences& preferences)
    : TForm(app, kSelectSoundForm), preferences_(preferences) {
    CoolListBox1 = &Find<TListBox>("CoolListBox1");
    RzBitBtn1 = &Find<TBitBtn>("RzBitBtn1");
    RzBitBtn1->SetColors(kPictureButtonColors);
    RzBitBtn1->OnClick = [this] { RzBitBtn1Click(); };
    CoolListBox1->OnDblClick = [this] { RzBitBtn1Click(); };
}

void TSelectSound::FormShow() {
    // The selection picture is made when the dialog is first shown.
    if (!selectionPicture_) {
        selectionPicture_.reset(LoadImageA(Application().ModuleInstance(),
                                           MAKEINTRESOURCEA(IDB_LIST_SELECTION), IMAGE_BITMAP, 0, 0,
                                           LR_CREATEDIBSECTION));
        CoolListBox1->SetSelectionPicture(static_cast<HBITMAP>(selectionPicture_.get()));
    }
    CoolListBox1->SetItemIndex(0);
}

bool TSelectSound::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    // Enter and Escape, as the dialog manager reports them (IDOK, IDCANCEL
    // from no control of ours): the dialog has no default or Cancel button,
    // so Enter means "Select" and Escape closes it without a change.
    if (msg != WM_COMMAND || HIWORD(wParam) != BN_CLICKED ||
        ControlFromHandle(reinterpret_cast<HWND>(lParam))) {
        return false;
    }
    switch (LOWORD(wParam)) {
        case IDOK:
            RzBitBtn1Click();
            break;
        case IDCANCEL:
            Close();
            break;
        default:
            return false;
    }
    result = 0;
    return true;
}

void TSelectSound::RzBitBtn1Click() {
    const int index = CoolListBox1->ItemIndex();
    // FormShow always selects an item; without one there is nothing to apply.
    if (index >= 0) {
        // The choice holds for this run even when it cannot be stored.
        preferences_.RzButtonEdit1->SetText(CoolListBox1->Item(index));
        preferences_.SoundIndex = index;
        if (preferences_.Store().StoreSoundIndex(index) == StoreResult::KeyUnavailable) {
            Application().MessageDialog(MessageDialogType::Error, kApplyUserSettingsError,
                                        Handle());
        }
    }
    SetModalResult(ModalResult::Ok);
    Close();
}

}  // namespace vgwl
