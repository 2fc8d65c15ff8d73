#include "platform/credentials_choice.h"

#include <gtest/gtest.h>

namespace pellquin {
namespace {

TEST(ChooseCredentials, NamedFileElseTicketElseDefaultFile) {
    const struct {
        const char* label;
        std::string named;
        CredentialsEnvironment environment;
        CredentialsSource source;
        std::string file;
    } cases[] = {
        // A named file wins over a ticket and over the default file.
        {"named",
         "/etc/pq/cred",
         {"FILE:/tmp/k", true, "/x", "/home/a"},
         CredentialsSource::NamedFile,
         "/etc/pq/cred"},
        {"named, nothing else", "cred", {}, CredentialsSource::NamedFile, "cred"},
        // Either sign of a ticket puts it first; the default file is still named for
        // clients that try a file's user before the ticket.
        {"KRB5CCNAME",
         "",
         {"FILE:/tmp/k", false, "/x", "/home/a"},
         CredentialsSource::KerberosTicket,
         "/x/pellquin/credentials"},
        {"default cache",
         "",
         {"", true, "", "/home/a"},
         CredentialsSource::KerberosTicket,
         "/home/a/.config/pellquin/credentials"},
        {"ticket, no home",
         "",
         {"FILE:/tmp/k", false, "", ""},
         CredentialsSource::KerberosTicket,
         ""},
        // No ticket: the default file, where there is a place for one.
        {"XDG_CONFIG_HOME",
         "",
         {"", false, "/x", "/home/a"},
         CredentialsSource::DefaultFile,
         "/x/pellquin/credentials"},
        {"HOME",
         "",
         {"", false, "", "/home/a"},
         CredentialsSource::DefaultFile,
         "/home/a/.config/pellquin/credentials"},
        {"nothing", "", {}, CredentialsSource::None, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const CredentialsChoice choice = ChooseCredentials(c.named, c.environment);
        EXPECT_EQ(choice.source, c.source);
        EXPECT_EQ(choice.file, c.file);
    }
}

}  // namespace
}  // namespace pellquin
