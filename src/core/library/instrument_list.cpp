#include "library/instrument_list.h"

#include <filesystem>
#include <system_error>

#include "platform/files.h"
#include "platform/host.h"
#include "res/strings.h"

namespace vellumix {
namespace fs = std::filesystem;

namespace {

std::string UpperCase(std::string_view s) {
  std::string out(s);
  for (auto& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

std::string InstrumentListPath(const std::string& folder) {
  return files::Resolve(folder, kInstrumentListFile).string();
}

}  // namespace

std::optional<std::vector<std::string>> ReadInstrumentList(const std::string& folder) {
  auto bytes = files::ReadAll(InstrumentListPath(folder));
  if (!bytes) return std::nullopt;
  return files::SplitLines(
      std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
}

std::optional<std::vector<std::string>> ReadInstrumentList(Host& host, const std::string& folder) {
  auto lines = ReadInstrumentList(folder);
  if (!lines) ShowMessage(host, res::kCannotRead, InstrumentListPath(folder));
  return lines;
}

std::vector<std::string> LinesWithoutComma(std::span<const std::string> lines) {
  std::vector<std::string> out;
  for (const auto& line : lines)
    if (line.find(',') == std::string::npos) out.push_back(line);
  return out;
}

std::vector<std::string> InstrumentLibraryChoices(std::span<const std::string> lines) {
  std::vector<std::string> out{kAllLibraries};
  out.insert(out.end(), lines.begin(), lines.end());
  return out;
}

std::vector<std::string> LibraryFilterChoices(std::span<const std::string> lines) {
  std::vector<std::string> out{kAllLibraries};
  for (auto& line : LinesWithoutComma(lines)) out.push_back(std::move(line));
  return out;
}

std::string FileStem(std::string_view fileName) {
  const auto dot = fileName.rfind('.');
  return std::string(dot == std::string_view::npos ? fileName : fileName.substr(0, dot));
}

bool FilterShows(std::string_view filter, std::string_view fileName) {
  if (filter == kAllLibraries) return true;
  // The extension can't hold a bracket that counts.
  const std::string stem = FileStem(fileName);
  if (filter == kGeneralFilter) return stem.find('[') == std::string::npos;
  return UpperCase(stem).find("[" + UpperCase(filter)) != std::string::npos;
}

bool DeleteLibraryFile(Host& host, const std::string& folder, std::string_view fileName) {
  const fs::path path = files::Resolve(folder, fileName);
  std::error_code ec;
  fs::remove(path, ec);
  if (!ec) return true;
  host.ShowMessage(0, res::FormatText(res::kCannotDeleteFile, {path.string()}));
  return false;
}

}  // namespace vellumix
