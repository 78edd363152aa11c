#include "svcmgr/dialogs.h"

std::string FillTwo(const std::string& format, const std::string& first, const std::string& second) {
  std::string text;
  const std::string* values[] = {&first, &second};
  size_t next = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    if (next < 2 && format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's') {
      text += *values[next++];
      ++i;
    } else {
      text += format[i];
    }
  }
  return text;
}

void ShowErrorDialog(TApplicationApi& api, const std::string& text) {
  api.ShowMessageBox(text, kErrorCaption, kErrorDialogFlags);
}

void ShowInformationDialog(TApplicationApi& api, const std::string& text) {
  api.ShowMessageBox(text, kInformationCaption, kInformationDialogFlags);
}
