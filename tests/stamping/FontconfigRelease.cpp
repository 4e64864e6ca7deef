// fontconfig keeps its configuration for the life of the process; releasing it after the
// last test lets a leak checker (the address sanitizer build) report only our own leaks.
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

namespace {

class FontconfigRelease : public ::testing::Environment {
public:
    void TearDown() override { FcFini(); }
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new FontconfigRelease);

}  // namespace
