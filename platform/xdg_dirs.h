// SPDX-License-Identifier: GPL-3.0-or-later
// Per-user base directories (data, configuration) by the XDG rules: the
// variable when it holds an absolute path, otherwise the default under $HOME.
#pragma once

#include <cstdlib>
#include <string>

// Returns DIR/rvl-reader for the variable's directory, or "" when neither it
// nor HOME gives an absolute path. A relative value is ignored, as the rules say.
inline std::string xdgAppDirectory(const char* variable, const char* underHome) {
    const char* dir = std::getenv(variable);
    if (dir && dir[0] == '/') return std::string(dir) + "/rvl-reader";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/" + underHome + "/rvl-reader";
    return "";
}
