#include "paths/path_text.h"

#include "paths/path_text_impl.h"

QUORVEL_INSTANTIATE_PATH_TEXT(char)
