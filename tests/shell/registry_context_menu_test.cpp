#include "shell/registry_context_menu.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "fake_context_menu.h"
#include "fake_registry.h"
#include "scripted_prompts.h"
#include "shell/context_menus.h"

namespace pellquin {
namespace {

const RegistryRoot kClasses = RegistryRoot::ClassesRoot;
const char kFileCommand[] = "*\\Shell\\Check With Pellquin\\command";
const char kFolderCommand[] = "folder\\Shell\\Check With Pellquin\\command";

class RegistryContextMenuTest : public ::testing::Test {
protected:
    RegistryContextMenuTest() {
        auto registry = std::make_unique<test::FakeRegistry>();
        m_registry = registry.get();
        m_menu = std::make_unique<RegistryContextMenu>(std::move(registry));
    }

    std::string Command(const char* key) const {
        const auto value = m_registry->Get(kClasses, key, "");
        return value && value->type == kRegSz ? value->data : "(none)";
    }

    test::FakeRegistry* m_registry;
    std::unique_ptr<RegistryContextMenu> m_menu;
};

TEST_F(RegistryContextMenuTest, InstallWritesBothCommandKeysWithTheExecutableAndQuotedArgument) {
    const struct {
        std::string executable;
        std::string command;
    } cases[] = {
        {"C:\\Tools\\pellquin.exe", "C:\\Tools\\pellquin.exe \"%1\""},
        {"C:\\Program Files\\Pellquin\\pellquin.exe",
         "C:\\Program Files\\Pellquin\\pellquin.exe \"%1\""},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(m_menu->Install(c.executable));
        EXPECT_EQ(Command(kFileCommand), c.command);
        EXPECT_EQ(Command(kFolderCommand), c.command);
    }
    // The second installation rewrote the first; every key was opened for writing only.
    for (const std::string& call : m_registry->calls) {
        if (call.rfind("Create ", 0) == 0) {
            EXPECT_EQ(call.substr(call.size() - 7), "0x20006") << call;
        }
    }
    EXPECT_TRUE(m_registry->HasKey(kClasses, "folder\\Shell\\Check With Pellquin"));
    EXPECT_EQ(m_registry->OpenHandles(), 0u);
}

TEST_F(RegistryContextMenuTest, AFailureAtTheFileKeyLeavesTheFolderKeyUntried) {
    m_registry->failures["Create HKEY_CLASSES_ROOT\\*\\Shell\\Check With Pellquin\\command"] =
        kRegAccessDenied;
    EXPECT_FALSE(m_menu->Install("C:\\pellquin.exe"));
    EXPECT_FALSE(m_registry->HasKey(kClasses, kFileCommand));
    EXPECT_FALSE(m_registry->HasKey(kClasses, kFolderCommand));
    for (const std::string& call : m_registry->calls) {
        EXPECT_EQ(call.find("folder"), std::string::npos) << call;
    }
}

TEST_F(RegistryContextMenuTest, AFailureAtTheFolderKeyKeepsTheFileKeyWritten) {
    m_registry->failures["Create HKEY_CLASSES_ROOT\\folder\\Shell\\Check With Pellquin\\command"] =
        kRegAccessDenied;
    EXPECT_FALSE(m_menu->Install("C:\\pellquin.exe"));
    EXPECT_EQ(Command(kFileCommand), "C:\\pellquin.exe \"%1\"");
    EXPECT_EQ(m_registry->OpenHandles(), 0u);
}

TEST_F(RegistryContextMenuTest, RemoveDeletesOnlyTheVerbKeys) {
    m_registry->PutString(kClasses, "*\\Shell\\Open\\command", "", "notepad \"%1\"");
    m_registry->PutKey(kClasses, "folder\\Shell");
    ASSERT_TRUE(m_menu->Install("C:\\pellquin.exe"));
    m_menu->Remove();
    EXPECT_FALSE(m_registry->HasKey(kClasses, "*\\Shell\\Check With Pellquin"));
    EXPECT_FALSE(m_registry->HasKey(kClasses, "folder\\Shell\\Check With Pellquin"));
    EXPECT_TRUE(m_registry->HasKey(kClasses, "*\\Shell"));
    EXPECT_TRUE(m_registry->HasKey(kClasses, "folder\\Shell"));
    EXPECT_EQ(Command("*\\Shell\\Open\\command"), "notepad \"%1\"");
    EXPECT_EQ(m_registry->OpenHandles(), 0u);
}

TEST_F(RegistryContextMenuTest, RemoveWhenNothingIsInstalledChangesNothing) {
    m_registry->PutKey(kClasses, "*\\Shell");
    m_menu->Remove();
    EXPECT_TRUE(m_registry->HasKey(kClasses, "*\\Shell"));
    EXPECT_FALSE(m_registry->HasKey(kClasses, "folder\\Shell"));
    for (const std::string& call : m_registry->calls) {
        EXPECT_NE(call.rfind("Create ", 0), 0u) << call;
    }
}

TEST(ContextMenusTest, EachOperationReportsItsOwnOutcome) {
    const struct {
        bool installResult;
        std::vector<std::string> shown;
    } cases[] = {
        {true, {"Message: Explorer Context Menu added successfully"}},
        {false, {"Error: Could not add Context Menu. Please Check security rights"}},
    };
    for (const auto& c : cases) {
        auto menu = std::make_unique<test::FakeContextMenu>();
        menu->installResult = c.installResult;
        test::FakeContextMenu* fake = menu.get();
        test::ScriptedPrompts prompts;
        ContextMenus menus(std::move(menu), "/opt/pellquin/bin/pellquin", prompts);
        menus.InstallContextMenus();
        EXPECT_EQ(fake->calls, std::vector<std::string>{"Install /opt/pellquin/bin/pellquin"});
        EXPECT_EQ(prompts.shown, c.shown);
        prompts.shown.clear();
        menus.RemoveContextMenus();
        EXPECT_EQ(prompts.shown,
                  std::vector<std::string>{"Message: Explorer Context Menu removed successfully"});
    }
}

}  // namespace
}  // namespace pellquin
