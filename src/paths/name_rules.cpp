#include "paths/name_rules.h"

#include "paths/name_rules_impl.h"

QUORVEL_INSTANTIATE_NAME_RULES(char)
