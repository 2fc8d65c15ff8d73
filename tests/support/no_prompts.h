#pragma once

#include <gtest/gtest.h>

#include <string>

#include "prompts/prompts.h"

namespace pellquin::test {

// Prompts for tests in which no box may show: each box fails the test with its text.
// Questions are answered No without failing.
class NoPrompts : public Prompts {
public:
    void ShowError(const std::string& text) override { ADD_FAILURE() << "box: " << text; }
    bool AskYesNo(const std::string&) override { return false; }
    void ShowMessage(const std::string& text) override { ADD_FAILURE() << "box: " << text; }
    void ShowWarning(const std::string& text) override { ADD_FAILURE() << "box: " << text; }
    void Beep() override { ADD_FAILURE() << "beep"; }
};

}  // namespace pellquin::test
