#pragma once
// The window's one door to the stamping engine: pictures in and out of JPEG, the stamp
// drawing, the frame, the date of a photo with its report and the mosaic chart. The
// windows hold pictures as QImage and the dialogs answer in QColor and QFont; the
// conversions to and from the engine's picture, colour and font live behind this door.
#include "platform/DateTime.h"
#include "stamping/PhotoDate.h"  // DateOrigin
#include "stamping/Caption.h"
#include "stamping/FolderBatch.h"  // BatchWay
#include "stamping/Jpeg.h"  // PictureDamage
#include "stamping/Picture.h"
#include "stamping/StampSettings.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <functional>
#include <string>

namespace morvik::ui {

// The engine's picture and the window's, copied row by row.
Picture ToPicture(const QImage& image);
QImage ToImage(const Picture& picture);

QColor ToQColor(TColor color);
TColor FromQColor(const QColor& color);
// The stamp's font as the font dialog shows it: the face the stamp is really drawn in
// (the one fontconfig puts in place of a face that is not installed), its style, and
// its character height as a point size at 96 pixels per inch.
QFont ToQFont(const TFont& font);
TFont FromQFont(const QFont& font);

// Decodes a JPEG file, or a HEIF one by its name (.heic, .heif), and turns it as a viewer
// displays it, by its EXIF Orientation; throws with "Cannot open file ...", "JPEG error #n"
// or "Cannot read HEIF file ...".
QImage LoadJpeg(const std::string& path);

// A damaged photo's note on its line of a batch list: "  (повреждён: данные картинки
// обрываются)"; empty for a whole one.
QString DamageNote(PictureDamage damage);
// How long a run took: "Заняло 00:02:15". Only the words are translated; the time is
// written by the date mask "hh:nn:ss", which no translation touches.
QString DurationText(TDateTime elapsed);
// Plain JPEG at quality 0..100 (0 is taken as 1), no metadata; throws on failure.
void SaveJpeg(const QImage& picture, const std::string& path, int quality);
// The shown picture saved over the JPEG file it was loaded from without re-encoding it:
// only the MCUs it changed are coded again, the file's sections (its EXIF block and
// Orientation among them) kept. Where that cannot be done (a HEIF or progressive file,
// another size, …) it is saved as SaveJpeg saves it. Returns the way it went, as the
// batch's files tell it; throws on failure.
BatchWay SaveJpegLosslessly(const QImage& picture, const std::string& loadedPath, const std::string& path,
                               int quality);

// The stamp drawing on a picture as it is displayed; an empty text or picture is left as it is.
void DrawStamp(QImage& picture, const std::string& text, const StampLook& look);
// Three one-pixel rings inside the rectangle 0, 0, width, height.
void AddFrame(QImage& picture, int width, int height);

struct PhotoFacts {
    TDateTime Date = 0;
    std::string Report;  // the metadata report, UTF-8; empty without an EXIF block
    DateOrigin Origin = DateOrigin::ExifTag;  // what dated it
    CaptionFacts Caption; // what the own text's fields are filled with
};
// Date of a photo by the date source, with `fallback` for a file without EXIF, and its
// report.
PhotoFacts ReadPhoto(const std::string& path, TDateTime fallback, PhotoDateSource dateSource);

// Paints the cross-stitch chart of `source` (width x height pixels) with cells of
// `cell` pixels into `chart`, column by column. `progress(percent)` runs before each
// column and `columnDone()` after it; `stop` is tested after every pixel step and after
// every column. Returns the number of columns finished. Throws for a cell size below 1.
int BuildMosaic(const QImage& source, int width, int height, int cell, QImage& chart,
                const std::function<void(int)>& progress, const std::function<void()>& columnDone,
                const bool& stop);

}  // namespace morvik::ui
