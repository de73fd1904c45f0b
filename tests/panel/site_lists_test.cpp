// Editing and reviewing the site lists through the window, as a user does:
// typing, clicking the buttons, selecting and double-clicking rows.
#include <windows.h>

#include <gtest/gtest.h>

#include "panel_fixture.h"
#include "shell_open.h"
#include "window_driver.h"

namespace zendrel::test {
namespace {

using Rows = std::vector<std::wstring>;
using namespace std::string_literals;

class SiteListsTest : public PanelFixture {
  protected:
    void SetUp() override {
        SettingsFixture::SetUp();
        RestoreHttpCommand();
        WriteUrls("first.example\r\nsecond.example\r\nthird.example\r\n");
        SetValue(HKEY_LOCAL_MACHINE, "requests", REG_MULTI_SZ,
                 "asked.example\0http://full.example\0other.example\0\0"s);
        window_ = OpenWindow();
        ASSERT_TRUE(boxes_.Seen().empty());
    }

    static void RestoreHttpCommand();
    Rows Approved() const { return ListRows(ListApproved(*window_).Hwnd()); }
    Rows Requested() const { return ListRows(ListRequested(*window_).Hwnd()); }
    HWND AddSite() const { return TxtAddSite(*window_).Hwnd(); }
    void Press(int id) { Click(window_->Control(id)); }

    MessageBoxAnswerer boxes_;
    std::unique_ptr<MainFrm> window_;
};

TEST_F(SiteListsTest, AddAppendsTheTextAsTypedAndClearsTheSelections) {
    TypeChars(AddSite(), L"  Spaced.EXAMPLE ");
    SelectRow(ListApproved(*window_).Hwnd(), 1);
    SelectRow(ListRequested(*window_).Hwnd(), 0);
    SetFocus(window_->Control(kIdBtnAdd));
    Press(kIdBtnAdd);
    EXPECT_EQ(Approved(),
              (Rows{L"first.example", L"second.example", L"third.example", L"  Spaced.EXAMPLE "}));
    EXPECT_EQ(TextOf(AddSite()), L"");
    EXPECT_EQ(GetFocus(), AddSite());
    EXPECT_EQ(ListApproved(*window_).ListIndex(), -1);
    EXPECT_EQ(ListRequested(*window_).ListIndex(), -1);
    // The same text twice gives two rows.
    TypeChars(AddSite(), L"  Spaced.EXAMPLE ");
    Press(kIdBtnAdd);
    EXPECT_EQ(Approved().size(), 5u);
    EXPECT_EQ(Approved()[4], L"  Spaced.EXAMPLE ");
}

TEST_F(SiteListsTest, ASiteUrlsTxtCannotHoldAsOneLineIsRefusedAndKeptInTheBox) {
    const std::wstring refused[] = {
        L"\u043f\u0440\u0438\u043c\u0435\u0440.example",  // Cyrillic: not in 1252
        L"two\r\nlines.example",                          // approved from a request
        L"tab\t.example",
        L"del\x7F.example",
    };
    for (const std::wstring& site : refused) {
        boxes_.Then(IDOK);
        TxtAddSite(*window_).SetText(site);
        Press(kIdBtnAdd);
        EXPECT_EQ(Approved().size(), 3u);
        EXPECT_EQ(boxes_.Seen().back().title, L"Add Site");
        EXPECT_EQ(boxes_.Seen().back().icon, 48);
        EXPECT_EQ(TextOf(AddSite()), site);
        EXPECT_EQ(TxtAddSite(*window_).SelLength(), static_cast<int>(site.size()));
    }
    ASSERT_EQ(boxes_.Seen().size(), 4u);
    EXPECT_NE(boxes_.Seen()[0].text, boxes_.Seen()[1].text);
    // Letters the code page has are added as typed.
    TxtAddSite(*window_).SetText(L"caf\u00e9.example");
    Press(kIdBtnAdd);
    EXPECT_EQ(Approved().back(), L"caf\u00e9.example");
}

TEST_F(SiteListsTest, PastingSeveralLinesAddsEachAsASiteAndListsTheRefusedOnes) {
    boxes_.Then(IDOK);
    SetClipboardText(L"one.example\r\n\r\n  two.example  \ntab\t.example\rthree.example");
    SendMessageW(AddSite(), WM_PASTE, 0, 0);
    EXPECT_EQ(Approved(), (Rows{L"first.example", L"second.example", L"third.example",
                                L"one.example", L"two.example", L"three.example"}));
    ASSERT_EQ(boxes_.Seen().size(), 1u);
    EXPECT_EQ(boxes_.Seen()[0].title, L"Paste Sites");
    EXPECT_NE(boxes_.Seen()[0].text.find(L"line 4: a control character, such as a line break"),
              std::wstring::npos);
    EXPECT_EQ(TextOf(AddSite()), L"");
    // One line pastes into the box as usual.
    SetClipboardText(L"single.example");
    SendMessageW(AddSite(), WM_PASTE, 0, 0);
    EXPECT_EQ(TextOf(AddSite()), L"single.example");
    EXPECT_EQ(Approved().size(), 6u);
}

// While it lives, types the keys into the first popup menu that opens on
// this thread (from a thread timer, which runs inside the menu's loop).
class MenuTyper {
  public:
    explicit MenuTyper(std::initializer_list<WORD> keys) : keys_(keys) {
        self_ = this;
        timer_ = SetTimer(nullptr, 0, 50, OnTimer);
    }
    ~MenuTyper() {
        KillTimer(nullptr, timer_);
        self_ = nullptr;
    }
    MenuTyper(const MenuTyper&) = delete;
    MenuTyper& operator=(const MenuTyper&) = delete;
    bool typed = false;

