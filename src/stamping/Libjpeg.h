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

namespace morvik {

// libjpeg reports a fatal error through error_exit, which must not return. We jump back
// to the step that called the library (no C++ object with a destructor lives in the
// frames jumped over) and throw from there.
struct LibjpegErrors {
    jpeg_error_mgr Pub;
    std::jmp_buf Jump;
    char Text[JMSG_LENGTH_MAX];  // the library's own words for the error
};

extern "C" inline void LibjpegJumpOnError(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<LibjpegErrors*>(cinfo->err);
    err->Pub.format_message(cinfo, err->Text);
    std::longjmp(err->Jump, 1);
}

// Warnings and trace messages are counted by the library (num_warnings) and otherwise dropped.
extern "C" inline void LibjpegDropMessage(j_common_ptr) {}

inline void InitLibjpegErrors(LibjpegErrors& err)
{
    jpeg_std_error(&err.Pub);
    err.Pub.error_exit = LibjpegJumpOnError;
    err.Pub.output_message = LibjpegDropMessage;
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
