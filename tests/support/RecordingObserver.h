#pragma once
// A batch observer that hands every file the request of the same window records and records the name and the
// way of each output, for tests that check what a run wrote.
#include "stamping/FolderBatch.h"
#include "stamping/StampSettings.h"

#include <filesystem>
#include <string>
#include <vector>

namespace morvik::test {

class RecordingObserver : public TBatchObserver {
public:
    StampSettings Settings;
    StampControls Controls;
    std::vector<std::string> Written, Ways;
    StampRequest CurrentRequest() override { return RequestFromControls(Settings, Controls); }
    void FileWritten(const TBatchOutput& o) override
    {
        Written.push_back(std::filesystem::path(o.OutputPath).filename().string());
        Ways.push_back(o.Way ? WayText(*o.Way) : std::string());
    }
};

}  // namespace morvik::test
