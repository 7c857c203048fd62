// SPDX-License-Identifier: GPL-3.0-or-later
// The chooser's result file holds one module string; a cut file counts as
// "nothing chosen" rather than handing a partial path to the loader.
#include "shell/chooser_result.h"

#include "module/read_primitives.h"
#include "platform/chooser_record.h"

bool readChooserResult(FILE* file, std::wstring& path) { return chooser::decodeRecord(file, path, readString); }
