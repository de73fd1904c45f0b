// RegistryWrapper: every registry read and write of the settings program
// passes through it. Point it at a key (hkey, KeyRoot, Subkey), then call any
// operation; each opens the key afresh and closes it before returning. Registry
// failures never throw: they show in the results. Only a Value that cannot be
// converted to what DType asks for throws a Failure (after closing the key).
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "collection.h"
#include "variant.h"

namespace zendrel {

constexpr std::int32_t kHkeyCurrentUser = static_cast<std::int32_t>(0x80000001u);
constexpr std::int32_t kHkeyLocalMachine = static_cast<std::int32_t>(0x80000002u);

// What ReadRegistryValue found.
struct RegistryRead {
    enum class Status {
        Present,     // read: type and value are set
        Absent,      // the key or the value does not exist
        Unreadable,  // it may exist, but could not be read: error says why
        TooLong,     // it exists, longer than the most the caller reads: not read
    };
    Status status = Status::Absent;
    std::uint32_t type = 0;  // REG_SZ, REG_DWORD ... when Present
    // As GetRegistryValue gives it, with Empty for its default.
    Variant value;
    std::int32_t error = 0;  // the Windows error code when Unreadable
    std::uint32_t size = 0;  // the value's size in bytes, as reported, when TooLong
};

class RegistryWrapper {
  public:
    // Plain stored values; the key worked on is KeyRoot + "\" + Subkey below hkey.
    std::int32_t hkey = 0;
    std::wstring KeyRoot;
    std::wstring Subkey;

    bool KeyExists() const;
    // "0" when the key KeyRoot + "\" + KeyName (Subkey when omitted) now exists, "" on failure.
    std::wstring CreateKey(const std::optional<Variant>& KeyName = std::nullopt) const;
    // 0 when deleted, else the Windows error code.
    std::int32_t DeleteKey(const std::wstring& KeyName) const;
    std::int32_t DeleteValue(const std::wstring& ValueName) const;

    Collection<std::wstring> EnumRegistryKeys(std::int32_t hkey, const std::wstring& KeyName) const;
    // Each member is {value name, data}, found by the value name.
    Collection<std::array<Variant, 2>> EnumRegistryValues(std::int32_t hkey,
                                                          const std::wstring& KeyName) const;

    Variant GetRegistryValue(const std::wstring& ValueName,
                             const Variant& DefaultValue = Variant()) const;
    // GetRegistryValue that tells a value that is absent from one that exists
    // but could not be read (access refused, or grown by another program
    // between two reads more often than it retries). With maxBytes, a value
    // that the registry reports longer is TooLong and is not read (the
    // registry reads a value whole or not at all): nothing larger is allocated.
    RegistryRead ReadRegistryValue(const std::wstring& ValueName,
                                   std::optional<std::uint32_t> maxBytes = std::nullopt) const;
    bool SetRegistryValue(const std::wstring& ValueName, const Variant& Value,
                          std::int32_t DType) const;

    Variant ReadRemoteRegistryValue(
        const std::wstring& sRemoteComputer, std::int32_t hkey, const std::wstring& ValueName,
        const std::optional<std::wstring>& KeyPath = std::nullopt) const;
    bool WriteRemoteRegistryValue(const std::wstring& sRemoteComputer, std::int32_t hkey,
                                  const std::wstring& ValueName, const Variant& Value,
                                  std::int32_t DType,
                                  const std::optional<std::wstring>& KeyPath = std::nullopt) const;

    // Cuts item at its first null character and returns it.
    static std::wstring TrimNull(std::wstring& item);

  private:
    SECURITY_ATTRIBUTES securityAttributes_{};  // never filled: default security
};

}  // namespace zendrel
