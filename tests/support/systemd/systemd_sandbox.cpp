#include "systemd_sandbox.h"

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <linux/magic.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

namespace pellquin::test {
namespace {

constexpr const char* kStateVariable = "PELLQUIN_SYSTEMD_SANDBOX";
constexpr const char* kStatePrefix = "/dev/shm/pellquin-sandbox.";
// Where the script binds the state directory inside the sandbox (its /dev/shm is private).
constexpr const char* kStateInside = "/run/systemd-sandbox/state";
// Generous: a loaded 2-core machine boots the sandbox in about a second, but several
// helpers may be building at once.
constexpr double kBootSeconds = 120;
constexpr double kSshSeconds = 60;
constexpr double kInnerRunSeconds = 300;
constexpr double kTeardownSeconds = 30;

double Now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void Pause() {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

bool Exists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

std::string DeviceText(dev_t device) {
    return std::to_string(major(device)) + ":" + std::to_string(minor(device));
}

// Runs argv with stdin from /dev/null and stdout and stderr into *output; extra "NAME=value"
// entries are added to the environment. Kills it after timeoutSeconds. Returns the exit code,
// or -1 when it could not start, died of a signal or timed out.
int RunArgv(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
            double timeoutSeconds, std::string* output) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        return -1;
    }
    const pid_t child = fork();
    if (child < 0) {
        close(pipeFds[0]);
        close(pipeFds[1]);
        return -1;
    }
    if (child == 0) {
        const int devNull = open("/dev/null", O_RDONLY);
        dup2(devNull, STDIN_FILENO);
        dup2(pipeFds[1], STDOUT_FILENO);
        dup2(pipeFds[1], STDERR_FILENO);
        for (const std::string& entry : extraEnv) {
            const size_t equals = entry.find('=');
            setenv(entry.substr(0, equals).c_str(), entry.substr(equals + 1).c_str(), 1);
        }
        std::vector<char*> args;
        for (const std::string& arg : argv) {
            args.push_back(const_cast<char*>(arg.c_str()));
        }
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(pipeFds[1]);
    std::string collected;
    const double deadline = Now() + timeoutSeconds;
    bool timedOut = false;
    for (;;) {
        const double left = deadline - Now();
        if (left <= 0) {
            timedOut = true;
            break;
        }
        pollfd entry{pipeFds[0], POLLIN, 0};
        const int ready = poll(&entry, 1, static_cast<int>(left * 1000) + 1);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        collected.append(buffer, static_cast<size_t>(n));
    }
    close(pipeFds[0]);
    if (timedOut) {
        kill(child, SIGKILL);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (output != nullptr) {
        *output = collected;
    }
    if (timedOut || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

// The value after "Name:" in /proc/PID/status, or "".
std::string StatusField(pid_t pid, const std::string& name) {
    std::istringstream lines(ReadFile("/proc/" + std::to_string(pid) + "/status"));
    std::string line;
    while (std::getline(lines, line)) {
        if (line.compare(0, name.size() + 1, name + ":") == 0) {
            const size_t start = line.find_first_not_of(" \t", name.size() + 1);
            return start == std::string::npos ? std::string() : line.substr(start);
        }
    }
    return std::string();
}

// The topmost mount on exactly `point` in a mountinfo text: its device and file system type.
bool TopMount(const std::string& mountinfo, const std::string& point, std::string* device,
              std::string* type) {
    std::istringstream lines(mountinfo);
    std::string line;
    bool found = false;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string id, parent, dev, root, mountPoint, field;
        fields >> id >> parent >> dev >> root >> mountPoint;
        if (mountPoint != point) {
            continue;
        }
        while (fields >> field && field != "-") {
        }
        fields >> *type;
        *device = dev;
        found = true;
    }
    return found;
}

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
    remove(path);
    return 0;
}

int RemoveCgroup(const char* path, const struct stat*, int kind, struct FTW*) {
    if (kind == FTW_DP) {
        rmdir(path);
    }
    return 0;
}

// Whether a cgroup and all below it hold no process.
bool CgroupEmpty(const std::string& cgroup) {
    if (!ReadFile(cgroup + "/cgroup.procs").empty()) {
        return false;
    }
    DIR* dir = opendir(cgroup.c_str());
    if (dir == nullptr) {
        return true;
    }
    bool empty = true;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (entry->d_type == DT_DIR && name != "." && name != ".." &&
            !CgroupEmpty(cgroup + "/" + name)) {
            empty = false;
            break;
        }
    }
    closedir(dir);
    return empty;
}

// The first word of every line, without a leading path ("./dbus.service" is "dbus.service").
std::set<std::string> FirstNames(const std::string& text) {
    std::set<std::string> names;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string word;
        if (fields >> word) {
            const size_t slash = word.rfind('/');
            names.insert(slash == std::string::npos ? word : word.substr(slash + 1));
        }
    }
    return names;
}

std::string ScriptPath() {
    return PELLQUIN_SYSTEMD_SANDBOX_SCRIPT;
}

}  // namespace

