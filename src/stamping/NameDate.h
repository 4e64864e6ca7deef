#pragma once
// The date a camera, a phone or a messenger wrote into a photo's file name, for photos whose
// EXIF block was lost on the way (a messenger strips it, a copy resets the file's time).
#include "platform/DateTime.h"

#include <optional>
#include <string_view>

namespace morvik {

// The date in the file name (the last part of a path), or nothing. Read are the names
// cameras, phones and messengers give: IMG_20230514_123456, VID_…, PXL_20230514_123456789,
// Screenshot_20230514-123456, 20230514_123456 (with a suffix such as _1 or (2)),
// 20230514123456, signal-2023-05-14-123456, Screenshot 2023-05-14 at 12.34.56,
// 2023-05-14 12.34.56, 2023-05-14_12-34-56, and the date alone (IMG-20230514-WA0003,
// 2023-05-14), which gives 00:00:00. A candidate counts only as a real calendar date of
// the years 1990 to 2100 with a valid time; digits that are part of a longer run never
// count, so that counters and serial numbers are not taken for dates.
std::optional<TDateTime> DateFromFileName(std::string_view path);

}  // namespace morvik
