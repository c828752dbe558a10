#include "engine/api/errors.h"

#include <new>
#include <system_error>

namespace engine {

namespace {
thread_local int threadError = BASS_OK;
}

void setError(int code) {
    threadError = code;
}

int lastError() {
    return threadError;
}

int currentExceptionError() {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return BASS_ERROR_MEM;
    } catch (const std::system_error&) {
        return BASS_ERROR_MEM;  // a thread or another resource could not be had
    } catch (...) {
        return BASS_ERROR_UNKNOWN;
    }
}

}  // namespace engine

int BASS_ErrorGetCode(void) {
    return engine::lastError();
}
