// The tagged value that RegistryWrapper exchanges with its callers: Empty,
// text, Boolean, 16-bit or 32-bit signed integer, or a byte array.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace zendrel {

using Bytes = std::vector<std::uint8_t>;

class Variant {
  public:
    enum class Kind { Empty, Text, Boolean, Int16, Int32, Bytes };

    Variant() = default;
    Variant(std::wstring text) : value_(std::move(text)) {}
    Variant(const wchar_t* text) : value_(std::wstring(text)) {}
    Variant(bool b) : value_(b) {}
    Variant(std::int16_t i) : value_(i) {}
    Variant(std::int32_t i) : value_(i) {}
    Variant(Bytes bytes) : value_(std::move(bytes)) {}

    Kind GetKind() const { return static_cast<Kind>(value_.index()); }
    bool IsEmpty() const { return GetKind() == Kind::Empty; }

    // Direct access; each throws kTypeMismatch for another kind.
    const std::wstring& Text() const;
    const Bytes& ByteArray() const;

    // Conversions as the settings program makes them; each throws kTypeMismatch
    // for a value with no such form and 6 (overflow) for one out of range.
    // Empty is "" and 0; True is "True" and -1; text is parsed as a decimal
    // number (blanks around it allowed, a fraction rounded half to even).
    std::wstring ToText() const;
    std::int32_t ToInt32() const;
    std::int16_t ToInt16() const;

    friend bool operator==(const Variant&, const Variant&) = default;

  private:
    double Number() const;  // the value as a whole number, for the integer conversions

    std::variant<std::monostate, std::wstring, bool, std::int16_t, std::int32_t, Bytes> value_;
};

}  // namespace zendrel
