#include "engine/errors.h"

namespace engine {

namespace {
thread_local int threadError = BASS_OK;
}

void setError(int code) { threadError = code; }

int lastError() { return threadError; }

}  // namespace engine

int BASS_ErrorGetCode(void) { return engine::lastError(); }
