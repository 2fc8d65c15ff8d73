#include "help/browser_help.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <utility>

namespace pellquin {
namespace {

const char kContentsPage[] = "index.html";

std::string Directory(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The page of `context` in the folder's context map; empty when it has none.
std::string ContextPage(const std::string& folder, int32_t context) {
    std::ifstream map(folder + "contexts");
    std::string line;
    while (std::getline(map, line)) {
        std::istringstream fields(line);
        long long id = 0;
        std::string page;
        if (fields >> id >> page && id == context && page.find('/') == std::string::npos) {
            return page;
        }
    }
    return std::string();
}

}  // namespace

std::string FileUrl(const std::string& path) {
    std::string url = "file://";
    for (unsigned char c : path) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '/' || c == '-' || c == '_' || c == '.' ||
                           c == '~';
        if (plain) {
            url += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            url += hex;
        }
    }
    return url;
}

BrowserHelp::BrowserHelp(std::function<bool(const std::string& url)> openUrl,
                         std::function<bool()> available)
    : m_openUrl(std::move(openUrl)), m_available(std::move(available)) {}

bool BrowserHelp::Load() {
    m_loaded = m_available();
    return m_loaded;
}

std::string BrowserHelp::FileName() const {
    return std::string("pellquin-help/") + kContentsPage;
}

std::string BrowserHelp::PageFor(const std::string& helpFile, uint32_t command, int32_t data) {
    if (command == kHhHelpContext) {
        const std::string folder = Directory(helpFile);
        const std::string page = ContextPage(folder, data);
        if (!page.empty()) {
            return folder + page;
        }
    }
    return helpFile;
}

void BrowserHelp::Show(const std::string& helpFile, uint32_t command, int32_t data) {
    if (!m_loaded) {
        return;
    }
    if (command != kHhDisplayToc && command != kHhDisplayIndex && command != kHhHelpContext) {
        return;
    }
    m_openUrl(FileUrl(PageFor(helpFile, command, data)));
}

}  // namespace pellquin
