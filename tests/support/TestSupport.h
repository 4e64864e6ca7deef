#pragma once
// Helpers shared by every test program: paths to sample data and temporary folders.
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

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);

}  // namespace morvik::test