  private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
        if (!self_ || self_->typed || !FindWindowW(L"#32768", nullptr)) return;
        self_->typed = true;
        for (WORD key : self_->keys_) SendKeys({key});
    }
    static inline MenuTyper* self_ = nullptr;
    std::vector<WORD> keys_;
    UINT_PTR timer_ = 0;
};

TEST_F(SiteListsTest, TheApprovedListSortsDropsDuplicatesAndDeletesFromItsMenuAndKeys) {
    ListApproved(*window_).AddItem(L"first.example");
    ListApproved(*window_).AddItem(L"Alpha.example");
    HWND list = ListApproved(*window_).Hwnd();
    SetForegroundWindow(window_->Hwnd());
    SetFocus(list);
    {
        MenuTyper typer({'S'});  // "Sort A to Z"
        SendKeys({VK_SHIFT, VK_F10});
        for (int tries = 0; tries < 100 && !typer.typed; ++tries) {
            Pump(*window_);
            Sleep(20);
        }
        Pump(*window_);
    }
    EXPECT_EQ(Approved(), (Rows{L"Alpha.example", L"first.example", L"first.example",
                                L"second.example", L"third.example"}));
    boxes_.Then(IDOK);
    SendMessageW(window_->Hwnd(), WM_COMMAND, kCmdRemoveDuplicates, 0);
    EXPECT_EQ(Approved(),
              (Rows{L"Alpha.example", L"first.example", L"second.example", L"third.example"}));
    EXPECT_EQ(boxes_.Seen().back().title, L"Remove Duplicates");
    SelectRow(list, 0);
    SetFocus(list);
    SendKeys({VK_DELETE});
    Pump(*window_);
    EXPECT_EQ(Approved(), (Rows{L"first.example", L"second.example", L"third.example"}));
}

// While it lives, types a path into the first Open or Save As dialog that
// opens on this thread and presses its OK button (from a thread timer, which
// runs inside the dialog's modal loop).
class FileDialogTyper {
  public:
    explicit FileDialogTyper(std::wstring path) : path_(std::move(path)) {
        self_ = this;
        timer_ = SetTimer(nullptr, 0, 50, OnTimer);
    }
    ~FileDialogTyper() {
        KillTimer(nullptr, timer_);
        self_ = nullptr;
    }
    FileDialogTyper(const FileDialogTyper&) = delete;
    FileDialogTyper& operator=(const FileDialogTyper&) = delete;

