// Which hosts are reached without the proxy the environment names.
#pragma once

#include <string>

namespace engine::net {

// The hosts the user's no_proxy (or NO_PROXY) names, as libcurl reads them,
// and always the loopback ones: a station on this machine is never fetched
// through a proxy elsewhere.
std::string hostsWithoutProxy();

}  // namespace engine::net
