// Help on Linux: the help pages in the user's browser.

#include <memory>
#include <string>

#include "help/browser_help.h"
#include "platform/browser_opener.h"
#include "platform/html_help.h"

namespace pellquin {

std::unique_ptr<HtmlHelp> MakeHtmlHelp() {
    std::shared_ptr<BrowserOpener> browser = MakeBrowserOpener();
    return std::make_unique<BrowserHelp>(
        [browser](const std::string& url) { return browser->Open(url); },
        [browser] { return browser->Available(); });
}

}  // namespace pellquin
