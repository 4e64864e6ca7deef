#pragma once
// Helpers shared by every test program: paths to sample data and temporary folders.
#include "platform/FormatSettings.h"

#include <filesystem>
#include <string>

namespace morvik::test {

// ../shared/samples/camera beside the project, or empty when it is absent.
std::filesystem::path CameraSamplesDir();

// Skips the current test when the camera samples are not there.
#define MORVIK_REQUIRE_CAMERA_SAMPLES()                                            \
    do {                                                                           \
        if (morvik::test::CameraSamplesDir().empty())                              \
            GTEST_SKIP() << "../shared/samples/camera is absent";                  \
    } while (0)

std::filesystem::path TestDataDir();

// A fresh folder under the system's temporary folder, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// The process-wide regional settings set for the life of the object, and what was there
// before put back after it: a test (or a fixture, as a member) that needs particular
// settings holds one, so no test leaves its settings to the tests run after it.
class ScopedFormatSettings {
public:
    explicit ScopedFormatSettings(const TFormatSettings& settings = TFormatSettings::English())
        : saved_(FormatSettings())
    {
        FormatSettings() = settings;
    }
    ~ScopedFormatSettings() { FormatSettings() = saved_; }
    ScopedFormatSettings(const ScopedFormatSettings&) = delete;
    ScopedFormatSettings& operator=(const ScopedFormatSettings&) = delete;

private:
    TFormatSettings saved_;
};

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);

}  // namespace morvik::test
