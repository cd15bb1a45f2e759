#include "paths/folder_macros.h"

#include "paths/folder_macros_impl.h"

const FolderMacro kFolderMacros[9] = {
    {"%ExtractDir%", 12},      {"%SystemDir%", 11}, {"%ProgramFilesDir%", 17},
    {"%CommonFilesDir%", 16},  {"%TEMP%", 6},       {"%ExtractDirX%", 13},
    {"%MyDocuments%", 13},     {"%windir%", 8},     {nullptr, 0},
};

QUORVEL_INSTANTIATE_FOLDER_MACROS(char)
