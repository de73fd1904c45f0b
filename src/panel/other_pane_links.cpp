// The two labels of the main window that behave like links: "View Activity
// Log" opens the log that the browser add-on writes, "Settings Help" opens the
// help topic of this window. Both light up as the mouse crosses them.
#include <windows.h>
#include <htmlhelp.h>
#include <shellapi.h>
#include <shlobj.h>

#include "control_windows.h"
#include "launch_rules.h"
#include "main_layout.h"
#include "msgbox_ex.h"
#include "other_pane.h"
#include "resource.h"
#include "shell_open.h"
#include "string_table.h"
#include "system_libraries.h"

namespace zendrel {

namespace {

constexpr int kNoLogStyle = MB_OK | MB_ICONINFORMATION;  // 64
constexpr int kNoLogX = 0;
constexpr int kNoLogY = 250;

constexpr wchar_t kHelpFile[] = L"\\ZendrelHelp.chm";
constexpr wchar_t kHelpTopic[] = L"ZendrelSettings.htm";

constexpr COLORREF kHighlightColor = RGB(0, 0, 255);

// Why the location is not opened, in the words of the message (a string id),
// or 0 when it may be. The text checks come first: until they pass, nothing touches the
// path (an attribute query of a network path would send the administrator's
// credentials to the machine it names).
unsigned LogLocationRefusal(const std::wstring& path) {
    switch (CheckLogPath(path)) {
        case LogPathRefusal::NotLocal:
            return IDS_LOG_NOT_LOCAL;
        case LogPathRefusal::NotPlainText:
            return IDS_LOG_NOT_PLAIN_TEXT;
        case LogPathRefusal::None:
            break;
    }
    const wchar_t root[] = {path[0], L':', L'\\', L'\0'};
    UINT drive = GetDriveTypeW(root);
    if (drive == DRIVE_REMOTE || drive == DRIVE_NO_ROOT_DIR || drive == DRIVE_UNKNOWN)
        return IDS_LOG_NETWORK_DRIVE;
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return IDS_LOG_FOLDER;
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return IDS_LOG_LINK;
    return 0;
}

// The folder Setup prepares for the log (<common application data>\Zendrel),
// where only administrators can create or replace a file; empty when the
// system does not say where that is.
std::wstring ProtectedLogFolder() {
    // The shell is loaded on the first click (as for opening the log), from
    // the system folder, not at every start of the program.
    using GetFolderPathFunction = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);
    static HMODULE shell = LoadSystemLibrary(L"shell32.dll");
    auto getFolderPath = shell ? reinterpret_cast<GetFolderPathFunction>(reinterpret_cast<void*>(
                                     GetProcAddress(shell, "SHGetFolderPathW")))
                               : nullptr;
    wchar_t common[MAX_PATH] = {};
    if (!getFolderPath || FAILED(getFolderPath(nullptr, CSIDL_COMMON_APPDATA, nullptr,
                                               SHGFP_TYPE_CURRENT, common)))
        return {};
    return std::wstring(common) + L"\\Zendrel";
}

}  // namespace

