#pragma once

#include <cstdint>

namespace pellquin {

// The Win32 status codes the program decides on. Named apart from the Windows macros of the
// same meaning, which would otherwise replace them wherever <windows.h> is included.
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorInvalidName = 123;
constexpr uint32_t kErrorFilenameTooLong = 206;  // ERROR_FILENAME_EXCED_RANGE
constexpr uint32_t kErrorMoreData = 234;
constexpr uint32_t kErrorTimeout = 1460;  // ERROR_TIMEOUT
constexpr uint32_t kErrorNotConnected = 2250;

}  // namespace pellquin
