#include "stamping/PhotoDate.h"

#include "metadata/file/PhotoMetadata.h"
#include "metadata/directory/ExifDirectory.h"
#include "platform/Exceptions.h"
#include "stamping/Heif.h"
#include "stamping/NameDate.h"
#include "stamping/Orientation.h"

namespace morvik {

namespace {

// The EXIF date of the tag the source names; 0 when there is none to be read.
TDateTime ExifDate(const PhotoMetadata& reader, PhotoDateSource dateSource)
{
    // A section taken as the EXIF block that held no EXIF data has no ExifDirectory.
    const ExifDirectory* info = reader.ExifInfo.get();
    if (info == nullptr)
        return 0;
    const int32_t pos = dateSource == PhotoDateSource::DateTime           ? info->DateTimePos
                        : dateSource == PhotoDateSource::DateTimeOriginal ? info->DateTimeOriginalPos
                                                                          : info->DateTimeDigitizedPos;
    if (pos <= 0)
        return 0;  // the block lacks the chosen tag
    return info->DateTimeAt(pos);
}

// The date in the name, else the file's time.
PhotoDating NameOrFileTime(const std::string& path, TDateTime fallback)
{
    if (const std::optional<TDateTime> named = DateFromFileName(path))
        return {*named, DateOrigin::FileName};
    return {fallback, DateOrigin::FileTime};
}

}  // namespace

PhotoDating PhotoDate(const PhotoMetadata& reader, bool processed, const std::string& path, TDateTime fallback,
                      PhotoDateSource dateSource)
{
    const bool exif = processed && reader.HasExif();
    switch (dateSource) {
    case PhotoDateSource::DateTime:
    case PhotoDateSource::DateTimeOriginal:
    case PhotoDateSource::DateTimeDigitized:
        if (!exif)
            return {fallback, DateOrigin::FileTime};
        return {ExifDate(reader, dateSource), DateOrigin::ExifTag};
    case PhotoDateSource::FileName:
        return NameOrFileTime(path, fallback);
    case PhotoDateSource::Auto:
        if (exif)
            for (PhotoDateSource tag : {PhotoDateSource::DateTimeOriginal, PhotoDateSource::DateTimeDigitized,
                                         PhotoDateSource::DateTime})
                if (const TDateTime date = ExifDate(reader, tag); date != 0)
                    return {date, DateOrigin::ExifTag};
        return NameOrFileTime(path, fallback);
    case PhotoDateSource::Fallback:
        break;
    }
    return {fallback, DateOrigin::FileTime};  // no entry chosen, or a value outside the list
}

int PhotoOrientation(const PhotoMetadata& reader, bool processed)
{
    const ExifDirectory* info = processed && reader.HasExif() ? reader.ExifInfo.get() : nullptr;
    return info == nullptr ? 1 : ValidOrientation(info->Orientation);
}

namespace {

bool RaiseFault(const PhotoMetadata& reader, const std::string& path, bool processed)
{
    if (reader.Outcome.Faulted())
        throw Exception("Cannot read file \"" + path + "\". " + reader.Outcome.Text);
    return processed;
}

}  // namespace

bool ReadForDating(PhotoMetadata& reader, const std::string& path)
{
    if (IsHeifName(path))
        return ReadForDating(reader, path, ReadHeifFile(path));
    return RaiseFault(reader, path, reader.ReadMetadata(path));
}

bool ReadForDating(PhotoMetadata& reader, const std::string& path, std::string_view bytes)
{
    // A HEIF's pixels are shown upright, so its Orientation is taken as 1.
    if (IsHeifName(path))
        return LoadHeifExif(reader, path, ReadHeifMetadata(bytes, path), true);
    return RaiseFault(reader, path, reader.ReadMetadataFromMemory(path, bytes));
}

int PhotoOrientation(const std::string& path)
{
    PhotoMetadata reader(ParseModeFull);
    const bool processed = ReadForDating(reader, path);
    return PhotoOrientation(reader, processed);
}

TDateTime PhotoDate(const std::string& path, TDateTime fallback, PhotoDateSource dateSource)
{
    PhotoMetadata reader(ParseModeFull);
    const bool processed = ReadForDating(reader, path);
    return PhotoDate(reader, processed, path, fallback, dateSource).Date;
}

}  // namespace morvik
