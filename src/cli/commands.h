// The commands of vellumix-cli; each returns the process exit status.
#pragma once

#include <optional>
#include <string>

namespace vellumix::cli {

inline constexpr int kExitDone = 0;
inline constexpr int kExitError = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitCancelled = 130;

struct GlobalOptions {
  std::string dataDir;
  bool verbose = false;
};

int LibraryInit(const GlobalOptions& global);
int LibraryPath(const GlobalOptions& global, const std::optional<std::string>& name);
int LibraryShow(const GlobalOptions& global);
int Dump(const GlobalOptions& global, const std::string& file);

}  // namespace vellumix::cli
