// The window's reading of a photo when memory runs out: a message, never a dead window.
#include "metadata/file/PhotoMetadata.h"
#include "support/MemoryLimit.h"
#include "support/TestSupport.h"
#include "ui/EngineBridge.h"
#include "ui/UiTestSupport.h"

#include <gtest/gtest.h>

using namespace morvik;

TEST(PhotoReading, RunningOutOfMemoryIsShownAsTheFilesFailure)
{
    test::TempDir dir;
    const std::string path = (dir / "crowded.jpg").string();
    test::WriteFile(path, test::JpegOutgrowingMemory());
    test::ScriptedDialogs dialogs;
    {
        test::MemoryLimit limit(test::kReadingLimit);
        ui::RunHandler(dialogs, nullptr, [&] { ui::ReadPhoto(path, 0, PhotoDateSource::DateTimeOriginal); });
    }
    EXPECT_EQ(dialogs.Messages,
              QStringList{QString::fromStdString("Cannot read file \"" + path + "\". " + kOutOfMemoryText)});
}
