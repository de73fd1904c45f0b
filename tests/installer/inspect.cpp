// inspect: what the install test reads through the Windows API under Wine.
//   inspect keysddl KEY        access list of HKEY_LOCAL_MACHINE\KEY, as SDDL
//   inspect filesddl PATH      access list of a file, as SDDL
//   inspect version PATH       version resources: one "name=value" line each
//   inspect shortcut PATH.lnk  the program a shortcut starts
//   inspect sddlentries SDDL   the access list SDDL makes, one line each:
//                              "protected" when it inherits nothing, then
//                              "allow|deny SID 0xMASK [OI] [CI] [IO]" per entry
//   inspect service NAME       a service as the service control manager has it:
//                              "start=auto|demand|disabled|boot|system",
//                              "account=...", "path=...", "state=N" (exit
//                              code 1: no such service)
// Prints to stdout; exit code 0 when the thing could be read, 1 otherwise.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

void PrintUtf8(const std::wstring& text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
    std::printf("%s\n", out.c_str());
}

int PrintSddl(PSECURITY_DESCRIPTOR descriptor) {
    LPWSTR text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(
            descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
        std::fprintf(stderr, "ConvertSecurityDescriptorToStringSecurityDescriptorW: %lu\n",
                     GetLastError());
        return 1;
    }
    PrintUtf8(text);
    LocalFree(text);
    return 0;
}

int KeySddl(const wchar_t* key) {
    HKEY handle = nullptr;
    LONG rc = RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, READ_CONTROL, &handle);
    if (rc != ERROR_SUCCESS) {
        std::fprintf(stderr, "RegOpenKeyExW: %ld\n", rc);
        return 1;
    }
    DWORD size = 0;
    RegGetKeySecurity(handle, DACL_SECURITY_INFORMATION, nullptr, &size);
    std::vector<BYTE> buffer(size ? size : 1);
    rc = RegGetKeySecurity(handle, DACL_SECURITY_INFORMATION, buffer.data(), &size);
    RegCloseKey(handle);
    if (rc != ERROR_SUCCESS) {
        std::fprintf(stderr, "RegGetKeySecurity: %ld\n", rc);
        return 1;
    }
    return PrintSddl(buffer.data());
}

int FileSddl(const wchar_t* path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD rc = GetNamedSecurityInfoW(path, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                     nullptr, nullptr, nullptr, &descriptor);
    if (rc != ERROR_SUCCESS) {
        std::fprintf(stderr, "GetNamedSecurityInfoW: %lu\n", rc);
        return 1;
    }
    int result = PrintSddl(descriptor);
    LocalFree(descriptor);
    return result;
}

int Version(const wchar_t* path) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    if (size == 0) {
        std::fprintf(stderr, "GetFileVersionInfoSizeW: %lu\n", GetLastError());
        return 1;
    }
    std::vector<BYTE> data(size);
    if (!GetFileVersionInfoW(path, 0, size, data.data())) return 1;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed) {
        std::printf("Fixed=%u.%u.%u.%u\n", unsigned{HIWORD(fixed->dwFileVersionMS)},
                    unsigned{LOWORD(fixed->dwFileVersionMS)},
                    unsigned{HIWORD(fixed->dwFileVersionLS)},
                    unsigned{LOWORD(fixed->dwFileVersionLS)});
    }
    struct Translation {
        WORD language, codePage;
    }* translations = nullptr;
    if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&translations), &length) ||
        length < sizeof(Translation)) {
        std::fprintf(stderr, "no translation\n");
        return 1;
    }
    wchar_t block[64];
    for (const wchar_t* name : {L"ProductName", L"FileVersion", L"ProductVersion",
                                L"FileDescription", L"LegalCopyright", L"CompanyName"}) {
        swprintf(block, 64, L"\\StringFileInfo\\%04x%04x\\%ls", translations->language,
                 translations->codePage, name);
        wchar_t* value = nullptr;
        if (VerQueryValueW(data.data(), block, reinterpret_cast<void**>(&value), &length) && value)
            PrintUtf8(std::wstring(name) + L"=" + value);
    }
    return 0;
}

