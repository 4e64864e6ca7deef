// The maker tables: one row per tag a maker's note is known to hold. A row whose display
// name is "Skip" (any case) makes the walk pass over that tag. Value-name lists are kept
// exactly as the cameras' documentation gave them, slips included, since listings and
// stored values are compared against them.
#include "metadata/notes/MakerNote.h"

namespace morvik {
namespace {

constexpr TagRow kNikonA[] = {
    {0x0002, "FamilyID", "FamilyID"},
    {0x0003, "Quality", "Quality",
     "1:Vga Basic,2:Vga Normal,3:Vga Fine,4:SXGA Basic,5:SXGA Normal,6:SXGA Fine10:2 Mpixel Basic,"
     "11:2 Mpixel Normal,12:2 Mpixel Fine"},
    {0x0004, "ColorMode", "ColorMode", "1:Color,2:Monochrome"},
    {0x0005, "ImageAdjustment", "ImageAdjustment", "0:Normal,1:Bright+,2:Bright-,3:Contrast+,4:Contrast-"},
    {0x0006, "ISOSpeed", "ISOSpeed", "0:ISO80,2:ISO160,4:ISO320,5:ISO100"},
    {0x0007, "WhiteBalance", "WhiteBalance",
     "0:Auto,1:Preset,2:Daylight,3:Incandescense,4:Fluorescence,5:Cloudy,6:SpeedLight"},
    {0x0008, "Focus", "Focus"},
    {0x0009, "Skip", "Skip"},
    {0x000A, "DigitalZoom", "DigitalZoom"},
    {0x000B, "Converter", "Converter", "0:Not used,1:Used"},
    {0x0F00, "Skip", "Skip"},
};

constexpr TagRow kNikonB[] = {
    {0x0001, "FamilyID", "Family ID"},
    {0x0002, "ISOSpeed", "ISO Speed"},
    {0x0003, "ColorMode", "Color Mode"},
    {0x0004, "Quality", "Quality"},
    {0x0005, "WhiteBalance", "White Balance"},
    {0x0006, "ImageSharpening", "Image Sharpening"},
    {0x0007, "FocusMode", "Focus Mode"},
    {0x0008, "FlashSetting", "Flash Setting"},
    {0x0009, "AutoFlashMode", "Auto Flash Mode"},
    {0x000A, "Skip", "Skip"},
    {0x000B, "WhiteBiasValue", "White Bias Value"},
    {0x000F, "DigitalZoom", "Digital Zoom"},
    {0x0010, "Skip", "Skip"},
    {0x0011, "Skip", "Skip"},
    {0x0080, "ImageAdjustment", "Image Adjustment"},
    {0x0081, "ImageAdjustment", "Image Adjustment"},
    {0x0082, "Adapter", "Adapter"},
    {0x0084, "LensInformation", "Lens information", "", "", &PlainRenderer<&RenderLensRange>},
    {0x0085, "ManualFocusDistance", "Manual Focus Distance"},
    {0x0086, "DigitalZoom", "Digital Zoom"},
    {0x0088, "FocusArea", "Focus Area"},
    {0x0089, "Mode", "Mode"},
    {0x008D, "ColorMode", "Color Mode", "", "", &PlainRenderer<&RenderColorMode>},
    {0x008F, "SceneMode", "Scene Mode"},
    {0x0092, "HueAdjustment", "Hue Adjustment"},
    {0x0094, "Saturation", "Saturation"},
    {0x0095, "NoiseReduction", "Noise Reduction"},
    {0x0F00, "Skip", "Skip"},
};

constexpr TagRow kOlympus[] = {
    {0x0200, "SpecialMode", "SpecialMode"},
    {0x0201, "JpegQual", "JpegQual", "1:SQ,2:HQ,3:SHQ,4:Raw"},
    {0x0202, "Macro", "Macro", "0=Normal,1:Macro;"},
    {0x0203, "Skip", "Skip"},
    {0x0204, "DigiZoom", "Digital Zoom Ratio"},
    {0x0205, "Skip", "Skip"},
    {0x0206, "Skip", "Skip"},
    {0x0207, "Firmware", "Firmware"},
    {0x0208, "PictInfo", "Picture Info"},
    {0x0209, "CameraID", "Camera ID"},
    {0x0F00, "Skip", "Skip"},
    {0x1004, "FlashMode", "Flash Mode"},
    {0x1006, "Bracket", "Bracket"},
    {0x100B, "FocusMode", "Focus Mode"},
    {0x100C, "FocusDistance", "Focus Distance"},
    {0x100D, "Zoom", "Zoom"},
    {0x100E, "MacroFocus", "Macro Focus"},
    {0x100F, "Sharpness", "Sharpness"},
    {0x1011, "ColorMatrix", "Color Matrix"},
    {0x1012, "BlackLevel", "Black Level"},
    {0x1015, "WhiteBalance", "White Balance"},
    {0x1017, "RedBias", "Red Bias"},
    {0x1018, "BlueBias", "Blue Bias"},
    {0x101A, "SerialNumber", "SerialNumber"},
    {0x1023, "FlashBias", "Flash Bias"},
    {0x1029, "Contrast", "Contrast"},
    {0x102A, "SharpnessFactor", "Sharpness Factor"},
    {0x102B, "ColorControl", "Color Control"},
    {0x102C, "ValidBits", "Valid Bits"},
    {0x102D, "Coring", "Coring Filter"},
    {0x102E, "FinalWidth", "Final Width"},
    {0x102F, "FinalHeight", "Final Height"},
    {0x1034, "CompressionRatio", "Compression Ratio"},
};

// Casio notes without the "QVC" header.
constexpr TagRow kCasioA[] = {
    {0x0001, "RecordingMode", "RecordingMode", "1:Single Shutter,2:Panorama,3:Night Scene,4:Portrait,5:Landscape"},
    {0x0002, "Quality", "Quality", "1:Economy,2:Normal,3:Fine"},
    {0x0003, "FocusingMode", "FocusingMode", "2:Macro,3:Auto Focus,4:Manual Focus,5:Infinity"},
    {0x0004, "FlashMode", "FlashMode", "1:Auto,2:On,3:Off,4:Red Eye Reduction"},
    {0x0005, "FlashIntensity", "FlashIntensity", "11:Weak,13:Normal,15:Strong"},
    {0x0006, "ObjectDistance", "ObjectDistance"},
    {0x0007, "WhiteBalance", "WhiteBalance", "1:Auto,2:Tungsten,3:Daylight,4:Fluorescent,5:Shade,129:Manual"},
    {0x0008, "Skip", "Skip"},
    {0x0009, "Skip", "Skip"},
    {0x000A, "DigitalZoom", "DigitalZoom", "65536:Off,65537:2X Digital Zoom"},
    {0x000B, "Sharpness", "Sharpness", "0:Normal,1:Soft,2:Hard"},
    {0x000C, "Contrast", "Contrast", "0:Normal,1:Low,2:High"},
    {0x000D, "Saturation", "Saturation", "0:Normal,1:Low,2:High"},
    {0x000E, "Skip", "Skip"},
    {0x000F, "Skip", "Skip"},
    {0x0010, "Skip", "Skip"},
    {0x0011, "Skip", "Skip"},
    {0x0012, "Skip", "Skip"},
    {0x0013, "Skip", "Skip"},
    {0x0014, "CCDSensitivity", "CCDSensitivity", "64:Normal,125:+1.0,250:+2.0,244:+3.0,80:Normal,100:High"},
    {0x0015, "Skip", "Skip"},
    {0x0016, "Skip", "Skip"},
    {0x0017, "Skip", "Skip"},
    {0x0018, "Skip", "Skip"},
    {0x0019, "Skip", "Skip"},
    {0x001A, "Skip", "Skip"},
};

// Casio notes that start with "QVC".
constexpr TagRow kCasioB[] = {
    {0x0002, "ThumbnailDimensions", "Thumbnail Dimensions"},
    {0x0003, "ThumbnailSize", "Thumbnail Size"},
    {0x0004, "ThumbnailOffset", "Thumbnail OffSet"},
    {0x0008, "Quality", "Quality", "1:Fine,2:Super Fine"},
    {0x0009, "ImageSize", "ImageSize",
     "0:640 x 480,4:1600 x 1200,5:2048 x 1536,20:2288 x 1712,21:2592 x 1944,22:2304 x 1728,36:3008 x 2008"},
    {0x000D, "FocusMode", "FocusMode", "0:Normal,1:Macro"},
    {0x0014, "IsoSensitivity", "IsoSensitivity", "3:50,4:64,6:100,9:200"},
    {0x0019, "WhiteBalance", "WhiteBalance", "0:Auto,1:Daylight,2:Shade,3:Tungsten,4:Fluorescent,5:Manual"},
    {0x001D, "FocalLength", "Focal Length (.1 mm)"},
    {0x001F, "Saturation", "Saturation", "0:-1,1:Normal,2:+1"},
    {0x0020, "Contrast", "Contrast", "0:-1,1:Normal,2:+1"},
    {0x0021, "Sharpness", "Sharpness", "0:-1,1:Normal,2:+1"},
    {0x0E00, "PIM", "\tPrint Image Matching Info"},
    {0x2000, "Skip", "Skip"},
    {0x2001, "Skip", "Skip"},
    {0x2002, "Skip", "Skip"},
    {0x2003, "Skip", "Skip"},
    {0x2011, "WhiteBalanceBias", "White Balance Bias"},
    {0x2013, "Skip", "Skip"},
    {0x2012, "WhiteBalance", "White Balance", "0:Manual,1:Auto,4:Flash,12:Flash"},
    {0x2021, "Skip", "Skip"},
    {0x2022, "ObjectDistance", "Object Distance (mm)"},
    {0x2023, "Skip", "Skip"},
    {0x2031, "Skip", "Skip"},
    {0x2032, "Skip", "Skip"},
    {0x2033, "Skip", "Skip"},
    {0x2034, "FlashDistance", "Flash Distance"},
    {0x3000, "RecordMode", "Record Mode", "2:Normal"},
    {0x3001, "SelfTimer", "Self Timer", "0:Off,1:On"},
    {0x3002, "Quality", "Quality", "1:Economy,2:Normal,3:Fine"},
    {0x3003, "FocusMode", "Focus Mode", "1:Fixed,3:Auto Focus,6:Multi-Area Auto Focus"},
    {0x3005, "Skip", "Skip"},
    {0x3006, "TimeZone", "Time Zone"},
    {0x3007, "BestshotMode", "Bestshot Mode", "0:Off,1:On"},
    {0x3011, "Skip", "Skip"},
    {0x3012, "Skip", "Skip"},
    {0x3013, "Skip", "Skip"},
    {0x3014, "CCDSensitivity", "CCD Sensitivity"},
    {0x3015, "ColorMode", "Color Mode", "0:Off,1:On"},
    {0x3016, "Enhancement", "Enhancement", "0:Off,1:On"},
    {0x3017, "Filter", "Filter", "0:Off,1:On"},
    {0x3018, "Skip", "Skip"},
    {0x3019, "Skip", "Skip"},
    {0x301A, "Skip", "Skip"},
    {0x301B, "Skip", "Skip"},
};

constexpr TagRow kFujifilm[] = {
    {0x0000, "Version", "Version"},
    {0x1000, "Quality", "Quality"},
    {0x1001, "Sharpness", "Sharpness", "1:Soft,2:Soft,3:Normal,4:Hard,5:Hard"},
    {0x1002, "WhiteBalance", "WhiteBalance",
     "0:Auto,256:Daylight,512:Cloudy,768:DaylightColor-fluorescence,769:DaywhiteColor-fluorescence,"
     "770:White-fluorescence,1024:Incandenscense,3840:Custom white balance."},
    {0x1003, "Color", "Color", "0:Normal,256:High,512:Low"},
    {0x1004, "Tone", "Tone", "0:Normal,256:High,512:Low"},
    {0x1010, "FlashMode", "FlashMode", "0:Auto,1:On,2:Off,3:Red-eye reduction"},
    {0x1011, "FlashStrength", "FlashStrength"},
    {0x1020, "Macro", "Macro", "0:Off,1:On"},
    {0x1021, "Focusmode", "Focusmode", "0:Auto Focus,1:Manual Focus"},
    {0x1030, "SlowSync", "SlowSync", "0:Off,1:On"},
    {0x1031, "PictureMode", "PictureMode",
     "0:Auto,1:Portrait scene,2:Landscape scene,4:Sports scene,5:Night scene,6:Program AE,"
     "256:Aperture prior AE,512:Shutter prior AE,768:Manual exposure"},
    {0x1032, "Skip", "Skip"},
    {0x1100, "ContTake/Bracket", "ContTake/Bracket", "0:Off,1:On"},
    {0x1200, "Skip", "Skip"},
    {0x1300, "BlurWarning", "BlurWarning", "0:No blur warning,1:Blur warning"},
    {0x1301, "FocusWarning", "FocusWarning", "0:Auto Focus good,1:Out of focus"},
    {0x1302, "AEWarning", "AEWarning", "0:AE good,1:Over exposure"},
};

constexpr TagRow kCanon[] = {
    {0x0000, "Skip", "Skip"},
    {0x0001, "ExposureInfo1", "ExposureInfo1", "", "", RenderCanonSettings},
    {0x0002, "Skip", "Skip"},
    {0x0003, "Skip", "Skip"},
    {0x0004, "ExposureInfo2", "ExposureInfo2", "", "", RenderCanonShotInfo},
    {0x0006, "ImageType", "ImageType"},
    {0x0007, "FirmwareVersion", "FirmwareVersion"},
    {0x0008, "ImageNumber", "ImageNumber"},
    {0x0009, "OwnerName", "OwnerName"},
    {0x000A, "Skip", "Skip"},
    {0x000B, "Skip", "Skip"},
    {0x000C, "CameraSerialNumber", "CameraSerialNumber"},
    {0x000D, "Skip", "Skip"},
    {0x000E, "Skip", "Skip"},
    {0x000F, "CustomFunctions", "CustomFunctions", "", "", RenderCanonCustom},
    {0x0010, "Skip", "Skip"},
};

constexpr TagRow kSeiko[] = {
    {0x0200, "Special Mode", "Special Mode"},
    {0x0201, "JpegQuality", "JpegQuality"},
    {0x0202, "Macro", "Macro"},
    {0x0203, "Skip", "Skip"},
    {0x0204, "DigiZoom", "DigiZoom"},
    {0x0209, "CameraID", "CameraID"},
    {0x020A, "Comments", "Comments"},
    {0x020B, "Width", "Width"},
    {0x020C, "Height", "Height"},
    {0x020D, "SoftRelease", "SoftRelease"},
    {0x0300, "??", "??"},
    {0x0F00, "skip", "skip"},
};

constexpr TagRow kSanyo[] = {
    {0x0200, "Special Mode", "Special Mode"},
    {0x0201, "JpegQuality", "JpegQuality"},
    {0x0202, "Macro", "Macro"},
    {0x0203, "Skip", "Skip"},
    {0x0204, "DigiZoom", "DigiZoom"},
    {0x0F00, "DataDump", "DataDump"},
};

constexpr TagRow kMinolta[] = {
    {0x0000, "ModelID", "ModelID"},
    {0x0E00, "PIMdata", "PIMdata"},
};

static_assert(std::size(kNikonA) == 11 && std::size(kNikonB) == 28 && std::size(kOlympus) == 33);
static_assert(std::size(kCasioA) == 26 && std::size(kCasioB) == 45 && std::size(kFujifilm) == 18);
static_assert(std::size(kCanon) == 16 && std::size(kSeiko) == 12 && std::size(kSanyo) == 6);
static_assert(std::size(kMinolta) == 2);

}  // namespace

MakerTable NikonTableA() { return kNikonA; }
MakerTable NikonTableB() { return kNikonB; }
MakerTable OlympusTable() { return kOlympus; }
MakerTable CasioTableA() { return kCasioA; }
MakerTable CasioTableB() { return kCasioB; }
MakerTable FujifilmTable() { return kFujifilm; }
MakerTable CanonTable() { return kCanon; }
MakerTable SeikoTable() { return kSeiko; }
MakerTable SanyoTable() { return kSanyo; }
MakerTable MinoltaTable() { return kMinolta; }

}  // namespace morvik
