#pragma once
#include "diag/log_platform.h"

class TFakeLogPlatform : public TLogPlatform {};
