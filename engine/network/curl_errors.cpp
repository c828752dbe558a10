#include "engine/network/curl_errors.h"

#include "engine/bass.h"

namespace engine::net {
namespace {

bool isTlsError(CURLcode code) {
    switch (code) {
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_CLIENTCERT:
    case CURLE_USE_SSL_FAILED:
        return true;
    default:
        return false;
    }
}

}  // namespace

int connectError(CURLcode code) {
    if (isTlsError(code)) return BASS_ERROR_SSL;
    switch (code) {
    case CURLE_OK:
        return BASS_OK;
    case CURLE_UNSUPPORTED_PROTOCOL:
        return BASS_ERROR_PROTOCOL;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return BASS_ERROR_HOST;
    case CURLE_OPERATION_TIMEDOUT:
        return BASS_ERROR_TIMEOUT;
    case CURLE_TOO_MANY_REDIRECTS:
        return BASS_ERROR_REDIRECT;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING:
        return BASS_ERROR_HEADERS;
    case CURLE_OUT_OF_MEMORY:
        return BASS_ERROR_MEM;
    default:
        // Refused, reset, closed before the head, a malformed address.
        return BASS_ERROR_FILEOPEN;
    }
}

int downloadEndError(CURLcode code) {
    switch (code) {
    case CURLE_OK:
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
        return BASS_OK;
    default:
        return connectError(code);
    }
}

}  // namespace engine::net
