#include "platform/system_directory.h"

#include <windows.h>

namespace pellquin {

std::string SystemDirectory() {
    char buffer[MAX_PATH + 1] = {};
    const UINT length = GetSystemDirectoryA(buffer, sizeof buffer);
    if (length == 0 || length >= sizeof buffer) {
        return std::string();
    }
    return std::string(buffer, length);
}

}  // namespace pellquin
