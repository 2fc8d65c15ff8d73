#include "platform/systemd_mapping.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace pellquin {
namespace {

// Property values as systemd 252 reports them for a service unit in each situation.
TEST(SystemdMapping, UnitStatesGiveTheSevenStateCodes) {
    const struct {
        UnitStates states;
        int32_t code;
    } cases[] = {
        {{"loaded", "active", "running", "running"}, 4},
        {{"loaded", "active", "exited", ""}, 4},
        {{"loaded", "reloading", "reload", "running"}, 4},
        {{"loaded", "inactive", "dead", "running"}, 1},
        {{"loaded", "failed", "failed", "running"}, 1},
        {{"loaded", "activating", "start-pre", "running"}, 2},
        {{"loaded", "activating", "auto-restart", "running"}, 2},
        {{"loaded", "deactivating", "stop-sigterm", "running"}, 3},
        {{"loaded", "active", "running", "thawing"}, 5},
        {{"loaded", "active", "running", "freezing"}, 6},
        {{"loaded", "active", "running", "frozen"}, 7},
        {{"loaded", "maintenance", "cleaning", "running"}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.states.activeState + "/" + c.states.subState + "/" + c.states.freezerState);
        EXPECT_EQ(ServiceStateOfUnit(c.states), c.code);
    }
}

TEST(SystemdMapping, OnlyAMissingUnitFileIsAMissingService) {
    EXPECT_EQ(UnitLoadError("not-found"), 1060u);
    EXPECT_EQ(UnitLoadError("loaded"), 0u);
    EXPECT_EQ(UnitLoadError("masked"), 0u);
    EXPECT_EQ(UnitLoadError("bad-setting"), 0u);
    EXPECT_TRUE(UnitIsStarted("active"));
    EXPECT_FALSE(UnitIsStarted("activating"));
    EXPECT_FALSE(UnitIsStarted("failed"));
}

TEST(SystemdMapping, BusErrorsGiveSystemErrorCodes) {
    const struct {
        const char* name;
        int errnoValue;
        uint32_t code;
    } cases[] = {
        {"org.freedesktop.DBus.Error.AccessDenied", EACCES, 5},
        {"org.freedesktop.DBus.Error.InteractiveAuthorizationRequired", EBADR, 5},
        {"org.freedesktop.systemd1.NoSuchUnit", ENOENT, 1060},
        {"org.freedesktop.systemd1.UnitMasked", ESHUTDOWN, 1058},
        {"org.freedesktop.systemd1.JobTypeNotApplicable", EBADR, 1061},
        {"org.freedesktop.DBus.Error.ServiceUnknown", EHOSTDOWN, 1722},
        {"org.freedesktop.DBus.Error.NoReply", ETIMEDOUT, 1722},
        {"org.freedesktop.DBus.Error.Disconnected", ECONNRESET, 1722},
        {"", EPERM, 5},
        {"", ENOENT, 2},
        {"", ECONNREFUSED, 1722},
        {"", ETIMEDOUT, 1722},
        {"org.example.Unheard", EIO, 1003},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Win32ErrorOfBusError(c.name, c.errnoValue), c.code);
    }
    EXPECT_EQ(Win32ErrorOfBusConnect(ENOENT), 1722u);
    EXPECT_EQ(Win32ErrorOfBusConnect(ECONNREFUSED), 1722u);
    EXPECT_EQ(Win32ErrorOfBusConnect(EACCES), 5u);
}

TEST(SystemdMapping, TheServiceIsTheUnitOfItsName) {
    EXPECT_EQ(UnitNameOfService("Pellquin"), "Pellquin.service");
}

TEST(SystemdMapping, UnitFileRunsTheProgramInTheForegroundBesideItsLog) {
    ServiceRegistration registration{"Pellquin", "Pellquin", "/var/lib/pellquin/PellquinService"};
    std::string text;
    ASSERT_TRUE(UnitFileText(registration, &text));
    EXPECT_NE(text.find("\nExecStart=\"/var/lib/pellquin/PellquinService\" --foreground\n"),
              std::string::npos);
    EXPECT_NE(text.find("\nEnvironment=\"PELLQUIN_SYSTEM_DIR=/var/lib/pellquin\"\n"),
              std::string::npos);
    EXPECT_NE(text.find("\nWantedBy=multi-user.target\n"), std::string::npos);
    EXPECT_NE(text.find("\nDescription=Pellquin\n"), std::string::npos);
}

