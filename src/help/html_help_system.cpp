#include "help/html_help_system.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "help/help_file_location.h"

namespace pellquin {
namespace {

bool FileExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::path(path), error);
}

}  // namespace

HtmlHelpSystem::HtmlHelpSystem(std::unique_ptr<HtmlHelp> viewer, const std::string& executable,
                               Prompts& prompts)
    : m_viewer(std::move(viewer)),
      m_helpFile(HelpFileFor(executable, m_viewer->FileName())),
      m_prompts(prompts) {}

bool HtmlHelpSystem::LoadHtmlHelp() {
    return m_viewer->Load();
}

int HtmlHelpSystem::ShowHtmlHelp(uint16_t command, int32_t data) {
    if (!m_helpFileWarned && !FileExists(m_helpFile)) {
        m_prompts.ShowWarning("Cannot find Help File : " + m_helpFile);
        m_helpFileWarned = true;
        return 0;
    }
    switch (command) {
        case kHelpContext:
            m_viewer->Show(m_helpFile, kHhHelpContext, data);
            break;
        case kHelpTableOfContents:
            m_viewer->Show(m_helpFile, kHhDisplayToc, 0);
            break;
        case kHelpContents:
            m_viewer->Show(m_helpFile, kHhDisplayIndex, data);
            break;
        default:
            // HELP_KEY, HELP_SETPOPUP_POS and anything else open nothing.
            break;
    }
    return 0;
}

bool HtmlHelpSystem::ApplicationEvents1Help(uint16_t command, int32_t data, bool* callHelp) {
    ShowHtmlHelp(command, data);
    *callHelp = false;
    return false;
}

}  // namespace pellquin
