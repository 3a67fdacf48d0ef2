#include "ui/Unit1.h"

#include "component/Contract.h"
#include "resources/FormDescriptions.h"
#include "resources/ResourceIds.h"
#include "toolkit/Application.h"
#include "toolkit/Exceptions.h"
#include "settings/SettingsStore.h"
#include "toolkit/Registry.h"
#include "ui/Settings.h"

namespace vgwl {

TSelectSound::TSelectSound(TApplication& app, TVMGWLPreferences& preferences)
    : TForm(app, kSelectSoundForm), preferences_(preferences) {
    CoolListBox1 = &Find<TListBox>("CoolListBox1");
    RzBitBtn1 = &Find<TBitBtn>("RzBitBtn1");
    RzBitBtn1->SetColors(kPictureButtonColors);
    RzBitBtn1->OnClick = [this] { RzBitBtn1Click(); };
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

void TSelectSound::RzBitBtn1Click() {
    const int index = CoolListBox1->ItemIndex();
    // FormShow always selects an item; without one there is nothing to apply.
    if (index >= 0) {
        // The choice holds for this run even when it cannot be stored.
        preferences_.RzButtonEdit1->SetText(CoolListBox1->Item(index));
        preferences_.SoundIndex = index;
        try {
            TRegistry reg = preferences_.NewRegistry(HKEY_LOCAL_MACHINE);
            // The key is only opened, never created here: without it the
            // settings were never set up, and the user is told so.
            if (!reg.KeyExists(contract::kSettingsKey) ||
                !reg.OpenKey(contract::kSettingsKey, false)) {
                Application().MessageDialog(MessageDialogType::Error, kApplyUserSettingsError,
                                            Handle());
            } else {
                reg.WriteInteger(contract::kValueSoundIndex, index);
            }
        } catch (const RegistryError&) {
            // The choice stays in memory; the stored one is read at next start.
        }
    }
    Close();
}

}  // namespace vgwl