  private:
    static constexpr int kFileNameBox = 0x47C;  // the dialog's "File name" box
    static BOOL CALLBACK FindDialog(HWND hwnd, LPARAM found) {
        if (ClassOf(hwnd) != L"#32770" || !GetDlgItem(hwnd, kFileNameBox)) return TRUE;
        *reinterpret_cast<HWND*>(found) = hwnd;
        return FALSE;
    }
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
        if (!self_ || self_->typed_) return;
        HWND dialog = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog));
        if (!dialog) return;
        self_->typed_ = true;
        SetDlgItemTextW(dialog, kFileNameBox, self_->path_.c_str());
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    }
    static inline FileDialogTyper* self_ = nullptr;
    std::wstring path_;
    bool typed_ = false;
    UINT_PTR timer_ = 0;
};

// A file of the test's folder holding `bytes`, to import.
std::wstring ImportFile(const std::wstring& folder, const std::string& bytes) {
    std::wstring path = folder + L"\\import.txt";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD wrote = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &wrote, nullptr);
    CloseHandle(file);
    return path;
}

TEST_F(SiteListsTest, ImportAddsOrReplacesAndExportWritesTheListAsUrlsTxt) {
    std::wstring import = ImportFile(
        Folder(),
        "# from the school\r\nnew.example\r\n\r\n  first.example \r\nbad\x01.example\r\n");
    boxes_.Then(kIdImportAdd);
    boxes_.Then(IDOK);
    {
        FileDialogTyper typer(import);
        SendMessageW(window_->Hwnd(), WM_COMMAND, kCmdImport, 0);
    }
    EXPECT_EQ(Approved(),
              (Rows{L"first.example", L"second.example", L"third.example", L"new.example"}));
    ASSERT_EQ(boxes_.Seen().size(), 2u);
    // The question's buttons say what they do.
    EXPECT_EQ(boxes_.Seen()[0].title, L"Import Sites");
    EXPECT_EQ(boxes_.Seen()[0].buttons,
              (std::vector<int>{kIdImportAdd, kIdImportReplace, IDCANCEL}));
    EXPECT_EQ(boxes_.Seen()[1].title, L"Import Sites");
    EXPECT_NE(boxes_.Seen()[1].text.find(L"line 5"), std::wstring::npos) << boxes_.Seen()[1].text;
    boxes_.Then(kIdImportReplace);
    boxes_.Then(IDOK);
    {
        FileDialogTyper typer(import);
        SendMessageW(window_->Hwnd(), WM_COMMAND, kCmdImport, 0);
    }
    EXPECT_EQ(Approved(), (Rows{L"new.example", L"first.example"}));

    std::wstring exported = Folder() + L"\\backup.txt";
    boxes_.Then(IDOK);
    {
        FileDialogTyper typer(exported);
        SendMessageW(window_->Hwnd(), WM_COMMAND, kCmdExport, 0);
    }
    EXPECT_EQ(boxes_.Seen().back().title, L"Export Sites");
    HANDLE file =
        CreateFileW(exported.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    char bytes[64] = {};
    DWORD got = 0;
    ReadFile(file, bytes, sizeof bytes, &got, nullptr);
    CloseHandle(file);
    EXPECT_EQ(std::string(bytes, got), "new.example\r\nfirst.example\r\n");
}

// As with the command-line tool, an empty or damaged file cannot wipe the list.
TEST_F(SiteListsTest, AReplaceThatWouldLeaveNoSiteChangesNothingAndSaysWhy) {
    for (const std::string& text : {""s, "# only a comment\r\n\r\nbad\x01.example\r\n"s}) {
        SCOPED_TRACE(text);
        std::wstring import = ImportFile(Folder(), text);
        boxes_.Then(kIdImportReplace);
        boxes_.Then(IDOK);
        {
            FileDialogTyper typer(import);
            SendMessageW(window_->Hwnd(), WM_COMMAND, kCmdImport, 0);
        }
        EXPECT_EQ(Approved(), (Rows{L"first.example", L"second.example", L"third.example"}));
        ASSERT_FALSE(boxes_.Seen().empty());
        EXPECT_EQ(boxes_.Seen().back().title, L"Import Sites");
        EXPECT_EQ(boxes_.Seen().back().icon, 48);
        EXPECT_NE(boxes_.Seen().back().text.find(L"not replaced"), std::wstring::npos)
            << boxes_.Seen().back().text;
    }
}

TEST_F(SiteListsTest, FindSelectsTheNextSiteThatContainsTheText) {
    SetForegroundWindow(window_->Hwnd());
    SetFocus(ListApproved(*window_).Hwnd());
    SendKeys({VK_CONTROL, 'F'});
    Pump(*window_);
    HWND find = FindWindowW(L"#32770", L"Find");
    ASSERT_NE(find, nullptr);
    EXPECT_EQ(GetWindow(find, GW_OWNER), window_->Hwnd());
    SetWindowTextW(GetDlgItem(find, 1152), L"D.");  // the dialog's text box
    SendMessageW(find, WM_COMMAND, IDOK, 0);        // Find Next
    Pump(*window_);
    EXPECT_EQ(ListApproved(*window_).ListIndex(), 1);  // second.example
    SendMessageW(find, WM_COMMAND, IDCANCEL, 0);
    Pump(*window_);
    // F3 goes on from the selected row, round the end of the list.
    SetFocus(ListApproved(*window_).Hwnd());
    for (int expected : {2, 1}) {
        SendKeys({VK_F3});
        Pump(*window_);
        EXPECT_EQ(ListApproved(*window_).ListIndex(), expected);
    }
    EXPECT_TRUE(boxes_.Seen().empty());
}

TEST_F(SiteListsTest, AddWithAnEmptyBoxChangesNothing) {
    SelectRow(ListApproved(*window_).Hwnd(), 2);
    SelectRow(ListRequested(*window_).Hwnd(), 1);
    Press(kIdBtnAdd);
    EXPECT_EQ(Approved().size(), 3u);
    EXPECT_EQ(ListApproved(*window_).ListIndex(), 2);
    EXPECT_EQ(ListRequested(*window_).ListIndex(), 1);
    // The focus stays on the button the click gave it to.
    EXPECT_EQ(GetFocus(), window_->Control(kIdBtnAdd));
    // A blank is a text: it is added.
    TypeChars(AddSite(), L" ");
    Press(kIdBtnAdd);
    EXPECT_EQ(Approved().back(), L" ");
}

TEST_F(SiteListsTest, EnterTypedInTheBoxAddsLikeTheButton) {
    TypeChars(AddSite(), L"typed.example");
    SelectRow(ListRequested(*window_).Hwnd(), 2);
    TypeChars(AddSite(), L"\r");
    EXPECT_EQ(Approved().back(), L"typed.example");
    EXPECT_EQ(TextOf(AddSite()), L"");
    EXPECT_EQ(ListRequested(*window_).ListIndex(), -1);
    // Other keys are typed into the box and add nothing.
    TypeChars(AddSite(), L"\tx\n");
    EXPECT_EQ(Approved().size(), 4u);
    // Enter in an empty box adds nothing.
    TxtAddSite(*window_).SetText(L"");
    TypeChars(AddSite(), L"\r");
    EXPECT_EQ(Approved().size(), 4u);
}

TEST_F(SiteListsTest, RemoveTakesTheSelectedRowOnly) {
    Press(kIdBtnRemove);
    EXPECT_EQ(Approved().size(), 3u);
    SelectRow(ListApproved(*window_).Hwnd(), 1);
    Press(kIdBtnRemove);
    EXPECT_EQ(Approved(), (Rows{L"first.example", L"third.example"}));
    EXPECT_EQ(ListApproved(*window_).ListIndex(), -1);
    Press(kIdBtnRemove);
    EXPECT_EQ(Approved().size(), 2u);
    EXPECT_TRUE(boxes_.Seen().empty());
}

TEST_F(SiteListsTest, DoubleClickMovesTheRowIntoTheBoxForEditing) {
    TypeChars(AddSite(), L"lost.example");
    DoubleClickRow(ListApproved(*window_).Hwnd(), 1);
    EXPECT_EQ(TextOf(AddSite()), L"second.example");
    EXPECT_EQ(GetFocus(), AddSite());
    EXPECT_EQ(Approved(), (Rows{L"first.example", L"third.example"}));
    EXPECT_TRUE(boxes_.Seen().empty());

    // Edited and added back, it goes to the end.
    SendMessageW(AddSite(), WM_KEYDOWN, VK_END, 0);
    TypeChars(AddSite(), L"2");
    TypeChars(AddSite(), L"\r");
    EXPECT_EQ(Approved().back(), L"second.example2");
}

TEST_F(SiteListsTest, DoubleClickWithoutASelectedRowDoesNothing) {
    TxtAddSite(*window_).SetText(L"typed.example");
    SendMessageW(window_->Hwnd(), WM_COMMAND, MAKEWPARAM(kIdListApproved, LBN_DBLCLK),
                 reinterpret_cast<LPARAM>(ListApproved(*window_).Hwnd()));
    EXPECT_EQ(TextOf(AddSite()), L"typed.example");
    EXPECT_EQ(Approved().size(), 3u);
}

TEST_F(SiteListsTest, ApproveMovesTheRequestIntoTheBoxOnly) {
    TypeChars(AddSite(), L"lost.example");
    SelectRow(ListApproved(*window_).Hwnd(), 0);
    SelectRow(ListRequested(*window_).Hwnd(), 1);
    Press(kIdBtnApprove);
    EXPECT_EQ(TextOf(AddSite()), L"http://full.example");
    EXPECT_EQ(GetFocus(), AddSite());
    EXPECT_EQ(Requested(), (Rows{L"asked.example", L"other.example", L""}));
    EXPECT_EQ(ListRequested(*window_).ListIndex(), -1);
    EXPECT_EQ(Approved().size(), 3u);
    EXPECT_EQ(ListApproved(*window_).ListIndex(), -1);
    // It is approved when the user adds it.
    Press(kIdBtnAdd);
    EXPECT_EQ(Approved().back(), L"http://full.example");
}

TEST_F(SiteListsTest, RequestsRecordedWhileTheWindowIsOpenAreKeptAtSave) {
    // Asked for again while open: one denial takes away one entry only.
    ASSERT_EQ(RunAddonStandin(L"append-request asked.example"), 0u);
    ASSERT_EQ(RunAddonStandin(L"append-request new.example"), 0u);
    SelectRow(ListRequested(*window_).Hwnd(), 0);
    Press(kIdBtnDeny);
    SelectRow(ListRequested(*window_).Hwnd(), 0);
    Press(kIdBtnApprove);
    boxes_.Then(IDYES);
    Press(kIdBtnClose);
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "requests").bytes,
              "other.example\0asked.example\0new.example\0"s);
}

