// Time to build the cross-stitch chart of a 1600×1200 picture at a cell size of 3.
// Target: under 50 ms on one core. Usage: bench_mosaic_chart [rounds]
#include "stamping/Mosaic.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <time.h>

using namespace morvik;

namespace {

// CPU time of this thread: what the build costs on one core, whatever else the machine runs.
double ThreadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

}  // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    Picture source(1600, 1200);
    for (int y = 0; y < source.Height(); ++y)
        for (int x = 0; x < source.Width(); ++x)
            source.SetPixel(x, y, RgbColor(uint8_t(x), uint8_t(y), uint8_t(x + y)));

    int columns = 0;
    MosaicCallbacks callbacks;
    callbacks.ProcessEvents = [&] { ++columns; };
    std::vector<double> wall, cpu;
    for (int round = 0; round < rounds; ++round) {
        const double cpuStart = ThreadCpuMs();
        const auto start = std::chrono::steady_clock::now();
        MosaicResult result = BuildMosaicChart(source, 3, callbacks);
        const auto end = std::chrono::steady_clock::now();
        cpu.push_back(ThreadCpuMs() - cpuStart);
        if (result.Chart.Width() != 4800 || result.Chart.Height() != 3600)
            return 1;
        wall.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    std::printf("mosaic chart 1600x1200 N=3 -> 4800x3600 over %d rounds (target < 50 ms):\n"
                "  wall min %.1f ms, median %.1f ms; thread CPU min %.1f ms, median %.1f ms\n",
                rounds, wall.front(), wall[wall.size() / 2], cpu.front(), cpu[cpu.size() / 2]);
    return 0;
}
