#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>

#include "platform/registry.h"

namespace pellquin::test {

// A private $XDG_CONFIG_HOME for one test, so that the real Linux hives are used and removed.
class HiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/pellquin-hive-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_root = pattern;
        const char* old = getenv("XDG_CONFIG_HOME");
        m_oldXdg = old ? std::optional<std::string>(old) : std::nullopt;
        setenv("XDG_CONFIG_HOME", m_root.c_str(), 1);
    }

    void TearDown() override {
        if (m_oldXdg) {
            setenv("XDG_CONFIG_HOME", m_oldXdg->c_str(), 1);
        } else {
            unsetenv("XDG_CONFIG_HOME");
        }
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }

    std::filesystem::path Dir() const { return std::filesystem::path(m_root) / "pellquin"; }
    std::filesystem::path HivePath() const { return Dir() / "HKEY_CURRENT_USER.reg"; }

    void WriteHive(const std::string& text) const {
        std::filesystem::create_directories(Dir());
        std::ofstream(HivePath(), std::ios::binary) << text;
    }

    static std::string ReadText(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::string m_root;
    std::optional<std::string> m_oldXdg;
};

}  // namespace pellquin::test