TEST_F(SiteListsTest, ASaveWritesWhatTheListShowsWhoeverChangedIt) {
    // Messages straight to the list box, past the window's own code.
    HWND list = ListApproved(*window_).Hwnd();
    SendMessageW(list, LB_INSERTSTRING, 1, reinterpret_cast<LPARAM>(L"inserted.example"));
    SendMessageW(list, LB_DELETESTRING, 0, 0);
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"added.example"));
    EXPECT_EQ(ListBox(list).Items(), Approved());
    boxes_.Then(IDYES);
    Press(kIdBtnClose);
    EXPECT_EQ(ReadUrls(),
              "inserted.example\r\nsecond.example\r\nthird.example\r\nadded.example\r\n");
}

TEST_F(SiteListsTest, DenyRemovesTheSelectedRequestOnly) {
    Press(kIdBtnDeny);
    Press(kIdBtnApprove);
    EXPECT_EQ(Requested().size(), 4u);
    EXPECT_EQ(TextOf(AddSite()), L"");
    SelectRow(ListRequested(*window_).Hwnd(), 0);
    Press(kIdBtnDeny);
    EXPECT_EQ(Requested(), (Rows{L"http://full.example", L"other.example", L""}));
    EXPECT_EQ(ListRequested(*window_).ListIndex(), -1);
    // The stored requests change only when the settings are saved.
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "requests").bytes,
              "asked.example\0http://full.example\0other.example\0\0"s);
    boxes_.Then(IDYES);
    Press(kIdBtnClose);
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "requests").bytes,
              "http://full.example\0other.example\0"s);
    EXPECT_EQ(boxes_.Seen().size(), 1u);
}

