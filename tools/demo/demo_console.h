// The console text the reader must print for a module: the loader's trace
// and the listing, worked out from the module as written, not as read back.
#pragma once

#include <string>

#include "packing/module_writer.h"

// UTF-8 lines, each ended with '\n'. The creation time is shown for a clock
// utcOffsetSeconds east of UTC. False with error set when the file offsets
// worked out here disagree with writtenSize, the size of the written module.
bool expectedConsole(const rvlpack::Module& module, long utcOffsetSeconds, size_t writtenSize, std::string& text,
                     std::string& error);
