// What the walk to a stamp far in a scan costs at the least: the lossless mode's pass over
// every MCU of each file's scan (McuDecoder::Skip: code lengths, value sizes and the DC
// sums, nothing stored), against libjpeg's own pass over the same MCUs when it skips rows
// (jpeg_skip_scanlines, which decodes them and throws them away), both on files already in
// memory. A stamp at the bottom-right walks nearly the whole scan, so its run cannot cost
// less than the first figure plus the reading and writing of the files.
//   bench_scan_walk [ROUNDS] FILE...   baseline JPEGs without restart markers; prints the
//                                      least CPU time over ROUNDS (9) of each, all files
#include "stamping/lossless/JpegStructure.h"
#include "stamping/lossless/McuCoding.h"

#include <jpeglib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace morvik;
using namespace morvik::lossless;

namespace {

double CpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// The least CPU time of `rounds` runs of work over every file.
template <class Work>
double Least(int rounds, const std::vector<std::string>& files, Work&& work)
{
    double least = 1e30;
    for (int r = 0; r < rounds; ++r) {
        const double start = CpuSeconds();
        for (const std::string& f : files)
            work(f);
        least = std::min(least, CpuSeconds() - start);
    }
    return least;
}

}  // namespace

int main(int argc, char** argv)
{
    int first = 1, rounds = 9;
    if (argc > 1 && std::string(argv[1]).find_first_not_of("0123456789") == std::string::npos) {
        rounds = std::max(1, std::atoi(argv[1]));
        first = 2;
    }
    std::vector<std::string> files;
    size_t codedBytes = 0;
    for (int i = first; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        JpegStructure s;
        try {
            s = ReadJpegStructure(bytes);
        } catch (const Exception& e) {  // no JPEG, or no file: nothing to measure
            std::fprintf(stderr, "%s: %s\n", argv[i], e.what());
            return 2;
        }
        if (!s.ReEncodeReason.empty() || s.RestartInterval != 0) {
            std::fprintf(stderr, "%s: not a baseline scan without restart markers\n", argv[i]);
            return 2;
        }
        codedBytes += bytes.size() - s.ScanStart;
        files.push_back(std::move(bytes));
    }
    if (files.empty()) {
        std::fprintf(stderr, "usage: bench_scan_walk [ROUNDS] FILE...\n");
        return 2;
    }

    int64_t sum = 0;  // the DC sums, so that the walk is not optimised away
    double walk = 0;
    try {
        walk = Least(rounds, files, [&](const std::string& f) {
            const JpegStructure s = ReadJpegStructure(f);
            const McuDecoder decoder(s);
            BitReader in(f, s.ScanStart, f.size());
            std::array<int, 4> pred{};
            decoder.Skip(in, pred, s.McuCount());
            sum += pred[0];
        });
    } catch (const Exception& e) {  // a damaged scan: its walk is no measure
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    }
    const double library = Least(rounds, files, [](const std::string& f) {
        jpeg_decompress_struct d{};
        jpeg_error_mgr e{};
        d.err = jpeg_std_error(&e);
        jpeg_create_decompress(&d);
        jpeg_mem_src(&d, reinterpret_cast<const unsigned char*>(f.data()), f.size());
        jpeg_read_header(&d, TRUE);
        jpeg_start_decompress(&d);
        // A skip to the very end returns at once; one that stops a row group short decodes
        // every MCU before it without storing or transforming it.
        const JDIMENSION group = JDIMENSION(d.max_v_samp_factor * DCTSIZE);
        jpeg_skip_scanlines(&d, d.output_height > group ? d.output_height - group : 0);
        jpeg_abort_decompress(&d);
        jpeg_destroy_decompress(&d);
    });
    const double mb = double(codedBytes) / 1e6;
    std::printf("walk of every scan (McuDecoder::Skip)   %.4f s   %.1f ms a file   %.0f MB/s   (DC sum %lld)\n",
                walk, 1e3 * walk / double(files.size()), mb / walk, static_cast<long long>(sum));
    std::printf("libjpeg's skip (jpeg_skip_scanlines)    %.4f s   %.1f ms a file   %.0f MB/s\n", library,
                1e3 * library / double(files.size()), mb / library);
    return 0;
}
