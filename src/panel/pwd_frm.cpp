#include "pwd_frm.h"

#include <algorithm>
#include <exception>
#include <vector>

#include "cmd5.h"
#include "resource.h"
#include "text.h"
#include "twips.h"

namespace zendrel {

namespace {

constexpr wchar_t kCaption[] = L"Enter Password to Access Zendrel Settings";
constexpr wchar_t kHintCaption[] = L"Hint:";
constexpr wchar_t kInvalidText[] = L"An invalid password was entered, please try again.";
constexpr wchar_t kInvalidTitle[] = L"Invalid Password";
constexpr UINT kInvalidStyle = MB_OK | MB_ICONEXCLAMATION;  // 48
constexpr int kPictureSize = 36;                            // pixels, as drawn

constexpr DWORD kDialogStyle = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;

// One control of the dialog: position and size in twips.
struct ControlRow {
    int id;
    const wchar_t* className;
    const wchar_t* caption;
    DWORD style;
    DWORD exStyle;
    int left, top, width, height;
};

// In creation order, which is the tab order: txtPwd, btnOk, cancelBtn.
const ControlRow kControls[] = {
    {pwdFrm::kIdLblHint, L"Static", kHintCaption, SS_LEFT | SS_NOPREFIX, 0, 105, 240, 5355, 570},
    {pwdFrm::kIdImage1, L"Static", L"", SS_ICON | SS_REALSIZECONTROL, 0, 1050, 795, 510, 465},
    {pwdFrm::kIdLabel2, L"Static", L"Enter Password:", SS_LEFT, 0, 1665, 975, 1350, 285},
    {pwdFrm::kIdTxtPwd, L"Edit", L"", ES_LEFT | ES_AUTOHSCROLL | ES_PASSWORD | WS_TABSTOP,
     WS_EX_CLIENTEDGE, 3045, 960, 1500, 315},
    {pwdFrm::kIdBtnOk, L"Button", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 1722, 1545, 1005, 360},
    {pwdFrm::kIdCancelBtn, L"Button", L"Cancel", BS_PUSHBUTTON | WS_TABSTOP, 0, 2854, 1545, 1005,
     360},
};

// An in-memory dialog template: no controls (they are created at
// WM_INITDIALOG, in pixels), no menu, the standard class, the caption; the
// size is set once the controls are placed.
std::vector<WORD> DialogTemplate() {
    std::vector<WORD> words(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
    auto* header = reinterpret_cast<DLGTEMPLATE*>(words.data());
    header->style = kDialogStyle;
    header->dwExtendedStyle = 0;
    header->cdit = 0;
    words.push_back(0);  // no menu
    words.push_back(0);  // the standard dialog class
    for (const wchar_t* c = kCaption; *c; ++c) words.push_back(static_cast<WORD>(*c));
    words.push_back(0);
    return words;
}

int DpiOf(HWND hwnd) {
    HDC dc = GetDC(hwnd);
    int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 0;
    if (dc) ReleaseDC(hwnd, dc);
    return dpi > 0 ? dpi : kDefaultDpi;
}

std::wstring EntryText(HWND edit) {
    int length = GetWindowTextLengthW(edit);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    length = GetWindowTextW(edit, text.data(), length + 1);
    text.resize(static_cast<size_t>(std::max(length, 0)));
    return text;
}

// The dialog's rectangle moved so that it is centred over owner (or the work
// area when there is none) and lies inside the work area.
RECT CentredOver(HWND owner, HWND dialog) {
    RECT rect{};
    GetWindowRect(dialog, &rect);
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(owner ? owner : dialog, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    RECT over = work;
    if (owner && !IsIconic(owner)) GetWindowRect(owner, &over);
    int left = over.left + ((over.right - over.left) - width) / 2;
    int top = over.top + ((over.bottom - over.top) - height) / 2;
    left =
        std::max(static_cast<int>(work.left), std::min(left, static_cast<int>(work.right) - width));
    top =
        std::max(static_cast<int>(work.top), std::min(top, static_cast<int>(work.bottom) - height));
    return {left, top, left + width, top + height};
}

}  // namespace

pwdFrm::~pwdFrm() {
    if (font_) DeleteObject(font_);
    if (picture_) DestroyIcon(picture_);
}

std::int32_t pwdFrm::DisplayDialog(HWND owner) {
    dialogResult = 0;
    owner_ = owner;
    std::vector<WORD> dialog = DialogTemplate();
    DialogBoxIndirectParamW(GetModuleHandleW(nullptr),
                            reinterpret_cast<const DLGTEMPLATE*>(dialog.data()), owner, DialogProc,
                            reinterpret_cast<LPARAM>(this));
    hwnd_ = lblHint_ = Image1_ = Label2_ = txtPwd_ = btnOk_ = cancelBtn_ = nullptr;
    return dialogResult;
}

INT_PTR CALLBACK pwdFrm::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<pwdFrm*>(lParam);
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        self->hwnd_ = hwnd;
        return self->DlgProc(message, wParam, lParam);
    }
    auto* self = reinterpret_cast<pwdFrm*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    return self ? self->DlgProc(message, wParam, lParam) : FALSE;
}

// Nothing here throws in use; a failure to allocate ends the program rather
// than unwinding through the window system.
INT_PTR pwdFrm::DlgProc(UINT message, WPARAM wParam, LPARAM) noexcept {
    switch (message) {
        case WM_INITDIALOG:
            CreateControls();
            Form_Load();
            SetFocus(txtPwd_);
            return FALSE;  // the focus is set
        case WM_COMMAND:
            if (HIWORD(wParam) != BN_CLICKED) return FALSE;
            switch (LOWORD(wParam)) {
                case IDOK:  // the OK button or Enter
                    btnOk_Click();
                    return TRUE;
                case IDCANCEL:  // the Cancel button or Esc
                    cancelBtn_Click();
                    return TRUE;
            }
            return FALSE;
        case WM_CLOSE:
            // The close box: the dialog manager would turn this into Cancel,
            // but closing leaves dialogResult as it is.
            EndDialog(hwnd_, 0);
            return TRUE;
    }
    return FALSE;
}

void pwdFrm::CreateControls() {
    int dpi = DpiOf(hwnd_);
    auto px = [dpi](int twips) { return TwipsToPixels(twips, dpi); };
    HINSTANCE instance = GetModuleHandleW(nullptr);

    if (!font_) {
        font_ = CreateFontW(PointsToFontHeight(kFontPoints, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                            FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                            DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Tahoma");
    }

    for (const ControlRow& row : kControls) {
        HWND control = CreateWindowExW(
            row.exStyle, row.className, row.caption, WS_CHILD | WS_VISIBLE | row.style,
            px(row.left), px(row.top), px(row.width), px(row.height), hwnd_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id)), instance, nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    }
    lblHint_ = GetDlgItem(hwnd_, kIdLblHint);
    Image1_ = GetDlgItem(hwnd_, kIdImage1);
    Label2_ = GetDlgItem(hwnd_, kIdLabel2);
    txtPwd_ = GetDlgItem(hwnd_, kIdTxtPwd);
    btnOk_ = GetDlgItem(hwnd_, kIdBtnOk);
    cancelBtn_ = GetDlgItem(hwnd_, kIdCancelBtn);

    // The key picture; a program built without the resource shows none.
    if (!picture_) {
        picture_ = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_KEY_PICTURE),
                                                 IMAGE_ICON, kPictureSize, kPictureSize, 0));
    }
    // SS_REALSIZECONTROL: the picture is drawn to the control's design size.
    if (picture_) SendMessageW(Image1_, STM_SETICON, reinterpret_cast<WPARAM>(picture_), 0);

    SendMessageW(txtPwd_, EM_SETPASSWORDCHAR, L'*', 0);
    SendMessageW(txtPwd_, EM_SETLIMITTEXT, 0, 0);  // no limit
    SendMessageW(hwnd_, DM_SETDEFID, IDOK, 0);

    // The client area at the design size, then centred over the owner.
    RECT frame{0, 0, px(kClientWidthTwips), px(kClientHeightTwips)};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)));
    SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT at = CentredOver(owner_, hwnd_);
    SetWindowPos(hwnd_, nullptr, at.left, at.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void pwdFrm::Form_Load() {
    std::wstring caption = std::wstring(kHintCaption) + L" " + Hint;
    SetWindowTextW(lblHint_, caption.c_str());
}

bool pwdFrm::CheckPassword() const {
    return CMD5().MD5(TrimSpaces(EntryText(txtPwd_))) == Digest;
}

void pwdFrm::btnOk_Click() {
    bool accepted = false;
    try {
        accepted = CheckPassword();
    } catch (const std::exception&) {
        // An entry that cannot be digested (no memory for it) is not accepted.
        accepted = false;
    }
    if (accepted) {
        dialogResult = 1;
        EndDialog(hwnd_, 1);
        return;
    }
    MessageBoxW(hwnd_, kInvalidText, kInvalidTitle, kInvalidStyle);
    // Let what the box left pending be handled, then offer the entry again.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!IsDialogMessageW(hwnd_, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    if (IsWindow(hwnd_)) SelectEntry();
}

void pwdFrm::cancelBtn_Click() {
    dialogResult = 2;
    EndDialog(hwnd_, 2);
}

// The focus in txtPwd with its whole text selected, so that typing replaces it.
void pwdFrm::SelectEntry() {
    SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(txtPwd_), TRUE);
    SendMessageW(txtPwd_, EM_SETSEL, 0, GetWindowTextLengthW(txtPwd_));
}

}  // namespace zendrel
