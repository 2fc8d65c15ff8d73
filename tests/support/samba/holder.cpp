// pellquin-holder: holds files open on an SMB share, as a user would, until told to stop.
//
//   pellquin-holder --credentials FILE --server IP [--share NAME] [--generate N] [r:PATH|w:PATH]...
//
// PATH is relative to smb://IP/NAME/ (default share "data"), with '/' separators; "r:" opens
// for reading, "w:" for writing. --generate N creates (or reuses) bench/gen-NNNNNN.txt and holds
// N of them for reading after the named files. A "w:" file is opened for reading and
// writing (the server reports R and W), since a write-only handle cannot be probed. Prints "ready
// N" once all N handles are open, then answers commands read from stdin, one per line:
//   probe I   asks the server about handle I (0-based, in command-line order): "ok I", or
//             "closed I" when the server closed it, or "error I CODE"
//   quit      exits (as does the end of stdin)
// Failures to start are printed to stderr with exit status 1.
#include <fcntl.h>
#include <libsmbclient.h>
#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/credentials_file.h"

namespace {

// Samba allows 16,424 open files per connection; stay below it with a fresh context.
constexpr size_t FILES_PER_CONNECTION = 10000;

pellquin::SmbCredentials g_credentials;

void CopyField(const std::string& value, char* out, int size) {
    std::snprintf(out, static_cast<size_t>(size), "%s", value.c_str());
}

void Authenticate(SMBCCTX*, const char*, const char*, char* workgroup, int workgroupSize,
                  char* user, int userSize, char* password, int passwordSize) {
    if (!g_credentials.domain.empty()) {
        CopyField(g_credentials.domain, workgroup, workgroupSize);
    }
    CopyField(g_credentials.user, user, userSize);
    CopyField(g_credentials.password, password, passwordSize);
}

std::string PercentEncode(const std::string& path) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

SMBCCTX* NewContext() {
    SMBCCTX* context = smbc_new_context();
    if (context == nullptr) {
        return nullptr;
    }
    smbc_setDebug(context, 0);
    smbc_setFunctionAuthDataWithContext(context, Authenticate);
    smbc_setOptionUseKerberos(context, 0);
    smbc_setOptionFallbackAfterKerberos(context, 1);
    if (smbc_init_context(context) == nullptr) {
        smbc_free_context(context, 1);
        return nullptr;
    }
    return context;
}

struct Handle {
    SMBCCTX* context;
    SMBCFILE* file;
};

}  // namespace

int main(int argc, char** argv) {
    std::string credentialsFile;
    std::string server;
    std::string share = "data";
    size_t generate = 0;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--credentials" && i + 1 < argc) {
            credentialsFile = argv[++i];
        } else if (arg == "--server" && i + 1 < argc) {
            server = argv[++i];
        } else if (arg == "--share" && i + 1 < argc) {
            share = argv[++i];
        } else if (arg == "--generate" && i + 1 < argc) {
            generate = std::stoul(argv[++i]);
        } else if (arg.size() > 2 && (arg[0] == 'r' || arg[0] == 'w') && arg[1] == ':') {
            files.push_back(arg);
        } else {
            std::cerr << "pellquin-holder: unexpected argument " << arg << "\n";
            return 1;
        }
    }
    if (credentialsFile.empty() || server.empty()) {
        std::cerr << "usage: pellquin-holder --credentials FILE --server IP [--share NAME] "
                     "[--generate N] [r:PATH|w:PATH]...\n";
        return 1;
    }
    std::string error;
    if (pellquin::LoadCredentialsFile(credentialsFile, &g_credentials, &error) !=
        pellquin::CredentialsLoad::Loaded) {
        std::cerr << "pellquin-holder: " << error << "\n";
        return 1;
    }
    for (size_t i = 0; i < generate; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "c:bench/gen-%06zu.txt", i);
        files.push_back(name);
    }

    const std::string root = "smb://" + server + "/" + share + "/";
    std::vector<Handle> handles;
    SMBCCTX* context = nullptr;
    for (size_t i = 0; i < files.size(); ++i) {
        if (i % FILES_PER_CONNECTION == 0) {
            context = NewContext();
            if (context == nullptr) {
                std::cerr << "pellquin-holder: cannot create an SMB client context\n";
                return 1;
            }
        }
        const char mode = files[i][0];
        const int flags = mode == 'r' ? O_RDONLY : mode == 'w' ? O_RDWR : O_RDONLY | O_CREAT;
        const std::string url = root + PercentEncode(files[i].substr(2));
        SMBCFILE* file = smbc_getFunctionOpen(context)(context, url.c_str(), flags, 0644);
        if (file == nullptr) {
            std::cerr << "pellquin-holder: cannot open " << url << ": " << std::strerror(errno)
                      << "\n";
            return 1;
        }
        handles.push_back({context, file});
    }
    std::cout << "ready " << handles.size() << std::endl;

    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream command(line);
        std::string verb;
        command >> verb;
        if (verb == "quit") {
            break;
        }
        size_t index = 0;
        if (verb != "probe" || !(command >> index) || index >= handles.size()) {
            std::cout << "error " << line << std::endl;
            continue;
        }
        // A handle the server closed shows only on the next request that names it.
        struct stat info {};
        const Handle& handle = handles[index];
        if (smbc_getFunctionFstat(handle.context)(handle.context, handle.file, &info) == 0) {
            std::cout << "ok " << index << std::endl;
        } else if (errno == EINVAL || errno == EBADF) {
            std::cout << "closed " << index << std::endl;
        } else {
            std::cout << "error " << index << " " << errno << std::endl;
        }
    }
    // Exiting drops the connections, which releases every handle on the server.
    return 0;
}
