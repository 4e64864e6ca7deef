#pragma once
// The JSON object morvik-cli info writes for one file; extend it here with further
// parts of the reader's findings.
#include "metadata/file/PhotoMetadata.h"

#include <nlohmann/json.hpp>

#include <string>

namespace morvik::cli {

// fileName as given on the command line; read is the result of ReadMetadata.
nlohmann::json InfoJson(const std::string& fileName, bool read, const PhotoMetadata& data);

}  // namespace morvik::cli
