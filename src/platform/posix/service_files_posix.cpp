#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/posix/remote_path_posix.h"
#include "platform/posix/smb_session_posix.h"
#include "platform/posix/target_shell_posix.h"
#include "platform/service_files.h"
#include "platform/system_directory.h"
#include "platform/systemd_mapping.h"

namespace pellquin {
namespace {

int ReadLocal(const std::string& path, std::string* data) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return errno != 0 ? errno : ENOENT;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        return EIO;
    }
    *data = text.str();
    return 0;
}

// Makes `directory` and its missing parents, as the service directory on Linux is ours
// and may not exist before the first installation.
int MakeDirectories(const std::string& directory) {
    if (directory.empty()) {
        return 0;
    }
    struct stat info {};
    if (stat(directory.c_str(), &info) == 0) {
        return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
    }
    const size_t slash = directory.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        const int error = MakeDirectories(directory.substr(0, slash));
        if (error != 0) {
            return error;
        }
    }
    return mkdir(directory.c_str(), 0755) == 0 || errno == EEXIST ? 0 : errno;
}

// Writes beside the destination and renames over it, so that a program file that is running
// is replaced rather than refused as busy, and nobody sees half a file.
int WriteLocalReplacing(const std::string& destination, const std::string& data) {
    const size_t slash = destination.rfind('/');
    const std::string directory = slash == std::string::npos ? "." : destination.substr(0, slash);
    int error = MakeDirectories(directory);
    if (error != 0) {
        return error;
    }
    std::string temporary = directory + "/.pellquin-copy-XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) {
        return errno;
    }
    size_t done = 0;
    while (done < data.size() && error == 0) {
        const ssize_t put = write(fd, data.data() + done, data.size() - done);
        if (put < 0) {
            error = errno == EINTR ? 0 : errno;
        } else {
            done += static_cast<size_t>(put);
        }
    }
    if (error == 0 && fchmod(fd, 0755) != 0) {
        error = errno;
    }
    if (close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && rename(temporary.c_str(), destination.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        unlink(temporary.c_str());
    }
    return error;
}

constexpr const char* kServiceProgram = "PellquinService";
constexpr const char* kLogName = "Pellquin.log";

// Refuses, with the reason on standard error, to go on without root's rights.
std::string RootOnly(const std::string& what) {
    return "[ \"$(id -u)\" = 0 ] || { echo \"$(id -un) may not " + what +
           " here (root may)\" >&2; exit 5; }\n";
}

// Puts standard input at `path` as root's file with `mode`, replacing one there, in a folder
// made when missing (mode 0755).
std::string InstallScript(const std::string& path, const char* mode) {
    const std::string directory = path.substr(0, path.rfind('/'));
    return RootOnly("install programs") + "umask 022\n" + "mkdir -p " + ShellQuoted(directory) +
           " || exit 1\n" + "tmp=$(mktemp " + ShellQuoted(path + ".XXXXXX") + ") || exit 1\n" +
           "if cat >\"$tmp\" && chown 0:0 \"$tmp\" && chmod " + mode +
           " \"$tmp\" && mv -f \"$tmp\" " + ShellQuoted(path) + "; then exit 0; fi\n" +
           "rm -f \"$tmp\"\nexit 1\n";
}

// Writes the configuration (standard input) unless one exists, never replacing one (the link
// fails when the name is taken), and reports "written" or "kept", then "credentials" when the
// credentials file is there.
std::string ConfigureScript() {
    const std::string config = kServiceConfigFile;
    return RootOnly("configure services") + "umask 022\n" + "mkdir -p " +
           ShellQuoted(config.substr(0, config.rfind('/'))) + " || exit 1\n" + "if [ -e " +
           ShellQuoted(config) + " ]; then echo kept; else\n" + "  tmp=$(mktemp " +
           ShellQuoted(config + ".XXXXXX") + ") || exit 1\n" +
           "  if cat >\"$tmp\" && chown 0:0 \"$tmp\" && chmod 0644 \"$tmp\" && ln \"$tmp\" " +
           ShellQuoted(config) + "; then rm -f \"$tmp\"; echo written;\n" +
           "  else rm -f \"$tmp\"; exit 1; fi\n" + "fi\n" + "if [ -e " +
           ShellQuoted(kServiceCredentialsFile) + " ]; then echo credentials; fi\n";
}

class ServiceFilesPosix : public ServiceFiles {
public:
    explicit ServiceFilesPosix(const std::string& credentialsFile) : m_smb(credentialsFile) {}

    std::string SystemDirectory() override { return pellquin::SystemDirectory(); }

    std::string ProgramDirectory() override {
        char path[PATH_MAX] = {};
        const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
        if (length <= 0) {
            return std::string();
        }
        const std::string program(path, static_cast<size_t>(length));
        return program.substr(0, program.rfind('/') + 1);
    }

