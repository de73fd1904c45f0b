// Child of the kill test: saves urls.txt over and over, alternating between
// the two contents of urls_kill_content.h, until it is killed. After its first
// completed save it sets the named event given on its command line. It pauses
// after each block written, so that a good share of the kills land while the
// content is being written.
//   urls_save_child.exe PATH EVENT   saves until killed
//   urls_save_child.exe              ends at once (a process that has ended)
#include <windows.h>

#include <cstdio>

#include "urls_file.h"
#include "urls_kill_content.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 0;
    const std::wstring path = argv[1];
    HANDLE saved = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]);
    if (saved == nullptr) return 2;
    const std::vector<std::wstring> contents[2] = {zendrel::test::KillTestLines(L'a'),
                                                   zendrel::test::KillTestLines(L'b')};
    try {
        for (unsigned round = 1;; ++round) {
            zendrel::detail::SaveUrlsFile(path, contents[round % 2], [](std::size_t) { Sleep(1); });
            SetEvent(saved);
        }
    } catch (const zendrel::Failure& failure) {
        std::fwprintf(stderr, L"save failed: %d %ls\n", failure.Number(),
                      failure.Description().c_str());
        return 3;
    }
}
