#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# licence_check.sh SOURCE_DIR: fails on a source file, script or CMake file
# whose header does not name the project's licence.
set -u
cd "${1:?usage: licence_check.sh SOURCE_DIR}" || exit 2
status=0
while IFS= read -r file; do
  head -n 3 "$file" | grep -q 'SPDX-License-Identifier: GPL-3.0-or-later' || { echo "$file: no SPDX line"; status=1; }
done < <(find . \( -path './build*' -o -path './.git' -o -path './fuzz/seeds' -o -path './tests/fuzz_regressions' \) -prune -o \
           -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.sh' -o -name '*.cmake' -o -name CMakeLists.txt \) -print | sort)
exit $status
