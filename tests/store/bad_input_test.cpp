// The store given what nobody should have stored: odd urls.txt files, odd
// "requests", switches of the wrong type. Each gives a clear failure or a
// sound default, and nothing else is lost: a failed load writes nothing, and
// what loads saves back unchanged.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "settings_fixture.h"
#include "settings_store.h"

namespace zendrel::test {
namespace {

using Rows = std::vector<std::wstring>;
using namespace std::string_literals;

class StoreBadInputTest : public SettingsFixture {
  protected:
    SettingsStore Store() const { return SettingsStore(Folder()); }
};

// Runs `load`; the failure's number, or 0 when it loaded.
template <typename Load>
int FailureNumberOf(Load&& load) {
    try {
        load();
    } catch (const Failure& failure) {
        return failure.Number();
    }
    return 0;
}

TEST_F(StoreBadInputTest, OddUrlsFilesLoadWhatTheyHoldAndSaveItBack) {
    const std::string megaLine(1 << 20, 'm');
    struct Case {
        const char* what;
        std::string file;
        Rows sites;
        std::string saved;  // what a save of the loaded sites writes
    };
    const Case cases[] = {
        {"a line of 1 MB",
         "a.example\r\n" + megaLine + "\r\nb.example\r\n",
         {L"a.example", std::wstring(megaLine.begin(), megaLine.end()), L"b.example"},
         "a.example\r\n" + megaLine + "\r\nb.example\r\n"},
        // The bytes round the NUL are kept; the add-on sees the line up to it.
        {"NUL bytes",
         "a\0b.example\r\n\0\0\r\nc.example\r\n"s,
         {L"a\0b.example"s, L"\0\0"s, L"c.example"},
         "a\0b.example\r\n\0\0\r\nc.example\r\n"s},
        // A byte-order mark is no part of the first site; saving drops it.
        {"a UTF-8 byte-order mark",
         "\xEF\xBB\xBF"
         "first.example\r\nsecond.example\r\n",
         {L"first.example", L"second.example"},
         "first.example\r\nsecond.example\r\n"},
        {"only a byte-order mark", "\xEF\xBB\xBF", {}, ""},
        {"no final line end",
         "a.example\r\nb.example",
         {L"a.example", L"b.example"},
         "a.example\r\nb.example\r\n"},
        {"only blank lines", "\r\n\r\n\n\r \r\n", {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteUrls(c.file);
        Rows sites = Store().LoadApprovedSites();
        EXPECT_TRUE(sites == c.sites) << sites.size() << " sites";
        EXPECT_EQ(Store().SaveApprovedSites(sites).kind, Outcome::Kind::Done);
        EXPECT_TRUE(ReadUrls() == c.saved);
    }
}

TEST_F(StoreBadInputTest, AMillionLinesLoadAndSaveBackWhole) {
    std::string file;
    file.reserve(18'000'000);
    for (int i = 0; i < 1'000'000; ++i) file += "s" + std::to_string(i) + ".example\r\n";
    WriteUrls(file);
    Rows sites = Store().LoadApprovedSites();
    ASSERT_EQ(sites.size(), 1'000'000u);
    EXPECT_EQ(sites.back(), L"s999999.example");
    EXPECT_EQ(Store().SaveApprovedSites(sites).kind, Outcome::Kind::Done);
    EXPECT_TRUE(ReadUrls() == file);
}

TEST_F(StoreBadInputTest, AUrlsFileThatIsAFolderIsMissingAndStaysAFolder) {
    DeleteUrls();
    ASSERT_TRUE(CreateDirectoryW(UrlsPath().c_str(), nullptr));
    EXPECT_EQ(FailureNumberOf([&] { Store().LoadApprovedSites(); }), 53);
    LoadResult result = Store().Load();
    ASSERT_TRUE(result.failure);
    EXPECT_EQ(result.failure->Number(), 53);
    Outcome saved = Store().SaveApprovedSites({L"a.example"});
    ASSERT_EQ(saved.kind, Outcome::Kind::Failed);
    EXPECT_EQ(saved.failure->Number(), 53);
    DWORD attributes = GetFileAttributesW(UrlsPath().c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
    RemoveDirectoryW(UrlsPath().c_str());
}

TEST_F(StoreBadInputTest, OddRequestsLoadAsTextOrFailWithoutBeingWrittenOver) {
    std::string big;  // 1 MB of entries, each ended by its NUL
    Rows bigRows;
    for (int i = 0; big.size() < (1u << 20); ++i) {
        std::string entry = "asked" + std::to_string(i) + ".example";
        big += entry + '\0';
        bigRows.emplace_back(entry.begin(), entry.end());
    }
    struct Case {
        const char* what;
        DWORD type;
        std::string bytes;
        int failure;  // 0: loads as `rows`; a save that removes one writes `saved`
        Rows rows;
        std::string saved;
    };
    const Case cases[] = {
        {"REG_SZ", REG_SZ, "one.example\0"s, 0, {L"one.example"}, "\0"s},
        {"REG_BINARY", REG_BINARY, "one.example"s, 13, {}, "one.example"s},
        {"1 MB", REG_MULTI_SZ, big + '\0', 0,
         [&] {
             Rows rows = bigRows;
             rows.push_back(L"");
             return rows;
         }(),
         big.substr(bigRows.front().size() + 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetValue(HKEY_LOCAL_MACHINE, "requests", c.type, c.bytes);
        Rows rows;
        EXPECT_EQ(FailureNumberOf([&] { rows = Store().LoadRequestedSites(); }), c.failure);
        EXPECT_TRUE(rows == c.rows) << rows.size() << " rows";
        // Nothing removed: the value stays as stored.
        EXPECT_EQ(Store().SaveRequestedSites({}).kind, Outcome::Kind::Done);
        EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "requests").bytes, c.bytes);
        Outcome saved = Store().SaveRequestedSites({c.rows.empty() ? L"x" : c.rows.front()});
        EXPECT_EQ(saved.kind, c.failure ? Outcome::Kind::Failed : Outcome::Kind::Done);
        StoredValue stored = GetValue(HKEY_LOCAL_MACHINE, "requests");
        EXPECT_EQ(stored.type, c.failure ? c.type : static_cast<DWORD>(REG_MULTI_SZ));
        EXPECT_TRUE(stored.bytes == c.saved) << stored.bytes.size() << " bytes";
    }
}

TEST_F(StoreBadInputTest, AHundredThousandRequestsLoseOnlyTheOneRemoved) {
    std::string value;
    for (int i = 0; i < 100'000; ++i) value += "r" + std::to_string(i) + ".example" + '\0';
    SetValue(HKEY_LOCAL_MACHINE, "requests", REG_MULTI_SZ, value + '\0');
    Rows rows = Store().LoadRequestedSites();
    ASSERT_EQ(rows.size(), 100'001u);  // the last NUL ends an empty piece
    EXPECT_EQ(rows[99'999], L"r99999.example");
    EXPECT_EQ(Store().SaveRequestedSites({L"r50000.example"}).kind, Outcome::Kind::Done);
    std::string expected = value;
    expected.erase(expected.find("r50000.example"), std::string("r50000.example").size() + 1);
    EXPECT_TRUE(GetValue(HKEY_LOCAL_MACHINE, "requests").bytes == expected);
}

TEST_F(StoreBadInputTest, ASwitchOfTheWrongTypeIsOffOrAFailedLoadAndStaysAsStored) {
    const std::uint64_t one = 1;
    struct Case {
        const char* what;
        DWORD type;
        std::string bytes;
        int failure;  // 0: loads as `on`
        bool on;
    };
    const Case cases[] = {
        {"the text 1", REG_SZ, "1\0"s, 0, true},
        {"a text that is no number", REG_SZ, "on\0"s, 13, false},
        {"40000", REG_DWORD, "\x40\x9C\0\0"s, 6, false},
        // Not a type the switches are read as: the switch is off.
        {"REG_QWORD 1", REG_QWORD, std::string(reinterpret_cast<const char*>(&one), 8), 0, false},
        {"REG_BINARY", REG_BINARY, "\1\0\0\0"s, 13, false},
    };
    CreateUserKey();
    for (const char* name : {"activitylogging", "mode"}) {
        HKEY root = std::string(name) == "mode" ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(name) + " as " + c.what);
            SetValue(root, name, c.type, c.bytes);
            bool on = false;
            EXPECT_EQ(FailureNumberOf([&] {
                          on = root == HKEY_CURRENT_USER ? Store().LoadMode()
                                                         : Store().LoadActivityLogging();
                      }),
                      c.failure);
            EXPECT_EQ(on, c.on);
            StoredValue stored = GetValue(root, name);
            EXPECT_EQ(stored.type, c.type);
            EXPECT_TRUE(stored.bytes == c.bytes);
        }
    }
}

TEST_F(StoreBadInputTest, ALoadThatFailsAtASwitchKeepsTheListsLoadedAndWritesNothing) {
    WriteUrls("kept.example\r\n");
    SetValue(HKEY_LOCAL_MACHINE, "activitylogging", REG_BINARY, "\1"s);
    LoadResult result = Store().Load();
    ASSERT_TRUE(result.failure);
    EXPECT_EQ(result.failure->Number(), 13);
    EXPECT_EQ(result.settings.approvedSites, Rows{L"kept.example"});
    EXPECT_FALSE(result.settings.activityLogging);
    Settings& s = result.settings;
    for (Setting setting : kSaveOrder) Store().Save(setting, s);
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, "activitylogging").bytes, "\1"s);
    EXPECT_EQ(ReadUrls(), "kept.example\r\n");
}

TEST_F(StoreBadInputTest, AProgramFolderBeyond260CharactersWorksAsAnyOther) {
    std::wstring deep = Folder();
    while (deep.size() < 300) {
        deep += L"\\a-folder-of-forty-characters-in-its-name";
        ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr));
    }
    const std::wstring urls = L"\\\\?\\" + deep + L"\\urls.txt";
    ASSERT_TRUE(MoveFileW((L"\\\\?\\" + UrlsPath()).c_str(), urls.c_str()));
    SettingsStore store(deep);
    EXPECT_EQ(store.LoadApprovedSites(), Rows{});
    EXPECT_EQ(store.SaveApprovedSites({L"deep.example"}).kind, Outcome::Kind::Done);
    EXPECT_EQ(store.LoadApprovedSites(), Rows{L"deep.example"});
    // Only urls.txt is left in the folder: the temporary file took its place.
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((L"\\\\?\\" + deep + L"\\*").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    std::vector<std::wstring> names;
    do names.push_back(found.cFileName);
    while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Rows{L".", L"..", L"urls.txt"}));
}

// The settings key made a registry link to another key, and removed again
// through the link itself (deleting by name would follow it).
class SettingsKeyLink {
  public:
    explicit SettingsKeyLink(const std::wstring& targetPath) {
        LONG status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSettingsPath, 0, nullptr,
                                      REG_OPTION_VOLATILE | REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS,
                                      nullptr, &link_, nullptr);
        if (status != ERROR_SUCCESS) return;
        std::wstring target = L"\\Registry\\Machine\\" + targetPath;
        RegSetValueExW(link_, L"SymbolicLinkValue", 0, REG_LINK,
                       reinterpret_cast<const BYTE*>(target.data()),
                       static_cast<DWORD>(target.size() * sizeof(wchar_t)));
    }
    ~SettingsKeyLink() {
        using NtDeleteKeyFn = LONG(WINAPI*)(HANDLE);
        auto deleteKey = reinterpret_cast<NtDeleteKeyFn>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
        if (link_ && deleteKey) deleteKey(link_);
        if (link_) RegCloseKey(link_);
    }
    SettingsKeyLink(const SettingsKeyLink&) = delete;
    SettingsKeyLink& operator=(const SettingsKeyLink&) = delete;
    bool Made() const { return link_ != nullptr; }

  private:
    HKEY link_ = nullptr;
};

TEST_F(StoreBadInputTest, ASettingsKeyThatLinksToAnotherKeyIsReadAndWrittenThroughTheLink) {
    ScratchKey target = ScratchKey::Unique(HKEY_LOCAL_MACHINE, L"link-target");
    RegSetValueExW(target.Handle(), L"requests", 0, REG_MULTI_SZ,
                   reinterpret_cast<const BYTE*>(L"linked.example\0"), 32);
    machineKey_.reset();  // the settings key goes, the link takes its place
    SettingsKeyLink link(target.Path());
    ASSERT_TRUE(link.Made());
    EXPECT_EQ(Store().LoadRequestedSites(), (Rows{L"linked.example", L""}));
    EXPECT_EQ(Store().LoadPassword(), PasswordSetting{});
    EXPECT_EQ(Store().SaveActivityLogging(true).kind, Outcome::Kind::Done);
    DWORD on = 0, size = sizeof(on);
    EXPECT_EQ(RegQueryValueExW(target.Handle(), L"activitylogging", nullptr, nullptr,
                               reinterpret_cast<BYTE*>(&on), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(on, 1u);
}

}  // namespace
}  // namespace zendrel::test
