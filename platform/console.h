// Console output: the wide stream writes UTF-8 bytes to the same stdout as
// the narrow stream, so lines of both appear in the order they were written.
#pragma once

// Points std::wcout at a UTF-8 writer on stdout. Call before any output.
void installUtf8Console();
