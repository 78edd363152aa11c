#pragma once
#include "winsys/registry_api.h"

class TFakeRegistry : public TRegistryApi {};
