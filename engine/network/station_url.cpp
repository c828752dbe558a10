#include "engine/network/station_url.h"

namespace engine::net {

namespace {

bool endsNothing(char c) {
    return c == '\n' || c == '\r' || c == ' ' || c == '\t';
}

}  // namespace

std::string stationUrl(std::string_view text) {
    while (!text.empty() && endsNothing(text.back())) text.remove_suffix(1);
    std::string url;
    url.reserve(text.size());
    for (char c : text) {
        if (c == ' ')
            url += "%20";
        else if (c == '\t')
            url += "%09";
        else
            url += c;
    }
    return url;
}

}  // namespace engine::net
