#pragma once

#include <string>

namespace pellquin {

// What the About box shows, and where new versions are announced. The maker's addresses use
// the reserved .example domain.
inline constexpr double CurrentVersion = 2.1;
inline constexpr const char kVersionFormat[] = "%1.2lf";
inline constexpr const char WebAddress[] = "http://www.morrowfen.example";
inline constexpr const char CopyrightText[] = "Copyright (c) 2003-2026 Morrowfen Software";
inline constexpr const char kVersionsFileUrl[] =
    "http://www.morrowfen.example/versions/versions.xml";

// CurrentVersion as shown: two decimals, a point as separator ("2.10").
std::string FormattedVersion();

}  // namespace pellquin