// The shell opens http addresses with the recorder while the object lives.
// The command it replaces is kept in the key beside it until it is put back,
// so that a test killed meanwhile leaves it there, and the next test that
// opens the window (SiteListsTest::SetUp) or makes a handler puts it back.
class HttpHandler {
  public:
    HttpHandler() {
        RestoreLeftOver();
        wchar_t exe[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, exe, MAX_PATH);
        std::wstring folder(exe);
        folder.resize(folder.find_last_of(L'\\'));
        record_ = folder + L"\\shell_record_" + std::to_wstring(GetCurrentProcessId()) + L".txt";
        DeleteFileW(record_.c_str());
        DeleteFileW((record_ + L".parent").c_str());
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, kCommandKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key_, nullptr);
        std::optional<std::wstring> saved = Read(key_, nullptr);
        Write(key_, kSavedValue, saved ? L"=" + *saved : L"-");
        Write(key_, nullptr,
              L"\"" + folder + L"\\shell_recorder.exe\" \"" + record_ + L"\" \"%1\"");
    }
    ~HttpHandler() {
        RegCloseKey(key_);
        RestoreLeftOver();
        DeleteFileW(record_.c_str());
        DeleteFileW((record_ + L".parent").c_str());
    }

    // Puts back the command a handler replaced, if one is kept.
    static void RestoreLeftOver() {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kCommandKey, 0, KEY_ALL_ACCESS, &key) !=
            ERROR_SUCCESS)
            return;
        if (std::optional<std::wstring> kept = Read(key, kSavedValue)) {
            if (kept->starts_with(L"="))
                Write(key, nullptr, kept->substr(1));
            else
                RegDeleteValueW(key, nullptr);
            RegDeleteValueW(key, kSavedValue);
        }
        RegCloseKey(key);
    }

    // The addresses opened so far, once there are at least `count` of them.
    Rows WaitForOpened(std::size_t count) const {
        for (int tries = 0; tries < 600; ++tries) {
            Rows opened = Read();
            if (opened.size() >= count) return opened;
            Sleep(50);
        }
        return Read();
    }

    // The process that started the recorder the first time.
    DWORD OpenerId() const {
        HANDLE file =
            CreateFileW((record_ + L".parent").c_str(), GENERIC_READ,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return 0;
        wchar_t text[32] = {};
        DWORD got = 0;
        ReadFile(file, text, sizeof text - sizeof(wchar_t), &got, nullptr);
        CloseHandle(file);
        return static_cast<DWORD>(wcstoul(text, nullptr, 10));
    }

  private:
    static constexpr wchar_t kCommandKey[] = L"Software\\Classes\\http\\shell\\open\\command";
    static constexpr wchar_t kSavedValue[] = L"ZendrelTestReplaced";

    static std::optional<std::wstring> Read(HKEY key, const wchar_t* name) {
        wchar_t text[1024] = {};
        DWORD size = sizeof(text) - sizeof(wchar_t);
        if (RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size) !=
            ERROR_SUCCESS)
            return std::nullopt;
        return std::wstring(text);
    }
    static void Write(HKEY key, const wchar_t* name, const std::wstring& text) {
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }

    Rows Read() const {
        HANDLE file = CreateFileW(record_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return {};
        std::wstring text(GetFileSize(file, nullptr) / sizeof(wchar_t), L'\0');
        DWORD got = 0;
        ReadFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &got,
                 nullptr);
        CloseHandle(file);
        Rows lines;
        for (std::size_t start = 0, end; (end = text.find(L'\n', start)) != std::wstring::npos;
             start = end + 1)
            lines.push_back(text.substr(start, end - start));
        return lines;
    }

    HKEY key_ = nullptr;
    std::wstring record_;
};

