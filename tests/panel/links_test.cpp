// The two link labels of the main window as a user meets them: clicks that
// open the activity log (or explain that there is none) and the help topic,
// and the highlight that follows the mouse. The mouse is real input, routed
// by the system to whatever lies under the pointer.
#include <windows.h>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "ansi.h"
#include "panel_fixture.h"
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

// While it lives, the shell opens files ending in .zlog with the recorder,
// which writes down every path it is handed.
class LogFileHandler {
  public:
    LogFileHandler() {
        std::wstring folder = ExeFolder();
        record_ = folder + L"\\zlog_record_" + std::to_wstring(GetCurrentProcessId()) + L".txt";
        DeleteFileW(record_.c_str());
        SetDefault(kExtensionKey, L"ZendrelTest.zlog");
        SetDefault(kCommandKey,
                   L"\"" + folder + L"\\shell_recorder.exe\" \"" + record_ + L"\" \"%1\"");
    }
    ~LogFileHandler() {
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kExtensionKey);
        DeleteKeyTree(HKEY_LOCAL_MACHINE, L"Software\\Classes\\ZendrelTest.zlog");
        DeleteFileW(record_.c_str());
    }

    // What the recorder has written down, once it has written something.
    std::wstring WaitForOpened() const {
        std::wstring text;
        for (int tries = 0; tries < 600 && text.empty(); ++tries) {
            if (tries) Sleep(50);
            HANDLE file =
                CreateFileW(record_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
            if (file == INVALID_HANDLE_VALUE) continue;
            text.resize(GetFileSize(file, nullptr) / sizeof(wchar_t));
            DWORD got = 0;
            ReadFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &got,
                     nullptr);
            CloseHandle(file);
        }
        return text;
    }

  private:
    static constexpr wchar_t kExtensionKey[] = L"Software\\Classes\\.zlog";
    static constexpr wchar_t kCommandKey[] =
        L"Software\\Classes\\ZendrelTest.zlog\\shell\\open\\command";

    static void SetDefault(const wchar_t* path, const std::wstring& text) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }

    std::wstring record_;
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
    std::wstring missing = Folder() + L"\\no such log.zlog";
    std::wstring log = Folder() + L"\\Activity Log.zlog";
    HANDLE file = CreateFileW(log.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);

    SetValue(HKEY_LOCAL_MACHINE, "activitylogloc", REG_SZ, ToAnsi(missing) + '\0');
    ClickOn(kIdLinkViewLog);
    SetValue(HKEY_LOCAL_MACHINE, "activitylogloc", REG_SZ, ToAnsi(log) + '\0');
    ClickOn(kIdLinkViewLog);
    // Only the file that exists opened: the shell found no missing file to hand on.
    EXPECT_EQ(handler.WaitForOpened(), log + L"\n");
    EXPECT_TRUE(boxes_.Seen().empty());
}

TEST_F(LinksTest, ALogLocationThatWouldRunSomethingIsRefused) {
    LogFileHandler handler;
    // A document of the recorder's type, named relatively (from the current
    // folder, where it exists) and as an address: opened, either would show.
    std::wstring log = Folder() + L"\\Activity.zlog";
    CloseHandle(CreateFileW(log.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    SetCurrentDirectoryW(Folder().c_str());
    const std::wstring refused[] = {Folder() + L"\\evil.exe",  Folder() + L"\\evil.zlog.lnk",
                                    Folder() + L"\\evil.bat. ", Folder(),
                                    L"http://example.com/log.zlog", L"Activity.zlog",
                                    L"file:///" + log};
    for (const std::wstring& path : refused) {
        boxes_.Then(IDOK);
        SetValue(HKEY_LOCAL_MACHINE, "activitylogloc", REG_SZ, ToAnsi(path) + '\0');
        ClickOn(kIdLinkViewLog);
        EXPECT_EQ(boxes_.Seen().back().title, L"Activity Log") << std::string(ToAnsi(path));
        EXPECT_EQ(boxes_.Seen().back().icon, 48);
    }
    SetCurrentDirectoryW(current);
    EXPECT_EQ(boxes_.Seen().size(), std::size(refused));
    // The first path the shell is handed is the document's: none before it.
    SetValue(HKEY_LOCAL_MACHINE, "activitylogloc", REG_SZ, ToAnsi(log) + '\0');
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
    SendKeys({VK_CONTROL, 'L'});
    Pump(*window_);
    ASSERT_EQ(boxes_.Seen().size(), 1u);  // no log yet: the notice says so
    EXPECT_EQ(boxes_.Seen()[0].title, L"Activity Log");
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
    MoveTo(At(5000, 5300));
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
