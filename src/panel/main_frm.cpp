#include "main_frm.h"

#include <commctrl.h>

#include <algorithm>

#include "failure_report.h"
#include "resource.h"
#include "twips.h"
#include "win32_failure.h"

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace zendrel {

namespace {

constexpr wchar_t kClassName[] = L"ZendrelMainFrm";
constexpr wchar_t kCaption[] = L"Zendrel Settings";
constexpr wchar_t kSource[] = L"ZendrelPanel";
constexpr wchar_t kCloseTooltip[] = L"Close window and save settings";
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr UINT_PTR kAddSiteSubclassId = 1;
constexpr int kFontPoints = 9;

HINSTANCE Instance() {
    return GetModuleHandleW(nullptr);
}

void RegisterWindowClass(WNDPROC proc) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(Instance(), kClassName, &existing)) return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = proc;
    wc.hInstance = Instance();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    if (!RegisterClassExW(&wc)) throw FailureFromLastError(kSource);
}

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : kDefaultDpi;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : kDefaultDpi;
}

struct WindowClassAndStyle {
    const wchar_t* className;
    DWORD style;
    DWORD exStyle;
};

WindowClassAndStyle ClassAndStyle(ControlKind kind) {
    constexpr DWORD child = WS_CHILD | WS_VISIBLE;
    switch (kind) {
        case ControlKind::Frame:
            return {L"BUTTON", child | BS_GROUPBOX | WS_CLIPSIBLINGS, 0};
        case ControlKind::Image:
            return {L"STATIC", child | SS_ICON | SS_REALSIZECONTROL | WS_CLIPSIBLINGS, 0};
        case ControlKind::Label:
            return {L"STATIC", child | SS_LEFT | WS_CLIPSIBLINGS, 0};
        case ControlKind::Link:
            return {L"STATIC", child | SS_LEFT | SS_NOTIFY, 0};
        case ControlKind::TextBox:
            return {L"EDIT", child | WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT, WS_EX_CLIENTEDGE};
        case ControlKind::PasswordBox:
            return {L"EDIT", child | WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT | ES_PASSWORD,
                    WS_EX_CLIENTEDGE};
        case ControlKind::Button:
            return {L"BUTTON", child | WS_TABSTOP | BS_PUSHBUTTON, 0};
        case ControlKind::ListBox:
            return {L"LISTBOX",
                    child | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT |
                        LBS_HASSTRINGS,
                    WS_EX_CLIENTEDGE};
        case ControlKind::CheckBox:
            return {L"BUTTON", child | WS_TABSTOP | BS_AUTOCHECKBOX, 0};
        case ControlKind::PictureBox:
            break;
    }
    return {nullptr, 0, 0};
}

}  // namespace

MainFrm::MainFrm(std::wstring programFolder, int dpi)
    : programFolder_(std::move(programFolder)), dpi_(dpi > 0 ? dpi : ScreenDpi()) {
    RegisterWindowClass(StaticWindowProc);
    HWND created = CreateWindowExW(0, kClassName, kCaption, kWindowStyle, CW_USEDEFAULT,
                                   CW_USEDEFAULT, 400, 400, nullptr, nullptr, Instance(), this);
    if (!created) throw FailureFromLastError(kSource);
    try {
        CreateControls();
        bigIcon_ = IconHandle(static_cast<HICON>(LoadImageW(Instance(), MAKEINTRESOURCEW(IDI_APP),
                                                            IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                                            GetSystemMetrics(SM_CYICON), 0)));
        smallIcon_ = IconHandle(static_cast<HICON>(
            LoadImageW(Instance(), MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON,
                       GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0)));
        SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.Get()));
        SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.Get()));
        linkCursor_ = LoadCursorW(Instance(), MAKEINTRESOURCEW(IDC_LINK_HAND));
        ApplyDpi(dpi_, nullptr);
    } catch (...) {
        DestroyWindow(hwnd_);
        throw;
    }
}

MainFrm::~MainFrm() {
    if (hwnd_) DestroyWindow(hwnd_);
}

