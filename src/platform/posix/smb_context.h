#pragma once

#include <libsmbclient.h>

#include <string>

#include "platform/credentials_file.h"

namespace pellquin {

// "\\server\share\dir" or "//server/share/dir" as an smb:// URL; everything after the server
// is percent-encoded where a URL would read it otherwise.
std::string SmbUrlOf(const std::string& unc);

// True for "\\..." and "//...".
bool IsUncPathText(const std::string& path);

// One libsmbclient context, made on first use and kept for the owner's life, authenticating
// as the user of an smbclient-style credentials file (empty name: the default file; no
// readable file: anonymous and a Kerberos ticket, if any).
class SmbContext {
public:
    explicit SmbContext(std::string credentialsFile);
    ~SmbContext();
    SmbContext(const SmbContext&) = delete;
    SmbContext& operator=(const SmbContext&) = delete;

    // nullptr when libsmbclient cannot start.
    SMBCCTX* Get();

private:
    std::string m_credentialsFile;
    SmbCredentials m_credentials;
    SMBCCTX* m_context = nullptr;
    bool m_failed = false;
};

}  // namespace pellquin
