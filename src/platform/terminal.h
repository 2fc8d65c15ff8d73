#pragma once

namespace pellquin {

// Whether the program's standard input / output is a terminal: a person who can be asked,
// a screen that can be redrawn in place. Output to a pipe or a file is for scripts.
bool StdinIsTerminal();
bool StdoutIsTerminal();

}  // namespace pellquin
