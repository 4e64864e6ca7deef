// PhotoMetadata: reads a JPEG file's sections up to its scan, or the start of a TIFF file,
// and hands the EXIF block to the directory walk.
#include "metadata/file/PhotoMetadata.h"

#include "jpeg/JpegMarkers.h"
#include "metadata/directory/ByteSource.h"
#include "metadata/notes/IptcRecord.h"
#include "metadata/notes/MakerNote.h"
#include "platform/Convert.h"
#include "platform/Exceptions.h"
#include "platform/FileSystem.h"

#include <cerrno>
#include <new>
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
    // How many bytes the data holds in all, where that is known (0: not known). A reader
    // that takes a large run reserves its storage once instead of growing it step by step.
    virtual size_t SizeHint() const { return 0; }
    // Up to count of the next bytes, left to be read: fewer only at the end of the data.
    virtual std::string_view Peek(size_t count) = 0;
};

namespace {

constexpr int kMaxSections = 20;
// A reader keeps buffers up to this size from file to file.
constexpr size_t kKeptBufferBytes = 1024 * 1024;
constexpr size_t kTiffBlockBytes = 256000;
// A TIFF whose first directory lies past the first block is read on to its end, up to
// this many bytes from offset 8: editors write the directory after the picture.
constexpr size_t kMaxTiffBlockBytes = 64 * 1024 * 1024;
// A long run of bytes is read from a file in steps of this size.
constexpr size_t kReadStep = 64 * 1024;

// True when the directory at a 1-based position of the block, its count and entries,
// lies wholly inside it.
bool DirectoryInside(const std::string& block, int64_t pos, bool bigEndian)
{
    const ByteSource bytes(block);
    return bytes.Holds(pos, 2) && bytes.Holds(pos, 2 + 12 * int64_t{bytes.U16(pos, bigEndian)});
}

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
    size_t SizeHint() const override { return bytes_.size(); }
    std::string_view Peek(size_t count) override { return bytes_.substr(pos_, count); }

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
    // Takes over an open file of the given size.
    FileInput(FileDescriptor file, int64_t size)
        : file_(std::move(file)), size_(static_cast<size_t>(std::max<int64_t>(size, 0)))
    {
    }
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
    size_t SizeHint() const override { return size_; }
    int ReadByte() override
    {
        if (pos_ == end_ && !Fill())
            return -1;
        return static_cast<unsigned char>(buffer_[pos_++]);
    }
    // Only at the file's start, where the buffer is empty or holds what one fill brought.
    std::string_view Peek(size_t count) override
    {
        if (pos_ == end_)
            Fill();
        return std::string_view(buffer_ + pos_, std::min(count, end_ - pos_));
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
            const size_t step = std::min<size_t>(count - total, kReadStep);
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
    size_t size_ = 0;
    char buffer_[4096];
    size_t pos_ = 0, end_ = 0;
};

}  // namespace

PictureFileKind PictureFileKindOfName(const std::string& fileName)
{
    const size_t dot = fileName.find_last_of('.');
    const size_t slash = fileName.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return PictureFileKind::None;
    const std::string ext = AsciiLower(fileName.substr(dot));
    if (ext == ".jpg" || ext == ".jpeg" || ext == ".jpe")
        return PictureFileKind::Jpeg;
    if (ext == ".tif" || ext == ".tiff" || ext == ".nef")
        return PictureFileKind::Tiff;
    return PictureFileKind::None;
}

PhotoMetadata::PhotoMetadata(ParseModes parseMode) : ParseMode(parseMode) { ResetData(); }

PhotoMetadata::~PhotoMetadata()
{
    ExifInfo.reset();
}

void PhotoMetadata::ResetData()
{
    // The sections' strings keep their capacity: a reader used for file after file
    // allocates for its sections only while they grow. A buffer grown large by one file
    // (a TIFF block read to its end) is given back.
    auto clear = [](std::string& bytes) {
        if (bytes.capacity() > kKeptBufferBytes)
            std::string().swap(bytes);
        else
            bytes.clear();
    };
    for (JpegSection& s : Sections) {
        clear(s.Data);
        s.Marker = 0;
        s.Size = 0;
    }
    Outcome = ReadingOutcome{};
    SectionCount = 0;
    ReadAs = PictureFileKind::None;
    ExifSection = IptcSection = CommentSection = App0Section = nullptr;
    FileName.clear();
    FileDate = 0;
    FileSize = 0;
    ExifInfo.reset();
}

void PhotoMetadata::SetFault(std::string errorText)
{
    std::string fileName = std::move(FileName);
    const TDateTime fileDate = FileDate;
    const int32_t fileSize = FileSize;
    ResetData();
    FileName = std::move(fileName);
    FileDate = fileDate;
    FileSize = fileSize;
    Outcome = ReadingOutcome{ReadingEnd::Faulted, std::move(errorText)};
}

