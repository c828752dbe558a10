#include "report/system_query.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/utsname.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// os-release and meminfo are a few kilobytes; more is not a file we know.
constexpr size_t kMaxFileBytes = 64 * 1024;

bool readSmallFile(const char* path, std::string& text) {
    FILE* file = fopen(path, "rb");
    if (!file) return false;
    char chunk[4096];
    size_t got;
    while (text.size() < kMaxFileBytes && (got = fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
    fclose(file);
    return true;
}

bool usable(const ifaddrs* entry) {
    return entry->ifa_addr && (entry->ifa_flags & IFF_UP) && !(entry->ifa_flags & IFF_LOOPBACK);
}

char* addressText(const sockaddr* address) {
    char text[INET6_ADDRSTRLEN] = {};
    const void* raw = address->sa_family == AF_INET
                          ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in*>(address)->sin_addr)
                          : static_cast<const void*>(&reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr);
    if (!inet_ntop(address->sa_family, raw, text, sizeof text)) return nullptr;
    return strdup(text);
}

// The first address of the given family that interface `name` has.
const sockaddr* addressOf(const ifaddrs* list, const char* name, int family) {
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next)
        if (usable(entry) && entry->ifa_addr->sa_family == family && entry->ifa_name &&
            strcmp(entry->ifa_name, name) == 0)
            return entry->ifa_addr;
    return nullptr;
}

bool seenBefore(const ifaddrs* list, const ifaddrs* entry) {
    for (const ifaddrs* earlier = list; earlier != entry; earlier = earlier->ifa_next)
        if (earlier->ifa_name && strcmp(earlier->ifa_name, entry->ifa_name) == 0) return true;
    return false;
}

// What follows `key` on the last line of `text` that begins with it: the
// shell reads os-release from the top, so a later line wins.
const char* findLine(const char* text, const char* key) {
    size_t keyLength = strlen(key);
    const char* found = nullptr;
    for (const char* line = text; line;) {
        if (strncmp(line, key, keyLength) == 0) found = line + keyLength;
        const char* end = strchr(line, '\n');
        line = end ? end + 1 : nullptr;
    }
    return found;
}

// An os-release value as the shell would read it: "..." with backslash
// escapes, '...' taken as it is, or a bare word with backslash escapes.
std::string unquoteShellValue(const char* value) {
    std::string out;
    char quote = (*value == '"' || *value == '\'') ? *value++ : '\0';
    for (; *value && *value != '\n' && *value != quote; ++value) {
        if (*value == '\\' && quote != '\'' && value[1] && value[1] != '\n') ++value;
        out += *value;
    }
    if (!quote) out.erase(out.find_last_not_of(" \t\r") + 1);
    return out;
}

char* prettySystemName() {
    std::string text;
    if (!readSmallFile("/etc/os-release", text) && !readSmallFile("/usr/lib/os-release", text)) return nullptr;
    char* name = osReleasePrettyName(text.c_str());
    // os-release's own default for a file that names no system.
    return name ? name : strdup("Linux");
}

char* kernelRelease() {
    utsname names{};
    if (uname(&names) != 0) return nullptr;
    return strdup(names.release);
}

char* availableMemory() {
    std::string text;
    if (!readSmallFile("/proc/meminfo", text)) return nullptr;
    return memAvailableKilobytes(text.c_str());
}

}  // namespace

char* firstInterfaceAddress(const ifaddrs* list) {
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_name || seenBefore(list, entry)) continue;
        const sockaddr* address = addressOf(list, entry->ifa_name, AF_INET);
        if (!address) address = addressOf(list, entry->ifa_name, AF_INET6);
        if (address) return addressText(address);
    }
    return nullptr;
}

char* osReleasePrettyName(const char* text) {
    const char* value = findLine(text, "PRETTY_NAME=");
    return value ? strdup(unquoteShellValue(value).c_str()) : nullptr;
}

char* memAvailableKilobytes(const char* text) {
    const char* value = findLine(text, "MemAvailable:");
    if (!value) return nullptr;
    while (*value == ' ' || *value == '\t') ++value;
    size_t digits = 0;
    while (isdigit(static_cast<unsigned char>(value[digits]))) ++digits;
    return digits ? strndup(value, digits) : nullptr;
}

char* queryIpAddress() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return nullptr;
    char* address = firstInterfaceAddress(list);
    freeifaddrs(list);
    return address;
}

char* queryOsProperty(const char* propertyName) {
    if (!propertyName) return nullptr;
    if (strcmp(propertyName, "Caption") == 0) return prettySystemName();
    if (strcmp(propertyName, "Version") == 0) return kernelRelease();
    if (strcmp(propertyName, "FreePhysicalMemory") == 0) return availableMemory();
    return nullptr;
}
