#pragma once

#include <optional>
#include <string>

#include "platform/folder_browser.h"

namespace pellquin::test {

// Answers every browse with `answer` (nullopt: the user cancelled); counts the dialogs.
class FakeFolderBrowser : public FolderBrowser {
public:
    std::optional<std::string> answer;
    int shown = 0;

    std::optional<std::string> BrowseForFolder(uintptr_t /*ownerWindow*/) override {
        ++shown;
        return answer;
    }
};

}  // namespace pellquin::test
