#include "common/stub_switches.h"

#include "common/stub_switches_impl.h"

QUORVEL_INSTANTIATE_STUB_SWITCHES(char)
