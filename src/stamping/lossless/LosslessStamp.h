#pragma once
// Stamping a baseline JPEG without re-encoding it: only the MCUs under the stamp are
// decoded, drawn into and encoded again, with the file's own quantization and Huffman
// tables; every other MCU keeps its coefficients and, where it can, its coded bits. Where
// the recoded blocks have trailing zeros to spare, sixteen-zero codes end each recoded run
// at the bit position the source's next MCU starts at, so the data after it is copied
// byte for byte rather than moved bit by bit.
//
// A progressive, arithmetic-coded or multi-scan picture has all its coefficients read
// by libjpeg and written back in its own process (CoefficientStamp.h), the blocks outside
// the stamp's MCUs keeping theirs. A picture that cannot be stamped either way (12-bit,
// CMYK, lossless or hierarchical process, …) is reported with the reason, for the caller
// to take the decode/encode path. So is a scan cut short or corrupt where it must be read ("damaged
// data: …"). Damage that lies after the stamp's MCUs and the MCU that follows them is
// kept as it stands: the way stays lossless and the outcome says the source is damaged.
// An inconsistency of the splice itself raises ELosslessInternal, the file's own failure.
//
// Memory: the file's bytes, the output's, and the pixels and coefficients of the MCUs
// under the stamp (with one MCU around them); never the whole decoded picture. A frame
// larger than its coded data could fill is handed to the decode/encode path before
// anything is allocated for it.
#include "stamping/Picture.h"
#include "stamping/StampDrawing.h"
#include "stamping/lossless/EntropyCoding.h"  // ECorruptScan
#include "stamping/lossless/McuPixels.h"      // RegionPainter

#include <functional>
#include <string>
#include <string_view>

namespace morvik {

using lossless::ECorruptScan;

// A slip of the splice's own bookkeeping: "Internal error in the lossless stamp: …".
class ELosslessInternal : public Exception {
public:
    explicit ELosslessInternal(const std::string& what) : Exception("Internal error in the lossless stamp: " + what) {}
};

struct LosslessStampRequest {
    PixelBox Box;          // where every pixel the painter may change lies
    RegionPainter Paint;
    // Keep every section before the scan. Off: only what a decoder needs (quantization
    // and Huffman tables, frame, restart interval) and the ICC profile stay, with the
    // default JFIF header in place of the other APPn and comment sections.
    bool KeepMetadata = true;
};

enum class LosslessWay {
    Lossless,           // every block outside the stamp's MCUs kept, tables kept
    LosslessNewTables,  // the same blocks, the scan coded again with new Huffman tables
    LosslessRecoded,    // the same blocks, read and written by libjpeg in the source's process
    ReEncode,           // not possible: Reason says why
};

// Whether the source's coded data was found damaged where the splice did not need it.
enum class SourceDamage {
    None,
    AfterStamp,  // kept in the output as it stands
};

struct LosslessOutcome {
    LosslessWay Way = LosslessWay::ReEncode;
    std::string Reason;  // for ReEncode: "progressive", "CMYK", "damaged data: …"
    std::string Jpeg;    // the stamped file, unless ReEncode
    SourceDamage Damage = SourceDamage::None;
    // The stamp's new coefficients were moved to the nearest ones the file's own Huffman
    // tables code (tables fitted to the photo lack codes a stamp's edges need).
    bool StampFitted = false;
    // One or two coefficients under the stamp were moved by one step, so that the long
    // scan after the stamp follows byte for byte: no sixteen-zero codes could realign it,
    // and finding where its data ends would have meant reading all of it.
    bool StampAligned = false;
    // The report line: "lossless", "lossless, new Huffman tables", "lossless, picture data
    // coded again" or "re-encoded: <reason>",
    // with ", damaged data after the stamp kept" for a damaged source.
    std::string Report() const;
};

// The room a stamped file of a source of `sourceSize` bytes takes as a rule (a stamp's
// MCUs coded anew may take more than they did).
size_t LosslessRoom(size_t sourceSize);

// Stamps a JPEG file held in memory. Raises EJPEG for a header libjpeg refuses (as a
// decode would).
LosslessOutcome StampLossless(std::string_view jpeg, const LosslessStampRequest& request);

// The stamp itself: the text with the look, placed by PlaceStamp on the photo's stored
// size and its EXIF Orientation and drawn by DrawPlacedStamp, so the pixels under it are
// those DrawStamp gives; the MCUs coded again are those the placement's bounds touch.
// `storage` is taken over for the stamped file, so that a buffer of an earlier file serves
// again without fresh memory pages.
LosslessOutcome StampLossless(std::string_view jpeg, std::string_view text, const StampLook& look, int orientation,
                              bool keepMetadata, std::string storage = {});

}  // namespace morvik
