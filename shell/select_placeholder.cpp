// PLACEHOLDER until the selection screen lands: the path comes from RVL_MODULE.
#include <cstdlib>

#include "platform/utf16.h"
#include "shell/select_module.h"

std::wstring selectModuleFile() {
    const char* path = getenv("RVL_MODULE");
    return utf8ToUtf16(path ? path : "");
}
