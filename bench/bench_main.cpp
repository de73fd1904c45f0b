// zendrel_bench: measures the settings program against baselines taken in the
// same run and prints one table. Run by ./bench.sh under Wine, in a prefix of
// its own: it writes the settings key and a program folder under %TEMP%.
//
//   start     ZendrelPanel.exe from CreateProcess to its visible window,
//             against bare_window.exe (an empty window); and, to show what
//             visual styles alone cost, bare_window_styled.exe (the same
//             window with the common controls 6 of the program's manifest),
//             and, to show what the controls alone cost,
//             bare_window_controls.exe (that window holding the settings
//             window's controls, empty)
//   load      the window opened on N approved sites and 10 000 requests,
//             against reading the same bytes into list boxes with redraw off
//   save      the window's save of every setting, as Yes to its close
//             question does, against writing the bytes of both lists once
//             with a flush
//   memory    peak working set of ZendrelPanel.exe with 100 000 sites,
//             against bare_window.exe
//   tool      zendrelctl.exe importing 100 000 sites into an empty list, and
//             listing them, from CreateProcess to its exit, against the load
//             baseline
//   guard     ZendrelGuard.exe as a service: change to put-back, idle CPU and
//             working set, under floods of a standard account (pupil.exe),
//             and with 200 signed-in filtered accounts (bench_guard.cpp);
//             `zendrel_bench --guard` runs these rows alone
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench_guard.h"
#include "bench_timing.h"
#include "controls.h"
#include "main_frm.h"
#include "main_layout.h"
#include "settings_store.h"
#include "startup.h"
#include "urls_file.h"

namespace zendrel::bench {
namespace {

constexpr int kRequests = 10'000;
constexpr DWORD kPatienceMs = 120'000;

std::wstring Folder(const std::wstring& path) {
    return path.substr(0, path.find_last_of(L"\\/"));
}

std::wstring ThisFolder() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return Folder(self);
}

void WriteBytes(const std::wstring& path, const std::string& bytes, bool flush = false) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    if (flush) FlushFileBuffers(file);
    CloseHandle(file);
}

std::string ReadBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    LARGE_INTEGER size{};
    GetFileSizeEx(file, &size);
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD got = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(file);
    bytes.resize(got);
    return bytes;
}

std::string SitesFile(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += "www.site" + std::to_string(i) + ".example.org\r\n";
    return text;
}

// "requests" as the add-on leaves it: every entry ended by a NUL, one more after.
std::string RequestsValue(int count) {
    std::string value;
    for (int i = 0; i < count; ++i) value += "asked" + std::to_string(i) + ".example.net" + '\0';
    return value + '\0';
}

HKEY SettingsKey() {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Orvantix\\Zendrel", 0, nullptr, 0,
                    KEY_ALL_ACCESS, nullptr, &key, nullptr);
    return key;
}

void StoreRequests(const std::string& value) {
    HKEY key = SettingsKey();
    RegDeleteValueW(key, L"config");  // no password: the window opens at once
    RegSetValueExA(key, "requests", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(value.data()),
                   static_cast<DWORD>(value.size()));
    RegCloseKey(key);
}

std::string ReadRequests() {
    HKEY key = SettingsKey();
    DWORD type = 0, size = 0;
    RegQueryValueExA(key, "requests", nullptr, &type, nullptr, &size);
    std::string value(size, '\0');
    RegQueryValueExA(key, "requests", nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size);
    RegCloseKey(key);
    return value;
}

void PumpPending() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// --- start-up and memory: the programs as child processes ---

struct WindowSearch {
    DWORD pid;
    bool found;
};

BOOL CALLBACK FindVisible(HWND hwnd, LPARAM lp) {
    auto* search = reinterpret_cast<WindowSearch*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == search->pid && IsWindowVisible(hwnd)) {
        search->found = true;
        return FALSE;
    }
    return TRUE;
}

struct ChildRun {
    double startMs = -1;       // CreateProcess to the first visible window
    double peakMegabytes = 0;  // peak working set once the window shows
};

ChildRun RunUntilVisible(const std::wstring& program) {
    ChildRun run;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    std::wstring commandLine = L"\"" + program + L"\"";
    Stopwatch watch;
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        Folder(program).c_str(), &startup, &process))
        return run;
    for (;;) {
        WindowSearch search{process.dwProcessId, false};
        EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            run.startMs = watch.Milliseconds();
            break;
        }
        if (WaitForSingleObject(process.hProcess, 1) == WAIT_OBJECT_0 ||
            watch.Milliseconds() > kPatienceMs)
            break;
    }
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    if (GetProcessMemoryInfo(process.hProcess, &counters, sizeof(counters)))
        run.peakMegabytes = static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, kPatienceMs);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return run;
}

