#pragma once
// The service host in one include: the service application with its program
// entry steps, installation, dialogs, the message loop, the event logger, the
// window timer and the service base class.

#include "svcmgr/application.h"
#include "svcmgr/application_error.h"
#include "svcmgr/command_line.h"
#include "svcmgr/dialogs.h"
#include "svcmgr/event_logger.h"
#include "svcmgr/install.h"
#include "svcmgr/message_loop.h"
#include "svcmgr/os_error.h"
#include "svcmgr/service.h"
#include "svcmgr/timer.h"
