// SPDX-License-Identifier: GPL-3.0-or-later
// The console text the reader must print for a module: the loader's trace
// and the listing, worked out from the module and its written bytes.
#pragma once

#include <string>
#include <vector>

#include "packing/module_writer.h"

// UTF-8 lines, each ended with '\n'. The creation time is shown for a clock
// utcOffsetSeconds east of UTC. False with error set when the written bytes
// do not read back as a module.
bool expectedConsole(const rvlpack::Module& module, long utcOffsetSeconds, const std::vector<uint8_t>& written,
                     std::string& text, std::string& error);
