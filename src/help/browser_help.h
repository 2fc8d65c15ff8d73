#pragma once

#include <functional>
#include <string>

#include "platform/html_help.h"

namespace pellquin {

// Help as HTML pages in a folder, opened in a web browser. The help file is the folder's
// contents page; the folder's file "contexts" maps help contexts to pages, one
// "<context> <page>" per line. A context without a page, and the index, show the contents
// page. Portable; the opener is the platform's part.
class BrowserHelp : public HtmlHelp {
public:
    // `openUrl` hands a file:// address to the browser without waiting for it; false when no
    // browser could be started. `available` tells whether a browser can be started at all.
    BrowserHelp(std::function<bool(const std::string& url)> openUrl,
                std::function<bool()> available);

    bool Load() override;
    void Show(const std::string& helpFile, uint32_t command, int32_t data) override;
    std::string FileName() const override;

    // The page a command shows, as a full path.
    static std::string PageFor(const std::string& helpFile, uint32_t command, int32_t data);

private:
    std::function<bool(const std::string&)> m_openUrl;
    std::function<bool()> m_available;
    bool m_loaded = false;
};

// A file:// address for an absolute path, with the bytes that an address cannot hold
// percent-encoded.
std::string FileUrl(const std::string& path);

}  // namespace pellquin
