#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/credentials_choice.h"

namespace pellquin {
namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

CredentialsEnvironment CurrentCredentialsEnvironment() {
    CredentialsEnvironment environment;
    environment.krb5CacheName = Variable("KRB5CCNAME");
    struct stat info {};
    const std::string defaultCache = "/tmp/krb5cc_" + std::to_string(getuid());
    environment.defaultTicketCache = stat(defaultCache.c_str(), &info) == 0;
    environment.xdgConfigHome = Variable("XDG_CONFIG_HOME");
    environment.home = Variable("HOME");
    return environment;
}

}  // namespace pellquin
