#include "help/help_file_location.h"

#include <gtest/gtest.h>

namespace pellquin {
namespace {

TEST(HelpFileFor, BesideTheProgramUnlessItIsInstalledInABinFolder) {
    struct Case {
        const char* executable;
        const char* fileName;
        const char* expected;
    };
    const Case cases[] = {
        // The build tree and a Windows installation keep the pages beside the program.
        {"/work/build/src/app/pellquin", "pellquin-help/index.html",
         "/work/build/src/app/pellquin-help/index.html"},
        {"C:\\Program Files\\Pellquin\\pellquin.exe", "Pellquin.chm",
         "C:\\Program Files\\Pellquin\\Pellquin.chm"},
        // Installed under any prefix: the prefix's shared data.
        {"/usr/bin/pellquin", "pellquin-help/index.html", "/usr/share/pellquin/help/index.html"},
        {"/opt/pq/bin/pellquin", "pellquin-help/index.html",
         "/opt/pq/share/pellquin/help/index.html"},
        // Only a folder named exactly "bin" counts.
        {"/home/u/cabin/pellquin", "pellquin-help/index.html",
         "/home/u/cabin/pellquin-help/index.html"},
        {"pellquin", "pellquin-help/index.html", "pellquin-help/index.html"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HelpFileFor(c.executable, c.fileName), c.expected) << c.executable;
    }
}

}  // namespace
}  // namespace pellquin
