#include "platform/host.h"

namespace vellumix {

void ShowMessage(Host& host, int id, std::string_view argument) {
  host.ShowMessage(id, res::Format(id, {argument}));
}

void ShowMessageById(Host& host, int id) { host.ShowMessage(id, res::Text(id)); }

void ShowMessageFormatted(Host& host, int id, const std::vector<res::FormatArg>& args) {
  host.ShowMessage(id, res::Format(id, args));
}

bool AskYesNo(Host& host, int id, std::string_view argument) {
  return host.AskYesNo(id, res::Format(id, {argument}));
}

bool ReportStatus(Host& host, std::string_view text, int pane, bool clearSecondPane) {
  if (text.size() >= kStatusBufferSize) text = text.substr(0, kStatusBufferSize - 1);
  return host.ReportStatus(text, pane, clearSecondPane);
}

bool ReportStatusById(Host& host, int id, bool clearSecondPane) {
  return ReportStatus(host, res::Text(id), 0, clearSecondPane);
}

bool ReportStatusFormatted(Host& host, int id, std::string_view argument, int pane,
                           bool clearSecondPane) {
  return ReportStatus(host, res::Format(id, {argument}), pane, clearSecondPane);
}

}  // namespace vellumix
