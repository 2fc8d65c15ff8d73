#include "app/command_line.h"

namespace pellquin {

std::optional<int> AnswerInformationOptions(const std::vector<std::string>& arguments,
                                            const std::function<std::string()>& helpFile,
                                            std::ostream& out) {
    for (const std::string& argument : arguments) {
        if (argument == "--version") {
            out << "pellquin " PELLQUIN_VERSION "\n";
            return 0;
        }
        if (argument == "--help" || argument == "-h") {
            out << "Usage: pellquin [PATH]\n"
                   "       pellquin --help | --version\n"
                   "\n"
                   "Lists who holds files open under PATH on its file server (checked as soon\n"
                   "as the window opens) and closes those handles. PATH is a local path, a\n"
                   "path on a mounted SMB share, or a UNC name (\\\\server\\share\\path,\n"
                   "//server/share/path or smb://server/share/path).\n"
                   "\n"
                   "Help pages: "
                << helpFile() << "\n";
            return 0;
        }
    }
    return std::nullopt;
}

}  // namespace pellquin
