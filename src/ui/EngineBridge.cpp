#include "ui/EngineBridge.h"

#include "platform/Convert.h"
#include "platform/Exceptions.h"
#include "platform/FileSystem.h"
#include "platform/FormatSettings.h"

#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>

// ENGINE SEAM: the stamping engine (JPEG codec on libjpeg, stamp drawing on FreeType,
// date of a photo, date mask, mosaic chart, folder batch) had not landed on this branch
// when the window was built. Each function below is a stand-in written on Qt that keeps
// the engine's contract, so that the window runs and its tests pass; each is replaced by
// a call into src/stamping as the engine merges.

namespace morvik::ui {

QImage LoadJpeg(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        throw EInOutError("Cannot open file \"" + path + "\". " + std::strerror(errno ? errno : ENOENT));
    QImageReader reader(&file, "jpeg");
    QImage image = reader.read();
    if (image.isNull())
        throw Exception("JPEG error #" + std::to_string(static_cast<int>(reader.error()) + 52));
    return image.convertToFormat(QImage::Format_RGB32);
}

void SaveJpeg(const QImage& picture, const std::string& path, int quality)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw EInOutError("Cannot create file \"" + path + "\". " + file.errorString().toStdString());
    QImageWriter writer(&file, "jpeg");
    writer.setQuality(std::clamp(quality, 1, 100));
    QImage rgb = picture.isNull() ? QImage(1, 1, QImage::Format_RGB32) : picture;
    if (picture.isNull())
        rgb.fill(Qt::white);
    if (!writer.write(rgb.convertToFormat(QImage::Format_RGB888)))
        throw EInOutError("Cannot create file \"" + path + "\". " + writer.errorString().toStdString());
}

void DrawStamp(QImage& picture, const StampStyle& style)
{
    if (style.Text.empty() || picture.isNull())
        return;
    QFont font(QString::fromStdString(style.Font.Family));
    font.setPixelSize(std::max(1, style.Font.PixelHeight));
    font.setBold(style.Font.Bold);
    font.setItalic(style.Font.Italic);
    const QString text = QString::fromUtf8(style.Text);
    QPainter p(&picture);
    p.setFont(font);
    QFontMetrics fm(font);
    if (style.BackgroundStyle == TBrushStyle::Solid)
        p.fillRect(QRect(style.X, style.Y, fm.horizontalAdvance(text), fm.height()), style.BackColor);
    p.setPen(style.TextColor);
    p.drawText(style.X, style.Y + fm.ascent(), text);
}

void AddFrame(QImage& picture, int width, int height)
{
    if (picture.isNull())
        return;
    QPainter p(&picture);
    const QColor rings[] = {QColor(241, 234, 224), QColor(188, 187, 192), QColor(66, 82, 97)};
    for (int k = 0; k < 3; ++k) {
        p.setPen(rings[k]);
        p.setBrush(Qt::NoBrush);
        // A rectangle left, top, right, bottom covers columns left..right-1, rows top..bottom-1.
        const int w = width - 2 * k, h = height - 2 * k;
        if (w > 0 && h > 0)
            p.drawRect(k, k, w - 1, h - 1);
    }
}

PhotoFacts ReadPhoto(const std::string& path, TDateTime fallback, int dateSource)
{
    return PhotoFacts{fallback, {}};
}

std::string FormatDate(const std::string& mask, TDateTime value)
{
    const DateTimeFields f = DecodeDateTime(value);
    const TFormatSettings& fs = FormatSettings();
    std::string out;
    char lastLetter = 0;
    for (size_t i = 0; i < mask.size();) {
        const char c = mask[i];
        if (c == '"' || c == '\'') {
            size_t end = mask.find(c, i + 1);
            out += mask.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1);
            i = end == std::string::npos ? mask.size() : end + 1;
            continue;
        }
        size_t run = 1;
        while (i + run < mask.size() && mask[i + run] == c)
            ++run;
        auto two = [](int v) { return (v < 10 ? "0" : "") + std::to_string(v); };
        auto num = [&](int v, size_t width) { return width >= 2 ? two(v) : std::to_string(v); };
        const char l = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        switch (l) {
        case 'd': out += num(f.Day, run); break;
        case 'm': out += lastLetter == 'h' ? num(f.Minute, run) : num(f.Month, run); break;
        case 'y': out += run >= 3 ? std::to_string(f.Year) : two(f.Year % 100); break;
        case 'h': out += num(f.Hour, run); break;
        case 'n': out += num(f.Minute, run); break;
        case 's': out += num(f.Second, run); break;
        case ':': for (size_t k = 0; k < run; ++k) out += fs.TimeSeparator; break;
        case '/': for (size_t k = 0; k < run; ++k) out += fs.DateSeparator; break;
        default: out += mask.substr(i, run); break;
        }
        if (std::isalpha(static_cast<unsigned char>(c)))
            lastLetter = l;
        i += run;
    }
    return out;
}

