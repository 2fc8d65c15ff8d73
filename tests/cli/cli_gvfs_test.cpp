// pellquin-cli on shares that GNOME mounted through GVfs: the path a file manager passes is
// $XDG_RUNTIME_DIR/gvfs/smb-share:server=S,share=T/..., and the held files must come back for
// shares whose names GVfs percent-encodes in that folder name.
#include <dirent.h>

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <fstream>
#include <memory>
#include <set>
#include <thread>

#include "file_holder.h"
#include "gvfs_session.h"
#include "platform/drive_source.h"
#include "platform/universal_names.h"
#include "run_program.h"
#include "samba_sandbox.h"

namespace pellquin {
namespace {

using test::FileHolder;
using test::GvfsSession;
using test::RunProgram;
using test::SambaSandbox;

std::string UrlEncoded(const std::string& text) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

// Adds shares named `names` to the sandbox's server, the i-th in the folder "share<i>", each
// with two sibling folders that a wrong decoding of the path below the mount would mix up:
// "a b%20c" (a literal "%20" in its name) and "a b c". All come before the first RPC, since the
// RPC server started then keeps the shares it read. Returns false with *error set when the
// server does not serve them in time.
bool AddShares(const SambaSandbox& sandbox, const std::vector<std::string>& names,
               std::string* error) {
    std::ofstream config(sandbox.configFile(), std::ios::app);
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string root = sandbox.dir() + "/share" + std::to_string(i);
        RunProgram({"mkdir", "-p", root + "/a b%20c", root + "/a b c"});
        std::ofstream(root + "/a b%20c/held.txt") << "held\n";
        std::ofstream(root + "/a b c/other.txt") << "other\n";
        RunProgram({"chmod", "-R", "a+rwX", root});
        // Section names are taken literally: '%' there is no substitution.
        config << "[" << names[i] << "]\n  path = " << root << "\n  read only = no\n";
    }
    config.close();
    RunProgram({"smbcontrol", "-s", sandbox.configFile(), "smbd", "reload-config"});
    for (const std::string& name : names) {
        const std::string unc = "\\\\" + sandbox.ip() + "\\" + name;
        bool served = false;
        for (int i = 0; i < 50 && !served; ++i) {
            const auto listed =
                RunProgram({PELLQUIN_CLI_PATH, "--credentials", sandbox.adminCredentials(),
                            "--mechanism", "direct", "check", unc});
            served = listed.exitCode == 0;
            if (!served) {
                *error = "the server does not serve " + unc + ": " + listed.err;
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        }
        if (!served) {
            return false;
        }
    }
    return true;
}

std::string Names(const std::string& folder) {
    std::set<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                names.insert(name);
            }
        }
        closedir(dir);
    } else {
        return "(cannot list " + folder + ")";
    }
    std::string text;
    for (const std::string& name : names) {
        text += "[" + name + "]";
    }
    return text;
}

class CliOnGvfsMount : public ::testing::Test {
protected:
    void SetUp() override {
        std::string reason;
        if (!SambaSandbox::CanRun(&reason) || !GvfsSession::CanRun(&reason)) {
            GTEST_SKIP() << reason;
        }
    }
};

