#pragma once

// Runs the player: the single-instance guard, then the main dialog. Returns
// the exit code.
int programEntry();
