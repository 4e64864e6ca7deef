#pragma once
// The window's one door to the stamping engine: pictures in and out of JPEG, the stamp
// drawing, the frame, the date of a photo with its report, the date mask, the time
// correction, the mosaic chart and the folder batch. The windows hold pictures as
// QImage; the conversions to and from the engine's picture live behind this door.
#include "platform/DateTime.h"
#include "stamping/FolderBatch.h"
#include "stamping/StampSettings.h"

#include <QColor>
#include <QImage>
#include <functional>
#include <optional>
#include <string>

namespace morvik::ui {

// Whether ReadPhoto reads the photo's own metadata.
inline constexpr bool EngineReadsMetadata = true;

struct StampFontChoice {
    std::string Family = "Futura Md BT";
    int PixelHeight = 11;  // character height: 8 point at 96 pixels per inch
    bool Bold = true;
    bool Italic = true;
};

// What one stamp drawing reads, taken from the window's controls at the moment of use.
struct StampStyle {
    QColor TextColor{128, 128, 255};
    QColor BackColor{255, 255, 255};
    StampFontChoice Font;
    TBrushStyle BackgroundStyle = TBrushStyle::Solid;
    std::string Text;  // UTF-8
    int X = 0, Y = 0;
};

// Decodes a JPEG file whatever its name; throws with "Cannot open file ..." or
// "JPEG error #n".
QImage LoadJpeg(const std::string& path);
// Plain JPEG at quality 0..100 (0 is taken as 1), no metadata; throws on failure.
void SaveJpeg(const QImage& picture, const std::string& path, int quality);

void DrawStamp(QImage& picture, const StampStyle& style);
// Three one-pixel rings inside the rectangle 0, 0, width, height.
void AddFrame(QImage& picture, int width, int height);

struct PhotoFacts {
    TDateTime Date = 0;
    std::string Report;  // the metadata report, UTF-8; empty without an EXIF block
};
// Date of a photo by the date source, with `fallback` for a file without EXIF.
PhotoFacts ReadPhoto(const std::string& path, TDateTime fallback, int dateSource);

std::string FormatDate(const std::string& mask, TDateTime value);
// date +/- the "hh:nn:ss" correction text; throws "'%s' is not a valid date and time".
TDateTime CorrectDate(TDateTime date, const std::string& correctionText, bool add);

// Paints the cross-stitch chart of `source` (width x height pixels) with cells of
// `cell` pixels into `chart`, column by column. `columnStart(x)` runs before column x
// and `columnDone(x)` after it; `stop` is tested after every pixel step and after every
// column. Returns the number of columns finished. Throws for a cell size below 1.
int BuildMosaic(const QImage& source, int width, int height, int cell, QImage& chart,
                const std::function<void(int)>& columnStart,
                const std::function<void(int)>& columnDone, const bool& stop);

// The chart's width and height for a cell size; throws for a cell size below 1 or a
// chart too large to make.
std::pair<int, int> MosaicChartSize(int width, int height, int cell);

// What the folder batch asks of the window while it runs.
class BatchHost {
public:
    virtual ~BatchHost() = default;
    virtual void LetEventsRun() = 0;
    virtual bool StopRequested() = 0;
    virtual void Started(int fileCount) = 0;                   // Label4, gauge
    virtual void ShowDateText(const std::string& text) = 0;   // Label1
    virtual void FileStarted(const std::string& name) = 0;     // Memo1
    virtual void Progress(int done) = 0;                       // gauge, labels, status
    virtual void ShowCorrectedDate(TDateTime date) = 0;        // Panel4
    // The settings of the next file, read from the controls at its turn.
    virtual TBatchControls CurrentControls() = 0;
};

// Number of "*.jpg" entries of a folder (every entry, no test).
int CountJpegEntries(const std::string& folder);
// The folder batch over `folder` into its "Dated" subfolder, on the calling thread.
void RunBatch(const std::string& folder, bool renameByMask, BatchHost& host);

}  // namespace morvik::ui
