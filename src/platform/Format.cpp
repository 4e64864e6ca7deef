#include "platform/Format.h"

#include "platform/FormatSettings.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace morvik {

namespace {

std::string Printf(const std::string& conversion, auto value)
{
    char buf[512];
    int n = std::snprintf(buf, sizeof buf, conversion.c_str(), value);
    if (n < 0)
        return {};
    if (static_cast<size_t>(n) < sizeof buf)
        return std::string(buf, static_cast<size_t>(n));
    std::string big(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(big.data(), big.size(), conversion.c_str(), value);
    big.resize(static_cast<size_t>(n));
    return big;
}

// The digits of a finite value in fixed notation with `precision` decimals, rounded as
// printf rounds: to nearest, ties to even, on the exact binary value. The value is its
// 53-bit significand times a power of two; the significand times 10^precision fits in
// 128 bits, so the rounding is done in integers. False (nothing written) for values of
// 2^53 or more, precisions above 9 and results of more than 19 digits, which
// std::to_chars handles.
bool ExactFixed(double value, int precision, char* out, size_t& length)
{
    static constexpr uint64_t kPow10[10] = {1,      10,      100,      1000,      10000,
                                            100000, 1000000, 10000000, 100000000, 1000000000};
    const double magnitude = std::fabs(value);
    if (precision < 0 || precision > 9 || !(magnitude < 9007199254740992.0))
        return false;
    int exponent = 0;
    const double fraction = std::frexp(magnitude, &exponent);  // magnitude = fraction * 2^exponent
    const auto significand = static_cast<uint64_t>(std::ldexp(fraction, 53));
    const int shift = 53 - exponent;  // magnitude = significand / 2^shift, shift >= 0
    const unsigned __int128 scaled = static_cast<unsigned __int128>(significand) * kPow10[precision];
    unsigned __int128 units = 0;  // the rounded value times 10^precision
    if (shift == 0) {
        units = scaled;  // 2^52 or more: a whole number
    } else if (shift < 128) {
        units = scaled >> shift;
        const unsigned __int128 rest = scaled & ((static_cast<unsigned __int128>(1) << shift) - 1);
        const unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
        if (rest > half || (rest == half && (units & 1) != 0))
            ++units;
    }  // else below 2^-75: rounds to zero at any of these precisions
    if (units >> 64 != 0)
        return false;  // more than 19 digits: left to std::to_chars as well
    char digits[32];
    char* const end = digits + sizeof digits;
    char* d = end;
    auto n = static_cast<uint64_t>(units);
    for (int i = 0; i < precision; ++i) {
        *--d = static_cast<char>('0' + n % 10);
        n /= 10;
    }
    if (precision > 0)
        *--d = '.';
    do {
        *--d = static_cast<char>('0' + n % 10);
        n /= 10;
    } while (n != 0);
    if (std::signbit(value))
        *--d = '-';  // printf keeps the sign of a negative value that rounds to zero
    length = static_cast<size_t>(end - d);
    std::memcpy(out, d, length);
    return true;
}

// "%W.Pf" with no flags (the tag tables' "%5.2f"): the digits as printf writes them in the
// C locale, padded here to the width, without the cost of a printf call. False when the
// conversion or the value is not of that plain kind.
bool PlainFixed(std::string_view conversion, double value, std::string& piece)
{
    if (!std::isfinite(value) || conversion.size() < 1 || conversion[0] != '%')
        return false;
    size_t k = 1;
    auto number = [&conversion, &k](int& out) {
        const size_t from = k;
        out = 0;
        while (k < conversion.size() && conversion[k] >= '0' && conversion[k] <= '9' && k - from < 2)
            out = out * 10 + (conversion[k++] - '0');
        return k - from;
    };
    // The zero flag pads with zeros, which matters only with a width ("%0.1f" has none).
    const bool zeroFlag = k < conversion.size() && conversion[k] == '0';
    if (zeroFlag)
        ++k;
    int width = 0, precision = 6;
    if (number(width) > 0 && zeroFlag)
        return false;
    if (k < conversion.size() && conversion[k] == '.') {
        ++k;
        number(precision);
    }
    if (k != conversion.size())
        return false;  // flags, or numbers too long for this path
    char buf[400];
    size_t length = 0;
    if (!ExactFixed(value, precision, buf, length)) {
        const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, precision);
        if (ec != std::errc())
            return false;
        length = static_cast<size_t>(end - buf);
    }
    piece.assign(length < static_cast<size_t>(width) ? static_cast<size_t>(width) - length : 0, ' ');
    piece.append(buf, length);
    return true;
}

// The decimal point of a number written in the C locale becomes the user's separator.
void UseDecimalSeparator(std::string& piece)
{
    const char separator = FormatSettings().DecimalSeparator;
    if (separator != '.')
        for (char& c : piece)
            if (c == '.')
                c = separator;
}

// A template of one plain "%W.Pf" conversion with text around it (the tag tables' "F%0.1f"
// and "%5.2f mm") and a number for it, written without going through the template piece
// by piece. False when the template or the argument is of another kind.
bool SingleFixed(std::string_view tmpl, std::span<const FormatArg> args, std::string& out)
{
    const double* value = args.size() == 1 ? std::get_if<double>(&args[0]) : nullptr;
    const size_t at = tmpl.find('%');
    if (value == nullptr || at == std::string_view::npos)
        return false;
    const size_t letter = tmpl.find_first_not_of("0123456789.", at + 1);
    if (letter == std::string_view::npos || tmpl[letter] != 'f' || tmpl.find('%', letter + 1) != std::string_view::npos)
        return false;
    std::string piece;
    if (!PlainFixed(tmpl.substr(at, letter - at), *value, piece))
        return false;
    UseDecimalSeparator(piece);
    out.reserve(tmpl.size() + piece.size());
    out.append(tmpl.substr(0, at));
    out += piece;
    out.append(tmpl.substr(letter + 1));
    return true;
}

}  // namespace

