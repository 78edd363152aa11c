#pragma once
#include "winsys/process_api.h"

class TFakeProcesses : public TProcessApi {};
