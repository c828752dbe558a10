#include "state/upward_calls.h"

bool (*reconnectWillFollowCall)() = nullptr;
