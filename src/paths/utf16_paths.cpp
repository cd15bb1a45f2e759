// The path rules for UTF-16, in a file of their own: a program that calls
// only the byte forms does not carry these.
#include "paths/folder_macros_impl.h"
#include "paths/name_rules_impl.h"
#include "paths/path_text_impl.h"

QUORVEL_INSTANTIATE_PATH_TEXT(Utf16Unit)
QUORVEL_INSTANTIATE_NAME_RULES(Utf16Unit)
QUORVEL_INSTANTIATE_FOLDER_MACROS(Utf16Unit)
