#include "run/run_folder.h"

#include <filesystem>
#include <set>
#include <string_view>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/files.h"
#include "res/strings.h"
#include "run/file_groups.h"
#include "score/track_files.h"

namespace vellumix {
namespace fs = std::filesystem;
namespace {

constexpr std::string_view kRunPrefix = ".vellumix-run.";
constexpr std::string_view kLockFile = ".vellumix.lock";
// Names the run folder being published and the files of its set, one a line, so that a
// publication cut short by a kill is finished by the next run that takes the lock.
constexpr std::string_view kJournalFile = ".vellumix-publish";

bool IsIntermediate(std::string_view name) {
  return TrackFileNumber(name) >= 0 || name == kNameListFile;
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

void ShowFolderFault(Host& host, const std::string& library) {
  const int error = files::LastError();
  ShowMessageFormatted(host, res::kCannotWriteLibraryFolder,
                       {library, files::ErrorText(error != 0 ? error : EIO)});
}

// The library folder's lock, held while its intermediate files are replaced or taken. A folder
// where it can't be had is reported.
class LibraryLock {
 public:
  LibraryLock(Host& host, const std::string& library) {
    files::ClearLastError();
    fd_ = files::OpenLocked(library + std::string(kLockFile));
    if (fd_ < 0) ShowFolderFault(host, library);
  }
  ~LibraryLock() { files::CloseLock(fd_); }
  LibraryLock(const LibraryLock&) = delete;
  LibraryLock& operator=(const LibraryLock&) = delete;
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// Carries out the publication the journal names, if any (the files still in the run folder
// replace the set, the others of the old set go); true when none is left to do. Doing it twice
// does no harm, so a publication cut short is finished by doing it again. `failed` receives the
// file that could not be written.
bool FinishPublication(const std::string& library, std::string* failed = nullptr,
                       std::string* folder = nullptr) {
  const std::string journal = library + std::string(kJournalFile);
  if (!Exists(journal)) return true;
  const auto fail = [&](const std::string& path) {
    if (failed != nullptr) *failed = path;
    return false;
  };
  const auto bytes = files::ReadAll(journal, files::kInputLimit);
  if (!bytes) return fail(journal);
  const auto lines = files::SplitLines(
      std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
  // A journal that does not name a run folder of this library has nothing to finish.
  if (lines.empty() || !lines[0].starts_with(kRunPrefix) ||
      lines[0].find('/') != std::string::npos || lines[0].size() == kRunPrefix.size())
    return files::Remove(journal) || fail(journal);
  if (folder != nullptr) *folder = lines[0];
  const std::string from = library + lines[0] + '/';
  std::set<std::string> set;
  for (std::size_t i = 1; i < lines.size(); ++i)
    if (IsIntermediate(lines[i])) set.insert(lines[i]);
  bool ok = true;
  const auto names = files::EntryNames(library);
  if (!names) return fail(library);
  for (const std::string& name : *names) {
    if (!IsIntermediate(name) || (set.contains(name) && !Exists(from + name))) continue;
    // Deleted before the new one comes, since ext4 puts a file on disk before it replaces
    // another by renaming.
    if (!files::Remove(library + name) && ok) ok = fail(library + name);
  }
  for (const std::string& name : set) {
    if (!Exists(from + name)) continue;
    if (!files::Rename(from + name, library + name) && ok) ok = fail(library + name);
  }
  if (ok && !files::Remove(journal)) ok = fail(journal);
  return ok;
}

// Deletes the folders of runs that ended without deleting them (killed), but the one a pending
// journal still needs; a running run holds its folder's lock.
void RemoveLeftovers(const std::string& library, const std::string& pending) {
  const auto names = files::EntryNames(library);
  if (!names) return;
  for (const std::string& name : *names) {
    if (!name.starts_with(kRunPrefix) || name == pending) continue;
    const std::string path = library + name;
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) continue;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      std::error_code ec;
      fs::remove_all(path, ec);
    }
    ::close(fd);
  }
}

}  // namespace

bool RunFolder::Create(Host& host, const std::string& libraryFolder) {
  Remove();
  library_ = libraryFolder;
  const LibraryLock lock(host, library_);
  if (!lock.Held()) return false;
  std::string pending;
  if (FinishPublication(library_, nullptr, &pending)) pending.clear();
  RemoveLeftovers(library_, pending);
  const std::string made = files::MakeUniqueFolder(library_, kRunPrefix);
  if (made.empty()) {
    ShowFolderFault(host, library_);
    return false;
  }
  lock_ = ::open(made.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (lock_ >= 0) ::flock(lock_, LOCK_EX | LOCK_NB);
  path_ = made + '/';
  keep_ = false;
  return true;
}

bool RunFolder::TakeFinished(Host& host) {
  const LibraryLock lock(host, library_);
  if (!lock.Held()) return false;
  FinishPublication(library_);
  const auto names = files::EntryNames(library_);
  if (!names) return true;
  for (const std::string& name : *names) {
    if (TrackFileNumber(name) < 0) continue;
    if (!files::LinkOrCopy(library_ + name, path_ + name)) {
      ShowWriteFailure(host, path_ + name);
      return false;
    }
  }
  return true;
}

bool RunFolder::Publish(Host& host, bool keep) {
  const LibraryLock lock(host, library_);
  if (!lock.Held()) return false;
  std::string failed;
  // What an earlier run left half done comes first, or its journal would be lost.
  if (!FinishPublication(library_, &failed)) {
    ShowWriteFailure(host, failed);
    return false;
  }
  std::string journal(path_.substr(library_.size(), path_.size() - library_.size() - 1));
  journal += "\r\n";
  if (const auto names = files::EntryNames(path_)) {
    for (const std::string& name : *names) {
      if (!IsIntermediate(name) || (!keep && name != kNameListFile)) continue;
      journal += name;
      journal += "\r\n";
    }
  }
  if (!files::WriteAtomic(library_ + std::string(kJournalFile), journal, false)) {
    ShowWriteFailure(host, library_ + std::string(kJournalFile));
    return false;
  }
  if (!FinishPublication(library_, &failed)) {
    // The journal stays, and with it this folder, for the next run to finish the work.
    keep_ = true;
    ShowWriteFailure(host, failed);
    return false;
  }
  return true;
}

void RunFolder::Remove() {
  if (!path_.empty() && !keep_) {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  if (lock_ >= 0) ::close(lock_);
  lock_ = -1;
  path_.clear();
  keep_ = false;
}

}  // namespace vellumix
