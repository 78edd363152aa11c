#pragma once
// The service program: the module assembled with the real platform, run by the
// service application. Windows only.

#include <functional>

#include "engine/Unit1.h"

// Runs the program to its end and returns its exit code, always 0. adjust, when
// given, sees the module once it is created, before the control manager can
// start it; the shipped program passes none.
int RunNortavelFreeProgram(const std::function<void(TNortavelFree&)>& adjust = {});