void SiteListsTest::RestoreHttpCommand() {
    HttpHandler::RestoreLeftOver();
}

TEST_F(SiteListsTest, ReviewOpensTheRowWithHttpInFront) {
    HttpHandler handler;
    Press(kIdBtnReview);  // nothing selected: nothing opened
    SelectRow(ListRequested(*window_).Hwnd(), 0);
    Press(kIdBtnReview);
    EXPECT_EQ(handler.WaitForOpened(1), Rows{L"http://asked.example"});
    // The prefix goes in front whatever the row holds.
    SelectRow(ListRequested(*window_).Hwnd(), 1);
    Press(kIdBtnReview);
    EXPECT_EQ(handler.WaitForOpened(2),
              (Rows{L"http://asked.example", L"http://http://full.example"}));
    // The list stays as it was.
    EXPECT_EQ(Requested().size(), 4u);
    EXPECT_EQ(ListRequested(*window_).ListIndex(), 1);
    EXPECT_TRUE(boxes_.Seen().empty());
}

// Elevated, the program lets the desktop shell start the browser, which then
// does not inherit the elevation.
TEST_F(SiteListsTest, ElevatedTheDesktopShellStartsTheBrowser) {
    if (!RunningElevated())
        GTEST_SKIP() << "not elevated: who starts the browser of an elevated program shows only "
                        "when the tests run elevated (as an administrator)";
    HttpHandler handler;
    SelectRow(ListRequested(*window_).Hwnd(), 0);
    Press(kIdBtnReview);
    EXPECT_EQ(handler.WaitForOpened(1), Rows{L"http://asked.example"});
    EXPECT_NE(handler.OpenerId(), GetCurrentProcessId());
    EXPECT_NE(handler.OpenerId(), 0u);
}

TEST_F(SiteListsTest, ReviewRefusesAnEntryThatCannotBeAWebAddress) {
    HttpHandler handler;
    SetValue(HKEY_LOCAL_MACHINE, "requests", REG_MULTI_SZ,
             "x.example\" --new-window \"y.example\0ok.example\0\0"s);
    window_.reset();
    window_ = OpenWindow();
    boxes_.Then(IDOK);
    SelectRow(ListRequested(*window_).Hwnd(), 0);
    Press(kIdBtnReview);
    ASSERT_EQ(boxes_.Seen().size(), 1u);
    EXPECT_EQ(boxes_.Seen()[0].title, L"Review Site");
    EXPECT_EQ(boxes_.Seen()[0].icon, 48);
    // Only the web address reached the shell.
    SelectRow(ListRequested(*window_).Hwnd(), 1);
    Press(kIdBtnReview);
    EXPECT_EQ(handler.WaitForOpened(1), Rows{L"http://ok.example"});
}

}  // namespace
}  // namespace zendrel::test