TEST(SystemdMapping, UnitFileQuotesWhatSystemdWouldReadOtherwise) {
    std::string text;
    ASSERT_TRUE(UnitFileText({"P", "P", "/opt/a b/50%\"x\\/PellquinService"}, &text));
    EXPECT_NE(text.find("ExecStart=\"/opt/a b/50%%\\\"x\\\\/PellquinService\" --foreground"),
              std::string::npos);
    const std::string before = text;
    EXPECT_FALSE(UnitFileText({"P", "P", "/opt/x\nExecStartPre=/bin/evil"}, &text));
    EXPECT_FALSE(UnitFileText({"P", "P", "relative/PellquinService"}, &text));
    EXPECT_FALSE(UnitFileText({"P", "P\n[Service]", "/opt/PellquinService"}, &text));
    EXPECT_EQ(text, before);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string InstalledUnit() {
    std::string text;
    EXPECT_TRUE(
        UnitFileText({"Pellquin", "Pellquin", "/usr/local/lib/pellquin/PellquinService"}, &text));
    return text;
}

// Each line a sandboxed network service needs, and what goes wrong without it.
TEST(SystemdMapping, UnitRunsTheServiceSandboxedAsItsOwnUser) {
    const std::string unit = InstalledUnit();
    const char* lines[] = {
        "User=pellquin",            // not root
        "Group=pellquin",           //
        "StateDirectory=pellquin",  // /var/lib/pellquin made and owned by that user: the log
        "ReadWritePaths=/var/lib/pellquin",
        "Environment=\"PELLQUIN_SYSTEM_DIR=/var/lib/pellquin\"",  // where View Log looks
        "ProtectSystem=strict",  // no program or configuration can be replaced
        "ProtectHome=yes",
        "PrivateTmp=yes",
        "NoNewPrivileges=yes",
        "CapabilityBoundingSet=",
        "RestrictAddressFamilies=AF_INET AF_INET6 AF_UNIX",
        "SystemCallFilter=@system-service",
        "WantedBy=multi-user.target",
    };
    for (const char* line : lines) {
        EXPECT_NE(unit.find(std::string("\n") + line + "\n"), std::string::npos) << line;
    }
    EXPECT_EQ(unit.find("\nUser=root"), std::string::npos);
}

// The system's package installs the unit that Install writes, so that a machine behaves the
// same whichever way the service came onto it.
TEST(SystemdMapping, PackagedUnitIsTheOneInstallWrites) {
    std::string unit;
    ASSERT_TRUE(UnitFileText({"Pellquin", "Pellquin", "/x/PellquinService"}, &unit));
    std::string packaged = ReadFile(PELLQUIN_PACKAGED_UNIT);
    const std::string placeholder = "@PELLQUIN_SERVICE_PROGRAM@";
    const size_t at = packaged.find(placeholder);
    ASSERT_NE(at, std::string::npos);
    packaged.replace(at, placeholder.size(), "/x/PellquinService");
    EXPECT_EQ(packaged, unit);
}

// systemd's own rating of the written unit: "OK" (below 5) or better.
TEST(SystemdMapping, SystemdRatesTheUnitsExposureOkOrBetter) {
    if (std::system("systemd-analyze --version >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "skipped: systemd-analyze is not installed";
    }
    char pattern[] = "/tmp/pellquin-unit-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string file = std::string(pattern) + "/Pellquin.service";
    std::ofstream(file) << InstalledUnit();
    std::FILE* pipe = popen(
        ("systemd-analyze security --offline=true --no-pager " + file + " 2>&1").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[4096];
    size_t got = 0;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output.append(buffer, got);
    }
    pclose(pipe);
    std::remove(file.c_str());
    std::remove(pattern);
    const std::string marker = "Overall exposure level for Pellquin.service: ";
    const size_t at = output.rfind(marker);
    ASSERT_NE(at, std::string::npos) << output;
    const double exposure = std::atof(output.c_str() + at + marker.size());
    EXPECT_LT(exposure, 5.0) << output.substr(at);
    const std::string rating = output.substr(at + marker.size());
    EXPECT_TRUE(rating.find(" OK") != std::string::npos ||
                rating.find(" SAFE") != std::string::npos)
        << rating;
}

// What Install writes when a machine has no configuration: the service's own defaults, but
// naming the credentials file and leaving the log in the state directory.
TEST(SystemdMapping, ConfigurationNamesTheCredentialsAndKeepsTheLogInTheStateDirectory) {
    const std::string config = ServiceConfigText();
    for (const char* line : {"credentials_file = /etc/pellquin/credentials",
                             "log_dir =", "samba_server =", "port = 8021"}) {
        EXPECT_NE(config.find(std::string("\n") + line + "\n"), std::string::npos) << line;
    }
}

}  // namespace
}  // namespace pellquin