int Shortcut(const wchar_t* path) {
    CoInitialize(nullptr);
    IShellLinkW* link = nullptr;
    int result = 1;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            wchar_t target[MAX_PATH] = L"";
            if (SUCCEEDED(file->Load(path, STGM_READ)) &&
                SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, 0))) {
                PrintUtf8(target);
                result = 0;
            }
            file->Release();
        }
        link->Release();
    }
    CoUninitialize();
    return result;
}

int SddlEntries(const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor,
                                                              nullptr)) {
        std::fprintf(stderr, "ConvertStringSecurityDescriptorToSecurityDescriptorW: %lu\n",
                     GetLastError());
        return 1;
    }
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    BOOL present = FALSE, defaulted = FALSE;
    PACL acl = nullptr;
    ACL_SIZE_INFORMATION size{};
    int result = 1;
    if (GetSecurityDescriptorControl(descriptor, &control, &revision) &&
        GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted) && present && acl &&
        GetAclInformation(acl, &size, sizeof size, AclSizeInformation)) {
        if (control & SE_DACL_PROTECTED) std::printf("protected\n");
        result = 0;
        for (DWORD i = 0; i < size.AceCount; ++i) {
            ACE_HEADER* header = nullptr;
            if (!GetAce(acl, i, reinterpret_cast<void**>(&header))) {
                result = 1;
                break;
            }
            if (header->AceType != ACCESS_ALLOWED_ACE_TYPE &&
                header->AceType != ACCESS_DENIED_ACE_TYPE) {
                std::printf("type %u\n", unsigned{header->AceType});
                continue;
            }
            // Allowed and denied entries share one layout.
            auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
            LPWSTR sid = nullptr;
            if (!ConvertSidToStringSidW(&ace->SidStart, &sid)) {
                result = 1;
                break;
            }
            std::wstring line = header->AceType == ACCESS_ALLOWED_ACE_TYPE ? L"allow " : L"deny ";
            wchar_t mask[16];
            swprintf(mask, 16, L" 0x%08lx", static_cast<unsigned long>(ace->Mask));
            line += sid + std::wstring(mask);
            if (header->AceFlags & OBJECT_INHERIT_ACE) line += L" OI";
            if (header->AceFlags & CONTAINER_INHERIT_ACE) line += L" CI";
            if (header->AceFlags & INHERIT_ONLY_ACE) line += L" IO";
            LocalFree(sid);
            PrintUtf8(line);
        }
    }
    LocalFree(descriptor);
    return result;
}

int Service(const wchar_t* name) {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = manager ? OpenServiceW(manager, name, SERVICE_QUERY_CONFIG |
                                                                  SERVICE_QUERY_STATUS)
                                : nullptr;
    int result = 1;
    DWORD size = 0;
    if (service) QueryServiceConfigW(service, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    auto config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    SERVICE_STATUS status{};
    if (service && size && QueryServiceConfigW(service, config, size, &size) &&
        QueryServiceStatus(service, &status)) {
        const wchar_t* starts[] = {L"boot", L"system", L"auto", L"demand", L"disabled"};
        PrintUtf8(std::wstring(L"start=") +
                  (config->dwStartType < 5 ? starts[config->dwStartType] : L"?"));
        PrintUtf8(std::wstring(L"account=") +
                  (config->lpServiceStartName ? config->lpServiceStartName : L""));
        PrintUtf8(std::wstring(L"path=") + config->lpBinaryPathName);
        PrintUtf8(L"state=" + std::to_wstring(status.dwCurrentState));
        result = 0;
    }
    if (service) CloseServiceHandle(service);
    if (manager) CloseServiceHandle(manager);
    return result;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr,
                     "usage: inspect keysddl|filesddl|version|shortcut|sddlentries|service ARGUMENT\n");
        return 2;
    }
    std::wstring what = argv[1];
    if (what == L"keysddl") return KeySddl(argv[2]);
    if (what == L"filesddl") return FileSddl(argv[2]);
    if (what == L"version") return Version(argv[2]);
    if (what == L"shortcut") return Shortcut(argv[2]);
    if (what == L"sddlentries") return SddlEntries(argv[2]);
    if (what == L"service") return Service(argv[2]);
    std::fprintf(stderr, "unknown: %ls\n", argv[1]);
    return 2;
}
