#include "main_frm.h"

#include <commctrl.h>

#include "control_windows.h"
#include "dialog_template.h"
#include "late_bound.h"
#include "resource.h"
#include "string_table.h"
#include "twips.h"
#include "win32_failure.h"

namespace zendrel {

static_assert(IDS_EVENT_ERROR == kEventFailureTextId, "the kit finds its text under this id");

namespace {

constexpr wchar_t kClassName[] = L"ZendrelMainFrm";
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr UINT_PTR kAddSiteSubclassId = 1;
constexpr int kFontPoints = 9;

HINSTANCE Instance() {
    return GetModuleHandleW(nullptr);
}

// The window's top-left corner: the given one, or centred in the work area.
POINT WindowCorner(SIZE size, const RECT* placement) {
    if (placement) return {placement->left, placement->top};
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT centred = CentredIn(size, work, work);
    return {centred.left, centred.top};
}

// The window's outer size for the design client area at dpi, by the system
// metrics, before the window exists.
SIZE ExpectedWindowSize(int dpi) {
    RECT outer{0, 0, TwipsToPixels(kMainClientWidthTwips, dpi),
               TwipsToPixels(kMainClientHeightTwips, dpi)};
    AdjustWindowRectEx(&outer, kWindowStyle, FALSE, 0);
    return {outer.right - outer.left, outer.bottom - outer.top};
}

AcceleratorHandle CreateShortcuts() {
    ACCEL keys[] = {
        {FVIRTKEY, VK_F1, kCmdHelp},
        {FVIRTKEY | FCONTROL, 'L', kCmdViewLog},
        {FVIRTKEY | FCONTROL, 'F', kCmdFind},
        {FVIRTKEY, VK_F3, kCmdFindNext},
    };
    return AcceleratorHandle(CreateAcceleratorTableW(keys, static_cast<int>(std::size(keys))));
}

IconHandle LoadIconAt(int id, int width, int height) {
    return IconHandle(static_cast<HICON>(
        LoadImageW(Instance(), MAKEINTRESOURCEW(id), IMAGE_ICON, width, height, 0)));
}

}  // namespace

MainFrm::MainFrm(std::wstring programFolder, int dpi)
    : store_(std::move(programFolder)), dpi_(dpi > 0 ? dpi : WindowDpi(nullptr)) {
    // What an administrator saves here is kept (held) for the guard to keep.
    store_.HoldSaves(true);
    RegisterWindowClass(kClassName, IDI_APP);
    // Made at its place and size, so that nothing moves before it shows.
    SIZE expected = ExpectedWindowSize(dpi_);
    POINT corner = WindowCorner(expected, nullptr);
    HWND created =
        CreateWindowExW(0, kClassName, LoadText(IDS_MAIN_CAPTION).c_str(), kWindowStyle, corner.x,
                        corner.y, expected.cx, expected.cy, nullptr, nullptr, Instance(), this);
    if (!created) throw FailureFromLastError(kProgramName);
    try {
        CreateControls();
        ShowSitePicture();
        // A frame drawn wider than the system metrics say gets its client
        // area at the design size all the same.
        SIZE size =
            WindowSizeForClient(Hwnd(), kMainClientWidthTwips, kMainClientHeightTwips, dpi_);
        if (size.cx != expected.cx || size.cy != expected.cy) PlaceWindow(nullptr);
    } catch (...) {
        DestroyWindow(Hwnd());
        throw;
    }
}

MainFrm::~MainFrm() {
    if (Hwnd()) DestroyWindow(Hwnd());
}

void MainFrm::OnDestroyed() noexcept {
    watcher_.reset();
    tooltip_ = nullptr;
    if (session_.Close().EndsLoop()) PostQuitMessage(0);
}

void MainFrm::CreateControls() {
    font_ = CreateWindowFont(kFontPoints, dpi_);
    underlineFont_ = CreateWindowFont(kFontPoints, dpi_, true);
    CreateControlWindows(Hwnd(), MainControls(), dpi_, font_.Get());
    approved_.Bind();
    requests_.Bind();
    other_.Bind();
    // Enter in txtAddSite must reach its KeyPress instead of the dialog manager.
    if (!SetWindowSubclass(approved_.SiteBox(), AddSiteSubclassProc, kAddSiteSubclassId,
                           reinterpret_cast<DWORD_PTR>(this)))
        throw Failure(kOutOfMemory, kProgramName);
    UseDialogKeys(approved_.SiteBox());
}

HWND MainFrm::EnsureTooltip() {
    if (tooltip_) return tooltip_;
    tooltip_ =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, Hwnd(), nullptr, Instance(), nullptr);
    if (!tooltip_) throw FailureFromLastError(kProgramName);
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = Hwnd();
    tool.uId = reinterpret_cast<UINT_PTR>(Control(kIdBtnClose));
    std::wstring tip = LoadText(IDS_MAIN_BTNCLOSE_TIP);
    tool.lpszText = tip.data();
    if (!SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)))
        throw Failure(kOutOfMemory, kProgramName);
    return tooltip_;
}

HFONT MainFrm::WindowFont(bool underline) const {
    return underline ? underlineFont_.Get() : font_.Get();
}

