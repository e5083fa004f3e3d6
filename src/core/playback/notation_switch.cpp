#include "playback/notation_switch.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "platform/files.h"

namespace vellumix::playback {

void SwitchToNotation(Host& host, Launcher& launcher, const std::filesystem::path& libraryFolder,
                      const std::string& scorePath) {
  if (scorePath.empty()) return;
  std::filesystem::path file = files::Resolve(libraryFolder, "SCOREPATH.DAT");
  std::optional<files::Bytes> bytes = files::ReadAll(file);
  if (!bytes) {
    ShowMessage(host, res::kCannotRead, file.string());
    return;
  }
  std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
  std::vector<std::string> lines = files::SplitLines(text);
  std::string line = lines.empty() ? std::string() : lines.front();
  // Trailing blanks would become part of the program's name.
  while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
  std::string upper = line;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  // Program names are case-sensitive here, so only the test ignores case.
  if (line.empty() || upper.find("WSCORE.EXE") != std::string::npos) {
    if (!launcher.OpenWithAssociation(scorePath))
      ShowMessage(host, res::kNoProgramOpens, scorePath);
  } else if (!launcher.StartProgram(line, scorePath)) {
    ShowMessage(host, res::kCannotStartProgram, line);
  }
}

}  // namespace vellumix::playback
