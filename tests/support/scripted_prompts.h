#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "prompts/prompts.h"

namespace pellquin::test {

// Prompts that record every box as "Error: text", "Ask: text", "Message: text",
// "Message [caption]: text", "Warning: text" or "Beep", and answer questions from a script
// (Yes once the script runs out).
class ScriptedPrompts : public Prompts {
public:
    std::vector<std::string> shown;
    std::deque<bool> answers;
    // Runs as each box is shown, while the command that showed it is still running.
    std::function<void(const std::string&)> onShow;

    void ShowError(const std::string& text) override { Record("Error: " + text); }
    bool AskYesNo(const std::string& text) override {
        Record("Ask: " + text);
        if (answers.empty()) {
            return true;
        }
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void ShowMessage(const std::string& text) override { Record("Message: " + text); }
    // Recorded as "Message [caption]: text".
    void ShowCaptionedMessage(const std::string& caption, const std::string& text) override {
        Record("Message [" + caption + "]: " + text);
    }
    void ShowWarning(const std::string& text) override { Record("Warning: " + text); }
    void Beep() override { Record("Beep"); }

private:
    void Record(const std::string& entry) {
        shown.push_back(entry);
        if (onShow) {
            onShow(entry);
        }
    }
};

}  // namespace pellquin::test
