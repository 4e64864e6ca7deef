#pragma once
// printf-like formatting in the C rules of width, precision and rounding, with the
// decimal separator of FormatSettings() in place of the point of %f, %e and %g.
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace morvik {

using FormatArg = std::variant<int64_t, double, std::string>;

// Each conversion takes the next argument; a conversion whose argument is missing or of
// another kind is written as it stands. %d/%i/%u/%x take integers (a double is
// truncated), %f/%e/%g take numbers, %s takes text (a number is written in decimal).
std::string FormatText(std::string_view tmpl, const std::vector<FormatArg>& args);

template <typename... Args>
std::string Format(std::string_view tmpl, Args&&... args)
{
    std::vector<FormatArg> list;
    list.reserve(sizeof...(args));
    auto push = [&list](auto&& a) {
        using T = std::decay_t<decltype(a)>;
        if constexpr (std::is_floating_point_v<T>)
            list.emplace_back(static_cast<double>(a));
        else if constexpr (std::is_integral_v<T>)
            list.emplace_back(static_cast<int64_t>(a));
        else
            list.emplace_back(std::string(a));
    };
    (push(std::forward<Args>(args)), ...);
    return FormatText(tmpl, list);
}

// Integer with the thousands separator of FormatSettings() ("#,###": 1234567 -> 1,234,567).
std::string FormatThousands(int64_t value);

}  // namespace morvik
