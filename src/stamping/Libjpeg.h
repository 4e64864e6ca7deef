#pragma once
// How the engine calls libjpeg: a fatal error of the library jumps back to the step that
// called it, which hands the library's message number to C++ code that throws. For the
// engine's own files only; callers use Jpeg.h.
#include "stamping/Jpeg.h"  // EJPEG
#include "stamping/Picture.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>
#include <jerror.h>

namespace morvik {

// libjpeg reports a fatal error through error_exit, which must not return. We jump back
// to the step that called the library (no C++ object with a destructor lives in the
// frames jumped over) and throw from there.
struct LibjpegErrors {
    jpeg_error_mgr Pub;
    std::jmp_buf Jump;
    char Text[JMSG_LENGTH_MAX];  // the library's own words for the error
    // The worst damage of the picture data the library's warnings told of.
    PictureDamage Damage = PictureDamage::None;
    // Scans whose data ended before their last block, and the last of them.
    int CutScans = 0;
    int LastCutScan = 0;
};

// A progressive stream may split its data into any number of scans, and each costs a
// pass over the whole coefficient buffer: past this many the stream is no camera's or
// editor's (they write about ten) and its decoding ends as a failure.
constexpr int kMaxJpegScans = 300;

extern "C" inline void LibjpegJumpOnError(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<LibjpegErrors*>(cinfo->err);
    err->Pub.format_message(cinfo, err->Text);
    std::longjmp(err->Jump, 1);
}

// Warnings and trace messages are dropped once looked at: a warning about the picture
// data (cut short, a bad code) is kept as the picture's damage, since the library goes on
// past it with grey in place of what it could not read. A scan sequence that makes no
// sense is the way a stream with endless scans announces itself: it ends the decoding.
extern "C" inline void LibjpegDropMessage(j_common_ptr) {}
extern "C" inline void LibjpegLookAtMessage(j_common_ptr cinfo, int level)
{
    if (level >= 0)
        return;
    auto* err = reinterpret_cast<LibjpegErrors*>(cinfo->err);
    ++err->Pub.num_warnings;
    switch (err->Pub.msg_code) {
    case JWRN_HIT_MARKER:
        // A file cut short cuts one scan. Scan after scan cut short, each followed by
        // another, is no photo but a stream made to cost a pass over the whole picture
        // for every few bytes: it ends the decoding.
        if (cinfo->is_decompressor) {
            const int scan = reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number;
            if (scan != err->LastCutScan) {
                err->LastCutScan = scan;
                if (++err->CutScans > 2) {
                    std::snprintf(err->Text, sizeof err->Text, "Corrupt JPEG data: scan after scan cut short");
                    std::longjmp(err->Jump, 1);
                }
            }
        }
        [[fallthrough]];
    case JWRN_JPEG_EOF:
        if (err->Damage == PictureDamage::None)
            err->Damage = PictureDamage::EndsEarly;
        break;
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
        err->Damage = PictureDamage::Broken;
        break;
    case JWRN_BOGUS_PROGRESSION:
        LibjpegJumpOnError(cinfo);
        break;
    default:
        break;
    }
}

// Ends the decoding of a stream past kMaxJpegScans scans with the library's bogus
// progression error.
extern "C" inline void LibjpegLimitScans(j_common_ptr cinfo)
{
    if (!cinfo->is_decompressor)
        return;
    const auto* info = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (info->input_scan_number > kMaxJpegScans) {
        auto* err = reinterpret_cast<LibjpegErrors*>(cinfo->err);
        err->Pub.msg_code = JERR_BAD_PROGRESSION;
        std::snprintf(err->Text, sizeof err->Text, "Corrupt JPEG data: more than %d scans", kMaxJpegScans);
        std::longjmp(err->Jump, 1);
    }
}

// Huffman codes take at least one bit for every 8×8 block of a scan, even of a flat grey
// picture: data after the header shorter than an eighth of the first scan's blocks cannot
// be the picture the header claims. (Arithmetic coding may take less; its streams pass.)
// `info` has just read its header; `dataAfterHeader` counts the bytes from the first
// scan's data to the end. Data above that floor that still ends early is a damaged photo.
inline bool DataTooShortForFrame(const jpeg_decompress_struct& info, size_t dataAfterHeader)
{
    if (info.arith_code)
        return false;
    uint64_t blocks = 0;
    for (int i = 0; i < info.comps_in_scan; ++i)
        blocks += uint64_t(info.cur_comp_info[i]->width_in_blocks) * info.cur_comp_info[i]->height_in_blocks;
    return dataAfterHeader < blocks / 8;
}

inline void InitLibjpegErrors(LibjpegErrors& err)
{
    jpeg_std_error(&err.Pub);
    err.Pub.error_exit = LibjpegJumpOnError;
    err.Pub.output_message = LibjpegDropMessage;
    err.Pub.emit_message = LibjpegLookAtMessage;
}

// The scan limit for a decompressor; `progress` lives as long as info.
inline void LimitJpegScans(jpeg_decompress_struct& info, jpeg_progress_mgr& progress)
{
    progress.progress_monitor = LibjpegLimitScans;
    info.progress = &progress;
}

constexpr int kLibjpegOk = -1;

// Runs one step of library calls; kLibjpegOk, or the message number of the error it met.
// The step must only call the library and touch plain data.
template <class Step>
int LibjpegGuarded(LibjpegErrors& err, Step&& step)
{
    if (setjmp(err.Jump) != 0)
        return err.Pub.msg_code;
    step();
    return kLibjpegOk;
}

// EJPEG with the library's number and words for the error a guarded step met, if any.
inline void ThrowIfLibjpegFailed(const LibjpegErrors& err, int code)
{
    if (code != kLibjpegOk)
        throw EJPEG(code, err.Text);
}

// Encodes a picture's RGB pixels; configure sets the compressor up (colour space, tables,
// sampling) after the image's size and input format are set. EJPEG on the library's errors.
std::string EncodeJpegWith(const Picture& picture, const std::function<void(jpeg_compress_struct&)>& configure);

}  // namespace morvik
