#pragma once

namespace pellquin {

// Program-wide names, each used wherever its role occurs.
inline constexpr const char kProductName[] = "Pellquin";  // title, captions, service name
inline constexpr const char kHelpFileName[] = "Pellquin.chm";
inline constexpr const char kSettingsRootKey[] = "Software\\Morrowfen\\Pellquin";  // under HKCU
inline constexpr const char kServiceFileName[] = "PellquinService.exe";

}  // namespace pellquin
