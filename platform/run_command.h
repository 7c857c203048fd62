// Runs an external program the way the Windows command processor would: the
// current directory is searched before PATH.
#pragma once

// Runs commandLine through the shell and waits for it to end. For this one
// call the current directory comes first in PATH; PATH is restored
// afterwards. The command's exit status is not reported.
void runCommandHere(const char* commandLine);
