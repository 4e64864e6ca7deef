#include "stamping/NameDate.h"

#include <regex>
#include <string>
#include <vector>

namespace morvik {

namespace {

// Each pattern captures year, month, day and, when it has one, hour, minute and second.
// A candidate starts and ends at a digit run's edge. A date alone counts only when no
// digits follow it after a separator: then they were meant as its time, and a date with
// a time that is no time is no candidate at all.
struct NamePattern {
    std::regex Expression;
    bool HasTime;
};

const std::vector<NamePattern>& Patterns()
{
    static const std::vector<NamePattern> patterns = {
        // 20230514_123456, 20230514-123456, PXL's milliseconds after the seconds
        {std::regex(R"((?:^|\D)(\d{4})(\d{2})(\d{2})[_-](\d{2})(\d{2})(\d{2})(?:\d{3})?(?!\d))"), true},
        // 20230514123456
        {std::regex(R"((?:^|\D)(\d{4})(\d{2})(\d{2})(\d{2})(\d{2})(\d{2})(?!\d))"), true},
        // 2023-05-14-123456, 2023-05-14 12.34.56, 2023-05-14_12-34-56, 2023-05-14 at 12.34.56
        {std::regex(R"((?:^|\D)(\d{4})-(\d{2})-(\d{2})(?:[ _T-]| at )(\d{2})[.:-]?(\d{2})[.:-]?(\d{2})(?!\d))"), true},
        // IMG-20230514-WA0003, 2023-05-14
        {std::regex(R"((?:^|\D)(\d{4})(\d{2})(\d{2})(?![_-]?\d|\d))"), false},
        {std::regex(R"((?:^|\D)(\d{4})-(\d{2})-(\d{2})(?![ _T-]?\d|\d))"), false},
    };
    return patterns;
}

int Number(const std::smatch& m, int group) { return std::stoi(m[group].str()); }

}  // namespace

std::optional<TDateTime> DateFromFileName(std::string_view path)
{
    const size_t slash = path.find_last_of('/');
    const std::string name(slash == std::string_view::npos ? path : path.substr(slash + 1));
    for (const NamePattern& pattern : Patterns()) {
        for (auto it = std::sregex_iterator(name.begin(), name.end(), pattern.Expression);
             it != std::sregex_iterator(); ++it) {
            const std::smatch& m = *it;
            const int year = Number(m, 1);
            if (year < 1990 || year > 2100)
                continue;
            const std::optional<TDateTime> date =
                pattern.HasTime ? TryEncodeDateTime(year, Number(m, 2), Number(m, 3), Number(m, 4), Number(m, 5),
                                                    Number(m, 6))
                                : TryEncodeDateTime(year, Number(m, 2), Number(m, 3), 0, 0, 0);
            if (date)
                return date;
        }
    }
    return std::nullopt;
}

}  // namespace morvik
