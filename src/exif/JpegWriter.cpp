// The EXIF-preserving JPEG writer: the source's metadata sections, then the encoder's
// stream without its own leading APP0/APP1/APP13/COM sections.
#include "exif/ByteSource.h"
#include "exif/ImageInfo.h"
#include "exif/ImgData.h"
#include "platform/Exceptions.h"
#include "platform/TemporaryFiles.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <string>
#include <unistd.h>

namespace morvik {

namespace {

// APP0 marker, length 16, "JFIF" NUL, version 1.02, dots per inch, 300 x 300, no thumbnail.
constexpr std::array<uint8_t, 18> kDefaultJfifHeader = {0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46, 0x49, 0x46, 0x00,
                                                        0x01, 0x02, 0x01, 0x01, 0x2C, 0x01, 0x2C, 0x00, 0x00};

// Sections of the encoder's output that the kept metadata replaces, tested in this order.
constexpr std::array<uint8_t, 4> kSkippedEncoderSections = {0xE0, 0xE1, 0xED, 0xFE};

constexpr uint16_t kFieldTypeShort = 3;

int64_t AppendSection(std::string& out, const tSection& section)
{
    out += static_cast<char>(0xFF);
    out += static_cast<char>(section.Marker & 0xFF);
    out += section.Data;
    return 2 + static_cast<int64_t>(section.Data.size());
}

// Where the encoder's stream continues once its SOI and the sections above are skipped
// (0-based offset into the stream).
size_t EncoderStreamStart(const std::string& stream)
{
    size_t p = 2;
    for (uint8_t code : kSkippedEncoderSections) {
        if (p > stream.size() || stream.size() - p < 4)
            continue;
        if (static_cast<uint8_t>(stream[p + 1]) != code)
            continue;
        const size_t length = static_cast<size_t>(static_cast<uint8_t>(stream[p + 2])) * 256 +
                              static_cast<uint8_t>(stream[p + 3]);
        p += 2 + length;
    }
    return p;
}

std::string CreateError(const std::string& name, int err)
{
    return "Cannot create file \"" + name + "\". " + std::strerror(err);
}

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The output file: written under a fresh name beside the target and renamed over the
// target only once it is complete and on disk, so a failed or interrupted write never
// leaves a partial output and never destroys a file that already had the target's name.
class ReplacingFile {
public:
    explicit ReplacingFile(const std::string& target) : target_(target), folder_(FolderOf(target))
    {
        // A short name, whatever the target's length, that a later batch recognises as a
        // leftover should this process be killed before the rename.
        static std::atomic<unsigned> serial{0};
        std::random_device rd;
        int err = 0;
        for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
            temp_ = TemporaryFileName(folder_ + "/", "w" + std::to_string(serial.fetch_add(1)) + "-" +
                                                         std::to_string(rd() % 100000));
            fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            err = errno;
            if (fd_ < 0 && err != EEXIST)
                break;
        }
        if (fd_ < 0)
            throw EInOutError(CreateError(target_, err));
    }

    ~ReplacingFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
        if (!committed_)
            ::unlink(temp_.c_str());
    }

    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Writes the whole content and puts the file in the target's place.
    void Commit(const std::string& bytes)
    {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                Fail(errno);
            }
            done += static_cast<size_t>(n);
        }
        if (::fsync(fd_) != 0)
            Fail(errno);
        const int closed = ::close(fd_);
        fd_ = -1;
        if (closed != 0)
            Fail(errno);
        if (::rename(temp_.c_str(), target_.c_str()) != 0)
            Fail(errno);
        committed_ = true;
        // Make the rename itself durable; a folder that cannot be synced is no failure.
        const int dir = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
    }

private:
    [[noreturn]] void Fail(int err) { throw EInOutError(CreateError(target_, err)); }

    std::string target_;
    std::string folder_;
    std::string temp_;
    int fd_ = -1;
    bool committed_ = false;
};

}  // namespace

void TImageInfo::Write32At(std::string& bytes, int32_t value, int64_t pos) const
{
    Store32At(bytes, pos, static_cast<uint32_t>(value), BigEndian);
}

void TImageInfo::UpdateDimensions(int newHeight, int newWidth)
{
    if (Height <= 0 || Width <= 0)
        return;
    if (newWidth == Width && newHeight == Height)
        return;
    if (Owner == nullptr || Owner->ExifSection == nullptr)
        return;
    std::string& data = Owner->ExifSection->Data;

    auto store = [&](int64_t valuePos, int value) {
        // The entry's field type lies six positions before its value field.
        const ByteSource src(data);
        if (!src.Holds(valuePos - 6, 10))
            return;
        const uint16_t fieldType = src.U16(valuePos - 6, BigEndian);
        if (fieldType == kFieldTypeShort) {
            const uint16_t v = static_cast<uint16_t>(value);
            const auto hi = static_cast<char>(v >> 8), lo = static_cast<char>(v & 0xFF);
            const size_t at = static_cast<size_t>(valuePos - 1);
            data[at] = BigEndian ? hi : lo;
            data[at + 1] = BigEndian ? lo : hi;
            data[at + 2] = 0;
            data[at + 3] = 0;
        } else {
            Write32At(data, value, valuePos);
        }
    };
    store(HeightPos, newHeight);
    store(WidthPos, newWidth);
}

int64_t TimgData::WriteHeaderSections(std::string& out)
{
    out += static_cast<char>(0xFF);
    out += static_cast<char>(0xD8);
    int64_t written = 0;
    if (ExifSection != nullptr) {
        written += AppendSection(out, *ExifSection);
    } else if (App0Section != nullptr) {
        written += AppendSection(out, *App0Section);
    } else {
        out.append(reinterpret_cast<const char*>(kDefaultJfifHeader.data()), kDefaultJfifHeader.size());
        written += static_cast<int64_t>(kDefaultJfifHeader.size());
    }
    if (IptcSection != nullptr)
        written += AppendSection(out, *IptcSection);
    if (CommentSection != nullptr)
        written += AppendSection(out, *CommentSection);
    return written;
}

void TimgData::WriteJpegWithExif(const std::string& jpegStream, int width, int height,
                                 const std::string& outputFileName, bool adjustDimensions)
{
    ReplacingFile file(outputFileName);
    if (adjustDimensions && ExifInfo)
        ExifInfo->UpdateDimensions(height, width);
    std::string out;
    out.reserve(jpegStream.size() + 65536);
    WriteHeaderSections(out);
    const size_t p = EncoderStreamStart(jpegStream);
    if (p < jpegStream.size())
        out.append(jpegStream, p, std::string::npos);
    file.Commit(out);
}

}  // namespace morvik
