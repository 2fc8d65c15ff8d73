#pragma once

#include <cstdint>
#include <string>

namespace pellquin {

// A user name and password for an SMB server, as an smbclient-style authentication file
// gives them.
struct SmbCredentials {
    std::string user;
    std::string password;
    std::string domain;  // empty: the server's own
};

// Parses the text of an smbclient-style authentication file: lines "username = NAME",
// "password = SECRET" and "domain = NAME"; blank lines and lines starting with '#' or ';' are
// skipped, other names are ignored. The value is the rest of the line after '=' without the
// blanks around it, so passwords may contain '=' and inner blanks. A user name of the form
// "DOMAIN\user" or "DOMAIN/user" sets the domain when no domain line does. Returns false and
// sets *error (naming the line) for a line without '=' or a file without a user name.
bool ParseCredentials(const std::string& text, SmbCredentials* credentials, std::string* error);

// An error text when a credentials file with these permission bits (st_mode & 07777) must be
// refused because its group or others have any access to it; empty when the mode is safe.
std::string CredentialsModeProblem(const std::string& path, uint32_t mode);

// Where the credentials file is looked for when none is named:
// $XDG_CONFIG_HOME/pellquin/credentials, else $HOME/.config/pellquin/credentials. Either
// argument may be null or empty (unset); with neither, the result is empty.
std::string DefaultCredentialsPath(const char* xdgConfigHome, const char* home);

enum class CredentialsLoad { Loaded, Missing, Failed };

// Reads and parses a credentials file, refusing one that its group or others may access.
// Missing: there is no file at `path` (*error says so). Failed: it could not be read, its
// mode is unsafe or its text is malformed; *error says which.
CredentialsLoad LoadCredentialsFile(const std::string& path, SmbCredentials* credentials,
                                    std::string* error);

}  // namespace pellquin
