#include <io.h>
#include <stdio.h>

#include "platform/terminal.h"

namespace pellquin {

bool StdinIsTerminal() {
    return _isatty(_fileno(stdin)) != 0;
}

bool StdoutIsTerminal() {
    return _isatty(_fileno(stdout)) != 0;
}

}  // namespace pellquin
