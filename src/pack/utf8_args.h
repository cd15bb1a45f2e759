// The packer takes its texts and paths as UTF-8. On Linux the arguments are
// UTF-8 already; on Windows main() receives them in the ANSI code page, which
// loses every character outside it, so they are taken again from the wide
// command line.
#pragma once

#include <string>
#include <vector>

// The arguments of a subcommand (argv[0] is the command's name), in UTF-8.
std::vector<std::string> Utf8Arguments(int argc, char** argv);
