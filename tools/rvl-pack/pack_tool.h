// SPDX-License-Identifier: GPL-3.0-or-later
// The pack tool's commands, callable in-process (the tests do) as well as
// from rvl-pack's entry function.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace rvlpack {

// Runs one command line (argv[0] the program's name): listings go to out,
// findings to err. Returns the exit status: 0 clean, 1 warnings, 2 errors.
int runPackTool(const std::vector<std::string>& argv, FILE* out, FILE* err);

} // namespace rvlpack