// From CreateProcess until the program exits, its output thrown away.
double RunToExit(const std::wstring& program, const std::wstring& arguments) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul;
    startup.hStdOutput = nul;
    startup.hStdError = nul;
    PROCESS_INFORMATION process{};
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    Stopwatch watch;
    double ms = -1;
    if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                       CREATE_NO_WINDOW, nullptr, Folder(program).c_str(), &startup, &process)) {
        WaitForSingleObject(process.hProcess, kPatienceMs);
        ms = watch.Milliseconds();
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(nul);
    return ms;
}

// --- load and save: the window in this process ---

// The baseline of a load: the same bytes read, converted and put into two
// list boxes of a plain window with redraw off, the window then shown.
double BaselineLoad(const std::wstring& urlsPath) {
    Stopwatch watch;
    HWND window = CreateWindowExW(0, L"BenchBaseline", L"Baseline", WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 420, 500, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    auto fill = [window](const std::string& bytes, const wchar_t* separators, int y) {
        HWND list =
            CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"",
                            WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                            10, y, 380, 200, window, nullptr, nullptr, nullptr);
        std::wstring text(bytes.size(), L'\0');
        text.resize(MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                                        text.data(), static_cast<int>(text.size())));
        SendMessageW(list, WM_SETREDRAW, FALSE, 0);
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find_first_of(separators, start, 2);
            if (end == std::wstring::npos) end = text.size();
            if (end > start)
                SendMessageW(
                    list, LB_ADDSTRING, 0,
                    reinterpret_cast<LPARAM>(std::wstring(text, start, end - start).c_str()));
            start = end + 1;
        }
        SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    };
    fill(ReadBytes(urlsPath), L"\r\n", 10);
    fill(ReadRequests(), std::wstring(2, L'\0').c_str(), 220);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    double ms = watch.Milliseconds();
    DestroyWindow(window);
    PumpPending();
    return ms;
}

double BaselineSave(const std::wstring& folder, const std::string& bytes) {
    Stopwatch watch;
    WriteBytes(folder + L"\\baseline.bin", bytes, true);
    return watch.Milliseconds();
}

// A save is short beside the noise of a shared machine: each window saves
// this many times, each save next to a baseline write.
constexpr int kSavesPerWindow = 5;

// Opens the window on the folder (the settings load, the window shows), then
// saves as Yes to the close question does, each save after a baseline write
// of `bytes`; the times go to the lists.
void WindowLoadAndSave(const std::wstring& folder, const std::string& bytes,
                       std::vector<double>& loads, std::vector<double>& saves,
                       std::vector<double>& baseSaves) {
    Stopwatch load;
    auto window = std::make_unique<MainFrm>(folder, 96);
    window->Show();
    UpdateWindow(window->Hwnd());
    loads.push_back(load.Milliseconds());
    for (int i = 0; i < kSavesPerWindow; ++i) {
        baseSaves.push_back(BaselineSave(folder, bytes));
        Stopwatch save;
        window->SaveSettings();
        saves.push_back(save.Milliseconds());
    }
    window.reset();
    PumpPending();
}

// --- the table ---

constexpr int kGuardChanges = 100;
constexpr int kGuardIdleSeconds = 60;

// A folder of its own under %TEMP% with copies of the programs measured.
std::wstring BenchFolder() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder =
        std::wstring(temp) + L"zendrel-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring bin = ThisFolder();
    for (const wchar_t* name :
         {L"\\ZendrelPanel.exe", L"\\bare_window.exe", L"\\bare_window_styled.exe",
          L"\\bare_window_controls.exe", L"\\zendrelctl.exe", L"\\ZendrelGuard.exe",
          L"\\bare_console.exe", L"\\bare_service.exe", L"\\pupil.exe"})
        CopyFileW((bin + name).c_str(), (folder + name).c_str(), FALSE);
    return folder;
}