TDateTime CorrectDate(TDateTime date, const std::string& text, bool add)
{
    // Blanks are skipped; hours, ":" minutes, ":" seconds; the whole text must be used.
    std::string digits;
    for (char c : text)
        if (c != ' ')
            digits += c;
    int h = 0, m = 0, s = 0;
    char c1 = 0, c2 = 0;
    int used = 0;
    const bool ok = std::sscanf(digits.c_str(), "%d%c%d%c%d%n", &h, &c1, &m, &c2, &s, &used) == 5 &&
                    c1 == ':' && c2 == ':' && used == static_cast<int>(digits.size()) &&
                    std::isdigit(static_cast<unsigned char>(digits.back())) && h >= 0 && h <= 23 &&
                    m >= 0 && m <= 59 && s >= 0 && s <= 59 && text.find(' ', 1) == std::string::npos;
    if (!ok)
        throw EConvertError("'" + text + "' is not a valid date and time");
    const TDateTime correction = h / 24.0 + m / 1440.0 + s / 86400.0;
    return add ? date + correction : date - correction;
}

int BuildMosaic(const QImage& source, int width, int height, int cell, QImage& chart,
                const std::function<void(int)>& columnStart,
                const std::function<void(int)>& columnDone, const bool& stop)
{
    if (cell < 1)
        throw Exception("Размер квадрата должен быть не меньше 1");
    const int64_t cw = int64_t(width) * cell, ch = int64_t(height) * cell;
    if (cw > 32767 || ch > 32767)
        throw Exception("Мозаика слишком велика");
    chart = QImage(static_cast<int>(cw), static_cast<int>(ch), QImage::Format_RGB32);
    chart.fill(Qt::white);
    int done = 0;
    for (int x = 0; x < width; ++x) {
        columnStart(x);
        for (int y = 0; y < height && !stop; ++y) {
            const QRgb colour = source.valid(x, y) ? source.pixel(x, y) : qRgb(255, 255, 255);
            for (int i = 0; i <= cell - 2 && !stop; ++i)
                for (int j = 0; j <= cell - 2 && !stop; ++j) {
                    chart.setPixel(x * cell + i, y * cell + j, colour);
                    chart.setPixel(x * cell + i, y * cell + cell - 1, qRgb(0, 0, 0));
                    chart.setPixel(x * cell + cell - 1, y * cell + j, qRgb(0, 0, 0));
                    chart.setPixel(x * cell + cell - 1, y * cell + cell - 1, qRgb(0, 0, 0));
                }
        }
        columnDone(x);
        if (stop)
            break;
        ++done;
    }
    return done;
}

namespace {

bool IsJpgName(const std::string& name)
{
    return name.size() > 4 && AsciiLower(std::string_view(name).substr(name.size() - 4)) == ".jpg";
}

}  // namespace

int CountPictures(const std::string& folder)
{
    int count = 0;
    for (const FileFacts& f : ListFolder(folder))
        if (IsJpgName(f.Name))
            ++count;
    return count;
}

void CreateOutputFolder(const std::string& folder)
{
    std::error_code ec;
    std::filesystem::create_directory(std::filesystem::path(folder) / "dated", ec);
}

void RunFileLoop(const std::string& folder, bool renameByMask, BatchHost& host)
{
    const std::string out = (std::filesystem::path(folder) / "dated").string() + "/";
    int counter = 0;
    for (const FileFacts& entry : ListFolder(folder)) {
        if (!IsJpgName(entry.Name) || entry.IsDirectory || entry.Name[0] == '.') {
            host.LetEventsRun();
            if (host.StopRequested())
                break;
            continue;
        }
        host.LetEventsRun();
        const std::string source = folder + "/" + entry.Name;
        const TDateTime fallback = entry.Modified;
        TDateTime date = ReadPhoto(source, fallback, host.DateSource()).Date;
        host.ShowDateText(FormatDate("dd.mm.yyyy hh:nn:ss", date));
        QImage picture = LoadJpeg(source);
        host.FileStarted(entry.Name);
        ++counter;
        host.Progress(counter);
        DrawStamp(picture, host.CurrentStamp());
        std::string path;
        if (renameByMask) {
            if (auto corr = host.Correction()) {
                date = CorrectDate(date, corr->first, corr->second);
                host.ShowCorrectedDate(date);
            }
            std::string mask = host.NamingMask();
            if (mask.empty())
                mask = "yy.mm.dd  hh_nn_ss";
            std::string name = FormatDate(mask, date);
            if (FileExists(out + name + ".jpg"))
                name += "photo " + std::to_string(counter);
            path = out + name + ".jpg";
        } else {
            path = out + entry.Name;
        }
        SaveJpeg(picture, path, host.Quality());
        SetFileModifiedTime(path, date);
        host.LetEventsRun();
        if (host.StopRequested())
            break;
    }
}

}  // namespace morvik::ui