SystemdSandbox::SystemdSandbox() {
    const double start = Now();
    Boot();
    m_bootSeconds = Now() - start;
}

SystemdSandbox::~SystemdSandbox() {
    if (!m_down) {
        Shutdown();
    }
}

void SystemdSandbox::Fail(Status status, const std::string& message) {
    if (m_status == Status::kRunning) {
        m_status = status;
        m_message = message;
    }
}

void SystemdSandbox::Boot() {
    if (geteuid() != 0) {
        return Fail(Status::kSkipped, "booting a sandboxed systemd needs root");
    }
    for (const char* ns : {"pid", "mnt", "net", "uts", "ipc", "cgroup"}) {
        if (!Exists(std::string("/proc/self/ns/") + ns)) {
            return Fail(Status::kSkipped,
                        std::string("this kernel has no ") + ns + " namespaces to boot in");
        }
    }
    for (const char* program : {"/lib/systemd/systemd", "/usr/bin/dbus-daemon"}) {
        if (access(program, X_OK) != 0) {
            return Fail(Status::kSkipped, std::string(program) + " is not installed");
        }
    }
    if (RunArgv({"sh", "-c", "command -v unshare && command -v nsenter"}, {}, 30, nullptr) != 0) {
        return Fail(Status::kSkipped, "unshare and nsenter (util-linux) are not installed");
    }
    std::string pattern = std::string(kStatePrefix) + "XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr) {
        return Fail(Status::kSkipped, "cannot create a state directory in /dev/shm");
    }
    m_state = pattern;

    const pid_t parent = getpid();
    const pid_t launcher = fork();
    if (launcher < 0) {
        return Fail(Status::kFailed, "cannot fork the sandbox's launcher");
    }
    if (launcher == 0) {
        // The sandbox ends with this process, also when it is killed: the launcher
        // (unshare, after the script's exec) gets SIGKILL and takes the init with it.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) {
            _exit(1);
        }
        setsid();
        const int log = open((m_state + "/boot.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int devNull = open("/dev/null", O_RDONLY);
        dup2(devNull, STDIN_FILENO);
        dup2(log, STDOUT_FILENO);
        dup2(log, STDERR_FILENO);
        const std::string script = ScriptPath();
        execl("/bin/bash", "bash", script.c_str(), "boot", m_state.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    m_launcher = launcher;
    const double deadline = Now() + kBootSeconds;
    if (!FindInit(launcher, deadline)) {
        return;
    }
    // Ready when systemd owns its name on the sandbox's system bus.
    for (;;) {
        if (Exists(m_state + "/refused")) {
            return Fail(Status::kSkipped, "the sandbox refused to boot: " +
                                              FirstLine(ReadFile(m_state + "/refused")));
        }
        if (kill(m_init, 0) != 0) {
            return Fail(Status::kFailed, "the sandbox's init ended while booting:\n" +
                                             ReadFile(m_state + "/boot.log") +
                                             ReadFile(m_state + "/console.log"));
        }
        if (Run("busctl --system --timeout=5 get-property org.freedesktop.systemd1 "
                "/org/freedesktop/systemd1 org.freedesktop.systemd1.Manager Version",
                nullptr, 30) == 0) {
            break;
        }
        if (Now() > deadline) {
            return Fail(Status::kFailed, "the sandbox's systemd did not answer on its bus in " +
                                             std::to_string(static_cast<int>(kBootSeconds)) +
                                             " s:\n" + ReadFile(m_state + "/console.log"));
        }
        Pause();
    }
    if (!ProveFromHost()) {
        return;
    }
    if (!Exists(m_state + "/no-sshd")) {
        const double sshDeadline = Now() + kSshSeconds;
        std::string output;
        while (Run(std::string("ssh root@") + kSshAddress + " true", &output, 30) != 0) {
            if (Now() > sshDeadline) {
                return Fail(Status::kFailed,
                            "the sandbox's sshd did not accept its key: " + output);
            }
            Pause();
        }
    }
}

bool SystemdSandbox::FindInit(pid_t launcher, double deadline) {
    for (;;) {
        int status = 0;
        if (waitpid(launcher, &status, WNOHANG) == launcher) {
            m_launcher = -1;
            if (Exists(m_state + "/refused")) {
                Fail(Status::kSkipped,
                     "the sandbox refused to boot: " + FirstLine(ReadFile(m_state + "/refused")));
            } else {
                Fail(Status::kSkipped,
                     "the sandbox could not be created here:\n" + ReadFile(m_state + "/boot.log"));
            }
            return false;
        }
        DIR* proc = opendir("/proc");
        while (dirent* entry = proc != nullptr ? readdir(proc) : nullptr) {
            const pid_t pid = static_cast<pid_t>(atoi(entry->d_name));
            if (pid <= 0 || StatusField(pid, "PPid") != std::to_string(launcher)) {
                continue;
            }
            // Its own PID namespace's PID 1: "NSpid: <host pid> 1".
            const std::string nsPid = StatusField(pid, "NSpid");
            if (nsPid.size() > 2 && nsPid.compare(nsPid.size() - 2, 2, "\t1") == 0) {
                m_init = pid;
            }
        }
        if (proc != nullptr) {
            closedir(proc);
        }
        if (m_init > 0) {
            std::ofstream(m_state + "/init.pid") << m_init << "\n";
            return true;
        }
        if (Now() > deadline) {
            Fail(Status::kFailed, "the sandbox's init did not appear");
            return false;
        }
        Pause();
    }
}

// What the script proved from inside, checked again from the host through the init's /proc.
bool SystemdSandbox::ProveFromHost() {
    m_canary = FirstLine(ReadFile(m_state + "/host-canary"));
    const std::string root = "/proc/" + std::to_string(m_init) + "/root";
    struct stat hostTmp {};
    struct stat sandboxTmp {};
    if (m_canary.compare(0, 5, "/tmp/") != 0 || !Exists(m_canary) || stat("/tmp", &hostTmp) != 0 ||
        stat((root + "/tmp").c_str(), &sandboxTmp) != 0) {
        Fail(Status::kSkipped, "cannot see the host's /tmp canary and the sandbox's /tmp");
        return false;
    }
    std::string device;
    std::string type;
    const std::string mountinfo = ReadFile("/proc/" + std::to_string(m_init) + "/mountinfo");
    if (!TopMount(mountinfo, "/tmp", &device, &type) || type != "tmpfs" ||
        device != DeviceText(sandboxTmp.st_dev) || sandboxTmp.st_dev == hostTmp.st_dev) {
        Fail(Status::kSkipped, "the sandbox's /tmp is not a tmpfs of its own (top mount " + device +
                                   " " + type + ", host /tmp on " + DeviceText(hostTmp.st_dev) +
                                   ")");
        return false;
    }
    if (!Exists(root + m_canary + ".inside") || Exists(m_canary + ".inside") ||
        Exists(root + m_canary)) {
        Fail(Status::kSkipped, "the sandbox's /tmp and the host's are not apart (marker check)");
        return false;
    }
    // Only the fixture's own unit files, seen by the sandbox's systemd itself.
    std::string listed;
    if (Run("systemctl list-unit-files --no-legend --no-pager", &listed, 30) != 0) {
        Fail(Status::kFailed, "systemctl list-unit-files failed in the sandbox: " + listed);
        return false;
    }
    const std::set<std::string> written = FirstNames(ReadFile(m_state + "/units.list"));
    const std::set<std::string> known = FirstNames(listed);
    if (known != written) {
        std::string names;
        for (const std::string& name : known) {
            names += " " + name;
        }
        Fail(Status::kSkipped,
             "the sandbox's systemd knows other unit files than the "
             "fixture's:" +
                 names);
        return false;
    }
    return true;
}

int SystemdSandbox::Run(const std::string& command, std::string* output, int timeoutSeconds) const {
    if (m_init <= 0) {
        return -1;
    }
    return RunArgv({"nsenter", "--target", std::to_string(m_init), "--mount", "--net", "--uts",
                    "--ipc", "--pid", "--", "/bin/sh", "-c", command},
                   {"HOME=/root"}, timeoutSeconds, output);
}

std::string SystemdSandbox::Shutdown() {
    if (m_down) {
        return std::string();
    }
    m_down = true;
    std::string problems;
    if (m_init > 0) {
        kill(m_init, SIGKILL);
    }
    if (m_launcher > 0) {
        const double deadline = Now() + kTeardownSeconds;
        int status = 0;
        while (waitpid(m_launcher, &status, WNOHANG) == 0) {
            if (Now() > deadline) {
                kill(m_launcher, SIGKILL);
                waitpid(m_launcher, &status, 0);
                problems += "the sandbox's launcher did not end with its init; ";
                break;
            }
            Pause();
        }
        m_launcher = -1;
    }
    if (!m_state.empty()) {
        const std::string cgroup = FirstLine(ReadFile(m_state + "/cgroup"));
        if (cgroup.compare(0, 15, "/sys/fs/cgroup/") == 0 &&
            cgroup.find("/pellquin-sandbox-") != std::string::npos) {
            const double deadline = Now() + kTeardownSeconds;
            while (!CgroupEmpty(cgroup) && Now() < deadline) {
                Pause();
            }
            nftw(cgroup.c_str(), RemoveCgroup, 16, FTW_DEPTH | FTW_PHYS | FTW_MOUNT);
            if (Exists(cgroup)) {
                problems += "the sandbox's cgroup " + cgroup + " is left; ";
            }
        }
    }
    if (m_canary.empty() && !m_state.empty()) {
        m_canary = FirstLine(ReadFile(m_state + "/host-canary"));
    }
    if (m_canary.compare(0, 29, "/tmp/pellquin-sandbox-canary.") == 0) {
        if (ReadFile(m_canary) != "host canary of the systemd sandbox in " + m_state + "\n") {
            problems += "the host's /tmp canary " + m_canary + " is gone or changed; ";
        }
        if (Exists(m_canary + ".inside")) {
            problems += "the sandbox's /tmp marker appeared in the host's /tmp; ";
        }
        unlink(m_canary.c_str());
    }
    if (m_state.compare(0, strlen(kStatePrefix), kStatePrefix) == 0) {
        nftw(m_state.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS | FTW_MOUNT);
    }
    m_init = -1;
    return problems;
}

bool SystemdSandbox::Inside(std::string* problem) {
    const char* state = getenv(kStateVariable);
    if (state == nullptr) {
        return false;
    }
    struct statfs tmpFs {};
    struct stat tmpInfo {};
    std::string hostTmp;
    std::istringstream devices(ReadFile(std::string(state) + "/host-devices"));
    std::string name;
    std::string device;
    while (devices >> name >> device) {
        if (name == "tmp") {
            hostTmp = device;
        }
    }
    if (FirstLine(ReadFile("/proc/1/comm")) != "systemd") {
        *problem = "PID 1 of this test's namespace is not systemd";
    } else if (statfs("/tmp", &tmpFs) != 0 || tmpFs.f_type != TMPFS_MAGIC ||
               stat("/tmp", &tmpInfo) != 0 || hostTmp.empty() ||
               DeviceText(tmpInfo.st_dev) == hostTmp) {
        *problem = "/tmp of this test's namespace is not a private tmpfs";
    } else {
        char link[128] = {};
        const ssize_t n = readlink("/proc/self/ns/mnt", link, sizeof link - 1);
        if (n <= 0 || FirstLine(ReadFile(std::string(state) + "/host-mnt-ns")) == link) {
            *problem = "this test runs in the host's mount namespace";
        } else {
            return true;
        }
    }
    return false;
}

void RunCurrentTestInSystemdSandbox(bool* inside) {
    *inside = false;
    if (getenv(kStateVariable) != nullptr) {
        std::string problem;
        if (SystemdSandbox::Inside(&problem)) {
            *inside = true;
        } else {
            ADD_FAILURE() << "refusing to run the test body: " << problem;
        }
        return;
    }
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = std::string(test->test_suite_name()) + "." + test->name();
    char exe[4096] = {};
    if (readlink("/proc/self/exe", exe, sizeof exe - 1) <= 0) {
        ADD_FAILURE() << "cannot find this test executable to run it inside the sandbox";
        return;
    }

    SystemdSandbox sandbox;
    if (sandbox.status() != SystemdSandbox::Status::kRunning) {
        const std::string problems = sandbox.Shutdown();
        EXPECT_EQ(problems, "");
        if (sandbox.status() == SystemdSandbox::Status::kFailed) {
            ADD_FAILURE() << sandbox.message();
            return;
        }
        GTEST_SKIP() << "skipped: " << sandbox.message();
    }
    std::cout << "[ sandbox  ] systemd booted and answering in " << sandbox.bootSeconds()
              << " s (init PID " << sandbox.initPid() << "); running " << name << " inside"
              << std::endl;
    std::string output;
    const int exitCode = RunArgv(
        {"nsenter", "--target", std::to_string(sandbox.initPid()), "--mount", "--net", "--uts",
         "--ipc", "--pid", "--", exe, "--gtest_filter=" + name, "--gtest_color=no"},
        {std::string(kStateVariable) + "=" + kStateInside, "HOME=/root", "GTEST_OUTPUT="},
        kInnerRunSeconds, &output);
    std::cout << "[ sandbox  ] ---- inside ----\n"
              << output << "[ sandbox  ] ---- end ----" << std::endl;
    const std::string problems = sandbox.Shutdown();
    EXPECT_EQ(problems, "") << "tearing the sandbox down";
    if (exitCode != 0) {
        ADD_FAILURE() << "the test failed inside the sandbox (exit " << exitCode
                      << "); its output is above";
    } else if (output.find("[  SKIPPED ] " + name) != std::string::npos) {
        const size_t skipped = output.find("Skipped\n");
        const std::string why =
            skipped == std::string::npos ? std::string() : FirstLine(output.substr(skipped + 8));
        GTEST_SKIP() << "skipped inside the sandbox: " << why;
    } else if (output.find("[       OK ] " + name) == std::string::npos) {
        ADD_FAILURE() << "the test did not run inside the sandbox; its output is above";
    }
}

}  // namespace pellquin::test
