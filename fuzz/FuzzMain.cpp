// One libFuzzer program per target; MORVIK_FUZZ_TARGET names the target this one runs.
#include "fuzz/FuzzTargets.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const morvik::fuzz::Target target = morvik::fuzz::FindTarget(MORVIK_FUZZ_TARGET);
    if (const char* broken = target({reinterpret_cast<const char*>(data), size})) {
        std::fprintf(stderr, "%s: %s\n", MORVIK_FUZZ_TARGET, broken);
        std::abort();
    }
    return 0;
}
