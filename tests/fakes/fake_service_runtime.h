#pragma once
#include "svcmgr/service_api.h"

class TFakeServiceRuntime : public TServiceRuntimeApi {};