void MainFrm::ApplyDpi(int dpi, const RECT* placement) {
    dpi_ = dpi;
    FontHandle font = CreateWindowFont(kFontPoints, dpi_);
    FontHandle underline = CreateWindowFont(kFontPoints, dpi_, true);
    SetControlFonts(Hwnd(), MainControls(), font.Get());
    // The window's fonts are the new ones; the old ones go once no control
    // uses them (the underlined link takes its new font here).
    std::swap(font_, font);
    std::swap(underlineFont_, underline);
    other_.FontsChanged();
    PlaceControls(Hwnd(), MainControls(), dpi_);
    ShowSitePicture();
    PlaceWindow(placement);
}

void MainFrm::ShowSitePicture() {
    int imageSize = TwipsToPixels(MainControl(kIdImage1).width, dpi_);
    IconHandle picture = LoadIconAt(IDI_SITE_PICTURE, imageSize, imageSize);
    SendMessageW(Control(kIdImage1), STM_SETIMAGE, IMAGE_ICON,
                 reinterpret_cast<LPARAM>(picture.Get()));
    sitePicture_ = std::move(picture);
}

void MainFrm::PlaceWindow(const RECT* placement) {
    SIZE size = WindowSizeForClient(Hwnd(), kMainClientWidthTwips, kMainClientHeightTwips, dpi_);
    POINT corner = WindowCorner(size, placement);
    SetWindowPos(Hwnd(), nullptr, corner.x, corner.y, size.cx, size.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND MainFrm::Control(int id) const {
    return Hwnd() ? GetDlgItem(Hwnd(), id) : nullptr;
}

void MainFrm::Show() {
    Form_Load();
    if (session_.Close().Ended()) return;
    ShowWindow(Hwnd(), SW_SHOWNORMAL);
    UpdateWindow(Hwnd());
    SetForegroundWindow(Hwnd());
    // After a failed load the site box may be disabled: Close takes the focus.
    HWND siteBox = approved_.SiteBox();
    ::SetFocus(IsWindowEnabled(siteBox) ? siteBox : Control(kIdBtnClose));
    // The tooltip is made, the watch for changes made elsewhere begun and the
    // COM apartment that the shell, the file dialogs, help and accessibility
    // expect entered, once the window shows: none is needed before, and all
    // take time.
    PostMessageW(Hwnd(), kWmShown, 0, 0);
}

bool MainFrm::PreTranslateMessage(MSG& msg) {
    if (approved_.PreTranslateMessage(msg)) return true;
    if (!Hwnd() || (msg.hwnd != Hwnd() && !IsChild(Hwnd(), msg.hwnd))) return false;
    return TranslateShortcut(msg) || TranslateDialogKeys(msg);
}

bool MainFrm::TranslateShortcut(MSG& msg) {
    if (!shortcuts_) shortcuts_ = CreateShortcuts();
    return shortcuts_ && TranslateAcceleratorW(Hwnd(), shortcuts_.Get(), &msg) != 0;
}

void MainFrm::OnCommand(int id, int code) {
    // IDOK and IDCANCEL from Enter and Esc reach no pane: no default button.
    if (id == kIdBtnClose) {
        if (code == BN_CLICKED) btnClose_Click();
        return;
    }
    if (!approved_.OnCommand(id, code) && !requests_.OnCommand(id, code))
        other_.OnCommand(id, code);
}

void MainFrm::MouseMovedOverForm(POINT point) {
    // Moves over the frames, the plain labels and the picture reach the window
    // itself (those controls are transparent to the mouse), as do moves over
    // the margin of a picture box, which has no window of its own. Only the
    // bare window and the bare frames react, alike; the other controls lie
    // above the frames and have no MouseMove of their own.
    for (const ControlSpec& row : MainControls()) {
        // The control's place as the window lays it out.
        TwipsRect twips = WindowTwips(row);
        RECT area{TwipsToPixels(twips.left, dpi_), TwipsToPixels(twips.top, dpi_), 0, 0};
        area.right = area.left + TwipsToPixels(twips.width, dpi_);
        area.bottom = area.top + TwipsToPixels(twips.height, dpi_);
        if (!PtInRect(&area, point)) continue;
        if (row.kind != ControlKind::Frame) return;
    }
    other_.Form_MouseMove();
}

std::optional<LRESULT> MainFrm::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (std::optional<LRESULT> done = other_.HandleMessage(msg, wParam, lParam)) return done;
    if (std::optional<LRESULT> done = approved_.HandleMessage(msg, wParam, lParam)) return done;
    switch (msg) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case kWmShown:
            EnsureTooltip();
            StartWatching();
            late::EnterComApartment();
            return 0;
        case WM_CTLCOLORSTATIC: {
            // The labels on the dialog face (the links are the panes' own).
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        case WM_MOUSEMOVE:
            MouseMovedOverForm(
                {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
            return 0;
        case WM_DPICHANGED:
            ApplyDpi(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_CLOSE:
            Unload();
            return 0;
        case WM_QUERYENDSESSION:
            return QueryEndSession() ? TRUE : FALSE;
        default:
            return HandleLiveMessage(msg, wParam);
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
            self->Guarded([&] { self->approved_.txtAddSite_KeyPress(static_cast<int>(wParam)); });
            break;  // the key itself goes on to the text box unchanged
        case WM_PASTE: {
            // Several lines become several sites; one line pastes as usual.
            std::wstring text = ClipboardText(hwnd);
            if (text.find_first_of(L"\r\n") == std::wstring::npos) break;
            self->Guarded([&] { self->approved_.PasteSites(text); });
            return 0;
        }
        case WM_NCDESTROY:
            RemoveWindowSubclass(hwnd, AddSiteSubclassProc, id);
            break;
        default:
            break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

}  // namespace zendrel
