// The calling thread's last error code, as BASS_ErrorGetCode reports it.
// Every public call ends through ok() or fail(): a success clears the code.
#pragma once

#include "engine/bass.h"

namespace engine {

void setError(int code);
int lastError();

// Sets `code` and returns `result`, the failure value of the call.
template <class T>
T fail(int code, T result) {
    setError(code);
    return result;
}

// Inside a catch block: the error code for the exception being handled
// (BASS_ERROR_MEM for an allocation that failed, BASS_ERROR_UNKNOWN for any
// other), so that no exception leaves an engine thread or a public call.
int currentExceptionError();

// Clears the code and returns `result`.
template <class T>
T ok(T result) {
    setError(BASS_OK);
    return result;
}

}  // namespace engine
