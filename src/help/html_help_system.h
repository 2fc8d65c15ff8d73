#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/html_help.h"
#include "prompts/prompts.h"

namespace pellquin {

// WinHelp-style command codes that reach ShowHtmlHelp.
constexpr uint16_t kHelpContext = 1;            // HELP_CONTEXT: data is the help context
constexpr uint16_t kHelpContents = 3;           // HELP_CONTENTS
constexpr uint16_t kHelpSetPopupPos = 13;       // HELP_SETPOPUP_POS
constexpr uint16_t kHelpKey = 0x101;            // HELP_KEY
constexpr uint16_t kHelpTableOfContents = 999;  // the Help menu's own code

// The help context of the main window and its pages.
constexpr int32_t kMainWindowHelpContext = 1000;

// Every help request of the program ends here: the help file beside the executable (or in the
// installed layout's shared data, see HelpFileFor), shown by the help viewer, with one
// warning when the file is missing.
class HtmlHelpSystem {
public:
    // `executable` is the running program's full path as the system reports it; the help
    // file is found from it whatever the working directory. `prompts` must outlive this.
    HtmlHelpSystem(std::unique_ptr<HtmlHelp> viewer, const std::string& executable,
                   Prompts& prompts);

    // Loads the help viewer once; true when it can show help.
    bool LoadHtmlHelp();

    // Acts on one command code (the table of kHelp* codes; others show nothing). The first
    // request that finds no help file warns, naming its full path, and opens nothing; later
    // requests go to the viewer all the same. Returns 0.
    int ShowHtmlHelp(uint16_t command, int32_t data);

    // The application's help event: hands the request to ShowHtmlHelp, and clears
    // *callHelp so that no other help engine starts. Returns false.
    bool ApplicationEvents1Help(uint16_t command, int32_t data, bool* callHelp);

    const std::string& HelpFilePath() const { return m_helpFile; }
    bool HelpFileWarned() const { return m_helpFileWarned; }

private:
    std::unique_ptr<HtmlHelp> m_viewer;
    std::string m_helpFile;
    Prompts& m_prompts;
    bool m_helpFileWarned = false;
};

}  // namespace pellquin
