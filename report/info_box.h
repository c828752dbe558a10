// The "&Info" report box.
#pragma once

void showInfoReport();
