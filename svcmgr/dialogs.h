#pragma once
// The dialogs of install and uninstall runs: modal, centred on the screen, one
// default "OK" button. A message box without an owner window is exactly that.

#include <string>

#include "svcmgr/application_api.h"

inline constexpr char kErrorCaption[] = "Error";
inline constexpr char kInformationCaption[] = "Information";

// The double quotes around the placeholders belong to the texts.
inline constexpr char kInstallFailedText[] = "Service \"%s\" failed to install with error: \"%s\"";
inline constexpr char kUninstallFailedText[] = "Service \"%s\" failed to uninstall with error: \"%s\"";
inline constexpr char kInstalledText[] = "Service installed successfully";
inline constexpr char kUninstalledText[] = "Service uninstalled successfully";

inline constexpr uint32_t kErrorDialogFlags = kMbOk | kMbIconError | kMbTaskModal;
inline constexpr uint32_t kInformationDialogFlags = kMbOk | kMbIconInformation | kMbTaskModal;


// Each returns once the user has pressed OK.
void ShowErrorDialog(TApplicationApi& api, const std::string& text);
void ShowInformationDialog(TApplicationApi& api, const std::string& text);
