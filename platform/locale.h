// SPDX-License-Identifier: GPL-3.0-or-later
// Sets the process locale to Russian where the system has one.
#pragma once

// Returns the name of the locale that was set, or nullptr when none was.
const char* setRussianLocale();
