// The text rules of common/ for UTF-16, in a file of their own: a program
// that calls only the byte forms does not carry these.
#include "common/dbcs_impl.h"
#include "common/sfx_config_impl.h"
#include "common/stub_switches_impl.h"

QUORVEL_INSTANTIATE_DBCS(Utf16Unit)
QUORVEL_INSTANTIATE_SFX_CONFIG_TEXT(Utf16Unit)
QUORVEL_INSTANTIATE_STUB_SWITCHES(Utf16Unit)
