#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>

#include "platform/posix/smb_context.h"

namespace pellquin {

// The Win32 code of an errno from a file operation, local or over SMB.
uint32_t Win32ErrorOfFileErrno(int errnoValue);

// UNC paths reached through libsmbclient as the user of an smbclient-style credentials
// file (the default file when none is named; without one, Kerberos or anonymous). The
// context is made on first use and kept for the session's life; one thread at a time.
// Every call returns 0 or an errno.
class SmbSession {
public:
    explicit SmbSession(std::string credentialsFile);
    ~SmbSession();
    SmbSession(const SmbSession&) = delete;
    SmbSession& operator=(const SmbSession&) = delete;

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
