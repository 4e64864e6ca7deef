// The built-in tag tables of EXIF/TIFF directories and of the GPS directory, and the
// lookups over them. Rows are constexpr data; the display names that the rows leave
// empty are derived from the tag names once per process.
#include "metadata/directory/ExifDirectory.h"
#include "platform/Convert.h"

#include <array>

namespace morvik {

namespace {

// The main table: 250 tags and, last, the sentinel Unknown. Names occurring twice
// (FlashEnergy, CFAPattern, FocalPlane...) are found by name at their first row.
constexpr TagRow kMainRows[MainTableSize] = {
    {0x0001, "InteroperabilityIndex"},
    {0x0002, "InteroperabilityVersion"},
    {0x000B, "ACDComment"},
    {0x00FE, "NewSubfileType"},
    {0x00FF, "SubfileType"},
    {0x0100, "ImageWidth"},
    {0x0101, "ImageLength"},
    {0x0102, "BitsPerSample"},
    {0x0103, "Compression", "", "6:Jpeg,3:Uncompressed,1:TIFF", "", nullptr},
    {0x0106, "PhotometricInterpretation", "", "1:Monochrome, 2:RGB, 6:YCbCr", "", nullptr},
    {0x010A, "FillOrder"},
    {0x010D, "DocumentName"},
    {0x010E, "ImageDescription"},
    {0x010F, "Make"},
    {0x0110, "Model"},
    {0x0111, "StripOffsets"},
    {0x0112, "Orientation", "", "1:Normal,3:Rotated 180\xB0" ",6:CounterClockwise 90\xB0" ",8:Clockwise 90\xB0" "", "", nullptr},
    {0x0115, "SamplesPerPixel"},
    {0x0116, "RowsPerStrip"},
    {0x0117, "StripByteCounts"},
    {0x0118, "MinSampleValue"},
    {0x0119, "MaxSampleValue"},
    {0x011A, "XResolution", "", "", "%5.2f", nullptr},
    {0x011B, "YResolution", "", "", "%5.2f", nullptr},
    {0x011C, "PlanarConfiguration"},
    {0x011D, "PageName"},
    {0x011E, "XPosition"},
    {0x011F, "YPosition"},
    {0x0120, "FreeOffsets"},
    {0x0121, "FreeByteCounts"},
    {0x0122, "GrayReponseUnit"},
    {0x0123, "GrayReponseCurve"},
    {0x0124, "T4Options"},
    {0x0125, "T6Options"},
    {0x0128, "ResolutionUnit", "", "1:None Specified,2:Inch,3:Centimeter", "", nullptr},
    {0x0129, "PageNumber"},
    {0x012D, "TransferFunction"},
    {0x0131, "Software"},
    {0x0132, "DateTime"},
    {0x013B, "Artist"},
    {0x013C, "HostComputer"},
    {0x013D, "Predictor"},
    {0x013E, "WhitePoint"},
    {0x013F, "PrimaryChromaticities"},
    {0x0140, "ColorMap"},
    {0x0141, "HalfToneHints"},
    {0x0142, "TileWidth"},
    {0x0143, "TileLength"},
    {0x0144, "TileOffsets"},
    {0x0145, "TileByteCounts"},
    {0x014A, "SubIFDs"},
    {0x014C, "InkSet"},
    {0x014D, "InkNames"},
    {0x014E, "NumberOfInks"},
    {0x0150, "DotRange"},
    {0x0151, "TargetPrinter"},
    {0x0152, "ExtraSample"},
    {0x0153, "SampleFormat"},
    {0x0154, "SMinSampleValue"},
    {0x0155, "SMaxSampleValue"},
    {0x0156, "TransferRange"},
    {0x0157, "ClipPath"},
    {0x0158, "XClipPathUnits"},
    {0x0159, "YClipPathUnits"},
    {0x015A, "Indexed"},
    {0x015B, "JPEGTables"},
    {0x015F, "OPIProxy"},
    {0x0200, "JPEGProc"},
    {0x0201, "JPEGInterchangeFormat"},
    {0x0202, "JPEGInterchangeFormatLength"},
    {0x0203, "JPEGRestartInterval"},
    {0x0205, "JPEGLosslessPredictors"},
    {0x0206, "JPEGPointTransforms"},
    {0x0207, "JPEGQTables"},
    {0x0208, "JPEGDCTables"},
    {0x0209, "JPEGACTables"},
    {0x0211, "YCbCrCoefficients"},
    {0x0212, "YCbCrSubSampling"},
    {0x0213, "YCbCrPositioning", "", "1:Centered,2:Co-sited", "", nullptr},
    {0x0214, "ReferenceBlackWhite"},
    {0x02BC, "ExtensibleMetadataPlatform"},
    {0x0301, "Gamma"},
    {0x0302, "ICCProfileDescriptor"},
    {0x0303, "SRGBRenderingIntent"},
    {0x0304, "ImageTitle"},
    {0x1000, "RelatedImageFileFormat"},
    {0x1001, "RelatedImageWidth"},
    {0x1002, "RelatedImageHeight"},
    {0x5001, "ResolutionXUnit"},
    {0x5002, "ResolutionYUnit"},
    {0x5003, "ResolutionXLengthUnit"},
    {0x5004, "ResolutionYLengthUnit"},
    {0x5005, "PrintFlags"},
    {0x5006, "PrintFlagsVersion"},
    {0x5007, "PrintFlagsCrop"},
    {0x5008, "PrintFlagsBleedWidth"},
    {0x5009, "PrintFlagsBleedWidthScale"},
    {0x500A, "HalftoneLPI"},
    {0x500B, "HalftoneLPIUnit"},
    {0x500C, "HalftoneDegree"},
    {0x500D, "HalftoneShape"},
    {0x500E, "HalftoneMisc"},
    {0x500F, "HalftoneScreen"},
    {0x5010, "JPEGQuality"},
    {0x5011, "GridSize"},
    {0x5012, "ThumbnailFormat"},
    {0x5013, "ThumbnailWidth"},
    {0x5014, "ThumbnailHeight"},
    {0x5015, "ThumbnailColorDepth"},
    {0x5016, "ThumbnailPlanes"},
    {0x5017, "ThumbnailRawBytes"},
    {0x5018, "ThumbnailSize"},
    {0x5019, "ThumbnailCompressedSize"},
    {0x501A, "ColorTransferFunction"},
    {0x501B, "ThumbnailData"},
    {0x5020, "ThumbnailImageWidth"},
    {0x5021, "ThumbnailImageHeight"},
    {0x5022, "ThumbnailBitsPerSample"},
    {0x5023, "ThumbnailCompression"},
    {0x5024, "ThumbnailPhotometricInterp"},
    {0x5025, "ThumbnailImageDescription"},
    {0x5026, "ThumbnailEquipMake"},
    {0x5027, "ThumbnailEquipModel"},
    {0x5028, "ThumbnailStripOffsets"},
    {0x5029, "ThumbnailOrientation"},
    {0x502A, "ThumbnailSamplesPerPixel"},
    {0x502B, "ThumbnailRowsPerStrip"},
    {0x502C, "ThumbnailStripBytesCount"},
    {0x502D, "ThumbnailResolutionX"},
    {0x502E, "ThumbnailResolutionY"},
    {0x502F, "ThumbnailPlanarConfig"},
    {0x5030, "ThumbnailResolutionUnit"},
    {0x5031, "ThumbnailTransferFunction"},
    {0x5032, "ThumbnailSoftwareUsed"},
    {0x5033, "ThumbnailDateTime"},
    {0x5034, "ThumbnailArtist"},
    {0x5035, "ThumbnailWhitePoint"},
    {0x5036, "ThumbnailPrimaryChromaticities"},
    {0x5037, "ThumbnailYCbCrCoefficients"},
    {0x5038, "ThumbnailYCbCrSubsampling"},
    {0x5039, "ThumbnailYCbCrPositioning"},
    {0x503A, "ThumbnailRefBlackWhite"},
    {0x503B, "ThumbnailCopyRight"},
    {0x5090, "LuminanceTable"},
    {0x5091, "ChrominanceTable"},
    {0x5100, "FrameDelay"},
    {0x5101, "LoopCount"},
    {0x5110, "PixelUnit"},
    {0x5111, "PixelPerUnitX"},
    {0x5112, "PixelPerUnitY"},
    {0x5113, "PaletteHistogram"},
    {0x800D, "ImageID"},
    {0x80E3, "Matteing"},
    {0x80E4, "DataType"},
    {0x80E5, "ImageDepth"},
    {0x80E6, "TileDepth"},
    {0x828D, "CFARepeatPatternDim"},
    {0x828E, "CFAPattern"},
    {0x828F, "BatteryLevel"},
    {0x8298, "Copyright"},
    {0x829A, "ExposureTime", "", "", "%s sec", nullptr},
    {0x829D, "FNumber", "", "", "F%0.1f", nullptr},
    {0x83BB, "IPTC/NAA", "IPTC/NAA", "", "", nullptr},
    {0x84E3, "IT8RasterPadding"},
    {0x84E5, "IT8ColorTable"},
    {0x8649, "ImageResourceInformation"},
    {0x8769, "ExifOffset"},
    {0x8773, "InterColorProfile"},
    {0x8822, "ExposureProgram", "", "0:Unidentified,1:Manual,2:Normal,3:Aperture priority,4:Shutter priority,5:Creative(slow),6:Action(high-speed),7:Portrait mode,8:Landscape mode", "", nullptr},
    {0x8824, "SpectralSensitivity"},
    {0x8825, "GPSInfo"},
    {0x8827, "ISOSpeedRatings"},
    {0x8828, "OECF"},
    {0x8829, "Interlace"},
    {0x882A, "TimeZoneOffset"},
    {0x882B, "SelfTimerMode"},
    {0x9000, "ExifVersion"},
    {0x9003, "DateTimeOriginal"},
    {0x9004, "DateTimeDigitized"},
    {0x9101, "ComponentsConfiguration", "", "", "", &PlainRenderer<&RenderComponents>},
    {0x9102, "CompressedBitsPerPixel"},
    {0x9201, "ShutterSpeedValue", "", "", "", &PlainRenderer<&RenderShutterSpeed>},
    {0x9202, "ApertureValue", "", "", "F%0.1f", nullptr},
    {0x9203, "BrightnessValue"},
    {0x9204, "ExposureBiasValue"},
    {0x9205, "MaxApertureValue", "", "", "F%0.1f", nullptr},
    {0x9206, "SubjectDistance"},
    {0x9207, "MeteringMode", "", "0:Unknown,1:Average,2:Center,3:Spot,4:MultiSpot,5:MultiSegment,6:Partial", "", nullptr},
    {0x9208, "LightSource", "", "0:Unidentified,1:Daylight,2:Fluorescent,3:Tungsten,10:Flash,17:Std A,18:Std B,19:Std C", "", nullptr},
    {0x9209, "Flash", "", "", "", &PlainRenderer<&RenderFlash>},
    {0x920A, "FocalLength", "", "", "%5.2f mm", nullptr},
    {0x920B, "FlashEnergy"},
    {0x920C, "SpatialFrequencyResponse"},
    {0x920D, "Noise"},
    {0x920E, "FocalPlaneXResolution"},
    {0x920F, "FocalPlaneYResolution"},
    {0x9210, "FocalPlaneResolutionUnit", "", "1:None Specified,2:Inch,3:Centimeter", "", nullptr},
    {0x9211, "ImageNumber"},
    {0x9212, "SecurityClassification"},
    {0x9213, "ImageHistory"},
    {0x9214, "SubjectLocation"},
    {0x9215, "ExposureIndex"},
    {0x9216, "TIFF/EPStandardID"},
    {0x9217, "SensingMethod"},
    {0x923F, "StoNits"},
    {0x927C, "MakerNote"},
    {0x9286, "UserComment", "", "", "", &PlainRenderer<&RenderUserComment>},
    {0x9290, "SubSecTime"},
    {0x9291, "SubSecTimeOriginal"},
    {0x9292, "SubSecTimeDigitized"},
    {0x953C, "ImageSourceData"},
    {0x9C9B, "Title", "", "", "", &PlainRenderer<&RenderXPText>},
    {0x9C9C, "Comments", "", "", "", &PlainRenderer<&RenderXPText>},
    {0x9C9D, "Author", "", "", "", &PlainRenderer<&RenderXPText>},
    {0x9C9E, "Keywords", "", "", "", &PlainRenderer<&RenderXPText>},
    {0x9C9F, "Subject", "", "", "", &PlainRenderer<&RenderXPText>},
    {0xA000, "FlashPixVersion"},
    {0xA001, "ColorSpace", "", "0:sBW,1:sRGB", "", nullptr},
    {0xA002, "ExifImageWidth"},
    {0xA003, "ExifImageLength"},
    {0xA004, "RelatedSoundFile"},
    {0xA005, "InteroperabilityOffset"},
    {0xA20B, "FlashEnergy"},
    {0xA20C, "SpatialFrequencyResponse"},
    {0xA20E, "FocalPlaneXResolution"},
    {0xA20F, "FocalPlaneYResolution"},
    {0xA210, "FocalPlaneResolutionUnit", "", "1:None Specified,2:Inch,3:Centimeter", "", nullptr},
    {0xA211, "ImageNumber"},
    {0xA212, "SecurityClassification"},
    {0xA213, "ImageHistory"},
    {0xA214, "SubjectLocation"},
    {0xA215, "ExposureIndex"},
    {0xA216, "TIFF/EPStandardID", "TIFF/EPStandardID", "", "", nullptr},
    {0xA217, "SensingMethod", "", "0:Unknown,1:MonochromeArea,2:OneChipColorArea,3:TwoChipColorArea,4:ThreeChipColorArea,5:ColorSequentialArea,6:MonochromeLinear,7:TriLinear,8:ColorSequentialLinear", "", nullptr},
    {0xA300, "FileSource", "", "1:Unknown,3:Digital Still Camera", "", nullptr},
    {0xA301, "SceneType", "", "0:Unknown,1:Directly Photographed", "", nullptr},
    {0xA302, "CFAPattern"},
    {0xA401, "CustomRendered", "", "0:Normal process,1:Custom process", "", nullptr},
    {0xA402, "ExposureMode", "", "0:Auto,1:Manual,2:Auto bracket", "", nullptr},
    {0xA403, "WhiteBalance", "", "0:Auto,1:Manual", "", nullptr},
    {0xA404, "DigitalZoomRatio"},
    {0xA405, "FocalLengthin35mmFilm", "Focal Length in 35mm Film", "", "%5.2f mm", nullptr},
    {0xA406, "SceneCaptureType", "", "0:Standard,1:Landscape,2:Portrait,3:Night scene", "", nullptr},
    {0xA407, "GainControl", "", "0:None,1:Low gain up,2:High gain up,3:Low gain down,4:High gain down", "", nullptr},
    {0xA408, "Contrast", "", "0:Normal,1:Soft,2:Hard", "", nullptr},
    {0xA409, "Saturation", "", "0:Normal,1:Low,2:High", "", nullptr},
    {0xA40A, "Sharpness", "", "0:Normal,1:Soft,2:Hard", "", nullptr},
    {0xA40B, "DeviceSettingDescription"},
    {0xA40C, "SubjectDistanceRange", "", "0:Unknown,1:Macro,2:Close view,3:Distant view", "", nullptr},
    {0xA420, "ImageUniqueID", "", "0:Close view,1:Distant view", "", nullptr},
    {0x0000, "Unknown"},
};

constexpr TagRow kGpsRows[GpsTableSize] = {
    {0x0000, "GPSVersionID"},
    {0x0001, "GPSLatitudeRef"},
    {0x0002, "GPSLatitude", "", "", "", &PlainRenderer<&RenderGPSCoordinate>},
    {0x0003, "GPSLongitudeRef"},
    {0x0004, "GPSLongitude", "", "", "", &PlainRenderer<&RenderGPSCoordinate>},
    {0x0005, "GPSAltitudeRef", "", "0:Sealevel", "", nullptr},
    {0x0006, "GPSAltitude"},
    {0x0007, "GPSTimeStamp", "", "", "", &PlainRenderer<&RenderGPSTime>},
    {0x0008, "GPSSatellites"},
    {0x0009, "GPSStatus"},
    {0x000A, "GPSMeasureMode"},
    {0x000B, "GPSDOP"},
    {0x000C, "GPSSpeedRef"},
    {0x000D, "GPSSpeed"},
    {0x000E, "GPSTrackRef"},
    {0x000F, "GPSTrack"},
    {0x0010, "GPSImageDirectionRef"},
    {0x0011, "GPSImageDirection"},
    {0x0012, "GPSMapDatum"},
    {0x0013, "GPSDestLatitudeRef"},
    {0x0014, "GPSDestLatitude", "", "", "", &PlainRenderer<&RenderGPSCoordinate>},
    {0x0015, "GPSDestLongitudeRef"},
    {0x0016, "GPSDestLongitude", "", "", "", &PlainRenderer<&RenderGPSCoordinate>},
    {0x0017, "GPSDestBearingkRef"},
    {0x0018, "GPSDestBearing"},
    {0x0019, "GPSDestDistanceRef"},
    {0x001A, "GPSDestDistance"},
    {0x001B, "GPSProcessingMode"},
    {0x001C, "GPSAreaInformation"},
    {0x001D, "GPSDateStamp"},
    {0x001E, "GPSDifferential"},
};

constexpr std::array<int, 13> kFieldTypeSizes = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};

// Tag numbers ascend through both tables (the sentinel aside), so a tag is found by
// binary search.
constexpr bool Ascending(const TagRow* rows, int count)
{
    for (int i = 1; i < count; ++i)
        if (rows[i - 1].TagNo >= rows[i].TagNo)
            return false;
    return true;
}
static_assert(Ascending(kMainRows, MainTableSize - 1));
static_assert(Ascending(kGpsRows, GpsTableSize));

int FindTag(const TagRow* rows, int count, int tagNo)
{
    int lo = 0, hi = count - 1;
    while (lo <= hi) {
        const int mid = (lo + hi) / 2;
        if (rows[mid].TagNo == tagNo)
            return mid;
        if (rows[mid].TagNo < tagNo)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    return -1;
}

// The rows as entries, built once with their display names (a table's own, or derived
// from the tag name). Their texts are views of the rows and of the derived names, which
// live as long as the program, so a lookup copies no text.
std::array<TagEntry, MainTableSize> gMainEntries;
std::array<TagEntry, GpsTableSize> gGpsEntries;
std::array<std::string, MainTableSize> gMainDisplayNames;
std::array<std::string, GpsTableSize> gGpsDisplayNames;

// "ExposureTime" -> "Exposure Time": a blank before every capital letter whose
// predecessor is not a capital letter.
std::string DerivedDisplayName(const char* tagName)
{
    std::string out;
    auto upper = [](char c) { return c >= 'A' && c <= 'Z'; };
    for (size_t i = 0; tagName[i] != '\0'; ++i) {
        if (i > 0 && upper(tagName[i]) && !upper(tagName[i - 1]))
            out += ' ';
        out += tagName[i];
    }
    return out;
}

// The entry of a row; displayName keeps the derived name when the row has none.
TagEntry RowEntry(const TagRow& row, std::string& displayName)
{
    TagEntry entry = EntryFromRow(row);
    displayName = row.DisplayName[0] != '\0' ? row.DisplayName : DerivedDisplayName(row.TagName);
    entry.DisplayName = SharedText::Static(displayName);
    return entry;
}

void FillDisplayNames()
{
    for (int i = 0; i < MainTableSize; ++i)
        gMainEntries[i] = RowEntry(kMainRows[i], gMainDisplayNames[i]);
    for (int i = 0; i < GpsTableSize; ++i)
        gGpsEntries[i] = RowEntry(kGpsRows[i], gGpsDisplayNames[i]);
}

constexpr int kSentinel = MainTableSize - 1;

}  // namespace

int FieldTypeSize(int fieldType)
{
    if (fieldType < 0 || fieldType >= static_cast<int>(kFieldTypeSizes.size()))
        return 0;
    return kFieldTypeSizes[static_cast<size_t>(fieldType)];
}

void DeriveDisplayNames()
{
    static const bool filled = (FillDisplayNames(), true);  // once, and safely across threads
    (void)filled;
}

TagEntry MainTableRow(int index)
{
    if (index < 0 || index >= MainTableSize)
        return {};
    DeriveDisplayNames();
    return gMainEntries[index];
}

TagEntry GpsTableRow(int index)
{
    if (index < 0 || index >= GpsTableSize)
        return {};
    DeriveDisplayNames();
    return gGpsEntries[index];
}

TagEntry RowForTag(int tagNo, DirectoryKind kind)
{
    DeriveDisplayNames();
    if (kind == DirectoryMain) {
        if (const int i = FindTag(kMainRows, kSentinel, tagNo); i >= 0)
            return gMainEntries[static_cast<size_t>(i)];
    } else if (kind == DirectoryGps) {
        if (const int i = FindTag(kGpsRows, GpsTableSize, tagNo); i >= 0)
            return gGpsEntries[static_cast<size_t>(i)];
    }
    return gMainEntries[kSentinel];
}

int TableIndexOfName(const std::string& name)
{
    for (int i = 0; i < kSentinel; ++i)
        if (AsciiEqualNoCase(kMainRows[i].TagName, name))
            return i;
    return -1;
}

}  // namespace morvik
