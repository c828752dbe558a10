// The main window's dialog template and icons.
#pragma once

#include "platform/dialog_template.h"

// Registers template IDD_MAIN and icons IDI_SMALL and IDI_BIG with the
// window layer. Call once before the dialog runs.
void registerMainDialogResources();

// The template itself (static storage).
const platform::DialogTemplate& mainDialogTemplate();
