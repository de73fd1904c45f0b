// zendrelctl: Zendrel's settings from the command line (see cli.cpp).
#include <windows.h>

#include <string>
#include <vector>

#include "cli.h"
#include "console.h"
#include "failure.h"
#include "system_libraries.h"

namespace {

// The folder of this program, where urls.txt lives beside the settings window.
std::wstring ProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L"\\/"));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    zendrel::KeepLibrarySearchToSystemFolder();
    try {
        std::vector<std::wstring> arguments(argv + 1, argv + argc);
        return zendrel::ctl::Run(arguments, ProgramFolder());
    } catch (...) {
        zendrel::Failure failure = zendrel::CurrentFailure();
        zendrel::ctl::WriteLine(zendrel::ctl::Stream::Err,
                                L"zendrelctl: " + failure.Description() + L" (" +
                                    std::to_wstring(failure.Number()) + L")");
        return zendrel::ctl::kExitFailure;
    }
}
