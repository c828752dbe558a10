// The "&Info" command: the report on the engine and the computer, in a box.
#include "report/info_box.h"

#include <cstdlib>

#include "platform/win32.h"
#include "report/audio_report.h"
#include "report/info_text.h"
#include "report/system_query.h"
#include "state/player_state.h"

namespace {

const char kCaption[] = "Harkbox info:  2.03 BASS-2.4.9 5+1 ver. File Record";

}  // namespace

// Dialog thread. Every piece is fetched afresh, the IP address first; the
// box blocks this thread only, as a modal box does.
void showInfoReport() {
    char* report = new char[kInfoReportCapacity];
    char* ipAddress = queryIpAddress();
    char* version = buildVersionText();
    char* devices = buildDeviceList();
    char* systemName = queryOsProperty("Caption");
    char* kernel = queryOsProperty("Version");
    char* kilobytes = queryOsProperty("FreePhysicalMemory");
    char freeMemory[kFreeMemoryCapacity];
    formatFreeMemory(kilobytes, freeMemory);
    composeInfoReport(report, {version, devices, ipAddress, systemName, kernel, freeMemory, player.pluginText});
    MessageBoxA(player.mainWindow, report, kCaption, MB_OK);
    free(ipAddress);
    free(version);
    delete[] devices;
    free(systemName);
    free(kernel);
    free(kilobytes);
    delete[] report;
}
