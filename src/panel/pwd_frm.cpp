#include "pwd_frm.h"

#include <algorithm>
#include <exception>
#include <vector>

#include "control_windows.h"
#include "dialog_template.h"
#include "password_rules.h"
#include "resource.h"
#include "string_table.h"

namespace zendrel {

namespace {

constexpr UINT kInvalidStyle = MB_OK | MB_ICONEXCLAMATION;  // 48
constexpr int kPictureSize = 36;                            // pixels, as drawn

constexpr DWORD kDialogStyle = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;

using K = ControlKind;

// clang-format off
constexpr ControlSpec kControls[] = {
    // name        id                    kind              container     caption           left   top  width height tab
    {L"lblHint",   pwdFrm::kIdLblHint,   K::Label,         kNoContainer, IDS_PWD_LBLHINT,  105,  240, 5355,  570, kNoTabIndex},
    {L"Image1",    pwdFrm::kIdImage1,    K::Image,         kNoContainer, 0,               1050,  795,  510,  465, kNoTabIndex},
    {L"Label2",    pwdFrm::kIdLabel2,    K::Label,         kNoContainer, IDS_PWD_LABEL2,  1665,  975, 1350,  285, kNoTabIndex},
    {L"txtPwd",    pwdFrm::kIdTxtPwd,    K::PasswordBox,   kNoContainer, 0,               3045,  960, 1500,  315, 0, 0, IDS_PWD_TXTPWD_ACC},
    {L"btnOk",     pwdFrm::kIdBtnOk,     K::DefaultButton, kNoContainer, IDS_OK,          1722, 1545, 1005,  360, 1},
    {L"cancelBtn", pwdFrm::kIdCancelBtn, K::Button,        kNoContainer, IDS_CANCEL,      2854, 1545, 1005,  360, 2},
};
// clang-format on
static_assert(InTabOrder(kControls));

std::wstring EntryText(HWND edit) {
    int length = GetWindowTextLengthW(edit);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    length = GetWindowTextW(edit, text.data(), length + 1);
    text.resize(static_cast<size_t>(std::max(length, 0)));
    return text;
}

}  // namespace

std::int32_t pwdFrm::DisplayDialog(HWND owner) {
    dialogResult = 0;
    owner_ = owner;
    std::vector<WORD> dialog = DialogTemplate(kDialogStyle, LoadText(IDS_PWD_CAPTION).c_str());
    DialogBoxIndirectParamW(GetModuleHandleW(nullptr),
                            reinterpret_cast<const DLGTEMPLATE*>(dialog.data()), owner, DialogProc,
                            reinterpret_cast<LPARAM>(this));
    return dialogResult;
}

std::optional<LRESULT> pwdFrm::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            CreateControls();
            Form_Load();
            SetFocus(GetDlgItem(Hwnd(), kIdTxtPwd));
            return FALSE;  // the focus is set
        case WM_COMMAND:
            if (HIWORD(wParam) != BN_CLICKED) return std::nullopt;
            switch (LOWORD(wParam)) {
                case IDOK:  // the OK button or Enter
                    btnOk_Click();
                    return TRUE;
                case IDCANCEL:  // the Cancel button or Esc
                    cancelBtn_Click();
                    return TRUE;
            }
            return std::nullopt;
        case WM_CLOSE:
            // The close box: the dialog manager would turn this into Cancel,
            // but closing leaves dialogResult as it is.
            EndDialog(Hwnd(), 0);
            return TRUE;
    }
    return std::nullopt;
}

void pwdFrm::CreateControls() {
    int dpi = WindowDpi(Hwnd());
    if (!font_) font_ = CreateWindowFont(kFontPoints, dpi);
    CreateControlWindows(Hwnd(), kControls, dpi, font_.Get());

    // The key picture; a program built without the resource shows none.
    if (!picture_)
        picture_ = IconHandle(static_cast<HICON>(
            LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_KEY_PICTURE), IMAGE_ICON,
                       kPictureSize, kPictureSize, 0)));
    // SS_REALSIZECONTROL: the picture is drawn to the control's design size.
    if (picture_)
        SendMessageW(GetDlgItem(Hwnd(), kIdImage1), STM_SETICON,
                     reinterpret_cast<WPARAM>(picture_.Get()), 0);
    SendMessageW(Hwnd(), DM_SETDEFID, IDOK, 0);

    // The client area at the design size, then centred over the owner.
    SIZE size = WindowSizeForClient(Hwnd(), kClientWidthTwips, kClientHeightTwips, dpi);
    SetWindowPos(Hwnd(), nullptr, 0, 0, size.cx, size.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT at = CentredOver(owner_, Hwnd());
    SetWindowPos(Hwnd(), nullptr, at.left, at.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void pwdFrm::Form_Load() {
    std::wstring caption = LoadText(IDS_PWD_HINT, {Hint});
    SetWindowTextW(GetDlgItem(Hwnd(), kIdLblHint), caption.c_str());
}

void pwdFrm::btnOk_Click() {
    bool accepted = false;
    try {
        accepted = PasswordMatches(EntryText(GetDlgItem(Hwnd(), kIdTxtPwd)), Digest);
    } catch (const std::exception&) {
        // An entry that cannot be digested (no memory for it) is not accepted.
        accepted = false;
    }
    if (accepted) {
        dialogResult = 1;
        EndDialog(Hwnd(), 1);
        return;
    }
    HWND dialog = Hwnd();
    MessageBoxW(dialog, LoadText(IDS_PWD_INVALID).c_str(), LoadText(IDS_PWD_INVALID_TITLE).c_str(),
                kInvalidStyle);
    // The box, as it goes, gives the focus back to the control that had it
    // (OK) partly through posted messages. They are handled here first, so
    // that the focus and selection set below are the last word and the entry
    // is offered again.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!IsDialogMessageW(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    if (IsWindow(dialog)) SelectEntry();
}

void pwdFrm::cancelBtn_Click() {
    dialogResult = 2;
    EndDialog(Hwnd(), 2);
}

// The focus in txtPwd with its whole text selected, so that typing replaces it.
void pwdFrm::SelectEntry() {
    HWND entry = GetDlgItem(Hwnd(), kIdTxtPwd);
    SendMessageW(Hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(entry), TRUE);
    SendMessageW(entry, EM_SETSEL, 0, GetWindowTextLengthW(entry));
}

}  // namespace zendrel