    std::string ServiceProgramName() override { return "PellquinService"; }

    uint32_t Copy(const std::string& source, const std::string& destination) override {
        m_detail.clear();
        std::string data;
        int error = IsUncPathText(source) ? m_smb.ReadAll(source, &data) : ReadLocal(source, &data);
        if (error != 0) {
            return Win32ErrorOfFileErrno(error);
        }
        RemotePath remote;
        if (SplitRemotePath(destination, &remote)) {
            return RunOn(remote.machine, InstallScript(remote.path, "0755"), data);
        }
        if (IsUncPathText(destination)) {
            error = m_smb.WriteAll(destination, data);
        } else {
            error = WriteLocalReplacing(destination, data);
            // A program that systemd runs must not be replaceable by whoever ran the copy.
            if (error == 0 && geteuid() == 0 && chown(destination.c_str(), 0, 0) != 0) {
                error = errno;
            }
        }
        return Win32ErrorOfFileErrno(error);
    }

    bool OwnPlacement() override { return true; }

    ServicePlacement Placement(const std::string& machine) override {
        ServicePlacement placement;
        const std::string packaged = kPackagedServiceProgram;
        if (machine.empty()) {
            struct stat info {};
            placement.packaged = stat(packaged.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
                                 (info.st_mode & 0111) != 0;
        } else {
            placement.packaged = TargetShell(machine)
                                     .Run("test -f " + ShellQuoted(packaged) + " && test -x " +
                                          ShellQuoted(packaged))
                                     .exitCode == 0;
        }
        placement.executablePath =
            placement.packaged ? packaged
                               : std::string(kInstalledServiceDirectory) + "/" + kServiceProgram;
        placement.copyDestination = OnMachine(machine, placement.executablePath);
        return placement;
    }

    std::string LogPath(const std::string& machine) override {
        // The service logs to its state directory; on this machine PELLQUIN_SYSTEM_DIR may move
        // both (the unit sets it to the same directory).
        return machine.empty()
                   ? pellquin::SystemDirectory() + "/" + kLogName
                   : OnMachine(machine, std::string(kServiceStateDirectory) + "/" + kLogName);
    }

    uint32_t Configure(const std::string& machine, std::vector<std::string>* notes) override {
        m_detail.clear();
        const TargetShell shell(machine);
        const ShellResult result = shell.Run(ConfigureScript(), ServiceConfigText());
        if (result.exitCode != 0) {
            m_detail = result.errorText;
            return Win32ErrorOfShell(result, shell.remote());
        }
        const std::string config = kServiceConfigFile;
        if (result.output.find("written") != std::string::npos) {
            notes->push_back("Service configuration written to " + config);
        } else {
            notes->push_back("Service configuration " + config + " kept as it was");
        }
        if (result.output.find("credentials") == std::string::npos) {
            notes->push_back(std::string("Still to provide: the credentials of an administrator of "
                                         "the Samba server (username = , password = ) in ") +
                             kServiceCredentialsFile + ", owned by " + kServiceUser +
                             ", mode 0600");
        }
        return 0;
    }

    std::string LastFailureDetail() override { return m_detail; }

    bool IsFile(const std::string& path) override {
        RemotePath remote;
        if (SplitRemotePath(path, &remote)) {
            return TargetShell(remote.machine)
                       .Run("test -f " + ShellQuoted(remote.path) + " && test -r " +
                            ShellQuoted(remote.path))
                       .exitCode == 0;
        }
        struct stat info {};
        const int error = IsUncPathText(path) ? m_smb.Stat(path, &info)
                                              : (stat(path.c_str(), &info) == 0 ? 0 : errno);
        return error == 0 && !S_ISDIR(info.st_mode);
    }

    void Delete(const std::string& path) override {
        RemotePath remote;
        if (SplitRemotePath(path, &remote)) {
            TargetShell(remote.machine).Run("rm -f " + ShellQuoted(remote.path));
        } else if (IsUncPathText(path)) {
            m_smb.Unlink(path);
        } else {
            unlink(path.c_str());
        }
    }

private:
    static std::string OnMachine(const std::string& machine, const std::string& path) {
        return machine.empty() ? path : machine + ":" + path;
    }

    uint32_t RunOn(const std::string& machine, const std::string& script,
                   const std::string& input) {
        const TargetShell shell(machine);
        const ShellResult result = shell.Run(script, input);
        if (result.exitCode == 0) {
            return 0;
        }
        m_detail = result.errorText;
        return Win32ErrorOfShell(result, true);
    }

    SmbSession m_smb;
    std::string m_detail;
};

}  // namespace

std::unique_ptr<ServiceFiles> MakeServiceFiles(const std::string& credentialsFile) {
    return std::make_unique<ServiceFilesPosix>(credentialsFile);
}

}  // namespace pellquin
