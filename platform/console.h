// SPDX-License-Identifier: GPL-3.0-or-later
// Console output: the wide stream writes UTF-8 bytes to the same stdout as
// the narrow stream, so lines of both appear in the order they were written.
#pragma once

// Points std::wcout at a UTF-8 writer on stdout. Call before any output and
// before any file is opened: closed descriptors 0-2 are opened onto
// /dev/null, and SIGPIPE is ignored, so that console output a closed pipe or
// descriptor cannot take is dropped while the program goes on.
void installUtf8Console();
