// A station's address as a hand-written list holds it, made into the address
// that is asked for.
#pragma once

#include <string>
#include <string_view>

namespace engine::net {

// Drops what ends the text (line end, blanks, tabs: none can end an address,
// and none shows in an editor) and escapes the blanks and tabs left inside,
// which a request line cannot carry as they are.
std::string stationUrl(std::string_view text);

}  // namespace engine::net
