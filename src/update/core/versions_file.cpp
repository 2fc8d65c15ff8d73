#include "update/core/versions_file.h"

#include <pugixml.hpp>

namespace pellquin {
namespace {

pugi::xml_node FirstElement(const pugi::xml_node& parent, const std::string& name) {
    for (const pugi::xml_node& child : parent.children()) {
        if (child.type() == pugi::node_element && name == child.name()) {
            return child;
        }
    }
    return pugi::xml_node();
}

// An element's text: empty without content, else its one text or CDATA node.
bool ElementText(const pugi::xml_node& element, std::string* text) {
    const pugi::xml_node first = element.first_child();
    if (!first) {
        text->clear();
        return true;
    }
    if (first.next_sibling() ||
        (first.type() != pugi::node_pcdata && first.type() != pugi::node_cdata)) {
        return false;
    }
    *text = first.value();
    return true;
}

}  // namespace

VersionsFileEntry ReadVersionsFile(const std::string& document, const std::string& product) {
    VersionsFileEntry entry;
    pugi::xml_document xml;
    const pugi::xml_parse_result parsed = xml.load_buffer(document.data(), document.size());
    if (!parsed) {
        entry.kind = VersionsFileEntry::Kind::Malformed;
        entry.error = std::string("The versions file is not well-formed XML: ") +
                      parsed.description() + " (at offset " + std::to_string(parsed.offset) + ")";
        return entry;
    }
    const pugi::xml_node root = FirstElement(xml, "ProductVersions");
    const pugi::xml_node item = root ? FirstElement(root, product) : pugi::xml_node();
    const pugi::xml_node version = item ? FirstElement(item, "Version") : pugi::xml_node();
    const pugi::xml_node url = item ? FirstElement(item, "URL") : pugi::xml_node();
    if (!version || !url) {
        entry.kind = VersionsFileEntry::Kind::Missing;
        return entry;
    }
    for (const auto& [node, text] :
         {std::make_pair(version, &entry.version), std::make_pair(url, &entry.url)}) {
        if (!ElementText(node, text)) {
            entry.kind = VersionsFileEntry::Kind::Malformed;
            entry.error = std::string("The element \"") + node.name() +
                          "\" of the versions file does not hold a single text";
            return entry;
        }
    }
    entry.kind = VersionsFileEntry::Kind::Found;
    return entry;
}

}  // namespace pellquin
