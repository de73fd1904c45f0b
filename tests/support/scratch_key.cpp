#include "scratch_key.h"

#include <sddl.h>

#include <atomic>
#include <stdexcept>
#include <utility>
#include <vector>

namespace zendrel::test {

std::wstring ThisUserSid() {
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    BYTE buffer[256] = {};
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size);
    CloseHandle(token);
    wchar_t* text = nullptr;
    ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text);
    std::wstring sid = text ? text : L"";
    LocalFree(text);
    return sid;
}

namespace {

const wchar_t kTestRoot[] = L"Software\\ZendrelTest";

[[noreturn]] void Fail(const char* what, LONG status) {
    throw std::runtime_error(std::string("scratch key: ") + what + " failed with " +
                             std::to_string(status));
}

}  // namespace

ScratchKey ScratchKey::Unique(HKEY root, const std::wstring& name) {
    static std::atomic<int> counter{0};
    return ScratchKey(root, std::wstring(kTestRoot) + L"\\" + name + L"-" +
                                std::to_wstring(GetCurrentProcessId()) + L"-" +
                                std::to_wstring(++counter));
}

ScratchKey::ScratchKey(HKEY root, std::wstring path) : root_(root), path_(std::move(path)) {
    DeleteKeyTree(root_, path_);
    LONG status = RegCreateKeyExW(root_, path_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &handle_, nullptr);
    if (status != ERROR_SUCCESS) Fail("RegCreateKeyExW", status);
}

ScratchKey::ScratchKey(ScratchKey&& other) noexcept
    : root_(other.root_),
      path_(std::move(other.path_)),
      handle_(std::exchange(other.handle_, nullptr)),
      savedSecurity_(std::move(other.savedSecurity_)) {}

ScratchKey::~ScratchKey() {
    if (handle_ == nullptr) return;  // moved from
    Restore();
    RegCloseKey(handle_);
    DeleteKeyTree(root_, path_);
    // The common parent goes when no other test's key is left in it.
    if (path_.rfind(kTestRoot, 0) == 0) RegDeleteKeyW(root_, kTestRoot);
}

std::int32_t ScratchKey::RootValue() const {
    return static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(root_));
}

std::wstring ScratchKey::Parent() const {
    return path_.substr(0, path_.rfind(L'\\'));
}

std::wstring ScratchKey::Leaf() const {
    return path_.substr(path_.rfind(L'\\') + 1);
}

void ScratchKey::Deny(REGSAM denied) {
    if (savedSecurity_.empty()) {
        DWORD size = 0;
        RegGetKeySecurity(handle_, DACL_SECURITY_INFORMATION, nullptr, &size);
        std::vector<std::uint8_t> saved(size, 0);
        LONG status = RegGetKeySecurity(handle_, DACL_SECURITY_INFORMATION, saved.data(), &size);
        if (status != ERROR_SUCCESS) Fail("RegGetKeySecurity", status);
        savedSecurity_ = std::move(saved);
    }
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone))
        Fail("AllocateAndInitializeSid", static_cast<LONG>(GetLastError()));
    DWORD aceSize = sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + GetLengthSid(everyone);
    std::vector<std::uint8_t> aclBuffer(sizeof(ACL) + 2 * aceSize + 16, 0);
    auto* acl = reinterpret_cast<ACL*>(aclBuffer.data());
    bool built = InitializeAcl(acl, static_cast<DWORD>(aclBuffer.size()), ACL_REVISION) &&
                 AddAccessDeniedAce(acl, ACL_REVISION, denied, everyone) &&
                 AddAccessAllowedAce(acl, ACL_REVISION, KEY_ALL_ACCESS, everyone);
    FreeSid(everyone);
    if (!built) Fail("building the access list", static_cast<LONG>(GetLastError()));
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
    LONG status = RegSetKeySecurity(handle_, DACL_SECURITY_INFORMATION, &descriptor);
    if (status != ERROR_SUCCESS) Fail("RegSetKeySecurity", status);
}

void ScratchKey::Restore() {
    if (savedSecurity_.empty()) return;
    RegSetKeySecurity(handle_, DACL_SECURITY_INFORMATION, savedSecurity_.data());
    savedSecurity_.clear();
}

bool DeleteKeyTree(HKEY root, const std::wstring& path) {
    // Given a path, RegDeleteTreeW removes the key itself too.
    LONG status = RegDeleteTreeW(root, path.c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

}  // namespace zendrel::test
