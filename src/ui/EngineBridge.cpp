#include "ui/EngineBridge.h"

#include "metadata/directory/ExifDirectory.h"
#include "metadata/file/PhotoMetadata.h"
#include "platform/DateMask.h"
#include "platform/FileSystem.h"
#include "platform/Text1251.h"
#include "stamping/Frame.h"
#include "stamping/Heif.h"
#include "stamping/Jpeg.h"
#include "stamping/Mosaic.h"
#include "stamping/Orientation.h"
#include "stamping/Picture.h"
#include "stamping/PhotoDate.h"
#include "stamping/StampDrawing.h"
#include "stamping/TextDraw.h"
#include "stamping/lossless/ChangedMcus.h"

#include <QObject>

#include <cmath>
#include <cstring>

namespace morvik::ui {

// The window keeps pictures as 32-bit QImages for painting; the engine works on 24-bit
// RGB rows. Both conversions copy row by row.
Picture ToPicture(const QImage& image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    Picture picture = Picture::Uninitialized(rgb.width(), rgb.height());
    for (int y = 0; y < rgb.height(); ++y)
        std::memcpy(picture.Row(y), rgb.constScanLine(y), size_t(rgb.width()) * 3);
    return picture;
}

QImage ToImage(const Picture& picture)
{
    if (picture.Empty())
        return QImage();
    QImage wrapped(picture.Bits(), picture.Width(), picture.Height(), static_cast<qsizetype>(picture.Stride()),
                   QImage::Format_RGB888);
    return wrapped.convertToFormat(QImage::Format_RGB32);
}

QColor ToQColor(TColor color) { return QColor(ColorRed(color), ColorGreen(color), ColorBlue(color)); }

TColor FromQColor(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return RgbColor(static_cast<uint8_t>(rgb.red()), static_cast<uint8_t>(rgb.green()),
                    static_cast<uint8_t>(rgb.blue()));
}

QFont ToQFont(const TFont& font)
{
    const std::string family = ResolvedFontFamily(font);
    QFont shown(QString::fromStdString(family.empty() ? font.Name : family));
    shown.setBold(font.Bold);
    shown.setItalic(font.Italic);
    // The face's own style name: a dialog that guesses it from weight and slant guesses
    // "Bold Italic", which a face with "Bold Oblique" lacks, and falls to another style.
    if (const std::string style = ResolvedFontStyle(font); !style.empty())
        shown.setStyleName(QString::fromStdString(style));
    // A whole point size where it gives the height back (11 pixels: 8 points).
    const double points = font.Height * 72.0 / 96.0;
    const long whole = std::lround(points);
    if (std::lround(double(whole) * 96.0 / 72.0) == font.Height && whole > 0)
        shown.setPointSize(static_cast<int>(whole));
    else if (points > 0)
        shown.setPointSizeF(points);
    return shown;
}

TFont FromQFont(const QFont& font)
{
    TFont f;
    // A family offered by more than one foundry is named with the foundry ("Nimbus Sans
    // [urw]"), a name fontconfig does not know: the family alone is the face chosen.
    QString family = font.family();
    if (const qsizetype bracket = family.lastIndexOf(QStringLiteral(" [")); bracket > 0 && family.endsWith(']'))
        family.truncate(bracket);
    f.Name = family.toStdString();
    f.Height = font.pixelSize() > 0 ? font.pixelSize() : static_cast<int>(std::lround(font.pointSizeF() * 96.0 / 72.0));
    f.Bold = font.bold();
    f.Italic = font.italic();
    return f;
}

QImage LoadJpeg(const std::string& path)
{
    // A HEIF photo comes upright; its EXIF reads with Orientation 1 (PhotoDate.h).
    if (IsHeifName(path))
        return ToImage(DecodeHeif(ReadHeifFile(path), path).Pixels);
    Picture stored = DecodeJpegFile(path);
    return ToImage(DisplayedPicture(std::move(stored), PhotoOrientation(path)));
}

QString DurationText(TDateTime elapsed)
{
    return QObject::tr("Заняло %1").arg(QString::fromUtf8(FormatDateTime("hh:nn:ss", elapsed)));
}

QString DamageNote(PictureDamage damage)
{
    switch (damage) {
    case PictureDamage::EndsEarly:
        return QObject::tr("  (повреждён: данные картинки обрываются)");
    case PictureDamage::Broken:
        return QObject::tr("  (повреждён: данные картинки испорчены)");
    case PictureDamage::None:
        break;
    }
    return {};
}

void SaveJpeg(const QImage& picture, const std::string& path, int quality)
{
    SaveJpegFile(ToPicture(picture), quality, path);
}

BatchWay SaveJpegLosslessly(const QImage& picture, const std::string& loadedPath, const std::string& path,
                               int quality)
{
    LosslessOutcome out;
    if (IsHeifName(loadedPath)) {
        out.Reason = "HEIF";
    } else {
        // Read before the target is opened: saving over the loaded file itself is allowed.
        const std::string source = ReadJpegFile(loadedPath);
        out = SaveChangedMcus(source, ToPicture(picture), PhotoOrientation(loadedPath));
    }
    if (out.Way == LosslessWay::ReEncode) {
        SaveJpeg(picture, path, quality);
    } else {
        ReplacingFile file(path);
        file.Commit(out.Jpeg);
    }
    return BatchWay{out.Way, out.Reason, out.Damage};
}

void DrawStamp(QImage& picture, const std::string& text, const StampLook& look)
{
    if (text.empty() || picture.isNull())
        return;
    Picture work = ToPicture(picture);
    morvik::DrawStamp(work, text, look);
    picture = ToImage(work);
}

void AddFrame(QImage& picture, int width, int height)
{
    if (picture.isNull())
        return;
    Picture work = ToPicture(picture);
    morvik::AddFrame(work, width, height);
    picture = ToImage(work);
}

PhotoFacts ReadPhoto(const std::string& path, TDateTime fallback, PhotoDateSource dateSource)
{
    // One reader gives both the date and the report.
    PhotoMetadata reader(ParseModeFull);
    // A file it fails on is dated by the fallback; running out of memory raises its message.
    const bool processed = ReadForDating(reader, path);
    PhotoFacts facts;
    const PhotoDating dating = PhotoDate(reader, processed, path, fallback, dateSource);
    facts.Date = dating.Date;
    facts.Origin = dating.Origin;
    facts.Caption = ReadCaptionFacts(&reader, processed, path, facts.Date);
    if (processed && reader.ExifInfo)
        facts.Report = Cp1251ToUtf8(reader.SummaryText());
    return facts;
}

int BuildMosaic(const QImage& source, int width, int height, int cell, QImage& chart,
                const std::function<void(int)>& progress, const std::function<void()>& columnDone,
                const bool& stop)
{
    Picture src = ToPicture(source.isNull() ? QImage(width, height, QImage::Format_RGB32) : source);
    if (src.Width() != width || src.Height() != height)
        src.SetSize(width, height);
    MosaicCallbacks callbacks;
    callbacks.Progress = progress;
    callbacks.ProcessEvents = columnDone;
    callbacks.StopRequested = [&] { return stop; };
    MosaicResult result = BuildMosaicChart(src, cell, callbacks);  // refuses a cell size below 1
    chart = ToImage(result.Chart);
    return result.ColumnsDone;
}

}  // namespace morvik::ui
