#include "state/upward_calls.h"

bool (*reconnectWillFollowCall)() = nullptr;
int (*stationUrlLookupCall)(char** url) = nullptr;
