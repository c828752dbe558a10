// The "&Info" report box.
#pragma once

// Shows the report on the engine, its devices and plug-ins, and this
// computer in a modal box owned by the main window. Dialog thread.
void showInfoReport();
