#pragma once
#include "winsys/account_api.h"

class TFakeAccounts : public TAccountApi {};
