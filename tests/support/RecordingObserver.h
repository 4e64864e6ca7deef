#pragma once
// A batch observer that hands every file the same controls and records the name and the
// way of each output, for tests that check what a run wrote.
#include "stamping/FolderBatch.h"

#include <filesystem>
#include <string>
#include <vector>

namespace morvik::test {

class RecordingObserver : public TBatchObserver {
public:
    TBatchControls Controls;
    std::vector<std::string> Written, Ways;
    TBatchControls CurrentControls() override { return Controls; }
    void FileWritten(const TBatchOutput& o) override
    {
        Written.push_back(std::filesystem::path(o.OutputPath).filename().string());
        Ways.push_back(o.Way ? WayText(*o.Way) : std::string());
    }
};

}  // namespace morvik::test
