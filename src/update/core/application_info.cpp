#include "update/core/application_info.h"

#include <cstdio>

namespace pellquin {

std::string FormattedVersion() {
    char text[32];
    std::snprintf(text, sizeof text, kVersionFormat, CurrentVersion);
    return text;
}

}  // namespace pellquin
