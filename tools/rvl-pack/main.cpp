// SPDX-License-Identifier: GPL-3.0-or-later
// rvl-pack: builds .rvl quiz packs from a JSON manifest and media files,
// unpacks them again, and checks them against what the reader can show.
// Exit status: 0 clean, 1 warnings, 2 errors.
#include <csignal>

#include "packing/temporary_files.h"
#include "platform/texts.h"
#include "tools/rvl-pack/pack_tool.h"

int main(int argc, char** argv) {
    // Over a file size limit, let the write fail (and be cleaned up) rather
    // than have the signal end the process with a temporary file left over.
    signal(SIGXFSZ, SIG_IGN);
    rvlpack::removeTemporariesOnSignal();
    initTexts();  // messages in the desktop's language
    return rvlpack::runPackTool(std::vector<std::string>(argv, argv + argc), stdout, stderr);
}
