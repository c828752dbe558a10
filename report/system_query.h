// The computer's IP address and operating-system properties for the Info
// report, read from Linux. Every result is a new heap string (free() it), or
// null when the system does not deliver the value. Dialog thread.
#pragma once

struct ifaddrs;

// The first address of the first network interface that is up and not the
// loopback, an interface's IPv4 addresses before its IPv6 ones.
char* queryIpAddress();

// "Caption": the system's pretty name (os-release); "Version": the kernel
// release; "FreePhysicalMemory": the memory available, in kilobytes, as
// decimal text. Null for any other name.
char* queryOsProperty(const char* propertyName);

// The pieces of the queries, on given input.

// queryIpAddress's choice among the entries of a getifaddrs list, whose
// order of first appearance is the interfaces' order.
char* firstInterfaceAddress(const ifaddrs* list);
// The value of PRETTY_NAME in an os-release text, its quotes and escapes
// undone; null when it has none.
char* osReleasePrettyName(const char* text);
// The digits of the MemAvailable line of a /proc/meminfo text; null when it
// has none.
char* memAvailableKilobytes(const char* text);
