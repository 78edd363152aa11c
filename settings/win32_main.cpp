// nortavelsettings.exe: the parent's window. It runs as an administrator (its
// manifest asks Windows for the rights), writes through the same operations
// as nortavelctl, and asks the service to reload after a change.
//
// Thread: everything on the main thread.
#include "common/win32.h"

#include <commctrl.h>

#include "admin/admin.h"
#include "admin/admin_errors.h"
#include "common/clock.h"
#include "common/registry_api.h"
#include "diag/log_platform.h"
#include "settings/win32_settings.h"
#include "svcmgr/message_loop.h"
#include "svcmgr/timer.h"
#include "winsys/account_api.h"
#include "winsys/crypto_api.h"
#include "winsys/pipe_api.h"
#include "winsys/process_api.h"

namespace {
// The decision and the day's use change by the minute; the service writes its
// record once a minute.
constexpr uint32_t kRefreshMs = 30000;
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // A second start brings the first window forward: the package opens it at
  // the end of an install, while a parent may have opened it already.
  HWND running = FindWindowA(nullptr, kSettingsCaption);
  if (running != nullptr) {
    ShowWindow(running, SW_RESTORE);
    SetForegroundWindow(running);
    return 0;
  }
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  TAdminPlatform platform{PlatformRegistry(), PlatformAccounts(), PlatformProcesses(), PlatformLogFiles(),
                          PlatformClock(),    PlatformTool(),     PlatformPipeClient(), PlatformCrypto(),
                          sizeof(void*) == 8, TConfigLocation{}};
  TAdmin admin = OpenAdmin(platform, std::nullopt);
  TApplication app(PlatformMessageLoopApi());
  try {
    if (OpenSettingsWindow(admin, instance) == nullptr) return 1;
  } catch (const Exception& error) {
    // A configuration the service refuses: the window would show it wrongly.
    MessageBoxA(nullptr, error.Message().c_str(), kSettingsCaption, MB_OK | MB_ICONERROR);
    return 1;
  }
  TTimer timer(PlatformTimerApi());
  timer.SetInterval(kRefreshMs);
  timer.SetOnTimer([](TComponent*) { RefreshSettingsWindow(); });
  timer.SetEnabled(true);
  // Tab, the mnemonics and Enter need the dialog manager's hand in the loop.
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (SettingsDialogMessage(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