namespace {

void TakeFileFacts(PhotoMetadata& data, const std::string& fileName, const FileFacts& facts)
{
    data.FileName = fileName;
    data.FileDate = TwoSecondFloor(facts.Modified);
    data.FileSize = static_cast<int32_t>(std::min<int64_t>(facts.Size, INT32_MAX));
}

}  // namespace

void PhotoMetadata::ReadFileFacts(const std::string& fileName)
{
    if (auto facts = GetFileFacts(fileName))
        TakeFileFacts(*this, fileName, *facts);
}

namespace {

// Runs a reading step and leaves its outcome: read ("<none>"); no metadata ("Not an EXIF
// file", unless the step left a diagnostic of its own); not opened ("Illegal Exif
// construction").
template <typename Step>
bool ReadWithOutcome(ReadingOutcome& outcome, Step step)
{
    try {
        outcome.Text = "Not an EXIF file";
        if (step()) {
            outcome = ReadingOutcome{ReadingEnd::Read, "<none>"};
            return true;
        }
        outcome.End = ReadingEnd::NoMetadata;
    } catch (const EInOutError&) {
        // A picture file that cannot be opened: the reading's failure, not the program's.
        outcome = ReadingOutcome{ReadingEnd::NotOpened, "Illegal Exif construction"};
    }
    return false;
}

// Runs a whole reading. A fault that lies not in the file but in the reader (running out
// of memory, or a fault of the program) ends it as the file's failure: what it held is
// released, the file facts stay, and the error text says what happened.
template <typename Reading>
bool ReadGuarded(PhotoMetadata& data, Reading reading)
{
    std::string fault;
    try {
        return reading();
    } catch (const std::bad_alloc&) {
        fault = kOutOfMemoryText;
    } catch (const std::exception& e) {
        fault = std::string("Internal error: ") + e.what();
    }
    data.SetFault(std::move(fault));
    return false;
}

// A picture file's first bytes decide how it is read, whatever its extension says (a
// TIFF saved as .jpg, a JPEG as .tif); one that starts as neither is read as its name
// says, and fails as that reading fails. Only files named as pictures are read at all.
PictureFileKind KindOfBytes(std::string_view head, PictureFileKind byName)
{
    if (byName == PictureFileKind::None)
        return byName;
    if (head.size() >= 2 && static_cast<unsigned char>(head[0]) == 0xFF &&
        static_cast<unsigned char>(head[1]) == jpeg_marker::Soi)
        return PictureFileKind::Jpeg;
    if (head.substr(0, 4) == std::string_view("II*\0", 4) || head.substr(0, 4) == std::string_view("MM\0*", 4))
        return PictureFileKind::Tiff;
    return byName;
}

bool ReadInput(PhotoMetadata& data, PictureFileKind byName, SectionInput& input)
{
    data.ReadAs = KindOfBytes(input.Peek(4), byName);
    switch (data.ReadAs) {
    case PictureFileKind::Jpeg: return data.ReadJpegSections(input);
    case PictureFileKind::Tiff: return data.ReadTiffFile(input);
    case PictureFileKind::None: break;
    }
    return false;
}

}  // namespace

bool PhotoMetadata::ReadMetadata(const std::string& fileName)
{
    return ReadGuarded(*this, [&] { return ReadMetadataUnguarded(fileName); });
}

bool PhotoMetadata::ReadMetadataUnguarded(const std::string& fileName)
{
    ResetData();
    const PictureFileKind kind = PictureFileKindOfName(fileName);
    // A picture file is opened first and its facts taken from the open file: one path
    // lookup instead of two. One that cannot be opened is looked at by its name, and its
    // reading then fails as it does for any file it cannot open.
    FileDescriptor file = kind == PictureFileKind::None ? FileDescriptor() : OpenForReading(fileName);
    const auto facts = file ? GetOpenFileFacts(file.Get(), fileName) : GetFileFacts(fileName);
    std::optional<FileInput> opened;
    if (file)
        opened.emplace(std::move(file), facts ? facts->Size : 0);
    if (!facts || facts->IsDirectory)
        return false;
    TakeFileFacts(*this, fileName, *facts);
    return ReadWithOutcome(Outcome, [&] {
        if (opened)
            return ReadInput(*this, kind, *opened);
        if (kind == PictureFileKind::None)
            return false;
        FileInput input(fileName);  // raises EInOutError: a failed reading
        return ReadInput(*this, kind, input);
    });
}

bool PhotoMetadata::ReadMetadataFromMemory(const std::string& fileName, std::string_view bytes)
{
    return ReadGuarded(*this, [&] {
        ResetData();
        FileName = fileName;
        FileSize = static_cast<int32_t>(std::min<size_t>(bytes.size(), INT32_MAX));
        return ReadWithOutcome(Outcome, [&] {
            MemoryInput input(bytes);
            return ReadInput(*this, PictureFileKindOfName(fileName), input);
        });
    });
}

