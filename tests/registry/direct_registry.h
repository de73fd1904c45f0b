// Direct registry access for the wrapper tests: values are put and checked
// with the ANSI functions themselves, not through RegistryWrapper, so that a
// wrong size, a lost byte or a wrong conversion in the wrapper shows.
#pragma once

#include <windows.h>

#include <cstdint>
#include <stdexcept>
#include <string>

#include "registry_wrapper.h"
#include "scratch_key.h"

namespace zendrel::test {

struct StoredValue {
    LONG status = ERROR_FILE_NOT_FOUND;
    DWORD type = 0;
    std::string bytes;
};

// RegQueryValueExA asked for the size first, then read into exactly that.
inline StoredValue QueryA(HKEY key, const std::string& name) {
    StoredValue v;
    DWORD size = 0;
    v.status = RegQueryValueExA(key, name.c_str(), nullptr, &v.type, nullptr, &size);
    if (v.status != ERROR_SUCCESS) return v;
    v.bytes.assign(size, '\0');
    v.status = RegQueryValueExA(key, name.c_str(), nullptr, &v.type,
                                reinterpret_cast<BYTE*>(v.bytes.data()), &size);
    v.bytes.resize(size);
    return v;
}

// RegSetValueExA with the bytes exactly as given (terminators included by the caller).
inline void PutA(HKEY key, const std::string& name, DWORD type, const std::string& bytes) {
    LONG status =
        RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                       static_cast<DWORD>(bytes.size()));
    if (status != ERROR_SUCCESS) throw std::runtime_error("RegSetValueExA failed");
}

inline bool KeyPresent(HKEY root, const std::wstring& path) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}

// A wrapper pointed at the scratch key: KeyRoot its parent path, Subkey its name.
inline RegistryWrapper WrapperFor(const ScratchKey& key) {
    RegistryWrapper w;
    w.hkey = key.RootValue();
    w.KeyRoot = key.Parent();
    w.Subkey = key.Leaf();
    return w;
}

// A handle as the 32-bit value the wrapper's operations take.
inline std::int32_t HandleValue(HKEY h) {
    return static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(h));
}

// Text whose every position differs from its neighbours, so a shift or a
// lost byte shows.
inline std::string Pattern(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + i % 26);
    return s;
}

inline std::wstring WidePattern(std::size_t n) {
    std::string s = Pattern(n);
    return std::wstring(s.begin(), s.end());
}

}  // namespace zendrel::test