// Shares named with a blank and non-ASCII letters, and with ',', '%' and '=', which GVfs
// escapes in its folder names, resolve to their UNC names; the folders below the mount carry
// the real names (a literal "%20" is no blank). Every check runs the real code on the FUSE
// paths inside the session's mount namespace: the name resolution, the drive list and
// pellquin-cli.
TEST_F(CliOnGvfsMount, HeldFilesComeBackForSharesNamedWithBlanksAccentsAndPunctuation) {
    // Each share's name, and that name as GVfs writes it into the mount and connects with:
    // folded to lower case, which a server matches as the share.
    const std::vector<std::string> shares = {"team dócs", "Umsatz, 100% = Über"};
    const std::vector<std::string> folded = {"team dócs", "umsatz, 100% = über"};
    SambaSandbox sandbox("127.0.0.216");
    ASSERT_TRUE(sandbox.ok()) << sandbox.error();
    std::vector<std::string> urls;
    std::vector<std::unique_ptr<FileHolder>> holders;
    std::string error;
    ASSERT_TRUE(AddShares(sandbox, shares, &error)) << error;
    for (size_t i = 0; i < shares.size(); ++i) {
        urls.push_back("smb://" + sandbox.ip() + "/" + UrlEncoded(shares[i]));
        // pellquin-holder takes the share before the files it opens.
        holders.push_back(std::make_unique<FileHolder>(
            sandbox, sandbox.userCredentials(),
            std::vector<std::string>{"--share", shares[i], "r:a b%20c/held.txt",
                                     "r:a b c/other.txt"}));
        ASSERT_TRUE(holders.back()->ok()) << holders.back()->error();
    }

    GvfsSession session(sandbox.userCredentials(), urls);
    if (session.unsupported()) {
        GTEST_SKIP() << "GVfs cannot run here: " << session.error();
    }
    ASSERT_TRUE(session.ok()) << session.error();

    const std::vector<std::string> admin = {
        PELLQUIN_CLI_PATH, "--credentials", sandbox.adminCredentials(), "--mechanism", "direct",
        "--json",          "check"};
    for (size_t i = 0; i < shares.size(); ++i) {
        const std::string& mount = session.mountDirs()[i];
        const std::string unc = "\\\\" + sandbox.ip() + "\\" + folded[i];
        SCOPED_TRACE(mount);
        // The blank is escaped in the folder name, so its decoding is what is tried here.
        EXPECT_NE(mount.find("%20"), std::string::npos);
        EXPECT_EQ(session.InMounts([&] { return Names(mount); }), "[a b c][a b%20c]");

        const std::string held = mount + "/a b%20c/held.txt";
        EXPECT_EQ(session.InMounts([&] {
            std::string name;
            const uint32_t status = MakeUniversalNames()->GetUniversalName(held, &name);
            return status == 0 ? name : "error " + std::to_string(status);
        }),
                  unc + "\\a b%20c\\held.txt");
        EXPECT_EQ(session.InMounts([&] {
            for (const DriveInfo& drive : MakeDriveSource()->Drives()) {
                if (drive.root == mount) {
                    return drive.remoteName;
                }
            }
            return std::string("(no drive at the mount)");
        }),
                  unc);

        auto check = [&](const std::string& path) {
            std::vector<std::string> argv = admin;
            argv.push_back(path);
            return session.Run(argv);
        };
        // The row as --json writes it: the path as given, the server's own path of the file.
        std::string serverPath = "C:";
        for (char c : sandbox.dir() + "/share" + std::to_string(i) + "/a b%20c/held.txt") {
            serverPath += c == '/' ? std::string("\\\\") : std::string(1, c);
        }
        const std::string heldRow = "\"fileName\": \"" + held + "\", \"serverPathName\": \"" +
                                    serverPath + "\", \"userName\": \"pquser\"";
        const std::string otherRow = "\"fileName\": \"" + mount + "/a b c/other.txt\"";

        const auto file = check(held);
        ASSERT_EQ(file.exitCode, 0) << file.err;
        EXPECT_NE(file.out.find(heldRow), std::string::npos) << file.out;
        EXPECT_EQ(file.out.find("other.txt"), std::string::npos) << file.out;

        const auto folder = check(mount + "/a b%20c");
        ASSERT_EQ(folder.exitCode, 0) << folder.err;
        EXPECT_NE(folder.out.find(heldRow), std::string::npos) << folder.out;
        EXPECT_EQ(folder.out.find("other.txt"), std::string::npos) << folder.out;

        const auto root = check(mount);
        ASSERT_EQ(root.exitCode, 0) << root.err;
        EXPECT_NE(root.out.find(heldRow), std::string::npos) << root.out;
        EXPECT_NE(root.out.find(otherRow), std::string::npos) << root.out;
    }
}

}  // namespace
}  // namespace pellquin
