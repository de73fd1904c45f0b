// The two labels of the main window that behave like links: "View Activity
// Log" opens the log that the browser add-on writes, "Settings Help" opens the
// help topic of this window. Both light up as the mouse crosses them.
#include <windows.h>
#include <htmlhelp.h>
#include <shellapi.h>

#include "ansi.h"
#include "main_frm.h"
#include "msgbox_ex.h"
#include "twips.h"

namespace zendrel {

namespace {

constexpr wchar_t kNoLogText[] =
    L"An activity log file doesn't exist on your computer.  After you have browsed \r\n"
    L"the internet the file will be created and populated with internet activity for users \r\n"
    L"that have Zendrel enabled.";
constexpr wchar_t kNoLogTitle[] = L"Activity Log";
constexpr int kNoLogStyle = MB_OK | MB_ICONINFORMATION;  // 64
constexpr int kNoLogX = 0;
constexpr int kNoLogY = 250;

constexpr wchar_t kHelpFile[] = L"\\ZendrelHelp.chm";
constexpr char kHelpTopic[] = "ZendrelSettings.htm";

constexpr COLORREF kHighlightColor = RGB(0, 0, 255);

}  // namespace

void MainFrm::linkViewLog_Click() {
    // The add-on records where it keeps the log; until it has, there is none.
    std::wstring path = store_.ActivityLogLocation();
    if (!path.empty()) {
        // Whatever program opens the file's type shows it; a missing file opens nothing.
        std::string file = ToAnsi(path);
        ShellExecuteA(nullptr, nullptr, file.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    } else {
        MsgBoxEx(Hwnd(), kNoLogText, kNoLogStyle, kNoLogTitle, kNoLogX, kNoLogY, nullptr);
    }
}

void MainFrm::lblLink_Click() {
    // HtmlHelpA lives in the help control, loaded on the first click rather
    // than at every start of the program; it stays loaded while help is open.
    using HtmlHelpAFunction = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);
    static HMODULE helpControl = LoadLibraryW(L"hhctrl.ocx");
    auto htmlHelpA = helpControl ? reinterpret_cast<HtmlHelpAFunction>(reinterpret_cast<void*>(
                                       GetProcAddress(helpControl, "HtmlHelpA")))
                                 : nullptr;
    if (!htmlHelpA) return;  // no help viewer on this system: nothing opens
    std::string file = ToAnsi(store_.ProgramFolder() + kHelpFile);
    htmlHelpA(Hwnd(), file.c_str(), HH_DISPLAY_TOPIC, reinterpret_cast<DWORD_PTR>(kHelpTopic));
}

void MainFrm::linkViewLog_MouseMove() {
    SetLinkLook(kIdLinkViewLog, {kHighlightColor, true});
}

void MainFrm::lblLink_MouseMove() {
    SetLinkLook(kIdLblLink, {kHighlightColor, true});
}

void MainFrm::Form_MouseMove() {
    SetLinkLook(kIdLinkViewLog, {kHighlightColor, false});
    SetLinkLook(kIdLblLink, {kHighlightColor, false});
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
    Form_MouseMove();
}

}  // namespace zendrel
