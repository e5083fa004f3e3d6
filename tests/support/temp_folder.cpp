#include "temp_folder.h"

#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "platform/files.h"

namespace vellumix::test {

TempFolder::TempFolder() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "vellumix-test-XXXXXX").string();
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  if (!::mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
  path_ = buf.data();
}

TempFolder::~TempFolder() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string ReadText(const std::filesystem::path& path) {
  const auto bytes = files::ReadAll(path);
  return bytes ? std::string(bytes->begin(), bytes->end()) : std::string("<missing>");
}

}  // namespace vellumix::test
