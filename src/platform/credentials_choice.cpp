#include "platform/credentials_choice.h"

#include "platform/credentials_file.h"

namespace pellquin {

CredentialsChoice ChooseCredentials(const std::string& namedFile,
                                    const CredentialsEnvironment& environment) {
    if (!namedFile.empty()) {
        return {CredentialsSource::NamedFile, namedFile};
    }
    const std::string defaultFile =
        DefaultCredentialsPath(environment.xdgConfigHome.c_str(), environment.home.c_str());
    if (!environment.krb5CacheName.empty() || environment.defaultTicketCache) {
        return {CredentialsSource::KerberosTicket, defaultFile};
    }
    if (defaultFile.empty()) {
        return {CredentialsSource::None, std::string()};
    }
    return {CredentialsSource::DefaultFile, defaultFile};
}

}  // namespace pellquin
