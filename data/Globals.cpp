#include "data/Globals.h"

#include "platform/CrashHandler.h"

platform::CGlobalExceptionHandler& GlobalExceptionHandler() {
    // A function-local object: built when the entry function first asks for
    // it, so no other global's initialisation can run into it unbuilt.
    static platform::CGlobalExceptionHandler handler;
    return handler;
}
