// The packer takes its texts and paths as UTF-8 on every system. On Linux the
// arguments and file names are UTF-8 bytes already. On Windows main() receives
// its arguments in the ANSI code page and fopen() takes names in it, which
// loses every character outside that code page: the arguments are taken again
// from the wide command line, and files are opened through their wide names.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// The program's arguments after its own name, in UTF-8.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// fopen() for a UTF-8 path; null when the file cannot be opened.
std::FILE* OpenUtf8File(const std::string& path, const char* mode);
