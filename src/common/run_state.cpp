#include "common/run_state.h"

RunStateFlags RunState;
ProgressCounts ProgressTotals;
char GeneralText[kGeneralTextBytes];
