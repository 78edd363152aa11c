#pragma once
// Error texts of the service host: the last-resort "Application Error" report,
// and where an error was raised. The failed-system-call error is in os_error.h.

#include <cstdint>
#include <string>

inline constexpr char kApplicationErrorCaption[] = "Application Error";
inline constexpr size_t kApplicationErrorTextLimit = 1023;
inline constexpr size_t kApplicationErrorCaptionLimit = 63;

// "Exception %s in module %s at %p." CR LF "%s%s" CR LF: the class name, the
// module's file name, the offset into it in eight hexadecimal digits, the message,
// and "." when the message is not empty and does not end in one. Cut to 1023
// characters.
std::string ApplicationErrorText(const std::string& className, const std::string& moduleName, uintptr_t offset,
                                 const std::string& message);

// The first limit characters of text.
std::string CutText(const std::string& text, size_t limit);

// The file name of a path: what follows its last backslash, slash or colon.
std::string FileNameOf(const std::string& path);

// Where errors were raised. The Windows executable routes every C++ throw through
// a hook that calls NoteThrow with the thrown object and the return address of
// the throw (the program links with --wrap=__cxa_throw); elsewhere nothing is noted.
// Per thread; only the most recent throw is kept.
void NoteThrow(const void* thrownObject, uintptr_t address);
// The address at which object was thrown on this thread, when it was the most
// recent throw; with a null object, the address of the most recent throw. 0 when
// unknown.
uintptr_t ThrowAddress(const void* thrownObject);