bool PhotoMetadata::ReadJpegSections(SectionInput& input)
{
    try {
        if (input.ReadByte() != 0xFF || input.ReadByte() != jpeg_marker::Soi)
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
            JpegSection& s = Sections[static_cast<size_t>(SectionCount)];
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
            case jpeg_marker::Eoi: case jpeg_marker::Sos:
                return HasMetadata();
            case jpeg_marker::App0:
                App0Section = &s;
                break;
            case jpeg_marker::App1:
                if (ExifSection != nullptr || SectionCount > 5) {
                    --SectionCount;
                    break;
                }
                ExifSection = &s;
                ExifInfo = NewExifDirectory();
                ReadExifBlock();
                break;
            case jpeg_marker::App13:
                if (IptcSection == nullptr)
                    IptcSection = &s;
                break;
            case jpeg_marker::Com:
                CommentSection = &s;
                break;
            default:
                break;
            }
        }
        return HasMetadata();
    } catch (const ReaderFailure&) {
        return false;  // the walk of the first directory failed
    }
}

bool PhotoMetadata::ReadTiffFile(SectionInput& input)
{
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
        // The first directory lies where the header's offset says (position = offset - 7);
        // cameras put it right after the header (offset 8, position 1), editors often at
        // the end of the file, where reading from offset 8 would take picture data for a
        // directory.
        const int64_t first = static_cast<int64_t>(ByteSource(header).I32(5, bigEndian)) - 7;
        JpegSection& s = Sections[1];
        s.Data.clear();
        input.Read(s.Data, kTiffBlockBytes);
        if (first >= 1 && s.Data.size() == kTiffBlockBytes && !DirectoryInside(s.Data, first, bigEndian)) {
            // Read on to the end in one piece of storage, with room for the step that finds
            // the end: growing it step by step would hold two copies of a large block at once.
            const size_t hint = input.SizeHint();
            if (hint > 8)
                s.Data.reserve(std::min(hint - 8, kMaxTiffBlockBytes) + kReadStep);
            input.Read(s.Data, kMaxTiffBlockBytes - kTiffBlockBytes);
        }
        s.Marker = 0;
        s.Size = static_cast<int32_t>(s.Data.size());
        SectionCount = 1;
        ExifSection = &s;
        ExifInfo = NewExifDirectory();
        ExifInfo->FromTiff = true;
        ExifInfo->ListingText.clear();
        ExifInfo->ViewBlock(s.Data);  // the block is held once, by its section
        ExifInfo->BigEndian = bigEndian;
        // A first directory outside the file is one that does not fit: no tags.
        if (ByteSource(s.Data).Holds(first, 2))
            WalkFirstDirectory(first, -7);
        else
            Outcome.Text = "Illegally sized directory";
        ExifInfo->AddEquivalentFocalLength();
        return true;
    } catch (const ReaderFailure&) {
        return false;  // the walk of the first directory failed
    }
}

std::unique_ptr<ExifDirectory> PhotoMetadata::NewExifDirectory() const
{
    return std::make_unique<ExifDirectory>(ParseMode, &DecodeMakerNote);
}

void PhotoMetadata::WalkFirstDirectory(int64_t pos, int64_t base)
{
    try {
        ExifInfo->WalkDirectory(pos, base, DirectoryMain);
    } catch (const ReaderFailure&) {
        // The section reader ends the reading on it; the diagnostic the walk left says why.
        if (!ExifInfo->Diagnostic.empty())
            Outcome.Text = ExifInfo->Diagnostic;
        throw;
    }
    if (!ExifInfo->Diagnostic.empty())
        Outcome.Text = ExifInfo->Diagnostic;
}

void PhotoMetadata::ReadExifBlock()
{
    if (!ExifInfo)
        ExifInfo = NewExifDirectory();
    if (ExifSection == nullptr)
        return;
    const std::string& data = ExifSection->Data;
    const ByteSource block(data);
    if (block.Clip(3, 5) != std::string("Exif\0", 5)) {
        Outcome.Text = "Incorrect Exif header";
        return;
    }
    const std::string mark = block.Clip(kExifTiffHeaderPos, 2);
    bool bigEndian;
    if (mark == "II") {
        bigEndian = false;
    } else if (mark == "MM") {
        bigEndian = true;
    } else {
        Outcome.Text = "Invalid Exif alignment marker";
        return;
    }
    ExifInfo->ListingText.clear();
    ExifInfo->ViewBlock(data);  // the block is held once, by its section
    ExifInfo->BigEndian = bigEndian;
    // The header: the byte-order mark, 42, and the first directory's offset.
    const int32_t first = block.I32(kExifTiffHeaderPos + 4, bigEndian);
    if (first != 0)
        WalkFirstDirectory(static_cast<int64_t>(first) + kExifTiffHeaderPos, kExifTiffHeaderPos);
    else
        WalkFirstDirectory(kExifTiffHeaderPos + 8, kExifTiffHeaderPos);
    if (!Outcome.Text.empty())
        ExifInfo->AddEquivalentFocalLength();
}

}  // namespace morvik
