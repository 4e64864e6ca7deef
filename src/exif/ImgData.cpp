// TimgData: reads a JPEG file's sections up to its scan, or the start of a TIFF file,
// and hands the EXIF block to the directory walk.
#include "exif/ImgData.h"

#include "exif/ByteSource.h"
#include "iptc/IPTCdata.h"
#include "platform/Convert.h"
#include "platform/Exceptions.h"
#include "platform/FileSystem.h"

#include <cerrno>
#include <optional>

namespace morvik {

// Bytes in file order from a file (through a buffer) or from memory. At the end of the
// data reads deliver fewer bytes than asked, never a failure.
class SectionInput {
public:
    virtual ~SectionInput() = default;
    // Appends up to count bytes to out; returns how many came.
    virtual size_t Read(std::string& out, size_t count) = 0;
    // The next byte, or -1 at the end.
    virtual int ReadByte() = 0;
};

namespace {

constexpr int kMaxSections = 20;
constexpr size_t kTiffBlockBytes = 256000;

class MemoryInput final : public SectionInput {
public:
    explicit MemoryInput(std::string_view bytes) : bytes_(bytes) {}
    size_t Read(std::string& out, size_t count) override
    {
        const size_t n = std::min(count, bytes_.size() - pos_);
        out.append(bytes_.substr(pos_, n));
        pos_ += n;
        return n;
    }
    int ReadByte() override { return pos_ < bytes_.size() ? static_cast<unsigned char>(bytes_[pos_++]) : -1; }

private:
    std::string_view bytes_;
    size_t pos_ = 0;
};

// A file read in file order; closed with the object. Short reads go through a small
// buffer, as the marker bytes between sections do; a longer run of bytes (a section's
// body) is read straight into its string. Only the sections before the scan are read,
// never the picture data after it.
class FileInput final : public SectionInput {
public:
    // Takes over an open file.
    explicit FileInput(FileDescriptor file) : file_(std::move(file)) {}
    explicit FileInput(const std::string& fileName) : file_(OpenForReading(fileName))
    {
        if (!file_)
            throw EInOutError(CannotOpenMessage(fileName, errno));
    }

    size_t Read(std::string& out, size_t count) override
    {
        size_t total = Take(out, count);
        if (total < count && count - total >= sizeof buffer_)
            return total + ReadInto(out, count - total);
        while (total < count && Fill())
            total += Take(out, count - total);
        return total;
    }
    int ReadByte() override
    {
        if (pos_ == end_ && !Fill())
            return -1;
        return static_cast<unsigned char>(buffer_[pos_++]);
    }

private:
    // Up to count bytes from the buffer.
    size_t Take(std::string& out, size_t count)
    {
        const size_t n = std::min(count, end_ - pos_);
        out.append(buffer_ + pos_, n);
        pos_ += n;
        return n;
    }
    // Up to count bytes from the file straight into out, in steps of at most 64 KiB so
    // that a large count on a short file costs no more than the file.
    size_t ReadInto(std::string& out, size_t count)
    {
        size_t total = 0;
        while (total < count) {
            const size_t step = std::min<size_t>(count - total, 64 * 1024);
            const size_t old = out.size();
            out.resize(old + step);
            const long n = ReadSome(out.data() + old, step);
            out.resize(old + static_cast<size_t>(std::max<long>(n, 0)));
            if (n <= 0)
                break;
            total += static_cast<size_t>(n);
        }
        return total;
    }
    // False at the end of the file or on a failed read, which ends the data the same way.
    bool Fill()
    {
        pos_ = end_ = 0;
        const long n = ReadSome(buffer_, sizeof buffer_);
        if (n <= 0)
            return false;
        end_ = static_cast<size_t>(n);
        return true;
    }
    long ReadSome(char* to, size_t count) { return morvik::ReadSome(file_.Get(), to, count); }

