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

// The user that libsmbclient and gio go out as for `namedFile` (empty: none named): that of
// the file ChooseCredentials picks; with a ticket there, the default file all the same, as
// these clients turn to a ticket only without a user. Empty when that file is missing,
// unreadable or malformed: the server then judges an anonymous caller (or, through
// libsmbclient, the ticket).
SmbCredentials SmbCredentialsOf(const std::string& namedFile);

// The same, also giving the file that was read or meant (empty: none, also when the default
// file is simply absent) and, when that file could not be used, why (empty when it was).
SmbCredentials SmbCredentialsOf(const std::string& namedFile, std::string* file,
                                std::string* problem);

// One libsmbclient context, made on first use and kept for the owner's life, authenticating
// as SmbCredentialsOf(credentialsFile) gives; without a user, anonymously and with a Kerberos
// ticket, if any.
class SmbContext {
public:
    explicit SmbContext(std::string credentialsFile);
    // Authenticating as `credentials`, read already: for a program that may have given up the
    // right to read the file since (the query service, once it runs as its own user).
    explicit SmbContext(const SmbCredentials& credentials);
    ~SmbContext();
    SmbContext(const SmbContext&) = delete;
    SmbContext& operator=(const SmbContext&) = delete;

    // nullptr when libsmbclient cannot start.
    SMBCCTX* Get();

    // After Get(): the credentials file whose user the context goes out as, or that was
    // meant but could not be used (empty: none), and why it could not (empty: it could).
    const std::string& CredentialsFile() const { return m_fileUsed; }
    const std::string& CredentialsProblem() const { return m_fileProblem; }

private:
    std::string m_credentialsFile;
    SmbCredentials m_credentials;
    std::string m_fileUsed;
    std::string m_fileProblem;
    SMBCCTX* m_context = nullptr;
    bool m_failed = false;
    bool m_credentialsGiven = false;
};

// Whether `path` names a directory: a local one through stat (symbolic links followed), a UNC
// one by opening it as a directory, which also answers for "\\server" and share roots that
// have no attributes of their own to stat.
bool IsDirectoryPath(const std::string& path, SmbContext* smb);

}  // namespace pellquin
