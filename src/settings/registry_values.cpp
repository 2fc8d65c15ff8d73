#include "settings/registry_values.h"

namespace pellquin {

uint32_t ReadRegistryInteger(RegistryKey& key, const std::string& name, int32_t* value) {
    uint32_t type = kRegNone;
    std::string data;
    const uint32_t status = key.QueryValue(name, &type, &data);
    if (status != kRegSuccess) {
        return status;
    }
    if (type != kRegDword || data.size() != 4) {
        return kRegUnsupportedType;
    }
    uint32_t bits = 0;
    for (int i = 3; i >= 0; --i) {
        bits = (bits << 8) | static_cast<unsigned char>(data[i]);
    }
    *value = static_cast<int32_t>(bits);
    return kRegSuccess;
}

uint32_t ReadRegistryText(RegistryKey& key, const std::string& name, std::string* text) {
    uint32_t type = kRegNone;
    std::string data;
    const uint32_t status = key.QueryValue(name, &type, &data);
    if (status == kRegFileNotFound) {
        text->clear();
        return kRegSuccess;
    }
    if (status != kRegSuccess) {
        return status;
    }
    if (type != kRegSz && type != kRegExpandSz) {
        return kRegUnsupportedType;
    }
    *text = std::move(data);
    return kRegSuccess;
}

uint32_t WriteRegistryInteger(RegistryKey& key, const std::string& name, int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    std::string data(4, '\0');
    for (int i = 0; i < 4; ++i) {
        data[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
    }
    return key.SetValue(name, kRegDword, data);
}

uint32_t WriteRegistryText(RegistryKey& key, const std::string& name, const std::string& text) {
    return key.SetValue(name, kRegSz, text);
}

}  // namespace pellquin
