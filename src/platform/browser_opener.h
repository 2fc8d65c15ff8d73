#pragma once

#include <memory>
#include <string>

namespace pellquin {

// The user's web browser, for pages the program opens and then leaves to it. Abstract so that
// what opens pages can be tested without a browser.
class BrowserOpener {
public:
    virtual ~BrowserOpener() = default;

    // Whether a browser can be started at all.
    virtual bool Available() = 0;

    // Hands `url` to the browser without waiting for it; false when none could be started.
    virtual bool Open(const std::string& url) = 0;
};

// Linux: xdg-open, whichever is first on the PATH at each call. Windows: the shell's "open"
// verb.
std::unique_ptr<BrowserOpener> MakeBrowserOpener();

}  // namespace pellquin
