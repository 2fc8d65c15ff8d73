#pragma once

#include <cstdio>
#include <string>

#include "prompts/prompts.h"

namespace pellquin::test {

// Prompts for benchmarks and screenshots, where nobody answers boxes: errors go to stderr,
// questions get the answer given at construction, everything else shows nothing.
class SilentPrompts : public Prompts {
public:
    explicit SilentPrompts(bool answerYes = true) : m_answerYes(answerYes) {}

    void ShowError(const std::string& text) override {
        std::fprintf(stderr, "error: %s\n", text.c_str());
    }
    bool AskYesNo(const std::string&) override { return m_answerYes; }
    void ShowMessage(const std::string&) override {}
    void ShowWarning(const std::string&) override {}
    void Beep() override {}

private:
    bool m_answerYes;
};

}  // namespace pellquin::test
