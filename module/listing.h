// SPDX-License-Identifier: GPL-3.0-or-later
// Console listing of the loaded module.
#pragma once

void printModule();
