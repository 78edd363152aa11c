#pragma once
// The calling convention of functions that Windows calls back (service main,
// control handler, window procedures, thread start routines). Only 32-bit x86 has
// a separate stdcall convention; elsewhere this is empty.
#if defined(_WIN32) && defined(__i386__)
#define NF_WINAPI __attribute__((stdcall))
#else
#define NF_WINAPI
#endif
