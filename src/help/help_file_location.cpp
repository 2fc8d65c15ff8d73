#include "help/help_file_location.h"

namespace pellquin {

std::string HelpFileFor(const std::string& executable, const std::string& fileName) {
    const size_t slash = executable.find_last_of("/\\");
    const std::string folder =
        slash == std::string::npos ? std::string() : executable.substr(0, slash + 1);
    if (folder.size() < 5) {
        return folder + fileName;
    }
    const std::string last = folder.substr(folder.size() - 5);
    if (last != "/bin/" && last != "\\bin\\") {
        return folder + fileName;
    }
    const char separator = folder.back();
    const std::string prefix = folder.substr(0, folder.size() - 4);
    const size_t first = fileName.find_first_of("/\\");
    const std::string page = first == std::string::npos ? fileName : fileName.substr(first + 1);
    return prefix + "share" + separator + "pellquin" + separator + "help" + separator + page;
}

}  // namespace pellquin
