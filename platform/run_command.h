// SPDX-License-Identifier: GPL-3.0-or-later
// Runs an external program the way the Windows command processor would: the
// current directory is searched before PATH.
#pragma once

// Starts program with the one argument, and waits for it to end. A program
// of that name in the current directory wins over one on PATH; the child
// gets this process's environment unchanged. The exit status is not
// reported; a program that cannot be started is named on stderr.
void runCommandHere(const char* program, const char* argument);