void OtherPane::linkViewLog_Click() {
    // The add-on records where it keeps the log; until it has, there is none.
    std::wstring path = host_.Store().ActivityLogLocation();
    if (path.empty()) {
        MsgBoxEx(host_.Hwnd(), LoadText(IDS_NO_LOG), kNoLogStyle, LoadText(IDS_LOG_TITLE), kNoLogX,
                 kNoLogY, nullptr);
        return;
    }
    // Any user can write "activitylogloc": open it only when it is a plain
    // text document on a drive of this computer.
    if (unsigned refusal = LogLocationRefusal(path)) {
        std::wstring text = LoadText(IDS_LOG_NOT_OPENED, {LoadText(refusal), Shown(path)});
        MessageBoxW(host_.Hwnd(), text.c_str(), LoadText(IDS_LOG_TITLE).c_str(),
                    MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES &&
        (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND)) {
        MessageBoxW(host_.Hwnd(), LoadText(IDS_LOG_MISSING, {Shown(path)}).c_str(),
                    LoadText(IDS_LOG_TITLE).c_str(), MB_OK | MB_ICONINFORMATION);
        return;
    }
    // A log elsewhere than in the folder Setup protects may be any user's
    // own file: the administrator decides, No being the default.
    std::wstring folder = ProtectedLogFolder();
    if (!IsInsideFolder(path, folder)) {
        std::wstring text = LoadText(IDS_LOG_OUTSIDE, {Shown(path), Shown(folder)});
        if (MessageBoxW(host_.Hwnd(), text.c_str(), LoadText(IDS_LOG_TITLE).c_str(),
                        MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2) != IDYES)
            return;
    }
    // Whatever program opens the file's type shows it.
    if (!ShellOpen(path))
        MessageBoxW(host_.Hwnd(), NotOpenedElevatedText(path).c_str(),
                    LoadText(IDS_LOG_TITLE).c_str(), MB_OK | MB_ICONEXCLAMATION);
}

void OtherPane::lblLink_Click() {
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
    std::wstring file = host_.Store().ProgramFolder() + kHelpFile;
    htmlHelpW(host_.Hwnd(), file.c_str(), HH_DISPLAY_TOPIC,
              reinterpret_cast<DWORD_PTR>(kHelpTopic));
}

void OtherPane::linkViewLog_MouseMove() {
    SetLinkLook(kIdLinkViewLog, {kHighlightColor, true});
}

void OtherPane::lblLink_MouseMove() {
    SetLinkLook(kIdLblLink, {kHighlightColor, true});
}

void OtherPane::Form_MouseMove() {
    SetLinkLook(kIdLinkViewLog, {kHighlightColor, false});
    SetLinkLook(kIdLblLink, {kHighlightColor, false});
}

const OtherPane::LinkLook& OtherPane::GetLinkLook(int id) const {
    return id == kIdLinkViewLog ? viewLogLook_ : helpLinkLook_;
}

void OtherPane::SetLinkLook(int id, LinkLook look) {
    LinkLook& current = id == kIdLinkViewLog ? viewLogLook_ : helpLinkLook_;
    bool fontChanged = current.underline != look.underline;
    current = look;
    HWND link = host_.Control(id);
    if (fontChanged)
        SendMessageW(link, WM_SETFONT, reinterpret_cast<WPARAM>(host_.WindowFont(look.underline)),
                     FALSE);
    InvalidateRect(link, nullptr, TRUE);
}

void OtherPane::FontsChanged() {
    for (int link : {kIdLinkViewLog, kIdLblLink})
        if (GetLinkLook(link).underline)
            SendMessageW(host_.Control(link), WM_SETFONT,
                         reinterpret_cast<WPARAM>(host_.WindowFont(true)), TRUE);
}

HCURSOR OtherPane::LinkCursor() {
    if (!linkCursor_)
        linkCursor_ = LoadCursorW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_LINK_HAND));
    return linkCursor_;
}

std::optional<LRESULT> OtherPane::HandleLinkMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_CTLCOLORSTATIC: {
            int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
            if (id != kIdLinkViewLog && id != kIdLblLink) return std::nullopt;
            return LinkColors(reinterpret_cast<HDC>(wParam), GetLinkLook(id).color);
        }
        case WM_SETCURSOR: {
            // Sent for the control under the mouse: how the window learns of
            // moves over the links, which take the mouse messages themselves.
            HWND under = reinterpret_cast<HWND>(wParam);
            bool viewLog = under == host_.Control(kIdLinkViewLog);
            if (!viewLog && under != host_.Control(kIdLblLink)) return std::nullopt;
            if (HIWORD(lParam) == WM_MOUSEMOVE) {
                if (viewLog)
                    linkViewLog_MouseMove();
                else
                    lblLink_MouseMove();
            }
            if (!LinkCursor()) return std::nullopt;
            SetCursor(LinkCursor());
            return TRUE;
        }
        default:
            return std::nullopt;
    }
}

}  // namespace zendrel