int Run(int runs) {
    WNDCLASSW baseline{};
    baseline.lpfnWndProc = DefWindowProcW;
    baseline.hInstance = GetModuleHandleW(nullptr);
    baseline.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    baseline.lpszClassName = L"BenchBaseline";
    RegisterClassW(&baseline);

    std::wstring folder = BenchFolder();
    const std::wstring urls = folder + L"\\urls.txt";
    const std::wstring panel = folder + L"\\ZendrelPanel.exe";
    const std::wstring bare = folder + L"\\bare_window.exe";
    const std::wstring styled = folder + L"\\bare_window_styled.exe";
    const std::wstring controls = folder + L"\\bare_window_controls.exe";

    Header();
    // Start-up, with an empty list and no requests.
    WriteBytes(urls, "");
    StoreRequests(std::string(2, '\0'));
    RunUntilVisible(panel);  // the first start fills the caches
    RunUntilVisible(bare);
    Pair start = Alternating(
        runs * 2, [&] { return RunUntilVisible(panel).startMs; },
        [&] { return RunUntilVisible(bare).startMs; });
    Row("start to visible window", start.measured, start.baseline, "ms", kInformation);
    Pair styles = Alternating(
        runs * 2, [&] { return RunUntilVisible(styled).startMs; },
        [&] { return RunUntilVisible(bare).startMs; });
    Row("start, the empty window with visual styles", styles.measured, styles.baseline, "ms", 0);
    Pair bareControls = Alternating(
        runs * 2, [&] { return RunUntilVisible(controls).startMs; },
        [&] { return RunUntilVisible(bare).startMs; });
    Row("start, that window with the 27 controls, empty", bareControls.measured,
        bareControls.baseline, "ms", 0);
    // The target row alternates the two programs it compares, so that both
    // meet the same moment's machine (the rows above meet it at another), and
    // takes twice as many starts as they do: the two differ by a few percent,
    // about what one start varies by.
    Pair againstControls = Alternating(
        runs * 4, [&] { return RunUntilVisible(panel).startMs; },
        [&] { return RunUntilVisible(controls).startMs; });
    Row("start, against that window with the controls", againstControls.measured,
        againstControls.baseline, "ms", 1.05);

    const std::string requests = RequestsValue(kRequests);
    double load10k = 0, baseLoad100k = 0;
    for (int sites : {1'000, 10'000, 100'000}) {
        const std::string file = SitesFile(sites);
        WriteBytes(urls, file);
        StoreRequests(requests);
        std::vector<double> loads, saves, baseLoads, baseSaves;
        for (int i = 0; i < runs; ++i) {
            WindowLoadAndSave(folder, file + requests, loads, saves, baseSaves);
            baseLoads.push_back(BaselineLoad(urls));
        }
        std::string what = std::to_string(sites) + " sites and 10000 requests";
        Row(("load " + what).c_str(), Median(loads), Median(baseLoads), "ms",
            sites == 100'000 ? 1.5 : 0);
        Row(("save " + what).c_str(), Median(saves), Median(baseSaves), "ms",
            sites == 100'000 ? 2.0 : 0);
        if (sites == 10'000) load10k = Median(loads);
        if (sites == 100'000) baseLoad100k = Median(baseLoads);
        if (sites == 100'000)
            Row("load 100000 sites against load 10000 sites", Median(loads), load10k, "ms", 12.0);
    }

    // Peak memory with 100 000 sites (urls.txt still holds them).
    std::vector<double> peaks, barePeaks;
    for (int i = 0; i < runs; ++i) {
        peaks.push_back(RunUntilVisible(panel).peakMegabytes);
        barePeaks.push_back(RunUntilVisible(bare).peakMegabytes);
    }
    Row("peak memory, 100000 sites (working set)", Median(peaks), Median(barePeaks), "MB", 0);

    // The command-line tool on the same 100 000 sites.
    const std::wstring tool = folder + L"\\zendrelctl.exe";
    const std::wstring sitesFile = folder + L"\\import.txt";
    const std::wstring folderOption = L"--folder \"" + folder + L"\" ";
    WriteBytes(sitesFile, SitesFile(100'000));
    std::vector<double> imports, lists;
    for (int i = 0; i < runs; ++i) {
        WriteBytes(urls, "");
        imports.push_back(RunToExit(tool, folderOption + L"import \"" + sitesFile + L"\""));
        lists.push_back(RunToExit(tool, folderOption + L"list"));
    }
    Row("import 100000 sites (command-line tool)", Median(imports), baseLoad100k, "ms", 0);
    Row("list 100000 sites (command-line tool)", Median(lists), baseLoad100k, "ms", 0);
    StoreRequests(std::string(2, '\0'));

    GuardRows(folder, kGuardChanges, kGuardIdleSeconds);
    return 0;
}

}  // namespace
}  // namespace zendrel::bench

int wmain(int argc, wchar_t** argv) {
    // --start PROGRAM...: only the start-up time of each program (median of
    // ten), to find where the start-up time goes.
    if (argc > 2 && std::wstring(argv[1]) == L"--start") {
        for (int i = 2; i < argc; ++i) {
            std::vector<double> starts;
            for (int run = 0; run < 11; ++run)
                starts.push_back(zendrel::bench::RunUntilVisible(argv[i]).startMs);
            std::printf("%8.1f ms  %ls\n", zendrel::bench::Median(starts), argv[i]);
        }
        return 0;
    }
    // --phases FOLDER: the start-up of the window in this process, phase by
    // phase (the libraries are loaded already).
    if (argc > 2 && std::wstring(argv[1]) == L"--phases") {
        for (int run = 0; run < 3; ++run) {
            zendrel::bench::Stopwatch watch;
            zendrel::LoadCommonControls();
            double controls = watch.Milliseconds();
            auto window = std::make_unique<zendrel::MainFrm>(argv[2]);
            double created = watch.Milliseconds();
            window->Show();
            double shown = watch.Milliseconds();
            UpdateWindow(window->Hwnd());
            double painted = watch.Milliseconds();
            std::printf(
                "common controls %.1f, window and controls %.1f, load and show %.1f, "
                "paint %.1f ms\n",
                controls, created - controls, shown - created, painted - shown);
            window.reset();
        }
        return 0;
    }
    // --save-phases FOLDER: the window's save, then the store's steps of it,
    // with 10 000 requests stored.
    if (argc > 2 && std::wstring(argv[1]) == L"--save-phases") {
        zendrel::bench::StoreRequests(zendrel::bench::RequestsValue(zendrel::bench::kRequests));
        auto window = std::make_unique<zendrel::MainFrm>(argv[2]);
        window->Show();
        zendrel::SettingsStore store(argv[2]);
        auto loaded = store.LoadUrlsBytes();
        const std::vector<std::wstring> sites = zendrel::UrlsFileSites(*loaded);
        for (int run = 0; run < 3; ++run) {
            zendrel::bench::Stopwatch watch;
            window->SaveSettings();
            double all = watch.Milliseconds();
            store.LoadApprovedSitesIfChanged(*loaded);
            double check = watch.Milliseconds();
            store.SaveApprovedSites(sites);
            double urls = watch.Milliseconds();
            store.SaveRequestedSites({});
            double requests = watch.Milliseconds();
            std::printf(
                "window's save %.1f; of it: urls.txt unchanged? %.1f, urls.txt written %.1f, "
                "requests %.1f ms\n",
                all, check - all, urls - check, requests - urls);
        }
        return 0;
    }
    // --server-calls: what one call to Wine's server costs on this machine
    // (a window's user data set), and what one static control costs to make,
    // which is made of such calls.
    if (argc > 1 && std::wstring(argv[1]) == L"--server-calls") {
        HWND parent =
            CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        for (int run = 0; run < 3; ++run) {
            constexpr int kCalls = 2000, kControls = 200;
            zendrel::bench::Stopwatch calls;
            for (int i = 0; i < kCalls; ++i) SetWindowLongPtrW(parent, GWLP_USERDATA, i);
            double callMs = calls.Milliseconds();
            zendrel::bench::Stopwatch controls;
            for (int i = 0; i < kControls; ++i)
                DestroyWindow(CreateWindowExW(0, L"STATIC", L"text", WS_CHILD | WS_VISIBLE, 0, 0,
                                              10, 10, parent, nullptr, nullptr, nullptr));
            std::printf("one server call %.1f us; one static control made and destroyed %.2f ms\n",
                        1000.0 * callMs / kCalls, controls.Milliseconds() / kControls);
        }
        DestroyWindow(parent);
        return 0;
    }
    if (argc > 1 && std::wstring(argv[1]) == L"--guard") {
        zendrel::bench::Header();
        zendrel::bench::GuardRows(zendrel::bench::BenchFolder(), zendrel::bench::kGuardChanges,
                                  zendrel::bench::kGuardIdleSeconds);
        return 0;
    }
    int runs = argc > 1 ? _wtoi(argv[1]) : 5;
    return zendrel::bench::Run(runs > 0 ? runs : 5);
}
