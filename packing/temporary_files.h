// SPDX-License-Identifier: GPL-3.0-or-later
// Temporary files and folders the pack tool is holding (a video copy for
// the reader's capture, a pack being written): removed when an interrupt
// or a termination ends the tool, as they are on every other path.
#pragma once

#include <string>

namespace rvlpack {

// Removes the held paths on SIGINT and SIGTERM, then ends as the signal would.
void removeTemporariesOnSignal();

// Holds path (a file, or an empty folder once its files are released) until
// it is released. Only a few are held at once; more are not cleaned up.
void holdTemporary(const std::string& path);
void releaseTemporary(const std::string& path);

} // namespace rvlpack