std::string FormatText(std::string_view tmpl, std::span<const FormatArg> args)
{
    std::string out;
    if (SingleFixed(tmpl, args, out))
        return out;
    size_t next = 0;
    for (size_t i = 0; i < tmpl.size(); ++i) {
        if (tmpl[i] != '%') {
            // The plain text up to the next conversion, in one piece.
            size_t end = tmpl.find('%', i);
            if (end == std::string_view::npos)
                end = tmpl.size();
            out.append(tmpl.substr(i, end - i));
            i = end - 1;
            continue;
        }
        if (i + 1 < tmpl.size() && tmpl[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        // Flags, width, precision, then the conversion letter.
        size_t j = i + 1;
        while (j < tmpl.size() && std::strchr("-+ #0", tmpl[j]))
            ++j;
        while (j < tmpl.size() && tmpl[j] >= '0' && tmpl[j] <= '9')
            ++j;
        if (j < tmpl.size() && tmpl[j] == '.') {
            ++j;
            while (j < tmpl.size() && tmpl[j] >= '0' && tmpl[j] <= '9')
                ++j;
        }
        if (j >= tmpl.size()) {
            out.append(tmpl.substr(i));
            break;
        }
        const char conv = tmpl[j];
        std::string conversion(tmpl.substr(i, j - i));
        const FormatArg* arg = next < args.size() ? &args[next] : nullptr;
        std::string piece;
        bool ok = arg != nullptr;
        if (ok) {
            switch (conv) {
            case 'd': case 'i': case 'u': case 'x': case 'X': {
                int64_t v = 0;
                if (auto p = std::get_if<int64_t>(arg))
                    v = *p;
                else if (auto d = std::get_if<double>(arg))
                    v = static_cast<int64_t>(*d);
                else
                    ok = false;
                if (ok && conversion == "%" && (conv == 'd' || conv == 'i' || conv == 'u')) {
                    // No flags, width or precision: the plain decimal, as printf writes it
                    // ("%u" of a negative value wraps to 64 bits like "%llu").
                    char buf[24];
                    const auto end = conv == 'u' ? std::to_chars(buf, buf + sizeof buf, static_cast<uint64_t>(v)).ptr
                                                 : std::to_chars(buf, buf + sizeof buf, v).ptr;
                    piece.assign(buf, end);
                } else if (ok) {
                    piece = Printf(conversion + "ll" + (conv == 'i' ? 'd' : conv), static_cast<long long>(v));
                }
                break;
            }
            case 'f': case 'e': case 'E': case 'g': case 'G': {
                double v = 0;
                if (auto d = std::get_if<double>(arg))
                    v = *d;
                else if (auto p = std::get_if<int64_t>(arg))
                    v = static_cast<double>(*p);
                else
                    ok = false;
                if (ok) {
                    if (conv != 'f' || !PlainFixed(conversion, v, piece))
                        piece = Printf(conversion + conv, v);
                    UseDecimalSeparator(piece);
                }
                break;
            }
            case 's': {
                std::string s;
                if (auto t = std::get_if<std::string>(arg))
                    s = *t;
                else if (auto p = std::get_if<int64_t>(arg))
                    s = std::to_string(*p);
                else
                    ok = false;
                if (ok && conversion == "%")
                    piece.assign(s.c_str());  // up to a NUL, as printf takes it
                else if (ok)
                    piece = Printf(conversion + 's', s.c_str());
                break;
            }
            default:
                ok = false;
            }
        }
        if (ok) {
            out += piece;
            ++next;
        } else {
            out.append(tmpl.substr(i, j - i + 1));
        }
        i = j;
    }
    return out;
}

std::string FormatThousands(int64_t value)
{
    std::string digits = std::to_string(value < 0 ? -value : value);
    std::string out;
    const std::string& sep = FormatSettings().ThousandSeparator;
    int count = 0;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (count > 0 && count % 3 == 0)
            out.insert(0, sep);
        out.insert(out.begin(), *it);
        ++count;
    }
    return value < 0 ? "-" + out : out;
}

}  // namespace morvik
