#pragma once
// Output files written whole and safely, for the programs: a reader never sees half a file, and a
// path the user did not mean (a planted link, a device, a read-only file) is refused, not replaced.

#include <string>

namespace tools {

// Writes content to path through a temporary created exclusively in the same folder, then renames
// it over path. Refuses a path that exists and is not a regular file (links are not followed) or
// that the user may not write; a replaced file keeps its permissions. Every write and the close
// are checked; on any failure the temporary is removed and path is left as it was.
// Returns an empty string on success, else why it failed ("not a regular file", "Permission denied").
std::string writeWhole(const std::string& path, const std::string& content);

// The checks writeWhole makes before it writes, for a program to run before a long job: why path
// cannot be written ("not a regular file", "read-only file", "No such file or directory"), or "".
std::string checkTarget(const std::string& path);

}  // namespace tools
