// Import and export against real files in a scratch folder, under the ANSI
// code page 1252 (LC_ALL=en_US.UTF-8).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "failure.h"
#include "site_list_file.h"

namespace zendrel {
namespace {

using Sites = std::vector<std::wstring>;
using namespace std::string_literals;

class SiteListFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"zsitelist-" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(folder_.c_str(), nullptr);
    }
    void TearDown() override {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((folder_ + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                std::wstring file = folder_ + L"\\" + found.cFileName;
                SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(file.c_str());
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(folder_.c_str());
    }

    std::wstring File(const wchar_t* name) const { return folder_ + L"\\" + name; }

    void Write(const std::wstring& path, const std::string& bytes) {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD wrote = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &wrote, nullptr);
        CloseHandle(file);
        ASSERT_EQ(wrote, bytes.size());
    }

    std::string Read(const std::wstring& path) {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return "<missing>";
        std::string bytes(GetFileSize(file, nullptr), '\0');
        DWORD got = 0;
        ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
        CloseHandle(file);
        return bytes.substr(0, got);
    }

    // The number of files in the folder: a save leaves no temporary file.
    int FileCount() const {
        int count = 0;
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((folder_ + L"\\*.*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return 0;
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++count;
        } while (FindNextFileW(search, &found));
        FindClose(search);
        return count;
    }

    // The number of the Failure that `run` throws; 0 when it throws none.
    template <typename Run>
    static int FailureNumber(Run run) {
        try {
            run();
        } catch (const Failure& failure) {
            return failure.Number();
        }
        return 0;
    }

    std::wstring folder_;
};

// Each encoding the issue names, with the refusals of the system's check: the
// same content in the bytes of each.
struct ImportCase {
    const char* name;
    std::string bytes;
    std::wstring refusedText;
    std::wstring reason;
};

constexpr wchar_t kControl[] = L"a control character, such as a line break";
constexpr wchar_t kCodePage[] = L"characters this computer's code page cannot hold";

class ImportEncodingTest : public SiteListFileTest,
                           public ::testing::WithParamInterface<ImportCase> {};

void PrintTo(const ImportCase& c, std::ostream* out) {
    *out << c.name;
}

TEST_P(ImportEncodingTest, ReadsTheSitesAndRefusesWhatUrlsTxtCannotHold) {
    Write(File(L"sites.txt"), GetParam().bytes);
    SiteImport result = ImportSiteFile(File(L"sites.txt"), {L"old.com"});
    EXPECT_EQ(result.sitesToAdd, (Sites{L"caf\u00E9.fr", L"b.org"}));
    EXPECT_EQ(result.alreadyListed, 1u);
    ASSERT_EQ(result.refused.size(), 1u);
    EXPECT_EQ(result.refused[0].line, 4u);
    EXPECT_EQ(result.refused[0].text, GetParam().refusedText);
    EXPECT_EQ(result.refused[0].reason, GetParam().reason);
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, ImportEncodingTest,
    ::testing::Values(
        // Every byte is a character of 1252: the ANSI file's refused line
        // holds a control character instead of a Cyrillic letter.
        ImportCase{"Ansi", "# list\r\ncaf\xE9.fr\r\n old.com \r\nbad\x01\r\n\r\nb.org",
                   L"bad\u0001", kControl},
        ImportCase{"Utf8", "# list\r\ncaf\xC3\xA9.fr\r\n old.com \r\n\xD0\xB0.ru\r\n\r\nb.org",
                   L"\u0430.ru", kCodePage},
        ImportCase{"Utf8Bom",
                   "\xEF\xBB\xBF# list\ncaf\xC3\xA9.fr\n old.com \n\xD0\xB0.ru\n\nb.org\n",
                   L"\u0430.ru", kCodePage},
        ImportCase{
            "Utf16Le",
            "\xFF\xFE#\0\r\0\n\0c\0a\0f\0\xE9\0.\0f\0r\0\r\0\n\0o\0l\0d\0.\0c\0o\0m\0\r\0\n\0"
            "\x30\x04.\0r\0u\0\r\0\n\0\r\0\n\0b\0.\0o\0r\0g\0"s,
            L"\u0430.ru", kCodePage},
        ImportCase{"Utf16Be",
                   "\xFE\xFF\0#\0\n\0c\0a\0f\0\xE9\0.\0f\0r\0\n\0o\0l\0d\0.\0c\0o\0m\0\n"
                   "\x04\x30\0.\0r\0u\0\n\0\n\0b\0.\0o\0r\0g"s,
                   L"\u0430.ru", kCodePage}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SiteListFileTest, ImportsAHundredThousandLines) {
    std::string bytes;
    for (int i = 0; i < 100000; ++i) bytes += "site" + std::to_string(i) + ".example\r\n";
    Write(File(L"big.txt"), bytes);
    DWORD start = GetTickCount();
    SiteImport result = ImportSiteFile(File(L"big.txt"), {});
    DWORD took = GetTickCount() - start;
    EXPECT_EQ(result.sitesToAdd.size(), 100000u);
    EXPECT_LT(took, 5000u) << "reading 100 000 lines took " << took << " ms";
}

TEST_F(SiteListFileTest, ImportOfAFileThatCannotBeReadFails) {
    EXPECT_EQ(FailureNumber([&] { ImportSiteFile(File(L"missing.txt"), {}); }), 53);
    Write(File(L"held.txt"), "a.com");
    HANDLE held =
        CreateFileW(File(L"held.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(FailureNumber([&] { ImportSiteFile(File(L"held.txt"), {}); }), 70);
    CloseHandle(held);
}

struct ExportCase {
    const char* name;
    SiteListFormat format;
    bool existing;
    std::string bytes;
};

class ExportTest : public SiteListFileTest, public ::testing::WithParamInterface<ExportCase> {};

void PrintTo(const ExportCase& c, std::ostream* out) {
    *out << c.name;
}

TEST_P(ExportTest, WritesTheListAndLeavesNoTemporaryFile) {
    if (GetParam().existing) Write(File(L"out.txt"), "old.com\r\nolder.com\r\n");
    ExportSiteList(File(L"out.txt"), {L"a.com", L"caf\u00E9.fr"}, GetParam().format);
    EXPECT_EQ(Read(File(L"out.txt")), GetParam().bytes);
    EXPECT_EQ(FileCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(Formats, ExportTest,
                         ::testing::Values(ExportCase{"AnsiNew", SiteListFormat::Ansi, false,
                                                      "a.com\r\ncaf\xE9.fr\r\n"},
                                           ExportCase{"AnsiExisting", SiteListFormat::Ansi, true,
                                                      "a.com\r\ncaf\xE9.fr\r\n"},
                                           ExportCase{"Utf8New", SiteListFormat::Utf8, false,
                                                      "\xEF\xBB\xBF"
                                                      "a.com\r\ncaf\xC3\xA9.fr\r\n"},
                                           ExportCase{"Utf8Existing", SiteListFormat::Utf8, true,
                                                      "\xEF\xBB\xBF"
                                                      "a.com\r\ncaf\xC3\xA9.fr\r\n"}),
                         [](const auto& info) { return std::string(info.param.name); });

// Each refusal leaves the file as it was (or absent) and no temporary file.
TEST_F(SiteListFileTest, ExportRefusalsChangeNothing) {
    Write(File(L"ro.txt"), "keep\r\n");
    SetFileAttributesW(File(L"ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(
        FailureNumber([&] { ExportSiteList(File(L"ro.txt"), {L"a.com"}, SiteListFormat::Ansi); }),
        70);
    EXPECT_EQ(Read(File(L"ro.txt")), "keep\r\n");

    EXPECT_EQ(FailureNumber(
                  [&] { ExportSiteList(File(L"ru.txt"), {L"\u0430.ru"}, SiteListFormat::Ansi); }),
              5);
    EXPECT_EQ(Read(File(L"ru.txt")), "<missing>");

    EXPECT_EQ(FailureNumber([&] {
                  ExportSiteList(File(L"no\\such\\folder.txt"), {L"a.com"}, SiteListFormat::Ansi);
              }),
              76);
    EXPECT_EQ(FileCount(), 1);
}

}  // namespace
}  // namespace zendrel
