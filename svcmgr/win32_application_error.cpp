// Notes where each C++ exception is thrown, for the last-resort error report.
// The executable links with --wrap=__cxa_throw, which sends every throw of the
// program (the runtime library's included) through here first. Kept alone in its
// file so that programs linked without the option never pull it in.
#include <cstdint>

#include "svcmgr/application_error.h"

extern "C" {
// The runtime's own entry; the destructor argument is passed through untouched.
[[noreturn]] void __real___cxa_throw(void* thrownObject, void* typeInfo, void (*destructor)(void*));

[[noreturn]] void __wrap___cxa_throw(void* thrownObject, void* typeInfo, void (*destructor)(void*)) {
  NoteThrow(thrownObject, reinterpret_cast<uintptr_t>(__builtin_return_address(0)));
  __real___cxa_throw(thrownObject, typeInfo, destructor);
}
}
