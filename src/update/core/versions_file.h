#pragma once

#include <string>

namespace pellquin {

// What the versions file says about one product.
struct VersionsFileEntry {
    enum class Kind {
        Found,      // version and url hold the texts of "Version" and "URL"
        Missing,    // "ProductVersions", the product's element, "Version" or "URL" is absent
        Malformed,  // not well-formed XML, or "Version"/"URL" holds more than one text; see error
    };
    Kind kind = Kind::Missing;
    std::string version;
    std::string url;
    std::string error;  // for the user
};

// Looks up ProductVersions/<product>/Version and .../URL. Names compare exactly, with case;
// among children of the same name the first counts; attributes, other nodes and their order
// are ignored. An element with no content reads as "". The document's encoding declaration
// is honoured; texts come back in UTF-8.
VersionsFileEntry ReadVersionsFile(const std::string& document, const std::string& product);

}  // namespace pellquin
