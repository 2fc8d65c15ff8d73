// The desktop program's start of the network file calls over the real adapter, with the
// default credentials file in a private config directory.

#include <sys/stat.h>
#include <unistd.h>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <fstream>
#include <string>

#include "app/net_files_start.h"
#include "scripted_prompts.h"

namespace pellquin {

class NetFilesStartTest : public QObject {
    Q_OBJECT

private slots:
    void aCredentialsFileThatCannotBeUsedIsReportedOnceAndLeftAside() {
        struct stat info {};
        if (stat("/etc/samba/smb.conf", &info) != 0) {
            QSKIP("Samba's client needs /etc/samba/smb.conf");
        }
        if (stat(("/tmp/krb5cc_" + std::to_string(getuid())).c_str(), &info) == 0) {
            QSKIP("a Kerberos ticket cache would be chosen before any file");
        }
        unsetenv("KRB5CCNAME");
        struct Case {
            const char* what;
            const char* text;  // nullptr: no file at all
            mode_t mode;
            const char* reported;  // part of the one error box; nullptr: no box
        } const cases[] = {
            {"readable by others", "username = alice\npassword = x\n", 0644, "mode 0644"},
            {"readable by its group", "username = alice\npassword = x\n", 0640, "mode 0640"},
            {"malformed", "no user here\n", 0600, "credentials"},
            {"safe", "username = alice\npassword = x\n", 0600, nullptr},
            {"absent", nullptr, 0, nullptr},
        };
        for (const Case& c : cases) {
            QTemporaryDir config;
            QVERIFY(config.isValid());
            setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
            const std::string file = config.path().toStdString() + "/pellquin/credentials";
            if (c.text != nullptr) {
                QVERIFY(mkdir((config.path().toStdString() + "/pellquin").c_str(), 0700) == 0);
                std::ofstream(file) << c.text;
                QVERIFY(chmod(file.c_str(), c.mode) == 0);
            }
            test::ScriptedPrompts prompts;
            auto api = StartNetFiles(prompts);
            QVERIFY2(api != nullptr, c.what);
            if (c.reported == nullptr) {
                QVERIFY2(prompts.shown.empty(), c.what);
                continue;
            }
            QCOMPARE(prompts.shown.size(), size_t{1});
            const std::string& box = prompts.shown.front();
            QVERIFY2(box.rfind("Error: ", 0) == 0, box.c_str());
            QVERIFY2(
                box.find(file) != std::string::npos || box.find(c.reported) != std::string::npos,
                box.c_str());
            QVERIFY2(box.find(c.reported) != std::string::npos, box.c_str());
            QVERIFY2(box.find("carries on without") != std::string::npos, box.c_str());
        }
    }
};

}  // namespace pellquin

QTEST_GUILESS_MAIN(pellquin::NetFilesStartTest)
#include "net_files_start_test.moc"
