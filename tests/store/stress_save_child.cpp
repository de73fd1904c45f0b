// Child of the kill stress test: saves urls.txt over and over with a list that
// changes at every save (StressRoundLines), until it is killed. It sets the
// named event after each completed save, and pauses after each block written
// so that kills land while a save is under way as well as between saves.
//   stress_save_child.exe PATH EVENT FIRST_ROUND
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "stress_content.h"
#include "urls_file.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) return 1;
    const std::wstring path = argv[1];
    HANDLE saved = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]);
    if (saved == nullptr) return 2;
    unsigned round = static_cast<unsigned>(std::wcstoul(argv[3], nullptr, 10));
    try {
        for (;; ++round) {
            zendrel::detail::SaveUrlsFile(path, zendrel::test::StressRoundLines(round),
                                          [](std::size_t) { Sleep(1); });
            SetEvent(saved);
        }
    } catch (const zendrel::Failure& failure) {
        std::fwprintf(stderr, L"save failed: %d %ls\n", failure.Number(),
                      failure.Description().c_str());
        return 3;
    }
}
