#include "ui/EngineBridge.h"

#include "exif/ImageInfo.h"
#include "exif/ImgData.h"
#include "platform/DateMask.h"
#include "platform/Text1251.h"
#include "stamping/Frame.h"
#include "stamping/Jpeg.h"
#include "stamping/Mosaic.h"
#include "stamping/Picture.h"
#include "stamping/PhotoDate.h"
#include "stamping/StampDrawing.h"
#include "stamping/TimeCorrection.h"

#include <cstring>

namespace morvik::ui {
namespace {

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

TColor ToColor(const QColor& c) { return RgbColor(c.red(), c.green(), c.blue()); }

TFont ToFont(const StampFontChoice& f) { return TFont{f.Family, f.PixelHeight, f.Bold, f.Italic}; }

}  // namespace

QImage LoadJpeg(const std::string& path) { return ToImage(DecodeJpegFile(path)); }

void SaveJpeg(const QImage& picture, const std::string& path, int quality)
{
    SaveJpegFile(ToPicture(picture), quality, path);
}

void DrawStamp(QImage& picture, const StampStyle& style)
{
    if (style.Text.empty() || picture.isNull())
        return;
    Picture work = ToPicture(picture);
    StampLook look;
    look.Font = ToFont(style.Font);
    look.TextColor = ToColor(style.TextColor);
    look.BackgroundColor = ToColor(style.BackColor);
    look.BackgroundStyle = style.BackgroundStyle;
    look.X = style.X;
    look.Y = style.Y;
    morvik::DrawStamp(work, style.Text, look);
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

PhotoFacts ReadPhoto(const std::string& path, TDateTime fallback, int dateSource)
{
    // One reader gives both the date and the report.
    TimgData reader(ParseModeFull);
    // A file it fails on is dated by the fallback; running out of memory raises its message.
    const bool processed = ReadForDating(reader, path);
    PhotoFacts facts;
    facts.Date = PhotoDate(reader, processed, fallback, dateSource);
    if (processed && reader.ExifInfo)
        facts.Report = Cp1251ToUtf8(reader.ExifInfo->SummaryText());
    return facts;
}

std::string FormatDate(const std::string& mask, TDateTime value) { return FormatDateTime(mask, value); }

TDateTime CorrectDate(TDateTime date, const std::string& text, bool add)
{
    return ApplyCorrection(date, CorrectionFromText(text), add ? 0 : 1);
}

int BuildMosaic(const QImage& source, int width, int height, int cell, QImage& chart,
                const std::function<void(int)>& columnStart,
                const std::function<void(int)>& columnDone, const bool& stop)
{
    Picture src = ToPicture(source.isNull() ? QImage(width, height, QImage::Format_RGB32) : source);
    if (src.Width() != width || src.Height() != height)
        src.SetSize(width, height);
    const ChartSize size = CheckMosaicChartSize(width, height, cell);  // refuses cell < 1
    (void)size;
    int column = 0;
    MosaicCallbacks callbacks;
    callbacks.Progress = [&](int) { columnStart(column); };
    callbacks.ProcessEvents = [&] { columnDone(column++); };
    callbacks.StopRequested = [&] { return stop; };
    MosaicResult result = BuildMosaicChart(src, cell, callbacks);
    chart = ToImage(result.Chart);
    return result.ColumnsDone;
}

std::pair<int, int> MosaicChartSize(int width, int height, int cell)
{
    const ChartSize size = CheckMosaicChartSize(width, height, cell);
    return {size.Width, size.Height};
}

namespace {

// The engine's observer, told in the window's terms.
class Observer : public TBatchObserver {
public:
    explicit Observer(BatchHost& host) : host_(host) {}
    TBatchControls CurrentControls() override { return host_.CurrentControls(); }
    void BatchStarted(int fileCount) override { host_.Started(fileCount); }
    void ProcessPendingEvents() override { host_.LetEventsRun(); }
    void FileDated(const std::string& text) override { host_.ShowDateText(text); }
    void FileStarted(const std::string& name) override { host_.FileStarted(name); }
    void FileCounted(int runCounter, int) override { host_.Progress(runCounter); }
    void DateCorrected(TDateTime corrected) override { host_.ShowCorrectedDate(corrected); }
    bool StopRequested() override { return host_.StopRequested(); }

private:
    BatchHost& host_;
};

}  // namespace

int CountJpegEntries(const std::string& folder) { return CountPictures(folder); }

void RunBatch(const std::string& folder, bool renameByMask, BatchHost& host)
{
    Observer observer(host);
    TBatchOptions options;
    options.RenameByMask = renameByMask;
    options.Jobs = 1;  // on the window's thread, letting events run between files
    RunFolderBatch(folder, options, observer);
}

}  // namespace morvik::ui