void MainFrm::CreateControls() {
    for (const ControlSpec& row : MainControls()) {
        WindowClassAndStyle cs = ClassAndStyle(row.kind);
        if (!cs.className) continue;  // a picture box only places what it holds
        std::wstring caption(row.caption);
        HWND control = CreateWindowExW(
            cs.exStyle, cs.className, caption.c_str(), cs.style, 0, 0, 0, 0, hwnd_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id)), Instance(), nullptr);
        if (!control) throw FailureFromLastError(kSource);
        controls_[static_cast<std::size_t>(row.id - kIdFrame1)] = control;
        if (row.kind == ControlKind::PasswordBox) {
            SendMessageW(control, EM_SETPASSWORDCHAR, L'*', 0);
            SendMessageW(control, EM_LIMITTEXT, 10, 0);
        } else if (row.kind == ControlKind::TextBox) {
            SendMessageW(control, EM_LIMITTEXT, 0, 0);  // as long as the system allows
        }
    }
    // Plain labels and the picture lie beneath the other controls, and the
    // frames beneath everything: a label that overlaps a text box (as
    // "Password:" and "Hint:" do) never paints over its text. None of them
    // takes the focus, so the tab order is kept.
    for (const ControlSpec& row : MainControls())
        if (row.kind == ControlKind::Label || row.kind == ControlKind::Image)
            SetWindowPos(Control(row.id), HWND_BOTTOM, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    for (int frame : {kIdFrame1, kIdFrame2})
        SetWindowPos(Control(frame), HWND_BOTTOM, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    txtAddSite = TextBox(Control(kIdTxtAddSite));
    txtPwd = TextBox(Control(kIdTxtPwd));
    txtPwdConfirm = TextBox(Control(kIdTxtPwdConfirm));
    txtHint = TextBox(Control(kIdTxtHint));
    listApproved = ListBox(Control(kIdListApproved));
    listRequested = ListBox(Control(kIdListRequested));
    chkEnable = CheckBox(Control(kIdChkEnable));
    chkLogging = CheckBox(Control(kIdChkLogging));
    chkPwd = CheckBox(Control(kIdChkPwd));

    // Enter in txtAddSite must reach its KeyPress instead of the dialog manager.
    if (!SetWindowSubclass(txtAddSite.Hwnd(), AddSiteSubclassProc, kAddSiteSubclassId,
                           reinterpret_cast<DWORD_PTR>(this)))
        throw Failure(kOutOfMemory, kSource);

    tooltip_ =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, Instance(), nullptr);
    if (!tooltip_) throw FailureFromLastError(kSource);
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(Control(kIdBtnClose));
    tool.lpszText = const_cast<wchar_t*>(kCloseTooltip);
    if (!SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)))
        throw Failure(kOutOfMemory, kSource);
}

void MainFrm::ApplyFonts() {
    LOGFONTW lf{};
    lf.lfHeight = PointsToFontHeight(kFontPoints, dpi_);
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = DEFAULT_QUALITY;
    lstrcpynW(lf.lfFaceName, L"Tahoma", LF_FACESIZE);
    FontHandle font(CreateFontIndirectW(&lf));
    lf.lfUnderline = TRUE;
    FontHandle underline(CreateFontIndirectW(&lf));
    if (!font.Get() || !underline.Get()) throw Failure(kOutOfMemory, kSource);
    for (const ControlSpec& row : MainControls()) {
        HWND control = Control(row.id);
        if (!control) continue;
        bool underlined = row.kind == ControlKind::Link && GetLinkLook(row.id).underline;
        SendMessageW(control, WM_SETFONT,
                     reinterpret_cast<WPARAM>(underlined ? underline.Get() : font.Get()), TRUE);
    }
    // The controls now use the new fonts: the old ones may go.
    font_ = std::move(font);
    underlineFont_ = std::move(underline);
}

