// The text of the Info report, composed from its pieces.
#pragma once

#include <cstddef>

// The report's buffer, counting its NUL.
constexpr size_t kInfoReportCapacity = 800;
// The free-memory text's buffer, counting its NUL.
constexpr size_t kFreeMemoryCapacity = 20;

// What stands in the report for a value the system did not deliver.
inline constexpr char kUnknownValue[] = "unknown";

// The pieces, each in UTF-8 or the program's code page (Windows-1251); any
// may be null, shown as kUnknownValue.
struct InfoPieces {
    const char* version;     // buildVersionText
    const char* devices;     // buildDeviceList
    const char* ipAddress;   // queryIpAddress
    const char* systemName;  // queryOsProperty("Caption")
    const char* kernel;      // queryOsProperty("Version")
    const char* freeMemory;  // formatFreeMemory's text
    const char* plugins;     // player.pluginText
};

// A count of kilobytes read as atoi reads it (blanks, a sign, digits up to
// the first other character; none gives 0), held to the signed 32-bit range.
int parseKilobytes(const char* text);

// "<megabytes with three decimals> Mb\n\n" into text (kFreeMemoryCapacity),
// the megabytes passed through a 32-bit float; kUnknownValue and "\n\n"
// when kilobytes is null.
void formatFreeMemory(const char* kilobytes, char* text);

// The report, in UTF-8, into `report` (kInfoReportCapacity): version, device
// list, IP address, system name and version, free memory, plug-ins. A report
// too long is cut at the last whole character that fits.
void composeInfoReport(char* report, const InfoPieces& pieces);
