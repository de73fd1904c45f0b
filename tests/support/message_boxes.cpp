#include "message_boxes.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace zendrel::test {

namespace {

constexpr int kMessageTextId = 0xFFFF;
MessageBoxAnswerer* g_active = nullptr;  // the answerer of this (the only UI) thread

std::string ToUtf8(const std::wstring& text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n,
                        nullptr, nullptr);
    return bytes;
}

std::wstring WindowText(HWND hwnd) {
    // WM_GETTEXT works across processes, GetWindowText does not for controls.
    LRESULT n = SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    n = SendMessageW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(n));
    return text;
}

int IconStyle(HICON icon) {
    if (!icon) return 0;
    const std::pair<LPCWSTR, int> known[] = {
        {IDI_HAND, 16}, {IDI_QUESTION, 32}, {IDI_EXCLAMATION, 48}, {IDI_ASTERISK, 64}};
    for (auto [id, style] : known)
        if (LoadIconW(nullptr, id) == icon) return style;
    return -1;
}

struct FindData {
    DWORD processId;
    const std::function<bool(HWND)>* match;
    HWND found;
};

BOOL CALLBACK FindInProcess(HWND hwnd, LPARAM lp) {
    auto* data = reinterpret_cast<FindData*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == data->processId && (*data->match)(hwnd)) {
        data->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

std::wstring ClassName(HWND hwnd) {
    wchar_t cls[32] = {};
    GetClassNameW(hwnd, cls, 32);
    return cls;
}

bool IsIconControl(HWND child) {
    return (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
}

// A dialog whose children are buttons and texts only, one button at least: a
// task dialog (the Open dialog, the Find dialog and the password dialog have
// boxes to type in).
bool IsTaskDialog(HWND hwnd) {
    bool button = false;
    for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        std::wstring cls = ClassName(child);
        if (_wcsicmp(cls.c_str(), L"Button") == 0)
            button = true;
        else if (_wcsicmp(cls.c_str(), L"Static") != 0 && cls != L"SysLink")
            return false;
    }
    return button;
}

}  // namespace

bool IsMessageBox(HWND hwnd) {
    if (ClassName(hwnd) != L"#32770" || !IsWindowVisible(hwnd)) return false;
    // A message box has its text control and no text box (the Find dialog,
    // for one, has labels of the same id, and a text box).
    if (GetDlgItem(hwnd, kMessageTextId) != nullptr)
        return FindWindowExW(hwnd, nullptr, L"Edit", nullptr) == nullptr;
    return IsTaskDialog(hwnd);
}

BoxInfo ReadBox(HWND box) {
    BoxInfo info;
    info.hwnd = box;
    info.title = WindowText(box);
    HWND messageText = GetDlgItem(box, kMessageTextId);
    if (messageText) info.text = WindowText(messageText);
    GetWindowRect(box, &info.rect);
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        std::wstring cls = ClassName(child);
        if (_wcsicmp(cls.c_str(), L"Button") == 0 && IsWindowVisible(child)) {
            info.buttons.push_back(GetDlgCtrlID(child));
        } else if (_wcsicmp(cls.c_str(), L"Static") == 0 && child != messageText) {
            if (IsIconControl(child)) {
                info.icon =
                    IconStyle(reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0)));
            } else if (!messageText && IsWindowVisible(child)) {
                std::wstring text = WindowText(child);
                if (!text.empty()) info.text += (info.text.empty() ? L"" : L"\r\n") + text;
            }
        }
    }
    return info;
}

void PressButton(HWND box, int id) {
    HWND button = GetDlgItem(box, id);
    if (button)
        PostMessageW(button, BM_CLICK, 0, 0);
    else
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

HWND FindProcessWindow(DWORD processId, const std::function<bool(HWND)>& match) {
    FindData data{processId, &match, nullptr};
    EnumWindows(FindInProcess, reinterpret_cast<LPARAM>(&data));
    return data.found;
}

HWND FindMessageBox(DWORD processId) {
    return FindProcessWindow(processId, IsMessageBox);
}

HWND WaitForMessageBox(DWORD processId, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (HWND box = FindMessageBox(processId)) {
            // The text is filled in after the box is created: wait for it.
            Sleep(50);
            return box;
        }
        if (GetTickCount() - start > timeoutMs) return nullptr;
        Sleep(20);
    }
}

MessageBoxAnswerer::MessageBoxAnswerer(std::vector<int> answers) : answers_(std::move(answers)) {
    g_active = this;
    timer_ = SetTimer(nullptr, 0, 20, OnTimer);
}

MessageBoxAnswerer::~MessageBoxAnswerer() {
    KillTimer(nullptr, timer_);
    if (g_active == this) g_active = nullptr;
    if (seen_.size() < answers_.size())
        ADD_FAILURE() << answers_.size() << " boxes were expected, " << seen_.size()
                      << " came";
}

void CALLBACK MessageBoxAnswerer::OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (g_active) g_active->Poll();
}

void MessageBoxAnswerer::Poll() {
    HWND box = FindMessageBox(GetCurrentProcessId());
    if (!box || (!seen_.empty() && seen_.back().hwnd == box && IsWindow(box))) return;
    BoxInfo info = ReadBox(box);
    if (info.text.empty()) return;  // not filled in yet: next tick
    size_t index = seen_.size();
    int answer = 0;
    if (index < answers_.size()) {
        answer = answers_[index];
    } else {
        ADD_FAILURE() << "an unexpected box: \"" << ToUtf8(info.title) << "\": "
                      << ToUtf8(info.text);
        for (int fallback : {IDCANCEL, IDOK, IDNO})
            if (std::find(info.buttons.begin(), info.buttons.end(), fallback) !=
                info.buttons.end()) {
                answer = fallback;
                break;
            }
    }
    info.pressed = answer;
    seen_.push_back(info);
    PressButton(box, answer);
}

void PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

}  // namespace zendrel::test
