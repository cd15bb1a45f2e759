#include "paths/path_text.h"

#include "paths/path_text_impl.h"

char DestinationFolder[kDestinationFolderBytes];

QUORVEL_INSTANTIATE_PATH_TEXT(char)
