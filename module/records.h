// SPDX-License-Identifier: GPL-3.0-or-later
// In-memory records of one loaded quiz module and the process-wide objects
// that hold it. Media blocks are owned by the loader, not by the records.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace Ravlin {
namespace RM_Reader {

// One question. Copies share the media blocks: they are references.
struct RM_Ask {
    char type = 0;
    std::wstring question;
    std::wstring answer;
    uint16_t points = 0;
    unsigned char* media = nullptr;
    uint32_t mediaSize = 0;
    unsigned char* video = nullptr;
    uint32_t videoSize = 0;
};

struct RM_Topic {
    std::wstring name;
    std::vector<RM_Ask> asks;
};

extern std::vector<RM_Topic> topics;
extern std::wstring packName;
extern std::wstring author;
extern std::tm creationTime;
// False until a module header has been read: creationTime holds no time then.
extern bool creationTimeKnown;
extern std::wstring loaderError;

} // namespace RM_Reader
} // namespace Ravlin
