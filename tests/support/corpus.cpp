#include "corpus.h"

#include <algorithm>

#include "platform/files.h"

namespace vellumix::test {

std::vector<std::filesystem::path> CorpusScoreFiles() {
  namespace fs = std::filesystem;
  std::vector<fs::path> found;
  const fs::path root = fs::path(VELLUMIX_CORPUS_DIR) / "score";
  std::error_code ec;
  if (!fs::is_directory(root, ec)) return found;
  for (const auto& entry : fs::recursive_directory_iterator(root, ec)) {
    const std::string ext = entry.path().extension().string();
    if (entry.is_regular_file() &&
        (files::EqualNoCase(ext, ".mus") || files::EqualNoCase(ext, ".sav")))
      found.push_back(entry.path());
  }
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace vellumix::test
