#include "platform/path_probe.h"

namespace pellquin {

std::string ProbeDoubtText(const std::string& path, const ProbeDoubt& doubt) {
    const std::string as = doubt.credentialsFile.empty()
                               ? std::string(" without a user (no credentials file)")
                               : " with the credentials file " + doubt.credentialsFile;
    switch (doubt.kind) {
        case ProbeDoubt::Kind::None:
            break;
        case ProbeDoubt::Kind::LogonRefused:
            return "Cannot look at " + path + ": the server refused the logon" + as +
                   ". Check the user name and password.";
        case ProbeDoubt::Kind::AccessDenied:
            return "Cannot look at " + path + ": access is denied to the user" + as + ".";
        case ProbeDoubt::Kind::CredentialsUnusable:
            return "Cannot look at " + path + ": the credentials file " + doubt.credentialsFile +
                   " cannot be used (" + doubt.detail +
                   "), and the server refused access without it.";
    }
    return std::string();
}

}  // namespace pellquin
