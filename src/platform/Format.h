#pragma once
// printf-like formatting in the C rules of width, precision and rounding, with the
// decimal separator of FormatSettings() in place of the point of %f, %e and %g.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace morvik {

using FormatArg = std::variant<int64_t, double, std::string>;

// Each conversion takes the next argument; a conversion whose argument is missing or of
// another kind is written as it stands. %d/%i/%u/%x take integers (a double is
// truncated), %f/%e/%g take numbers, %s takes text (a number is written in decimal).
std::string FormatText(std::string_view tmpl, std::span<const FormatArg> args);

namespace detail {
template <typename T>
FormatArg ToFormatArg(T&& a)
{
    using U = std::decay_t<T>;
    if constexpr (std::is_floating_point_v<U>)
        return static_cast<double>(a);
    else if constexpr (std::is_integral_v<U>)
        return static_cast<int64_t>(a);
    else
        return std::string(std::forward<T>(a));
}
}  // namespace detail

// The arguments live on the stack: formatting a value costs no list on the heap.
template <typename... Args>
std::string Format(std::string_view tmpl, Args&&... args)
{
    const std::array<FormatArg, sizeof...(Args)> list{detail::ToFormatArg(std::forward<Args>(args))...};
    return FormatText(tmpl, std::span<const FormatArg>(list));
}

// Integer with the thousands separator of FormatSettings() ("#,###": 1234567 -> 1,234,567).
std::string FormatThousands(int64_t value);

}  // namespace morvik
