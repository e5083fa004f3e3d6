// The intermediate files of one run live in a folder of the run's own inside the library folder
// and take the place of the last finished run's files there only when the run has finished, so
// that runs side by side never touch each other's files and a stopped or killed run leaves the
// last finished run's files as they were.
#pragma once

#include <string>

#include "platform/host.h"

namespace vellumix {

class RunFolder {
 public:
  RunFolder() = default;
  ~RunFolder() { Remove(); }
  RunFolder(const RunFolder&) = delete;
  RunFolder& operator=(const RunFolder&) = delete;

  // Makes this run's folder in `libraryFolder` (ending in '/'), first finishing a publication a
  // killed run left half done and removing the folders of runs that no longer exist. False after
  // a message (a library folder that can't be written says so).
  bool Create(Host& host, const std::string& libraryFolder);
  bool Active() const { return !path_.empty(); }
  // This run's folder, ending in '/'; empty when there is none.
  const std::string& Path() const { return path_; }

  // Gives this run's folder the last finished run's intermediate files (as further names of the
  // same files), for a run that reads them. False after a message.
  bool TakeFinished(Host& host);
  // Puts this run's intermediate files in the library folder in place of the last finished
  // run's, or, without `keep`, only its NAMELIST.TMP (the others are deleted). Done as a whole:
  // a run reading the library folder's files sees the old set or the new one. False after a
  // message.
  bool Publish(Host& host, bool keep);
  // Deletes this run's folder and what it still holds.
  void Remove();

 private:
  std::string library_;
  std::string path_;
  int lock_ = -1;  // held for the life of the folder: runs that start later leave it alone
  bool keep_ = false;  // a publication that failed half done still needs the folder
};

}  // namespace vellumix
