#include <unistd.h>

#include "platform/terminal.h"

namespace pellquin {

bool StdinIsTerminal() {
    return isatty(STDIN_FILENO) == 1;
}

bool StdoutIsTerminal() {
    return isatty(STDOUT_FILENO) == 1;
}

}  // namespace pellquin
