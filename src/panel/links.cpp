// The two labels of the main window that behave like links: "View Activity
// Log" opens the log that the browser add-on writes, "Settings Help" opens the
// help topic of this window. Both light up as the mouse crosses them.
#include <windows.h>
#include <htmlhelp.h>
#include <shellapi.h>

#include "launch_rules.h"
#include "main_frm.h"
#include "msgbox_ex.h"
#include "shell_open.h"
#include "system_libraries.h"
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
constexpr wchar_t kHelpTopic[] = L"ZendrelSettings.htm";

constexpr COLORREF kHighlightColor = RGB(0, 0, 255);

// Why the location is not opened, in the words of the message, or empty when
// it may be. The text checks come first: until they pass, nothing touches the
// path (an attribute query of a network path would send the administrator's
// credentials to the machine it names).
std::wstring LogLocationRefusal(const std::wstring& path) {
    switch (CheckLogPath(path)) {
        case LogPathRefusal::NotLocal:
            return L"is not a file on a drive of this computer (a network path, a device path "
                   L"or a relative path is never opened)";
        case LogPathRefusal::NotPlainText:
            return L"is not a plain text document (only .txt, .log and .csv files are opened)";
        case LogPathRefusal::None:
            break;
    }
    const wchar_t root[] = {path[0], L':', L'\\', L'\0'};
    UINT drive = GetDriveTypeW(root);
    if (drive == DRIVE_REMOTE || drive == DRIVE_NO_ROOT_DIR || drive == DRIVE_UNKNOWN)
        return L"is not on a drive of this computer (a network drive is never opened)";
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return L"is a folder, not a document";
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return L"is a link to another place, not a document";
    return {};
}

}  // namespace

void MainFrm::linkViewLog_Click() {
    // The add-on records where it keeps the log; until it has, there is none.
    std::wstring path = store_.ActivityLogLocation();
    if (path.empty()) {
        MsgBoxEx(Hwnd(), kNoLogText, kNoLogStyle, kNoLogTitle, kNoLogX, kNoLogY, nullptr);
        return;
    }
    // Any user can write "activitylogloc": open it only when it is a plain
    // text document on a drive of this computer.
    std::wstring refusal = LogLocationRefusal(path);
    if (!refusal.empty()) {
        std::wstring text =
            L"Zendrel did not open the activity log, because its recorded location " + refusal +
            L":\r\n" + Shown(path) +
            L"\r\nThe location is the \"activitylogloc\" value of the key "
            L"HKEY_LOCAL_MACHINE\\Software\\Orvantix\\Zendrel, which every user "
            L"can change. Check it with the registry editor.";
        MessageBoxW(Hwnd(), text.c_str(), kNoLogTitle, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    // Whatever program opens the file's type shows it; a missing file opens nothing.
    if (!ShellOpen(path))
        MessageBoxW(Hwnd(), NotOpenedElevatedText(path).c_str(), kNoLogTitle,
                    MB_OK | MB_ICONEXCLAMATION);
}

void MainFrm::lblLink_Click() {
    // HtmlHelpA lives in the help control, loaded on the first click rather
    // than at every start of the program, from the system folder only (a
    // copy beside the program is never loaded); it stays loaded while help is
    // open.
    // The wide entry point takes a program folder whose name the ANSI code
    // page cannot hold.
    using HtmlHelpWFunction = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);
    static HMODULE helpControl = LoadSystemLibrary(L"hhctrl.ocx");
    auto htmlHelpW = helpControl ? reinterpret_cast<HtmlHelpWFunction>(reinterpret_cast<void*>(
                                       GetProcAddress(helpControl, "HtmlHelpW")))
                                 : nullptr;
    if (!htmlHelpW) return;  // no help viewer on this system: nothing opens
    std::wstring file = store_.ProgramFolder() + kHelpFile;
    htmlHelpW(Hwnd(), file.c_str(), HH_DISPLAY_TOPIC, reinterpret_cast<DWORD_PTR>(kHelpTopic));
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
