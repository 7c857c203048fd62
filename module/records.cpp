// SPDX-License-Identifier: GPL-3.0-or-later
// Storage of the process-wide module objects.
#include "module/records.h"

namespace Ravlin {
namespace RM_Reader {

std::vector<RM_Topic> topics;
std::wstring packName;
std::wstring author;
std::tm creationTime{};
bool creationTimeKnown = false;
std::wstring loaderError;

} // namespace RM_Reader
} // namespace Ravlin
