#pragma once
// The temporary files our writers put beside a target before renaming them over it:
// hidden, short names ".morvik-<process id>-<serial>.tmp", which no "*.jpg" listing picks
// up. A process killed while writing leaves its temporary file behind; the next batch
// over the folder removes such leftovers of processes that no longer run.
#include <string>

namespace morvik {

// folder (with its trailing '/', or empty for the current folder), ".morvik-", this
// process's id, "-", tag, ".tmp".
std::string TemporaryFileName(const std::string& folder, const std::string& tag);

// Removes the temporary files in folder whose writing process has ended; returns how many.
// Files of running processes, and anything else, are left alone.
int RemoveStaleTemporaryFiles(const std::string& folder);

}  // namespace morvik
