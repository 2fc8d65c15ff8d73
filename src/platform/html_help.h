#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace pellquin {

// Commands of the help viewer (the HH_* values of the HTML Help control).
constexpr uint32_t kHhDisplayToc = 0x0001;
constexpr uint32_t kHhDisplayIndex = 0x0002;
constexpr uint32_t kHhHelpContext = 0x000F;

// The help viewer: opens the program's help in a window of its own, apart from the program's
// windows. Abstract so that help requests can be tested without a viewer or a browser.
class HtmlHelp {
public:
    virtual ~HtmlHelp() = default;

    // Finds and loads the viewer; true when it can show help. Called once; a viewer that
    // did not load shows nothing.
    virtual bool Load() = 0;

    // Shows `command` of the help file at `helpFile` (a full path) with `data` (the help
    // context of kHhHelpContext). Neither waits for the viewer nor reports its outcome.
    virtual void Show(const std::string& helpFile, uint32_t command, int32_t data) = 0;

    // The help file's name, relative to the executable's directory.
    virtual std::string FileName() const = 0;
};

// Windows: the HTML Help control (HtmlHelpA of the module registered for its class id) and
// "Pellquin.chm". Linux: the help pages "pellquin-help/" opened in the user's browser with
// xdg-open; the contents page stands for the help file. The Linux viewer is help's own page
// logic over the browser, so pellquin_help defines it there.
std::unique_ptr<HtmlHelp> MakeHtmlHelp();

}  // namespace pellquin
