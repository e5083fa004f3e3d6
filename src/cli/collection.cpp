#include "cli/collection.h"

#include <algorithm>
#include <filesystem>

#include "platform/files.h"
#include "res/strings.h"

namespace vellumix::cli {
namespace {

namespace fs = std::filesystem;

void Walk(const fs::path& root, const fs::path& shownRoot, const fs::path& below,
          const fs::path& outDir, Collection& found) {
  const fs::path folder = (root / below).lexically_normal();
  std::vector<std::string> names, subfolders;
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::string name = it->path().filename().string();
    std::error_code statusError;
    const fs::file_status own = it->symlink_status(statusError);
    if (fs::is_directory(own)) {
      subfolders.push_back(std::move(name));
    } else if (IsScoreFileName(name) &&
               !(fs::is_symlink(own) && fs::is_directory(it->status(statusError)))) {
      // Anything else by a SCORE name is a piece, so that what cannot be read is reported.
      names.push_back(std::move(name));
    }
  }
  if (ec) {
    found.unreadable.push_back(
        res::Format(res::kCannotReadFolder, {folder.string(), files::ErrorText(ec.value())}));
    return;
  }
  auto byName = [](const std::string& a, const std::string& b) { return files::LessNoCase(a, b); };
  std::sort(names.begin(), names.end(), byName);
  std::sort(subfolders.begin(), subfolders.end(), byName);
  for (const std::string& line : GroupSelectedFiles(folder.string(), names, false)) {
    CollectionPiece piece;
    piece.input = ParseEntry(line);
    const fs::path first = fs::path(piece.input.path).filename();
    piece.shown = (shownRoot / below / first).lexically_normal().string();
    piece.output =
        (outDir / below / first).replace_extension(".mid").lexically_normal().string();
    found.pieces.push_back(std::move(piece));
  }
  for (const std::string& sub : subfolders) Walk(root, shownRoot, below / sub, outDir, found);
}

}  // namespace

Collection FindPieces(const std::vector<std::string>& folders, const std::string& outDir) {
  Collection found;
  const fs::path out = fs::absolute(outDir).lexically_normal();
  for (const std::string& folder : folders)
    Walk(fs::absolute(folder).lexically_normal(), folder, {}, out, found);
  return found;
}

}  // namespace vellumix::cli
