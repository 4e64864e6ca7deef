#include "makernotes/MakerNotes.h"

namespace morvik {

TmsInfo::TmsInfo(bool fromTiff, TImageInfo* info) : fromTiff_(fromTiff), info_(info) {}

// Filled in with the maker tables; until then no note is decoded.
bool TmsInfo::DecodeMakerNote() { return false; }

}  // namespace morvik
