#pragma once
// The temporary files our writers put beside a target before renaming them over it:
// hidden, short names ".morvik-<process id>-<serial>.tmp", which no "*.jpg" listing picks
// up. Its writer holds a lock on the file (flock, which network file systems carry to
// other hosts) until the file has its final name. A process killed while writing leaves
// its temporary file behind; the next batch over the folder removes such leftovers. A
// process id alone cannot tell a dead writer from one in another PID namespace (a
// container, another host on a shared folder), so a file is removed only when no process
// of its id runs here and no one holds its lock. The clean-up removes a file while it
// holds the lock itself, and a writer that takes its lock on a fresh file checks that the
// file still has its name, so a file made in the moment before its lock is never lost.
#include <string>

namespace morvik {

// folder (with its trailing '/', or empty for the current folder), ".morvik-", this
// process's id, "-", tag, ".tmp".
std::string TemporaryFileName(const std::string& folder, const std::string& tag);

// Removes the temporary files in folder that no writer holds any more; returns how many.
// Files of live writers, and anything else, are left alone.
int RemoveStaleTemporaryFiles(const std::string& folder);

// Takes the writer's lock on a temporary file just made (fd open on it), waiting for a
// clean-up that holds it. False when the clean-up removed the file first: the writer makes
// another. The lock lasts while any descriptor duplicated from fd is open; a file system
// without locks gives true and no lock.
bool LockTemporaryFile(int fd);

}  // namespace morvik
