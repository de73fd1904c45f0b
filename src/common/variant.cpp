#include "variant.h"

#include <cmath>
#include <limits>

#include "failure.h"

namespace zendrel {

namespace {

const wchar_t* const kSource = kProgramName;

[[noreturn]] void Mismatch() {
    throw Failure(kTypeMismatch, kSource);
}

// Parses "[blanks][sign]digits[.digits][blanks]" and rounds half to even.
double ParseNumber(const std::wstring& text) {
    std::size_t i = 0, n = text.size();
    while (i < n && (text[i] == L' ' || text[i] == L'\t')) ++i;
    while (n > i && (text[n - 1] == L' ' || text[n - 1] == L'\t')) --n;
    bool negative = false;
    if (i < n && (text[i] == L'-' || text[i] == L'+')) negative = text[i++] == L'-';
    double value = 0;
    bool digits = false;
    for (; i < n && text[i] >= L'0' && text[i] <= L'9'; ++i, digits = true)
        value = value * 10 + (text[i] - L'0');
    if (i < n && text[i] == L'.') {
        double scale = 0.1;
        for (++i; i < n && text[i] >= L'0' && text[i] <= L'9'; ++i, digits = true, scale /= 10)
            value += (text[i] - L'0') * scale;
    }
    if (!digits || i != n) Mismatch();
    return std::nearbyint(negative ? -value : value);  // default rounding: half to even
}

template <typename Int>
Int InRange(double value) {
    if (value < std::numeric_limits<Int>::min() || value > std::numeric_limits<Int>::max())
        throw Failure(kOverflow, kSource);
    return static_cast<Int>(value);
}

}  // namespace

const std::wstring& Variant::Text() const {
    if (auto* t = std::get_if<std::wstring>(&value_)) return *t;
    Mismatch();
}

const Bytes& Variant::ByteArray() const {
    if (auto* b = std::get_if<Bytes>(&value_)) return *b;
    Mismatch();
}

std::wstring Variant::ToText() const {
    switch (GetKind()) {
        case Kind::Empty:
            return L"";
        case Kind::Text:
            return std::get<std::wstring>(value_);
        case Kind::Boolean:
            return std::get<bool>(value_) ? L"True" : L"False";
        case Kind::Int16:
            return std::to_wstring(std::get<std::int16_t>(value_));
        case Kind::Int32:
            return std::to_wstring(std::get<std::int32_t>(value_));
        case Kind::Bytes:
            break;
    }
    Mismatch();
}

double Variant::Number() const {
    switch (GetKind()) {
        case Kind::Empty:
            return 0;
        case Kind::Text:
            return ParseNumber(std::get<std::wstring>(value_));
        case Kind::Boolean:
            return std::get<bool>(value_) ? -1 : 0;
        case Kind::Int16:
            return std::get<std::int16_t>(value_);
        case Kind::Int32:
            return std::get<std::int32_t>(value_);
        case Kind::Bytes:
            break;
    }
    Mismatch();
}

std::int32_t Variant::ToInt32() const {
    return InRange<std::int32_t>(Number());
}
std::int16_t Variant::ToInt16() const {
    return InRange<std::int16_t>(Number());
}

}  // namespace zendrel
