#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>

#include "platform/posix/smb_context.h"

namespace pellquin {

// The Win32 code of an errno from a file operation, local or over SMB.
uint32_t Win32ErrorOfFileErrno(int errnoValue);

// Files at UNC paths, reached through one SmbContext (its credentials, made on first use and
// kept for the session's life); one thread at a time. Every call returns 0 or an errno.
class SmbSession {
public:
    explicit SmbSession(std::string credentialsFile);

    int Stat(const std::string& unc, struct stat* info);
    int ReadAll(const std::string& unc, std::string* data);
    // Creates or truncates the file, then writes `data`.
    int WriteAll(const std::string& unc, const std::string& data);
    int Unlink(const std::string& unc);

private:
    SMBCCTX* Context(int* error);

    SmbContext m_smb;
};

}  // namespace pellquin
