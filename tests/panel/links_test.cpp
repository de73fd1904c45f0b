// The two link labels of the main window as a user meets them: clicks that
// open the activity log (or explain that there is none) and the help topic,
// and the highlight that follows the mouse. The mouse is real input, routed
// by the system to whatever lies under the pointer.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <optional>
#include <utility>
#include <vector>

#include "ansi.h"
#include "panel_fixture.h"
#include "shell_open.h"
#include "twips.h"
#include "window_driver.h"

namespace zendrel::test {
namespace {

using namespace std::string_literals;

constexpr COLORREF kDarkBlue = RGB(0, 0, 192);
constexpr COLORREF kBlue = RGB(0, 0, 255);

std::wstring ExeFolder() {
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring folder(exe);
    return folder.substr(0, folder.find_last_of(L'\\'));
}

void SendMouse(POINT screen, DWORD buttons) {
    // Absolute positions run from 0 to 65535 over the screen.
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = (screen.x * 65536 + width - 1) / width;
    input.mi.dy = (screen.y * 65536 + height - 1) / height;
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | buttons;
    ASSERT_EQ(SendInput(1, &input, sizeof(input)), 1u);
}

// While it lives, the shell opens the plain text types (.txt, .log, .csv)
// with the recorder, which writes down every path it is handed; the types'
// former classes come back after.
class LogFileHandler {
  public:
    LogFileHandler() {
        std::wstring folder = ExeFolder();
        record_ = folder + L"\\zlog_record_" + std::to_wstring(GetCurrentProcessId()) + L".txt";
        DeleteFileW(record_.c_str());
        DeleteFileW((record_ + L".parent").c_str());
        SetDefault(kCommandKey,
                   L"\"" + folder + L"\\shell_recorder.exe\" \"" + record_ + L"\" \"%1\"");
        for (const wchar_t* type : kTypes) {
            std::wstring key = std::wstring(L"Software\\Classes\\") + type;
            formerClasses_.push_back(Default(key));
            SetDefault(key, kClass);
        }
    }
    ~LogFileHandler() {
        for (std::size_t i = 0; i < std::size(kTypes); ++i) {
            std::wstring key = std::wstring(L"Software\\Classes\\") + kTypes[i];
            if (formerClasses_[i])
                SetDefault(key, *formerClasses_[i]);
            else
                DeleteKeyTree(HKEY_LOCAL_MACHINE, key);
        }
        DeleteKeyTree(HKEY_LOCAL_MACHINE, std::wstring(L"Software\\Classes\\") + kClass);
        DeleteFileW(record_.c_str());
        DeleteFileW((record_ + L".parent").c_str());
    }

    // What the recorder has written down, once it has written something.
    std::wstring WaitForOpened() const {
        std::wstring text;
        for (int tries = 0; tries < 600 && text.empty(); ++tries) {
            if (tries) Sleep(50);
            text = Opened();
        }
        return text;
    }
    // The process that started the recorder, once it has.
    DWORD OpenerId() const {
        std::wstring text = Read(record_ + L".parent");
        return text.empty() ? 0 : std::stoul(std::string(text.begin(), text.end()));
    }
    // What the recorder has written down so far.
    std::wstring Opened() const { return Read(record_); }

  private:
    static std::wstring Read(const std::wstring& path) {
        std::wstring text;
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return text;
        text.resize(GetFileSize(file, nullptr) / sizeof(wchar_t));
        DWORD got = 0;
        ReadFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &got,
                 nullptr);
        CloseHandle(file);
        return text;
    }

    static constexpr const wchar_t* kTypes[] = {L".txt", L".log", L".csv"};
    static constexpr wchar_t kClass[] = L"ZendrelTest.log";
    static constexpr wchar_t kCommandKey[] =
        L"Software\\Classes\\ZendrelTest.log\\shell\\open\\command";

    static std::optional<std::wstring> Default(const std::wstring& path) {
        wchar_t text[512] = {};
        DWORD size = sizeof text - sizeof(wchar_t);
        if (RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text,
                         &size) != ERROR_SUCCESS)
            return std::nullopt;
        return std::wstring(text);
    }
    static void SetDefault(const std::wstring& path, const std::wstring& text) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }

    std::wstring record_;
    std::vector<std::optional<std::wstring>> formerClasses_;
};

