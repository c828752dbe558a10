#include "state/player_state.h"

// Never destroyed: exit does not wait for a connect thread, which may still
// use the state while the process runs its static destructors.
PlayerState& player = *new PlayerState;
