// urls.txt beside the add-on, many times over: saves of a changing list while
// the add-on stand-in reads the file in a loop, and saving processes killed at
// random moments. Short by default; ZENDREL_STRESS=long runs 1 000 saves and
// 100 kills (the ctest tests labelled "long").
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "settings_fixture.h"
#include "stress_content.h"
#include "stress_scale.h"
#include "urls_file.h"

namespace zendrel::test {
namespace {

std::wstring ProgramBeside(const wchar_t* name) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self);
    return path.substr(0, path.find_last_of(L"\\/") + 1) + name;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string ReadBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes;
    char block[65536];
    DWORD got = 0;
    while (ReadFile(file, block, sizeof block, &got, nullptr) && got > 0) bytes.append(block, got);
    CloseHandle(file);
    return bytes;
}

// A folder of the test's own, removed with its files at the end.
class StressFolder {
  public:
    StressFolder() {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        static unsigned count = 0;
        path_ = std::wstring(temp) + L"zstress-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(++count);
        CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~StressFolder() {
        for (const std::wstring& name : Names()) DeleteFileW((path_ + L"\\" + name).c_str());
        RemoveDirectoryW(path_.c_str());
    }
    std::wstring File(const wchar_t* name) const { return path_ + L"\\" + name; }
    std::vector<std::wstring> Names() const {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((path_ + L"\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return names;
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                names.push_back(found.cFileName);
        } while (FindNextFileW(search, &found));
        FindClose(search);
        std::sort(names.begin(), names.end());
        return names;
    }

  private:
    std::wstring path_;
};

TEST(UrlsStress, SavesOfAChangingListWhileTheAddOnReadsGiveWholeFilesAndNoRefusal) {
    const int saves = StressCount(60, 1000);
    constexpr unsigned kContents = 6;  // the list cycles through these rounds
    constexpr int kReadsPerRun = 50;
    StressFolder folder;
    const std::wstring path = folder.File(L"urls.txt");
    std::wstring contentFiles;
    for (unsigned round = 0; round < kContents; ++round) {
        std::wstring file = folder.File((L"content" + std::to_wstring(round) + L".bin").c_str());
        WriteBytes(file, StressRoundBytes(round));
        contentFiles += L" \"" + file + L"\"";
    }
    WriteBytes(path, StressRoundBytes(0));
    std::vector<std::vector<std::wstring>> lists;
    for (unsigned round = 0; round < kContents; ++round) lists.push_back(StressRoundLines(round));

    // The stand-in reads in runs of kReadsPerRun until the saves are done.
    std::atomic<bool> saving{true};
    // The stand-in's exit codes: 2 when it could not open the file, 3 when a
    // read gave a partial or mixed file. Each run ends at its first such read.
    std::atomic<int> reads{0}, failedOpens{0}, partials{0}, otherEnds{0};
    std::thread reader([&] {
        const std::wstring arguments =
            L"read-urls-loop \"" + path + L"\" " + std::to_wstring(kReadsPerRun) + contentFiles;
        while (saving) {
            DWORD code = RunAddonStandin(arguments);
            if (code == 0)
                reads += kReadsPerRun;
            else
                ++(code == 2 ? failedOpens : code == 3 ? partials : otherEnds);
        }
    });
    int refused = 0;
    double longestMs = 0;
    for (int save = 1; save <= saves; ++save) {
        auto start = std::chrono::steady_clock::now();
        try {
            SaveUrlsFile(path, lists[static_cast<unsigned>(save) % kContents]);
        } catch (const Failure& failure) {
            ++refused;
            ADD_FAILURE() << "save " << save << " refused: " << failure.Number();
        }
        std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        longestMs = std::max(longestMs, took.count());
    }
    saving = false;
    reader.join();
    ReportFigures("saves while the add-on reads: " + std::to_string(saves) + " saves, " +
                  std::to_string(refused) + " refused, longest " +
                  std::to_string(static_cast<int>(longestMs)) + " ms; " +
                  std::to_string(reads.load()) + " whole reads by the add-on; " +
                  std::to_string(partials.load()) + " partial or mixed reads, " +
                  std::to_string(failedOpens.load()) + " opens that failed");
    EXPECT_EQ(refused, 0);
    EXPECT_EQ(partials, 0) << "a read saw a partial or mixed file";
    // The rename that puts the new file in place holds it, for an instant,
    // with a handle that shares no reading: an fopen at that instant fails
    // and the add-on opens the file again. Counted, never a partial file.
    EXPECT_EQ(otherEnds, 0);
    EXPECT_GT(reads, 0);
    // The reader waits about two seconds at most; the rest is writing.
    EXPECT_LT(longestMs, 4000);
    EXPECT_EQ(WholeRoundOf(ReadBytes(path)), static_cast<long>(saves % kContents));
}

TEST(UrlsStress, KillsOfASavingProcessAtRandomMomentsLeaveAWholeFileAndNothingInTheWay) {
    const int kills = StressCount(10, 100);
    StressFolder folder;
    const std::wstring path = folder.File(L"urls.txt");
    WriteBytes(path, StressRoundBytes(0));
    const std::wstring child = ProgramBeside(L"stress_save_child.exe");
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> pause(0, 300);
    std::vector<HANDLE> killed;  // held, so that no new process takes a killed one's id
    int midSave = 0, whole = 0, laterSaves = 0;
    unsigned round = 1;
    for (int kill = 0; kill < kills; ++kill) {
        std::wstring eventName = L"zstress-saved-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                 std::to_wstring(kill);
        HANDLE saved = CreateEventW(nullptr, FALSE, FALSE, eventName.c_str());
        ASSERT_NE(saved, nullptr);
        std::wstring commandLine =
            L"\"" + child + L"\" \"" + path + L"\" " + eventName + L" " + std::to_wstring(round);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        ASSERT_TRUE(CreateProcessW(child.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                   nullptr, nullptr, &startup, &process));
        CloseHandle(process.hThread);
        killed.push_back(process.hProcess);
        // After its first save, at a random moment of the saves that follow.
        HANDLE waits[2] = {saved, process.hProcess};
        ASSERT_EQ(WaitForMultipleObjects(2, waits, FALSE, 60000), WAIT_OBJECT_0)
            << "the child ended or made no save";
        Sleep(static_cast<DWORD>(pause(random)));
        ASSERT_TRUE(TerminateProcess(process.hProcess, 99));
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(saved);

        long found = WholeRoundOf(ReadBytes(path));
        EXPECT_GE(found, static_cast<long>(round)) << "kill " << kill << " (seed " << seed << ")";
        if (found >= 0) ++whole;
        if (folder.Names().size() > 1) ++midSave;
        round = static_cast<unsigned>(std::max<long>(found, round)) + 1000;
        // A later save by another process goes through and clears what the
        // killed one left.
        try {
            SaveUrlsFile(path, StressRoundLines(round));
            if (folder.Names() == std::vector<std::wstring>{L"urls.txt"}) ++laterSaves;
        } catch (const Failure& failure) {
            ADD_FAILURE() << "the save after kill " << kill << " failed: " << failure.Number();
        }
        ++round;
    }
    for (HANDLE process : killed) CloseHandle(process);
    ReportFigures(
        "kills of a saving process: " + std::to_string(kills) + " kills (seed " +
        std::to_string(seed) + "), " + std::to_string(midSave) +
        " while a save was under way; urls.txt whole after " + std::to_string(whole) +
        "; later saves that went through and left only urls.txt: " + std::to_string(laterSaves));
    EXPECT_EQ(whole, kills);
    EXPECT_EQ(laterSaves, kills);
    EXPECT_GT(midSave, 0) << "no kill landed while a save was under way";
}

}  // namespace
}  // namespace zendrel::test
