// The service-control logic over this machine's real adapters.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "fake_net_file_api.h"
#include "no_prompts.h"
#include "platform/log_viewer.h"
#include "platform/service_files.h"
#include "platform/service_manager.h"
#include "platform/system_info.h"
#include "service/control/service_control.h"

namespace pellquin {
namespace {

TEST(ServiceControlPosix, ConnectWithoutSystemdLogsTheFailureAndStaysNotConnected) {
    struct stat info {};
    if (stat("/run/systemd/system", &info) == 0) {
        GTEST_SKIP() << "skipped: systemd runs on this machine, so connecting succeeds";
    }
    test::FakeNetFileApi shares;
    auto system = MakeSystemInfo();
    test::NoPrompts prompts;
    ServiceControl control(MakeServiceManager(std::string()), MakeServiceFiles(std::string()),
                           MakeLogViewer(), shares, *system, prompts);
    control.ConnectServiceManager();
    EXPECT_EQ(control.LogLines(),
              std::vector<std::string>{"Failed to Connect to SCManager : Message = The RPC "
                                       "server is unavailable(1722)"});
    EXPECT_EQ(control.ScmConnected(), 0);
    EXPECT_TRUE(control.Controls().cmdConnect);
    EXPECT_FALSE(control.Controls().cmdDisconnect);
}

}  // namespace
}  // namespace pellquin
