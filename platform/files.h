// SPDX-License-Identifier: GPL-3.0-or-later
// Small file-system chores shared by the reader and its tools: the running
// program's own path, folders made and tested and removed, the creation mask.
#pragma once

#include <sys/types.h>

#include <string>

// The running program's file, or "" when it cannot be found.
std::string executablePath();
// The folder holding it, or "" when it cannot be found.
std::string executableDirectory();

bool isDirectory(const std::string& path);

// mkdir -p: makes every missing folder of path with mode. False when path
// cannot be made a folder, with "mkdir(\"FOLDER\"): REASON" in error.
bool makeDirectories(const std::string& path, mode_t mode, std::string* error = nullptr);

// Removes path and everything under it; symbolic links go, never what they
// point at. Missing entries are no failure.
void removeTree(const std::string& path);

// The process's file creation mask, read without changing it.
mode_t creationMask();
// Gives fd the mode that creating its file plainly (0666) would have given:
// mkstemp makes files for their owner alone.
void giveCreationMode(int fd);