void MainFrm::ApplyDpi(int dpi, const RECT* placement) {
    dpi_ = dpi;
    ApplyFonts();

    const ControlSpec& image = MainControl(kIdImage1);
    int imageSize = TwipsToPixels(image.width, dpi_);
    IconHandle picture(static_cast<HICON>(LoadImageW(Instance(), MAKEINTRESOURCEW(IDI_SITE_PICTURE),
                                                     IMAGE_ICON, imageSize, imageSize, 0)));
    SendMessageW(Control(kIdImage1), STM_SETIMAGE, IMAGE_ICON,
                 reinterpret_cast<LPARAM>(picture.Get()));
    sitePicture_ = std::move(picture);

    for (const ControlSpec& row : MainControls()) {
        HWND control = Control(row.id);
        if (!control) continue;
        TwipsRect r = WindowTwips(row);
        SetWindowPos(control, nullptr, TwipsToPixels(r.left, dpi_), TwipsToPixels(r.top, dpi_),
                     TwipsToPixels(r.width, dpi_), TwipsToPixels(r.height, dpi_),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }

    // The frame around the client area is whatever Windows draws at this DPI:
    // measure it rather than predict it.
    RECT outer{}, inner{};
    GetWindowRect(hwnd_, &outer);
    GetClientRect(hwnd_, &inner);
    int width = TwipsToPixels(kMainClientWidthTwips, dpi_) + (outer.right - outer.left) -
                (inner.right - inner.left);
    int height = TwipsToPixels(kMainClientHeightTwips, dpi_) + (outer.bottom - outer.top) -
                 (inner.bottom - inner.top);
    int x, y;
    if (placement) {
        x = placement->left;
        y = placement->top;
    } else {
        RECT work{};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        x = work.left + std::max(0L, ((work.right - work.left) - width) / 2);
        y = work.top + std::max(0L, ((work.bottom - work.top) - height) / 2);
    }
    SetWindowPos(hwnd_, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND MainFrm::Control(int id) const {
    if (id < kIdFrame1 || id > kIdBtnClose) return nullptr;
    return controls_[static_cast<std::size_t>(id - kIdFrame1)];
}

const MainFrm::LinkLook& MainFrm::GetLinkLook(int id) const {
    return id == kIdLinkViewLog ? viewLogLook_ : helpLinkLook_;
}

void MainFrm::SetLinkLook(int id, LinkLook look) {
    LinkLook& current = id == kIdLinkViewLog ? viewLogLook_ : helpLinkLook_;
    bool fontChanged = current.underline != look.underline;
    current = look;
    HWND link = Control(id);
    if (fontChanged)
        SendMessageW(link, WM_SETFONT,
                     reinterpret_cast<WPARAM>(look.underline ? underlineFont_.Get() : font_.Get()),
                     FALSE);
    InvalidateRect(link, nullptr, TRUE);
}

void MainFrm::Show() {
    Form_Load();
    if (!hwnd_ || programEnded_) return;  // the program ended while loading
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    UpdateWindow(hwnd_);
    SetForegroundWindow(hwnd_);
    txtAddSite.SetFocus();
}

bool MainFrm::PreTranslateMessage(MSG& msg) {
    if (!hwnd_ || (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd))) return false;
    return IsDialogMessageW(hwnd_, &msg) != FALSE;
}

void MainFrm::OnCommand(int id, int code) {
    switch (id) {
        case kIdBtnAdd:
            if (code == BN_CLICKED) btnAdd_Click();
            break;
        case kIdBtnRemove:
            if (code == BN_CLICKED) btnRemove_Click();
            break;
        case kIdBtnReview:
            if (code == BN_CLICKED) btnReview_Click();
            break;
        case kIdBtnApprove:
            if (code == BN_CLICKED) btnApprove_Click();
            break;
        case kIdBtnDeny:
            if (code == BN_CLICKED) btnDeny_Click();
            break;
        case kIdBtnClose:
            if (code == BN_CLICKED) btnClose_Click();
            break;
        case kIdListApproved:
            if (code == LBN_DBLCLK) listApproved_DblClick();
            break;
        case kIdChkEnable:
            if (code == BN_CLICKED) chkEnable_Click();
            break;
        case kIdChkPwd:
            if (code == BN_CLICKED) chkPwd_Click();
            break;
        case kIdTxtPwd:
            if (code == EN_SETFOCUS) txtPwd_GotFocus();
            break;
        case kIdTxtPwdConfirm:
            if (code == EN_SETFOCUS) txtPwdConfirm_GotFocus();
            break;
        case kIdLinkViewLog:
            if (code == STN_CLICKED) linkViewLog_Click();
            break;
        case kIdLblLink:
            if (code == STN_CLICKED) lblLink_Click();
            break;
        default:
            break;  // IDOK and IDCANCEL from Enter and Esc: no default button
    }
}

LRESULT MainFrm::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_CTLCOLORSTATIC: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            HWND control = reinterpret_cast<HWND>(lParam);
            int id = GetDlgCtrlID(control);
            if (id == kIdLinkViewLog || id == kIdLblLink) SetTextColor(dc, GetLinkLook(id).color);
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        case WM_SETCURSOR: {
            // Sent for the control under the mouse: how the window learns of
            // moves over the links, which take the mouse messages themselves.
            HWND under = reinterpret_cast<HWND>(wParam);
            bool viewLog = under == Control(kIdLinkViewLog);
            if (viewLog || under == Control(kIdLblLink)) {
                if (HIWORD(lParam) == WM_MOUSEMOVE) {
                    if (viewLog)
                        linkViewLog_MouseMove();
                    else
                        lblLink_MouseMove();
                }
                if (linkCursor_) {
                    SetCursor(linkCursor_);
                    return TRUE;
                }
            }
            break;
        }
        case WM_MOUSEMOVE:
            MouseMovedOverForm(
                {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
            return 0;
        case WM_ACTIVATE:
            // A plain window does not keep its focused control across
            // deactivation as a dialog does: keep it here.
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus && IsChild(hwnd_, focus)) focusBeforeDeactivation_ = focus;
            } else {
                HWND focus = focusBeforeDeactivation_;
                if (!focus || !IsWindow(focus)) focus = txtAddSite.Hwnd();
                SetFocus(focus);
            }
            return 0;
        case WM_DPICHANGED:
            ApplyDpi(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_CLOSE:
            Unload(kUnloadFromControlMenu);
            return 0;
        case WM_QUERYENDSESSION: {
            std::int16_t cancel = 0;
            Form_QueryUnload(cancel, kUnloadFromWindows);
            return cancel == 0;
        }
        case WM_DESTROY:
            if (quitOnDestroy_) PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

void MainFrm::ReportUnhandled(const Failure& failure) noexcept {
    ShowFailureReport(hwnd_, L"Error occurred trying to handle a window event: ", kSource, failure);
}

LRESULT CALLBACK MainFrm::StaticWindowProc(HWND hwnd, UINT msg, WPARAM wParam,
                                           LPARAM lParam) noexcept {
    if (msg == WM_NCCREATE) {
        auto* self =
            static_cast<MainFrm*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MainFrm*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        self->tooltip_ = nullptr;
        self->controls_.fill(nullptr);
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    try {
        return self->WindowProc(msg, wParam, lParam);
    } catch (...) {
        self->ReportUnhandled(CurrentFailure());
        return 0;
    }
}

LRESULT CALLBACK MainFrm::AddSiteSubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                              UINT_PTR id, DWORD_PTR data) noexcept {
    auto* self = reinterpret_cast<MainFrm*>(data);
    switch (msg) {
        case WM_GETDLGCODE: {
            LRESULT code = DefSubclassProc(hwnd, msg, wParam, lParam);
            auto* pending = reinterpret_cast<const MSG*>(lParam);
            if (pending && pending->message == WM_KEYDOWN && pending->wParam == VK_RETURN)
                code |= DLGC_WANTALLKEYS;
            return code;
        }
        case WM_CHAR:
            try {
                self->txtAddSite_KeyPress(static_cast<int>(wParam));
            } catch (...) {
                self->ReportUnhandled(CurrentFailure());
            }
            break;  // the key itself goes on to the text box unchanged
        case WM_NCDESTROY:
            RemoveWindowSubclass(hwnd, AddSiteSubclassProc, id);
            break;
        default:
            break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

}  // namespace zendrel
