#include "platform/posix/smb_session_posix.h"

#include <fcntl.h>
#include <libsmbclient.h>

#include <cerrno>

#include "platform/error_codes.h"
#include "platform/posix/smb_context.h"

namespace pellquin {

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

SmbSession::SmbSession(std::string credentialsFile) : m_smb(std::move(credentialsFile)) {}

SMBCCTX* SmbSession::Context(int* error) {
    SMBCCTX* context = m_smb.Get();
    if (context == nullptr) {
        *error = EIO;
    }
    return context;
}

int SmbSession::Stat(const std::string& unc, struct stat* info) {
    int error = 0;
    SMBCCTX* context = Context(&error);
    if (context == nullptr) {
        return error;
    }
    return smbc_getFunctionStat(context)(context, SmbUrlOf(unc).c_str(), info) == 0 ? 0 : errno;
}

int SmbSession::ReadAll(const std::string& unc, std::string* data) {
    int error = 0;
    SMBCCTX* context = Context(&error);
    if (context == nullptr) {
        return error;
    }
    SMBCFILE* file = smbc_getFunctionOpen(context)(context, SmbUrlOf(unc).c_str(), O_RDONLY, 0);
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
    SMBCFILE* file = smbc_getFunctionOpen(context)(context, SmbUrlOf(unc).c_str(),
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
    return smbc_getFunctionUnlink(context)(context, SmbUrlOf(unc).c_str()) == 0 ? 0 : errno;
}

}  // namespace pellquin
