#include "platform/host.h"

#include <algorithm>

#include "platform/files.h"

namespace vellumix {

void ShowMessage(Host& host, int id, std::string_view argument) {
  host.ShowMessage(id, res::Format(id, {argument}));
}

void ShowWriteFailure(Host& host, std::string_view path) {
  const int error = files::LastError();
  if (error == 0) {
    ShowMessage(host, res::kCannotWrite, path);
    return;
  }
  const std::string reason = files::ErrorText(error);
  ShowMessageFormatted(host, res::kCannotWriteBecause, {path, reason});
}

void ShowMessageById(Host& host, int id) { host.ShowMessage(id, res::Text(id)); }

void ShowMessageFormatted(Host& host, int id, const std::vector<res::FormatArg>& args) {
  host.ShowMessage(id, res::Format(id, args));
}

bool AskYesNo(Host& host, int id, std::string_view argument) {
  return host.AskYesNo(id, res::Format(id, {argument}));
}

bool Host::ReportStatusNumber(int id, std::int64_t number, int pane, bool clearSecondPane) {
  return ReportStatusFormatted(*this, id, std::to_string(number), pane, clearSecondPane);
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
  // Reported for every item of a run: a text with one "%s" is composed in the status buffer,
  // which cuts it as ReportStatus would.
  const std::string_view pattern = res::Text(id);
  const std::size_t at = pattern.find('%');
  if (at != std::string_view::npos && pattern.substr(at, 2) == "%s" &&
      pattern.find('%', at + 2) == std::string_view::npos) {
    char buffer[kStatusBufferSize];
    std::size_t n = 0;
    for (std::string_view part : {pattern.substr(0, at), argument, pattern.substr(at + 2)}) {
      const std::size_t take = std::min(part.size(), kStatusBufferSize - 1 - n);
      part.copy(buffer + n, take);
      n += take;
    }
    return host.ReportStatus(std::string_view(buffer, n), pane, clearSecondPane);
  }
  return ReportStatus(host, res::Format(id, {argument}), pane, clearSecondPane);
}

}  // namespace vellumix
