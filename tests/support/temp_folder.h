// A scratch folder that is removed with everything in it when the test ends, and reading a
// file back as text.
#pragma once

#include <filesystem>
#include <string>

namespace vellumix::test {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The folder as the library code wants it: ending in '/'.
  std::string slashed() const { return path_.string() + "/"; }

 private:
  std::filesystem::path path_;
};

// The file's bytes as text; "<missing>" when it cannot be read.
std::string ReadText(const std::filesystem::path& path);

}  // namespace vellumix::test
