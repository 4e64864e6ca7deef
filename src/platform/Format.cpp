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

// "%W.Pf" with no flags (the tag tables' "%5.2f"): std::to_chars writes what printf
// writes in the C locale, padded here to the width, without the cost of a printf call.
// False when the conversion or the value is not of that plain kind.
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
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, precision);
    if (ec != std::errc())
        return false;
    const size_t length = static_cast<size_t>(end - buf);
    piece.assign(length < static_cast<size_t>(width) ? static_cast<size_t>(width) - length : 0, ' ');
    piece.append(buf, length);
    return true;
}

}  // namespace

std::string FormatText(std::string_view tmpl, std::span<const FormatArg> args)
{
    std::string out;
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
                    for (char& c : piece)
                        if (c == '.')
                            c = FormatSettings().DecimalSeparator;
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
