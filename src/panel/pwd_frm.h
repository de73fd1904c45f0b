// pwdFrm: the modal dialog that asks for the settings password before the
// main window opens. The caller sets Hint and Digest, calls DisplayDialog
// once and releases the object.
//
// The password itself is never held anywhere but in the entry box: the entry,
// trimmed of spaces, is turned into its digest text and compared with Digest.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "handles.h"
#include "window_base.h"

namespace zendrel {

class pwdFrm final : public WindowBase {
  public:
    // Control identifiers (btnOk and cancelBtn are the dialog's OK and Cancel,
    // which gives them Enter and Esc).
    static constexpr int kIdLblHint = 1001;
    static constexpr int kIdImage1 = 1002;
    static constexpr int kIdLabel2 = 1003;
    static constexpr int kIdTxtPwd = 1004;
    static constexpr int kIdBtnOk = IDOK;
    static constexpr int kIdCancelBtn = IDCANCEL;

    // Design size of the client area and the font.
    static constexpr int kClientWidthTwips = 5580;
    static constexpr int kClientHeightTwips = 2100;
    static constexpr int kFontPoints = 9;

    pwdFrm() = default;

    // The hint shown after "Hint: "; set before DisplayDialog.
    std::wstring Hint;
    // The digest text that the entry must match; set before DisplayDialog.
    std::wstring Digest;

    // Shows the dialog modally over owner (which may be null) and returns
    // when it is hidden or closed: 1 after an accepted password, 2 after
    // Cancel or Esc, 0 after the close box (or when it could not be shown).
    std::int32_t DisplayDialog(HWND owner);

  private:
    std::optional<LRESULT> HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    void CreateControls();
    void Form_Load();
    void btnOk_Click();
    void cancelBtn_Click();
    void SelectEntry();

    HWND owner_ = nullptr;
    FontHandle font_;
    IconHandle picture_;
    std::int32_t dialogResult = 0;
};

}  // namespace zendrel
