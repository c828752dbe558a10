#include "engine/network/proxy_rules.h"

#include <cstdlib>

namespace engine::net {

std::string hostsWithoutProxy() {
    // Setting libcurl's list replaces its reading of the environment, so the
    // user's list is read the way libcurl reads it and kept whole.
    const char* user = getenv("no_proxy");
    if (!user || !*user) user = getenv("NO_PROXY");
    std::string hosts = "127.0.0.1,localhost,::1";
    if (!user || !*user) return hosts;
    // libcurl takes "*" (every host) only as the whole list.
    if (std::string(user) == "*") return user;
    return hosts + "," + user;
}

}  // namespace engine::net
