#include "startup.h"

#include <windows.h>
#include <commctrl.h>

#include "command_line.h"
#include "program_name.h"
#include "resource.h"
#include "string_table.h"
#include "win32_failure.h"

namespace zendrel {

namespace {

constexpr const wchar_t* kProgramTitle = kProgramName;

}  // namespace

bool LoadCommonControls() noexcept {
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof icc;
    icc.dwICC = ICC_USEREX_CLASSES;
    return InitCommonControlsEx(&icc) != FALSE;
}

std::unique_ptr<MainFrm> Main(std::wstring_view commandLine, const std::wstring& programFolder) {
    SetProgramName(kProgramName);
    LoadCommonControls();
    StartupArguments arguments = ReadArguments(ArgumentText(commandLine));
    for (const std::wstring& piece : arguments.invalid)
        MessageBoxW(nullptr, LoadText(IDS_INVALID_ARGUMENT, {piece}).c_str(), kProgramTitle, MB_OK);
    if (arguments.installer) return nullptr;
    auto window = std::make_unique<MainFrm>(programFolder);
    window->SetQuitOnDestroy(true);
    window->Show();
    return window;
}

std::wstring RunningProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) throw FailureFromLastError(kProgramTitle);
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

int RunMessageLoop(MainFrm& window) {
    MSG msg{};
    BOOL got;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
        if (got == -1) return 1;
        if (window.PreTranslateMessage(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace zendrel
