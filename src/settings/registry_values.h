#pragma once

#include <cstdint>
#include <string>

#include "platform/registry.h"

namespace pellquin {

// Typed reads and writes of single values, with the rules every settings load and save
// shares. Each returns kRegSuccess or the status that ends the operation.

// Succeeds only for an existing kRegDword value; the four bytes are taken as a signed number.
uint32_t ReadRegistryInteger(RegistryKey& key, const std::string& name, int32_t* value);

// A missing value reads as the empty string and succeeds; kRegSz and kRegExpandSz give their
// text as stored (not expanded); any other type fails with kRegUnsupportedType.
uint32_t ReadRegistryText(RegistryKey& key, const std::string& name, std::string* text);

uint32_t WriteRegistryInteger(RegistryKey& key, const std::string& name, int32_t value);
uint32_t WriteRegistryText(RegistryKey& key, const std::string& name, const std::string& text);

}  // namespace pellquin
