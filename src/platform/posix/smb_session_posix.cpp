#include "platform/posix/smb_session_posix.h"

#include <fcntl.h>
#include <libsmbclient.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/error_codes.h"

namespace pellquin {
namespace {

// "\\server\share\dir\f.txt" as an smb:// URL, everything after the server percent-encoded
// so that '%', '?' and '#' in names reach the server as themselves.
std::string SmbUrl(const std::string& unc) {
    std::string rest = unc.substr(2);
    for (char& c : rest) {
        if (c == '\\') {
            c = '/';
        }
    }
    const size_t serverEnd = rest.find('/');
    std::string url = "smb://" + rest.substr(0, serverEnd);
    if (serverEnd == std::string::npos) {
        return url;
    }
    static const char kHex[] = "0123456789ABCDEF";
    for (size_t i = serverEnd; i < rest.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(rest[i]);
        if (std::isalnum(c) || std::strchr("/-_.~!$&'()*+,;=:@ ", c) != nullptr || c >= 0x80) {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += kHex[c >> 4];
            url += kHex[c & 15];
        }
    }
    return url;
}

void Authenticate(SMBCCTX* context, const char* /*server*/, const char* /*share*/, char* workgroup,
                  int workgroupLength, char* user, int userLength, char* password,
                  int passwordLength) {
    const auto* credentials = static_cast<const SmbCredentials*>(smbc_getOptionUserData(context));
    if (credentials == nullptr || credentials->user.empty()) {
        return;
    }
    auto copy = [](char* out, int length, const std::string& text) {
        if (length > 0) {
            std::strncpy(out, text.c_str(), static_cast<size_t>(length) - 1);
            out[length - 1] = '\0';
        }
    };
    if (!credentials->domain.empty()) {
        copy(workgroup, workgroupLength, credentials->domain);
    }
    copy(user, userLength, credentials->user);
    copy(password, passwordLength, credentials->password);
}

}  // namespace

bool IsUncPath(const std::string& path) {
    return path.size() >= 2 &&
           ((path[0] == '\\' && path[1] == '\\') || (path[0] == '/' && path[1] == '/'));
}

uint32_t Win32ErrorOfFileErrno(int errnoValue) {
    switch (errnoValue) {
        case 0:
            return 0;
        case ENOENT:
            return kErrorFileNotFound;
        case ENOTDIR:
            return 3;  // ERROR_PATH_NOT_FOUND
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS:
            return kErrorAccessDenied;
        case ETXTBSY:
        case EBUSY:
            return 32;  // ERROR_SHARING_VIOLATION
        case ENOSPC:
            return 112;  // ERROR_DISK_FULL
        case ENAMETOOLONG:
            return kErrorFilenameTooLong;
        case ECONNREFUSED:
        case EHOSTUNREACH:
        case ENETUNREACH:
        case ETIMEDOUT:
        case ENODEV:
        case ENXIO:
            return 53;  // ERROR_BAD_NETPATH
        default:
            return 1003;  // ERROR_CAN_NOT_COMPLETE
    }
}

SmbSession::SmbSession(std::string credentialsFile)
    : m_credentialsFile(std::move(credentialsFile)) {}

SmbSession::~SmbSession() {
    if (m_context != nullptr) {
        smbc_free_context(m_context, 1);
    }
}

SMBCCTX* SmbSession::Context(int* error) {
    if (m_context != nullptr) {
        return m_context;
    }
    const std::string path =
        !m_credentialsFile.empty()
            ? m_credentialsFile
            : DefaultCredentialsPath(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
    std::string problem;
    // Without a readable file the session goes on as the anonymous user and a Kerberos
    // ticket, if any; the server's refusal is what the caller reports.
    if (path.empty() ||
        LoadCredentialsFile(path, &m_credentials, &problem) != CredentialsLoad::Loaded) {
        m_credentials = SmbCredentials{};
    }
    SMBCCTX* context = smbc_new_context();
    if (context == nullptr) {
        *error = ENOMEM;
        return nullptr;
    }
    smbc_setDebug(context, 0);
    smbc_setOptionUserData(context, &m_credentials);
    smbc_setFunctionAuthDataWithContext(context, Authenticate);
    smbc_setOptionUseKerberos(context, m_credentials.user.empty() ? 1 : 0);
    smbc_setOptionFallbackAfterKerberos(context, 1);
    if (smbc_init_context(context) == nullptr) {
        *error = errno != 0 ? errno : EIO;
        smbc_free_context(context, 0);
        return nullptr;
    }
    m_context = context;
    return m_context;
}

int SmbSession::Stat(const std::string& unc, struct stat* info) {
    int error = 0;
    SMBCCTX* context = Context(&error);
    if (context == nullptr) {
        return error;
    }
    return smbc_getFunctionStat(context)(context, SmbUrl(unc).c_str(), info) == 0 ? 0 : errno;
}

int SmbSession::ReadAll(const std::string& unc, std::string* data) {
    int error = 0;
    SMBCCTX* context = Context(&error);
    if (context == nullptr) {
        return error;
    }
    SMBCFILE* file = smbc_getFunctionOpen(context)(context, SmbUrl(unc).c_str(), O_RDONLY, 0);
    if (file == nullptr) {
        return errno;
    }
    data->clear();
    char buffer[65536];
    for (;;) {
        const ssize_t got = smbc_getFunctionRead(context)(context, file, buffer, sizeof buffer);
        if (got < 0) {
            error = errno;
            break;
        }
        if (got == 0) {
            break;
        }
        data->append(buffer, static_cast<size_t>(got));
    }
    smbc_getFunctionClose(context)(context, file);
    return error;
}

int SmbSession::WriteAll(const std::string& unc, const std::string& data) {
    int error = 0;
    SMBCCTX* context = Context(&error);
    if (context == nullptr) {
        return error;
    }
    SMBCFILE* file = smbc_getFunctionOpen(context)(context, SmbUrl(unc).c_str(),
                                                   O_WRONLY | O_CREAT | O_TRUNC, 0755);
    if (file == nullptr) {
        return errno;
    }
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t put =
            smbc_getFunctionWrite(context)(context, file, data.data() + done, data.size() - done);
        if (put <= 0) {
            error = put < 0 ? errno : EIO;
            break;
        }
        done += static_cast<size_t>(put);
    }
    if (smbc_getFunctionClose(context)(context, file) != 0 && error == 0) {
        error = errno;
    }
    return error;
}

int SmbSession::Unlink(const std::string& unc) {
    int error = 0;
    SMBCCTX* context = Context(&error);
    if (context == nullptr) {
        return error;
    }
    return smbc_getFunctionUnlink(context)(context, SmbUrl(unc).c_str()) == 0 ? 0 : errno;
}

}  // namespace pellquin
