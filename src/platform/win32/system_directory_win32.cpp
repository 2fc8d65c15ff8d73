#include "platform/system_directory.h"

#include <windows.h>

namespace pellquin {

std::string SystemDirectory() {
    // The 255 characters the service-control code allows for it.
    char buffer[255] = {};
    const UINT length = GetSystemDirectoryA(buffer, sizeof buffer);
    if (length == 0 || length >= sizeof buffer) {
        return std::string();
    }
    return std::string(buffer, length);
}

}  // namespace pellquin
