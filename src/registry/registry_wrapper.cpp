#include "registry_wrapper.h"

#include <utility>
#include <vector>

#include "ansi.h"
#include "handles.h"
#include "registry_values.h"

namespace zendrel {

namespace {

HKEY RootOf(std::int32_t hkey) {
    return reinterpret_cast<HKEY>(static_cast<std::intptr_t>(hkey));
}

std::wstring JoinPath(const std::wstring& first, const std::wstring& second) {
    return first + L"\\" + second;
}

// RegOpenKeyExA, options 0; the key is owned by key only when the call succeeded.
LONG Open(HKEY root, const std::wstring& path, REGSAM access, RegistryKeyHandle& key) {
    return RegOpenKeyExA(root, ToAnsi(path).c_str(), 0, access, key.Put());
}

std::string Expand(const std::string& source) {
    // The first call reports the size the expansion needs, terminator
    // included; the environment may grow between the calls, hence the loop.
    DWORD capacity = ExpandEnvironmentStringsA(source.c_str(), nullptr, 0);
    for (int attempt = 0; attempt < 3 && capacity > 0; ++attempt) {
        std::vector<char> buffer(capacity + 1, '\0');
        DWORD needed = ExpandEnvironmentStringsA(source.c_str(), buffer.data(), capacity);
        if (needed == 0) break;
        if (needed <= capacity) return std::string(buffer.data());
        capacity = needed;
    }
    return source;  // not expandable: the text as stored
}

const AnsiConversions& Ansi() {
    static const AnsiConversions conversions{[](std::string_view bytes) { return FromAnsi(bytes); },
                                             [](std::wstring_view text) { return ToAnsi(text); },
                                             Expand};
    return conversions;
}

// RegQueryValueExA into 1024 bytes, then with the exact size reported after
// ERROR_MORE_DATA. `attempts` bounds the calls: a value that another program
// keeps growing between two calls gives ERROR_MORE_DATA in the end. On
// success data holds the value's bytes. A value reported longer than
// maxBytes is not read: ERROR_MORE_DATA, with its size in *tooLong.
LONG Query(HKEY key, const std::wstring& valueName, DWORD& type, std::vector<std::uint8_t>& data,
           int attempts = 2, DWORD maxBytes = MAXDWORD, DWORD* tooLong = nullptr) {
    std::string name = ToAnsi(valueName);
    DWORD size = 1024;
    LONG status = ERROR_MORE_DATA;
    for (int attempt = 0; attempt < attempts && status == ERROR_MORE_DATA; ++attempt) {
        if (attempt > 0 && size > maxBytes) {
            if (tooLong) *tooLong = size;
            data.clear();
            return ERROR_MORE_DATA;
        }
        data.assign(size, 0);
        status = RegQueryValueExA(key, name.c_str(), nullptr, &type, data.data(), &size);
    }
    if (status == ERROR_SUCCESS) data.resize(size);
    return status;
}

// Builds the data first, so that a Value that cannot be converted throws
// before anything is written; the caller's RegistryKeyHandle closes the key then.
bool Store(HKEY key, const std::wstring& valueName, const Variant& value, std::int32_t dtype) {
    std::optional<Bytes> data = StoredData(value, dtype, Ansi());
    if (!data) return true;  // a type that is not written
    LONG status = RegSetValueExA(key, ToAnsi(valueName).c_str(), 0, static_cast<DWORD>(dtype),
                                 data->data(), static_cast<DWORD>(data->size()));
    return status == ERROR_SUCCESS;
}

// The key that an enumeration lists: KeyName below hkey, or hkey itself when
// KeyName is empty (then neither opened nor closed here). Null when it cannot
// be opened.
HKEY EnumeratedKey(std::int32_t hkey, const std::wstring& keyName, RegistryKeyHandle& opened) {
    if (keyName.empty()) return RootOf(hkey);
    if (Open(RootOf(hkey), keyName, KEY_READ, opened) != ERROR_SUCCESS) return nullptr;
    return opened.Get();
}

// RegConnectRegistryA; the connected root is owned by root on success.
bool Connect(const std::wstring& computer, std::int32_t hkey, RegistryKeyHandle& root) {
    return RegConnectRegistryA(ToAnsi(computer).c_str(), RootOf(hkey), root.Put()) == ERROR_SUCCESS;
}

}  // namespace

bool RegistryWrapper::KeyExists() const {
    RegistryKeyHandle key;
    return Open(RootOf(hkey), JoinPath(KeyRoot, Subkey), KEY_READ, key) == ERROR_SUCCESS;
}

std::wstring RegistryWrapper::CreateKey(const std::optional<Variant>& KeyName) const {
    std::wstring name = KeyName ? KeyName->ToText() : Subkey;
    // RegCreateKeyExA takes a non-const security attributes record; it only reads it.
    SECURITY_ATTRIBUTES security = securityAttributes_;
    char noClass[] = "";
    RegistryKeyHandle created;
    DWORD disposition = 0;
    LONG status = RegCreateKeyExA(RootOf(hkey), ToAnsi(JoinPath(KeyRoot, name)).c_str(), 0, noClass,
                                  REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, &security, created.Put(),
                                  &disposition);
    return status == ERROR_SUCCESS ? L"0" : L"";
}

std::int32_t RegistryWrapper::DeleteKey(const std::wstring& KeyName) const {
    return RegDeleteKeyA(RootOf(hkey), ToAnsi(JoinPath(KeyRoot, KeyName)).c_str());
}

std::int32_t RegistryWrapper::DeleteValue(const std::wstring& ValueName) const {
    RegistryKeyHandle key;
    LONG status = Open(RootOf(hkey), JoinPath(KeyRoot, Subkey), KEY_ALL_ACCESS, key);
    if (status != ERROR_SUCCESS) return status;
    return RegDeleteValueA(key.Get(), ToAnsi(ValueName).c_str());
}

Collection<std::wstring> RegistryWrapper::EnumRegistryKeys(std::int32_t hkey,
                                                           const std::wstring& KeyName) const {
    Collection<std::wstring> keys;
    RegistryKeyHandle opened;
    HKEY key = EnumeratedKey(hkey, KeyName, opened);
    if (key == nullptr) return keys;
    for (DWORD index = 0;; ++index) {
        char name[260] = {};
        DWORD nameCapacity = sizeof name;
        char className[1] = {};
        DWORD classCapacity = sizeof className;
        FILETIME lastWrite;
        LONG status = RegEnumKeyExA(key, index, name, &nameCapacity, nullptr, className,
                                    &classCapacity, &lastWrite);
        // Any failure ends the listing, as in EnumRegistryValues: a failed
        // step leaves no name worth adding.
        if (status != ERROR_SUCCESS) break;
        std::wstring text = FromAnsi(std::string_view(name, nameCapacity));
        keys.Add(text, text);
    }
    return keys;
}

Collection<std::array<Variant, 2>> RegistryWrapper::EnumRegistryValues(
    std::int32_t hkey, const std::wstring& KeyName) const {
    Collection<std::array<Variant, 2>> values;
    RegistryKeyHandle opened;
    HKEY key = EnumeratedKey(hkey, KeyName, opened);
    if (key == nullptr) return values;
    for (DWORD index = 0;; ++index) {
        char name[260] = {};
        DWORD nameCapacity = sizeof name;
        std::vector<std::uint8_t> data(4096, 0);
        DWORD size = static_cast<DWORD>(data.size());
        DWORD type = 0;
        LONG status =
            RegEnumValueA(key, index, name, &nameCapacity, nullptr, &type, data.data(), &size);
        if (status == ERROR_MORE_DATA) {
            // A name too long for its buffer also reports ERROR_MORE_DATA; the
            // second call fails the same way and ends the listing.
            data.assign(size, 0);
            if (data.empty()) data.reserve(1);  // a valid pointer for a size of 0
            nameCapacity = sizeof name;
            status =
                RegEnumValueA(key, index, name, &nameCapacity, nullptr, &type, data.data(), &size);
        }
        if (status != ERROR_SUCCESS) break;
        std::array<Variant, 2> member{
            Variant(FromAnsi(std::string_view(name, nameCapacity))),
            ListedValue(type, std::span<const std::uint8_t>(data.data(), size), Ansi())};
        std::wstring lookup = member[0].Text();
        values.Add(std::move(member), std::move(lookup));
    }
    return values;
}

Variant RegistryWrapper::GetRegistryValue(const std::wstring& ValueName,
                                          const Variant& DefaultValue) const {
    RegistryKeyHandle key;
    if (Open(RootOf(hkey), JoinPath(KeyRoot, Subkey), KEY_READ, key) != ERROR_SUCCESS)
        return DefaultValue;
    DWORD type = 0;
    std::vector<std::uint8_t> data;
    if (Query(key.Get(), ValueName, type, data) != ERROR_SUCCESS) return DefaultValue;
    return QueriedValue(type, data, Ansi()).value_or(DefaultValue);
}

RegistryRead RegistryWrapper::ReadRegistryValue(const std::wstring& ValueName,
                                                std::optional<std::uint32_t> maxBytes) const {
    // A value that the add-on appends to may grow between the size query and
    // the read: a few more tries before it counts as unreadable.
    constexpr int kAttempts = 5;
    RegistryRead read;
    RegistryKeyHandle key;
    LONG status = Open(RootOf(hkey), JoinPath(KeyRoot, Subkey), KEY_READ, key);
    if (status == ERROR_SUCCESS) {
        DWORD type = 0;
        std::vector<std::uint8_t> data;
        DWORD tooLong = 0;
        status = Query(key.Get(), ValueName, type, data, kAttempts, maxBytes.value_or(MAXDWORD),
                       &tooLong);
        if (tooLong != 0) {
            read.status = RegistryRead::Status::TooLong;
            read.type = type;
            read.size = tooLong;
            return read;
        }
        if (status == ERROR_SUCCESS) {
            read.status = RegistryRead::Status::Present;
            read.type = type;
            read.value = QueriedValue(type, data, Ansi()).value_or(Variant());
            return read;
        }
    }
    read.status = status == ERROR_FILE_NOT_FOUND ? RegistryRead::Status::Absent
                                                 : RegistryRead::Status::Unreadable;
    read.error = status;
    return read;
}

bool RegistryWrapper::SetRegistryValue(const std::wstring& ValueName, const Variant& Value,
                                       std::int32_t DType) const {
    RegistryKeyHandle key;
    if (Open(RootOf(hkey), JoinPath(KeyRoot, Subkey), KEY_WRITE, key) != ERROR_SUCCESS)
        return false;
    return Store(key.Get(), ValueName, Value, DType);
}

Variant RegistryWrapper::ReadRemoteRegistryValue(const std::wstring& sRemoteComputer,
                                                 std::int32_t hkey, const std::wstring& ValueName,
                                                 const std::optional<std::wstring>& KeyPath) const {
    std::wstring path = KeyPath ? *KeyPath : JoinPath(KeyRoot, Subkey);
    // Declared first, so closed after the key opened below it.
    RegistryKeyHandle root;
    if (!Connect(sRemoteComputer, hkey, root)) return Variant(L"Error!");
    RegistryKeyHandle key;
    if (Open(root.Get(), path, KEY_ALL_ACCESS, key) != ERROR_SUCCESS) return Variant();
    DWORD type = 0;
    std::vector<std::uint8_t> data;
    if (Query(key.Get(), ValueName, type, data) != ERROR_SUCCESS) return Variant();
    return RemoteQueriedValue(type, data, Ansi());
}

bool RegistryWrapper::WriteRemoteRegistryValue(const std::wstring& sRemoteComputer,
                                               std::int32_t hkey, const std::wstring& ValueName,
                                               const Variant& Value, std::int32_t DType,
                                               const std::optional<std::wstring>& KeyPath) const {
    std::wstring path = KeyPath ? *KeyPath : JoinPath(KeyRoot, Subkey);
    RegistryKeyHandle root;
    if (!Connect(sRemoteComputer, hkey, root)) return false;
    RegistryKeyHandle key;
    if (Open(root.Get(), path, KEY_ALL_ACCESS, key) != ERROR_SUCCESS) return false;
    return Store(key.Get(), ValueName, Value, DType);
}

std::wstring RegistryWrapper::TrimNull(std::wstring& item) {
    return CutAtNull(item);
}

}  // namespace zendrel
