#pragma once

#include <string>

namespace pellquin {

// What the credentials choice looks at besides the file the user named. Empty strings are
// unset variables.
struct CredentialsEnvironment {
    std::string krb5CacheName;        // $KRB5CCNAME
    bool defaultTicketCache = false;  // /tmp/krb5cc_UID exists
    std::string xdgConfigHome;        // $XDG_CONFIG_HOME
    std::string home;                 // $HOME
};

enum class CredentialsSource {
    NamedFile,       // the user named a file: it is meant to be used, so its absence is an error
    KerberosTicket,  // nothing named and a ticket cache is there: the ticket comes first
    DefaultFile,     // nothing named, no ticket: the default file, which may well be absent
    None,            // nothing named, no ticket, and no home for a default file
};

struct CredentialsChoice {
    CredentialsSource source = CredentialsSource::None;
    // The file to read: the named one, else the default one (with KerberosTicket too, for
    // clients that try a file's user before the ticket); empty when there is neither.
    std::string file;
};

// The one rule for where an SMB call's credentials come from: the file named by the user
// (empty: none), else a Kerberos ticket, else the default file (see DefaultCredentialsPath).
CredentialsChoice ChooseCredentials(const std::string& namedFile,
                                    const CredentialsEnvironment& environment);

// This process's environment for ChooseCredentials. Defined where SMB clients read
// credentials files (POSIX).
CredentialsEnvironment CurrentCredentialsEnvironment();

}  // namespace pellquin
