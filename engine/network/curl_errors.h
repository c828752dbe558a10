// libcurl's result codes as the engine's error codes.
#pragma once

#include <curl/curl.h>

namespace engine::net {

// The BASS_ERROR_* code for a transfer that failed with `code` before the
// response head was complete (0 for CURLE_OK).
int connectError(CURLcode code);

// The code for the end of a download after its head: 0 when the server
// closed the connection, cleanly or not, otherwise a BASS_ERROR_* code.
int downloadEndError(CURLcode code);

}  // namespace engine::net
