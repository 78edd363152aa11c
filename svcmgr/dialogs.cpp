#include "svcmgr/dialogs.h"

void ShowErrorDialog(TApplicationApi& api, const std::string& text) {
  api.ShowMessageBox(text, kErrorCaption, kErrorDialogFlags);
}

void ShowInformationDialog(TApplicationApi& api, const std::string& text) {
  api.ShowMessageBox(text, kInformationCaption, kInformationDialogFlags);
}