    FileDescriptor file_;
    char buffer_[4096];
    size_t pos_ = 0, end_ = 0;
};

enum class ReaderKind { None, Jpeg, Tiff };

ReaderKind KindOfName(const std::string& fileName)
{
    const size_t dot = fileName.find_last_of('.');
    const size_t slash = fileName.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return ReaderKind::None;
    const std::string ext = AsciiLower(fileName.substr(dot));
    if (ext == ".jpg" || ext == ".jpeg" || ext == ".jpe")
        return ReaderKind::Jpeg;
    if (ext == ".tif" || ext == ".tiff" || ext == ".nef")
        return ReaderKind::Tiff;
    return ReaderKind::None;
}

}  // namespace

TimgData::TimgData(int parseMode) : ParseMode(parseMode) { ResetData(); }

TimgData::~TimgData()
{
    ExifInfo.reset();
    IptcInfo.reset();
}

void TimgData::ResetData()
{
    // The sections' strings keep their capacity: a reader used for file after file
    // allocates for its sections only while they grow.
    for (tSection& s : Sections) {
        s.Data.clear();
        s.Marker = 0;
        s.Size = 0;
    }
    SectionCount = 0;
    ExifSection = IptcSection = CommentSection = App0Section = nullptr;
    FileName.clear();
    FileDate = 0;
    FileSize = 0;
    ErrorText.clear();
    ExifInfo.reset();
    IptcInfo.reset();
    BigEndian = false;
}

namespace {

void TakeFileFacts(TimgData& data, const std::string& fileName, const FileFacts& facts)
{
    data.FileName = fileName;
    if (auto packed = PackedFileTime(facts.Modified)) {
        auto value = TryEncodeDateTime(packed->Year, packed->Month, packed->Day, packed->Hour, packed->Minute,
                                       packed->Second, 0);
        data.FileDate = value ? *value : facts.Modified;
    } else {
        data.FileDate = facts.Modified;  // outside the packed date's years: the plain time
    }
    data.FileSize = static_cast<int32_t>(std::min<int64_t>(facts.Size, INT32_MAX));
}

}  // namespace

void TimgData::ReadFileFacts(const std::string& fileName)
{
    if (auto facts = GetFileFacts(fileName))
        TakeFileFacts(*this, fileName, *facts);
}

namespace {

// Runs a reading step and leaves its outcome in the error text: "<none>" when the file was
// read, "Not an EXIF file" when it was not, "Illegal Exif construction" when the step failed.
template <typename Step>
bool ReadWithErrorText(std::string& errorText, Step step)
{
    try {
        errorText = "Not an EXIF file";
        if (step()) {
            errorText = "<none>";
            return true;
        }
    } catch (...) {
        errorText = "Illegal Exif construction";
    }
    return false;
}

bool ReadInput(TimgData& data, ReaderKind kind, SectionInput& input)
{
    switch (kind) {
    case ReaderKind::Jpeg: return data.ReadJpegSections(input);
    case ReaderKind::Tiff: return data.ReadTiffFile(input);
    case ReaderKind::None: break;
    }
    return false;
}

}  // namespace

bool TimgData::ReadMetadata(const std::string& fileName)
{
    ResetData();
    const ReaderKind kind = KindOfName(fileName);
    // A picture file is opened first and its facts taken from the open file: one path
    // lookup instead of two. One that cannot be opened is looked at by its name, and its
    // reading then fails as it does for any file it cannot open.
    FileDescriptor file = kind == ReaderKind::None ? FileDescriptor() : OpenForReading(fileName);
    const auto facts = file ? GetOpenFileFacts(file.Get(), fileName) : GetFileFacts(fileName);
    std::optional<FileInput> opened;
    if (file)
        opened.emplace(std::move(file));
    if (!facts || facts->IsDirectory)
        return false;
    TakeFileFacts(*this, fileName, *facts);
    return ReadWithErrorText(ErrorText, [&] {
        if (opened)
            return ReadInput(*this, kind, *opened);
        if (kind == ReaderKind::None)
            return false;
        FileInput input(fileName);  // raises EInOutError: a failed reading
        return ReadInput(*this, kind, input);
    });
}

bool TimgData::ReadMetadataFromMemory(const std::string& fileName, std::string_view bytes)
{
    ResetData();
    FileName = fileName;
    FileSize = static_cast<int32_t>(std::min<size_t>(bytes.size(), INT32_MAX));
    return ReadWithErrorText(ErrorText, [&] {
        MemoryInput input(bytes);
        return ReadInput(*this, KindOfName(fileName), input);
    });
}

bool TimgData::ReadJpegSections(const std::string& fileName)
{
    FileInput input(fileName);  // a file that cannot be opened fails outside the reading
    return ReadJpegSections(input);
}

bool TimgData::ReadTiffFile(const std::string& fileName)
{
    FileInput input(fileName);
    return ReadTiffFile(input);
}

bool TimgData::ReadJpegSections(SectionInput& input)
{
    try {
        if (input.ReadByte() != 0xFF || input.ReadByte() != 0xD8)
            return false;
        SectionCount = 0;
        while (SectionCount < kMaxSections) {
            int m;
            do
                m = input.ReadByte();
            while (m == 0xFF);
            if (m < 0)
                return HasMetadata();  // the file ends before its scan
            const int hi = input.ReadByte();
            const int lo = input.ReadByte();
            if (hi < 0 || lo < 0)
                return HasMetadata();

            ++SectionCount;
            tSection& s = Sections[static_cast<size_t>(SectionCount)];
            s.Marker = m;
            s.Size = hi * 256 + lo;
            const size_t body = s.Size > 2 ? static_cast<size_t>(s.Size - 2) : 0;
            s.Data.clear();
            s.Data.reserve(2 + body);  // the length field says how much comes: one allocation
            s.Data += static_cast<char>(hi);
            s.Data += static_cast<char>(lo);
            if (input.Read(s.Data, body) < body)
                continue;  // cut short: kept as read, not looked at; the next read ends the loop

            if (SectionCount == 5 && !HasMetadata())
                return false;
            switch (m) {
            case 0xD9: case 0xDA:
                return HasMetadata();
            case 0xE0:
                App0Section = &s;
                break;
            case 0xE1:
                if (ExifSection != nullptr || SectionCount > 5) {
                    --SectionCount;
                    break;
                }
                ExifSection = &s;
                ExifInfo = std::make_unique<TImageInfo>(this, ParseMode);
                WorkData = s.Data;
                ReadExifBlock();
                break;
            case 0xED:
                if (IptcSection == nullptr) {
                    IptcSection = &s;
                    IptcInfo = std::make_unique<TIPTCdata>(this);
                }
                break;
            case 0xFE:
                CommentSection = &s;
                break;
            default:
                break;
            }
        }
        return HasMetadata();
    } catch (...) {
        return false;
    }
}

bool TimgData::ReadTiffFile(SectionInput& input)
{
    struct TiffFlag {
        bool& flag;
        explicit TiffFlag(bool& f) : flag(f) { flag = true; }
        ~TiffFlag() { flag = false; }
    } tiff(FromTiff);
    try {
        std::string header;
        if (input.Read(header, 8) < 8)
            return false;
        bool bigEndian;
        if (header.compare(0, 2, "II") == 0)
            bigEndian = false;
        else if (header.compare(0, 2, "MM") == 0)
            bigEndian = true;
        else
            return false;
        tSection& s = Sections[1];
        s.Data.clear();
        input.Read(s.Data, kTiffBlockBytes);
        s.Marker = 0;
        s.Size = static_cast<int32_t>(s.Data.size());
        SectionCount = 1;
        ExifSection = &s;
        WorkData = s.Data;
        BigEndian = bigEndian;
        ExifInfo = std::make_unique<TImageInfo>(this, ParseMode);
        ExifInfo->FromTiff = true;
        ExifInfo->ListingText.clear();
        ExifInfo->WorkData = s.Data;
        ExifInfo->BigEndian = bigEndian;
        // The first directory lies where the header's offset says (position = offset - 7);
        // cameras put it right after the header (offset 8, position 1), editors often
        // at the end of the file, where reading from offset 8 would take picture data
        // for a directory.
        const int32_t first = ByteSource(header).I32(5, bigEndian);
        ExifInfo->WalkDirectory(static_cast<int64_t>(first) - 7, -7, 1);
        ExifInfo->AddEquivalentFocalLength();
        return true;
    } catch (...) {
        return false;
    }
}

void TimgData::ReadExifBlock()
{
    if (!ExifInfo)
        ExifInfo = std::make_unique<TImageInfo>(this, ParseMode);
    const ByteSource block(WorkData);
    if (block.Clip(3, 5) != std::string("Exif\0", 5)) {
        ErrorText = "Incorrect Exif header";
        return;
    }
    const std::string mark = block.Clip(9, 2);
    if (mark == "II") {
        BigEndian = false;
    } else if (mark == "MM") {
        BigEndian = true;
    } else {
        ErrorText = "Invalid Exif alignment marker";
        return;
    }
    ExifInfo->ListingText.clear();
    ExifInfo->WorkData = WorkData;
    ExifInfo->BigEndian = BigEndian;
    const int32_t first = Read32At(13);
    if (first != 0)
        ExifInfo->WalkDirectory(static_cast<int64_t>(first) + 9, 9, 1);
    else
        ExifInfo->WalkDirectory(17, 9, 1);
    if (!ErrorText.empty())
        ExifInfo->AddEquivalentFocalLength();
}

}  // namespace morvik