// The folder Setup protects for the log (<common application data>\Zendrel),
// made when the prefix has none; the test's files in it go with the object.
class ProtectedLogFolder {
  public:
    ProtectedLogFolder() {
        wchar_t common[MAX_PATH] = {};
        EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT,
                                   common),
                  S_OK);
        folder_ = std::wstring(common) + L"\\Zendrel";
        made_ = CreateDirectoryW(folder_.c_str(), nullptr);
    }
    ~ProtectedLogFolder() {
        for (const std::wstring& file : files_) DeleteFileW(file.c_str());
        if (made_) RemoveDirectoryW(folder_.c_str());
    }
    const std::wstring& Folder() const { return folder_; }
    // A path in the folder, unique to this process; the file is made when asked.
    std::wstring File(const std::wstring& name, bool make) {
        std::wstring path = folder_ + L"\\" + std::to_wstring(GetCurrentProcessId()) + L" " + name;
        files_.push_back(path);
        if (make)
            CloseHandle(
                CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        return path;
    }

  private:
    std::wstring folder_;
    bool made_ = false;
    std::vector<std::wstring> files_;
};

class LinksTest : public PanelFixture {
  protected:
    void SetUp() override {
        SettingsFixture::SetUp();
        // The pointer starts away from the window: no link lights up as it opens.
        GetCursorPos(&pointerBefore_);
        SendMouse({0, 0}, 0);
        window_ = OpenWindow();
        ASSERT_TRUE(boxes_.Seen().empty());
    }
    void TearDown() override {
        window_.reset();
        SendMouse(pointerBefore_, 0);  // the next test finds the pointer where it was
        SettingsFixture::TearDown();
    }

    // A point of the window's inner area, given in twips, on the screen.
    POINT At(int xTwips, int yTwips) const {
        POINT point{TwipsToPixels(xTwips, window_->Dpi()), TwipsToPixels(yTwips, window_->Dpi())};
        ClientToScreen(window_->Hwnd(), &point);
        return point;
    }
    POINT Centre(int id) const {
        RECT r{};
        GetWindowRect(window_->Control(id), &r);
        return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    void MoveTo(POINT screen) {
        SendMouse(screen, 0);
        Pump(*window_);
    }
    // A click on a control; clicks follow each other at points far enough
    // apart that two of them never make a double click.
    void ClickOn(int id) {
        POINT point = Centre(id);
        point.x += (clicks_++ % 2) ? 10 : -10;
        SendMouse(point, MOUSEEVENTF_LEFTDOWN);
        SendMouse(point, MOUSEEVENTF_LEFTUP);
        Pump(*window_);
    }

    // How a link is drawn now: the text colour the window gives it when it
    // paints, and whether its font is underlined.
    std::pair<COLORREF, bool> Look(int id) const {
        HWND link = window_->Control(id);
        HDC dc = CreateCompatibleDC(nullptr);
        SendMessageW(window_->Hwnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(link));
        COLORREF color = GetTextColor(dc);
        DeleteDC(dc);
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(link, WM_GETFONT, 0, 0)), sizeof font,
                   &font);
        return {color, font.lfUnderline != 0};
    }

    MessageBoxAnswerer boxes_;
    std::unique_ptr<MainFrm> window_;
    int clicks_ = 0;
    POINT pointerBefore_{};
};

TEST_F(LinksTest, WithoutALogTheViewLinkExplainsInAPositionedNotice) {
    const std::wstring notice =
        L"An activity log file doesn't exist on your computer.  After you have browsed \r\n"
        L"the internet the file will be created and populated with internet activity for users "
        L"\r\nthat have Zendrel enabled.";
    boxes_.Then(IDOK);
    boxes_.Then(IDOK);
    ClickOn(kIdLinkViewLog);  // no "activitylogloc" at all
    SetValue(HKEY_LOCAL_MACHINE, "activitylogloc", REG_SZ, "\0"s);
    ClickOn(kIdLinkViewLog);
    ASSERT_EQ(boxes_.Seen().size(), 2u);
    for (const BoxInfo& box : boxes_.Seen()) {
        EXPECT_EQ(box.title, L"Activity Log");
        EXPECT_EQ(box.text, notice);
        EXPECT_EQ(box.icon, 64);
        EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
        EXPECT_EQ(box.rect.left, 0);
        EXPECT_EQ(box.rect.top, 250);
    }
}

