// The system queries: their choices on given input, and the real ones.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <sys/utsname.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "report/system_query.h"

namespace {

std::string taken(char* text) {
    std::string copy = text ? text : "(null)";
    free(text);
    return copy;
}

// A getifaddrs list made by hand: name, flags and address per entry.
struct FakeInterfaces {
    std::vector<ifaddrs> entries;
    std::vector<std::unique_ptr<sockaddr_storage>> addresses;

    void add(const char* name, unsigned flags, const char* address) {
        auto storage = std::make_unique<sockaddr_storage>();
        auto* v4 = reinterpret_cast<sockaddr_in*>(storage.get());
        auto* v6 = reinterpret_cast<sockaddr_in6*>(storage.get());
        if (inet_pton(AF_INET, address, &v4->sin_addr) == 1)
            v4->sin_family = AF_INET;
        else if (inet_pton(AF_INET6, address, &v6->sin6_addr) == 1)
            v6->sin6_family = AF_INET6;
        else
            storage->ss_family = AF_PACKET;
        entries.push_back({nullptr,
                           const_cast<char*>(name),
                           flags,
                           reinterpret_cast<sockaddr*>(storage.get()),
                           nullptr,
                           {},
                           nullptr});
        addresses.push_back(std::move(storage));
    }
    std::string first() {
        for (size_t i = 0; i + 1 < entries.size(); ++i) entries[i].ifa_next = &entries[i + 1];
        return taken(firstInterfaceAddress(entries.empty() ? nullptr : &entries[0]));
    }
};

TEST(IpAddress, FirstUpInterfaceNotLoopbackItsIpv4First) {
    FakeInterfaces list;
    list.add("lo", IFF_UP | IFF_LOOPBACK, "packet");
    list.add("down0", 0, "packet");
    list.add("eth0", IFF_UP, "packet");
    list.add("wlan0", IFF_UP, "packet");
    list.add("lo", IFF_UP | IFF_LOOPBACK, "127.0.0.1");
    list.add("down0", 0, "10.0.0.1");
    list.add("wlan0", IFF_UP, "192.0.2.9");
    list.add("eth0", IFF_UP, "fe80::1");
    list.add("eth0", IFF_UP, "192.0.2.1");
    list.add("eth0", IFF_UP, "192.0.2.2");
    EXPECT_EQ(list.first(), "192.0.2.1");

    FakeInterfaces v6only;
    v6only.add("lo", IFF_UP | IFF_LOOPBACK, "::1");
    v6only.add("eth1", IFF_UP, "2001:db8::5");
    v6only.add("eth1", IFF_UP, "2001:db8::6");
    EXPECT_EQ(v6only.first(), "2001:db8::5");

    FakeInterfaces none;
    none.add("lo", IFF_UP | IFF_LOOPBACK, "127.0.0.1");
    none.add("eth0", IFF_UP, "packet");
    EXPECT_EQ(none.first(), "(null)");
    EXPECT_EQ(FakeInterfaces().first(), "(null)");
}

TEST(OsRelease, PrettyNameAsTheShellReadsIt) {
    EXPECT_EQ(
        taken(osReleasePrettyName("NAME=\"Debian\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=debian\n")),
        "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(taken(osReleasePrettyName("PRETTY_NAME='It''s \\x'")), "It");
    EXPECT_EQ(taken(osReleasePrettyName("PRETTY_NAME=\"Say \\\"hi\\\" \\\\ \\$5\" trailing")), "Say \"hi\" \\ $5");
    EXPECT_EQ(taken(osReleasePrettyName("PRETTY_NAME=Plain\\ Linux  \r\nPRETTY_NAME=Later")), "Later");
    EXPECT_EQ(taken(osReleasePrettyName("PRETTY_NAME=\"Unclosed\nNEXT=1")), "Unclosed");
    EXPECT_EQ(taken(osReleasePrettyName("NAME=x\n PRETTY_NAME=indented\nXPRETTY_NAME=y")), "(null)");
    EXPECT_EQ(taken(osReleasePrettyName("")), "(null)");
}

TEST(MemInfo, MemAvailableDigits) {
    EXPECT_EQ(taken(memAvailableKilobytes("MemTotal:       32000000 kB\nMemFree: 1 kB\nMemAvailable:   22702964 kB\n")),
              "22702964");
    EXPECT_EQ(taken(memAvailableKilobytes("MemAvailable:99999999999999 kB")), "99999999999999");
    EXPECT_EQ(taken(memAvailableKilobytes("MemAvailable:   kB\n")), "(null)");
    EXPECT_EQ(taken(memAvailableKilobytes("MemFree: 5 kB\n")), "(null)");
}

// This machine's values: present and of the right form.
TEST(SystemQueries, RealValuesHaveTheirForm) {
    std::string caption = taken(queryOsProperty("Caption"));
    EXPECT_NE(caption, "(null)");
    EXPECT_FALSE(caption.empty());
    utsname names{};
    ASSERT_EQ(uname(&names), 0);
    EXPECT_EQ(taken(queryOsProperty("Version")), names.release);
    std::string memory = taken(queryOsProperty("FreePhysicalMemory"));
    EXPECT_EQ(memory.find_first_not_of("0123456789"), std::string::npos) << memory;
    EXPECT_EQ(taken(queryOsProperty("TotalVisibleMemorySize")), "(null)");
    EXPECT_EQ(taken(queryOsProperty(nullptr)), "(null)");
    std::string ip = taken(queryIpAddress());
    unsigned char raw[16];
    if (ip != "(null)") {
        EXPECT_TRUE(inet_pton(AF_INET, ip.c_str(), raw) == 1 || inet_pton(AF_INET6, ip.c_str(), raw) == 1) << ip;
    }
}

}  // namespace
