#pragma once
// TSelectSound: the dialog in which the user picks one of the five
// notification sounds.

#include "toolkit/Form.h"
#include "toolkit/Handles.h"

namespace vgwl {

class TVMGWLPreferences;

class TSelectSound : public TForm {
public:
    TSelectSound(TApplication& app, TVMGWLPreferences& preferences);

    TListBox* CoolListBox1 = nullptr;
    TBitBtn* RzBitBtn1 = nullptr;

    // "Select": applies the selected sound and closes the dialog.
    void RzBitBtn1Click();

protected:
    void FormShow() override;
    bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    TVMGWLPreferences& preferences_;
    UniqueGdiObject selectionPicture_;
};

}  // namespace vgwl
