#include "platform/systemd_mapping.h"

#include <gtest/gtest.h>

#include <cerrno>

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

}  // namespace
}  // namespace pellquin