TEST_F(LinksTest, TheViewLinkHandsTheStoredPathToTheShell) {
    LogFileHandler handler;
    ProtectedLogFolder protectedFolder;
    std::wstring missing = protectedFolder.File(L"no such log.txt", false);
    std::wstring log = protectedFolder.File(L"Activity Log.txt", true);

    boxes_.Then(IDOK);
    SetValue(HKEY_LOCAL_MACHINE, "activitylogloc", REG_SZ, ToAnsi(missing) + '\0');
    ClickOn(kIdLinkViewLog);
    SetValue(HKEY_LOCAL_MACHINE, "activitylogloc", REG_SZ, ToAnsi(log) + '\0');
    ClickOn(kIdLinkViewLog);
    // Only the file that exists opened; the missing one is said to be missing.
    EXPECT_EQ(handler.WaitForOpened(), log + L"\n");
    ASSERT_EQ(boxes_.Seen().size(), 1u);
    EXPECT_EQ(boxes_.Seen()[0].text.rfind(L"The activity log " + missing + L" is missing", 0), 0u);
    // Elevated, the window has the desktop shell open it, never with its own
    // elevated token.
    if (RunningElevated()) {
        EXPECT_NE(handler.OpenerId(), GetCurrentProcessId());
        EXPECT_NE(handler.OpenerId(), 0u);
    }
}

