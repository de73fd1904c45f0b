// A registry key of a test's own in the test prefix's real registry: created
// empty when the object is made, removed with everything below it when the
// object goes (a refusing access list set through Deny is lifted first).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace zendrel::test {

// The security identifier of the account running the test, as text.
std::wstring ThisUserSid();

class ScratchKey {
  public:
    // A fresh key Software\ZendrelTest\<name>-<process id>-<n> below root.
    static ScratchKey Unique(HKEY root, const std::wstring& name);

    // The key at path below root, emptied first when it exists (for tests
    // that must use a fixed key, such as the settings key).
    ScratchKey(HKEY root, std::wstring path);
    ~ScratchKey();
    ScratchKey(ScratchKey&& other) noexcept;
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;
    ScratchKey& operator=(ScratchKey&&) = delete;

    HKEY Root() const { return root_; }
    // The root as RegistryWrapper's hkey.
    std::int32_t RootValue() const;
    // The path below Root(), and its two pieces: everything before the last
    // backslash and the last name (for KeyRoot and Subkey).
    const std::wstring& Path() const { return path_; }
    std::wstring Parent() const;
    std::wstring Leaf() const;
    // An open handle with every access right, kept for the object's life.
    HKEY Handle() const { return handle_; }

    // Sets an access list that denies `denied` to Everyone and allows the
    // rest; the key's own list comes back before the key is removed.
    void Deny(REGSAM denied);
    void Restore();

  private:
    HKEY root_;
    std::wstring path_;
    HKEY handle_ = nullptr;
    std::vector<std::uint8_t> savedSecurity_;  // the self-relative descriptor Deny replaced
};

// Removes path below root with all its subkeys; true when it is gone.
bool DeleteKeyTree(HKEY root, const std::wstring& path);

}  // namespace zendrel::test