TEST_F(LinksTest, OnlyAPlainTextDocumentOnADriveOfThisComputerOpensAsTheLog) {
    LogFileHandler handler;
    const std::wstring notLocal = L"is not a file on a drive of this computer";
    const std::wstring notText = L"is not a plain text document (only .txt, .log and .csv";
    ASSERT_TRUE(CreateDirectoryW((Folder() + L"\\folder.txt").c_str(), nullptr));
    ProtectedLogFolder protectedFolder;  // where a log opens without a question
    struct Case {
        std::wstring path, why;  // why empty: it opens
    };
    const Case cases[] = {
        {Folder() + L"\\activity", notText},  // no type
        {Folder() + L"\\help.chm", notText},
        {Folder() + L"\\Documents.library-ms", notText},
        {Folder() + L"\\evil.txt.lnk", notText},
        {L"\\\\host\\share\\log.txt", notLocal},
        {L"\\\\?\\" + Folder() + L"\\activity.txt", notLocal},
        {L"\\\\.\\" + Folder() + L"\\activity.txt", notLocal},
        {Folder() + L"\\CON.txt", notLocal},
        {L"http://example.com/log.txt", notLocal},
        {Folder() + L"\\folder.txt", L"is a folder, not a document"},
        {protectedFolder.File(L"activity.txt", false), L""},
        {protectedFolder.File(L"Activity.LOG", false), L""},
        {protectedFolder.File(L"sites.csv", false), L""},
    };
    std::wstring opened;
    for (const Case& c : cases) {
        SCOPED_TRACE(ToAnsi(c.path));
        if (c.why.empty())
            CloseHandle(
                CreateFileW(c.path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        else
            boxes_.Then(IDOK);
        std::size_t seen = boxes_.Seen().size();
        SetValue(HKEY_LOCAL_MACHINE, "activitylogloc", REG_SZ, ToAnsi(c.path) + '\0');
        ClickOn(kIdLinkViewLog);
        if (c.why.empty()) {
            opened += c.path + L"\n";
            for (int tries = 0; tries < 600 && handler.Opened() != opened; ++tries) Sleep(50);
            EXPECT_EQ(handler.Opened(), opened);
            EXPECT_EQ(boxes_.Seen().size(), seen);
            continue;
        }
        ASSERT_EQ(boxes_.Seen().size(), seen + 1);
        const BoxInfo& box = boxes_.Seen().back();
        EXPECT_EQ(box.title, L"Activity Log");
        EXPECT_EQ(box.icon, 48);
        EXPECT_EQ(box.text.rfind(L"Zendrel did not open the activity log, because its recorded "
                                 L"location " +
                                     c.why,
                                 0),
                  0u)
            << ToAnsi(box.text);
        EXPECT_NE(box.text.find(L"\"activitylogloc\""), std::wstring::npos);
        // A refused location reaches no program.
        EXPECT_EQ(handler.Opened(), opened);
    }
}

TEST_F(LinksTest, ALogOutsideTheProtectedFolderOpensOnlyWhenTheAdministratorSaysSo) {
    LogFileHandler handler;
    ProtectedLogFolder protectedFolder;
    std::wstring log = Folder() + L"\\forged log.txt";
    CloseHandle(CreateFileW(log.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    SetValue(HKEY_LOCAL_MACHINE, "activitylogloc", REG_SZ, ToAnsi(log) + '\0');
    boxes_.Then(IDNO);
    ClickOn(kIdLinkViewLog);
    ASSERT_EQ(boxes_.Seen().size(), 1u);
    const BoxInfo& box = boxes_.Seen()[0];
    EXPECT_EQ(box.title, L"Activity Log");
    EXPECT_EQ(box.icon, 48);
    EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_EQ(box.text.rfind(L"The activity log's location " + log +
                                 L" lies outside the protected folder " +
                                 protectedFolder.Folder() + L",",
                             0),
              0u)
        << ToAnsi(box.text);
    Sleep(500);
    EXPECT_EQ(handler.Opened(), L"");  // No: nothing opened
    boxes_.Then(IDYES);
    ClickOn(kIdLinkViewLog);
    EXPECT_EQ(handler.WaitForOpened(), log + L"\n");
}

TEST_F(LinksTest, TheHelpLinkOpensTheHelpFileOfTheProgramFolder) {
    // Without the file in the program's folder nothing opens, and nothing is said.
    ClickOn(kIdLblLink);
    EXPECT_EQ(FindWindowW(L"HH Parent", nullptr), nullptr);

    std::wstring help = Folder() + L"\\ZendrelHelp.chm";
    ASSERT_TRUE(CopyFileW((ExeFolder() + L"\\ZendrelHelp.chm").c_str(), help.c_str(), TRUE));
    ClickOn(kIdLblLink);
    HWND viewer = FindWindowW(L"HH Parent", nullptr);
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(GetWindow(viewer, GW_OWNER), window_->Hwnd());
    DestroyWindow(viewer);
    Pump(*window_);
    EXPECT_TRUE(boxes_.Seen().empty());
}

TEST_F(LinksTest, F1OpensTheHelpTopicAndCtrlLTheActivityLog) {
    ASSERT_TRUE(CopyFileW((ExeFolder() + L"\\ZendrelHelp.chm").c_str(),
                          (Folder() + L"\\ZendrelHelp.chm").c_str(), TRUE));
    SetForegroundWindow(window_->Hwnd());
    SetFocus(window_->Control(kIdTxtPwd));
    SendKeys({VK_F1});
    Pump(*window_);
    HWND viewer = FindWindowW(L"HH Parent", nullptr);
    ASSERT_NE(viewer, nullptr);
    DestroyWindow(viewer);
    SetForegroundWindow(window_->Hwnd());
    SetFocus(window_->Control(kIdListRequested));
    boxes_.Then(IDOK);
    SendKeys({VK_CONTROL, 'L'});
    Pump(*window_);
    ASSERT_EQ(boxes_.Seen().size(), 1u);  // no log yet: the notice says so
    EXPECT_EQ(boxes_.Seen()[0].title, L"Activity Log");
}

TEST_F(LinksTest, TheHelpControlBesideTheProgramIsNeverLoaded) {
    // Beside the program is where the loader would look first.
    std::wstring planted = ExeFolder() + L"\\hhctrl.ocx";
    ASSERT_TRUE(
        CopyFileW((ExeFolder() + L"\\planted\\hhctrl.ocx").c_str(), planted.c_str(), FALSE));
    ASSERT_TRUE(CopyFileW((ExeFolder() + L"\\ZendrelHelp.chm").c_str(),
                          (Folder() + L"\\ZendrelHelp.chm").c_str(), TRUE));
    ASSERT_EQ(GetModuleHandleW(L"hhctrl.ocx"), nullptr);
    ClickOn(kIdLblLink);
    HMODULE loaded = GetModuleHandleW(L"hhctrl.ocx");
    wchar_t path[MAX_PATH] = {}, system[MAX_PATH] = {};
    if (loaded) GetModuleFileNameW(loaded, path, MAX_PATH);
    GetSystemDirectoryW(system, MAX_PATH);
    if (HWND viewer = FindWindowW(L"HH Parent", nullptr)) DestroyWindow(viewer);
    DeleteFileW(planted.c_str());
    ASSERT_NE(loaded, nullptr);
    std::wstring expected = std::wstring(system) + L"\\hhctrl.ocx";
    CharLowerW(path);
    CharLowerW(expected.data());
    EXPECT_EQ(std::wstring(path), expected);
}

TEST_F(LinksTest, HelpOpensFromAProgramFolderTheCodePageCannotName) {
    // Code page 1252 has no Cyrillic letters.
    std::wstring folder = Folder() + L"\\\u043f\u0430\u043f\u043a\u0430";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    CloseHandle(CreateFileW((folder + L"\\urls.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            0, nullptr));
    ASSERT_TRUE(CopyFileW((ExeFolder() + L"\\ZendrelHelp.chm").c_str(),
                          (folder + L"\\ZendrelHelp.chm").c_str(), TRUE));
    window_.reset();
    MainFrm window(folder, 96);
    window.Show();
    SendMessageW(window.Hwnd(), WM_COMMAND, MAKEWPARAM(kIdLblLink, STN_CLICKED),
                 reinterpret_cast<LPARAM>(window.Control(kIdLblLink)));
    HWND viewer = FindWindowW(L"HH Parent", nullptr);
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(GetWindow(viewer, GW_OWNER), window.Hwnd());
    DestroyWindow(viewer);
    EXPECT_TRUE(boxes_.Seen().empty());
}

TEST_F(LinksTest, TheHighlightFollowsTheMouse) {
    const std::pair dark{kDarkBlue, false}, plain{kBlue, false}, lit{kBlue, true};
    EXPECT_EQ(Look(kIdLinkViewLog), dark);
    EXPECT_EQ(Look(kIdLblLink), dark);

    MoveTo(Centre(kIdLinkViewLog));
    EXPECT_EQ(Look(kIdLinkViewLog), lit);
    EXPECT_EQ(Look(kIdLblLink), dark);
    // Straight on to other controls: nothing changes.
    for (int id : {kIdChkLogging, kIdListRequested, kIdLabel6, kIdBtnReview}) {
        MoveTo(Centre(id));
        EXPECT_EQ(Look(kIdLinkViewLog), lit) << "over control " << id;
    }
    // Nor does the margin of the picture box around btnAdd, over Frame1.
    MoveTo(At(4890 + 120 + 30, 1035 + 45 + 15));
    EXPECT_EQ(Look(kIdLinkViewLog), lit);

    // The bare frame around it puts out both links.
    MoveTo(At(5000, 5700));
    EXPECT_EQ(Look(kIdLinkViewLog), plain);
    EXPECT_EQ(Look(kIdLblLink), plain);

    MoveTo(Centre(kIdLblLink));
    EXPECT_EQ(Look(kIdLblLink), lit);
    EXPECT_EQ(Look(kIdLinkViewLog), plain);
    // The bare window does too, and so does the other frame.
    MoveTo(At(3000, 7550));
    EXPECT_EQ(Look(kIdLblLink), plain);
    MoveTo(Centre(kIdLinkViewLog));
    MoveTo(At(3000, 3450));
    EXPECT_EQ(Look(kIdLinkViewLog), plain);
    EXPECT_EQ(Look(kIdLblLink), plain);
}

}  // namespace
}  // namespace zendrel::test
