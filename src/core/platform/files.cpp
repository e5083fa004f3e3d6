#include "platform/files.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vellumix::files {
namespace fs = std::filesystem;

namespace {

char Fold(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EndsWithNoCase(std::string_view s, std::string_view end) {
  return s.size() >= end.size() && EqualNoCase(s.substr(s.size() - end.size()), end);
}

std::atomic<std::uint64_t> operations{0};
std::atomic<std::uint64_t> failAt{0};
std::atomic<int> failError{0};
thread_local int lastError = 0;

// Counts one operation; true, with errno set, when the plan fails this one.
bool Planned() {
  const std::uint64_t n = ++operations;
  const std::uint64_t at = failAt.load();
  if (at == 0 || n != at) return false;
  errno = failError.load();
  return true;
}

// Keeps errno as the reason of a failure; returns `value` for the caller to pass on.
template <typename T>
T Failed(T value) {
  lastError = errno != 0 ? errno : EIO;
  return value;
}

}  // namespace

int LastError() {
  return lastError;
}

void ClearLastError() {
  lastError = 0;
}

std::string ErrorText(int error) {
  // Runs in several threads at once: strerror's buffer is shared.
  return std::generic_category().message(error);
}

void PlanFault(std::uint64_t n, int error) {
  failError = error;
  failAt = n == 0 ? 0 : operations.load() + n;
}

std::uint64_t OperationCount() {
  return operations.load();
}

std::FILE* OpenFile(const fs::path& path, const char* mode) {
  if (Planned()) return Failed<std::FILE*>(nullptr);
  std::FILE* file = std::fopen(path.c_str(), mode);
  return file != nullptr ? file : Failed<std::FILE*>(nullptr);
}

bool WriteFile(std::FILE* file, const void* data, std::size_t size) {
  if (size == 0) return true;
  if (Planned()) return Failed(false);
  errno = 0;
  return std::fwrite(data, 1, size, file) == size || Failed(false);
}

bool CloseFile(std::FILE* file) {
  const bool planned = Planned();
  const int plannedError = errno;
  errno = 0;
  const bool flushed = std::fflush(file) == 0;
  const int flushError = errno;
  const bool closed = std::fclose(file) == 0;
  if (planned) errno = plannedError;
  else if (!flushed) errno = flushError;
  return (!planned && flushed && closed) || Failed(false);
}

bool Rename(const fs::path& from, const fs::path& to) {
  if (Planned()) return Failed(false);
  return std::rename(from.c_str(), to.c_str()) == 0 || Failed(false);
}

bool Remove(const fs::path& path) {
  if (Planned()) return Failed(false);
  return ::unlink(path.c_str()) == 0 || errno == ENOENT || Failed(false);
}

std::string MakeUniqueFolder(const fs::path& parent, std::string_view prefix) {
  if (Planned()) return Failed(std::string());
  std::string name = (parent / (std::string(prefix) + "XXXXXX")).string();
  if (::mkdtemp(name.data()) == nullptr) return Failed(std::string());
  return name;
}

int OpenLocked(const fs::path& path) {
  if (Planned()) return Failed(-1);
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return Failed(-1);
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno == EINTR) continue;
    Failed(0);
    ::close(fd);
    return -1;
  }
  return fd;
}

void CloseLock(int fd) {
  if (fd >= 0) ::close(fd);
}

bool LinkOrCopy(const fs::path& from, const fs::path& to) {
  if (Planned()) return Failed(false);
  if (::link(from.c_str(), to.c_str()) == 0) return true;
  std::error_code ec;
  if (fs::copy_file(from, to, ec)) return true;
  errno = ec.value();
  return Failed(false);
}

std::optional<Bytes> ReadAll(const fs::path& path, std::uint64_t limit) {
  if (Planned()) return Failed(std::optional<Bytes>());
  // Opened without waiting for a writer, so that a FIFO can be refused.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Failed(std::optional<Bytes>());
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<std::uint64_t>(st.st_size) > limit) {
    ::close(fd);
    return std::nullopt;
  }
  Bytes bytes;
  // Reserving the size the file has now spares the copies a growing buffer makes (and the
  // doubled peak they cost); a file that grows meanwhile is still read whole, up to the limit.
  bytes.reserve(static_cast<std::size_t>(st.st_size));
  std::uint8_t buf[65536];
  bool ok = true;
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    if (bytes.size() + static_cast<std::size_t>(n) > limit) {
      ok = false;
      break;
    }
    bytes.insert(bytes.end(), buf, buf + n);
  }
  if (!ok) Failed(0);
  ::close(fd);
  if (!ok) return std::nullopt;
  return bytes;
}

bool WriteAtomic(const fs::path& path, std::span<const std::uint8_t> bytes, bool flush) {
  fs::path dir = path.parent_path();
  if (dir.empty()) dir = ".";
  std::string hidden = ".";
  hidden += path.filename().string();
  hidden += ".XXXXXX";
  std::string tmpl = (dir / hidden).string();
  std::vector<char> name(tmpl.begin(), tmpl.end());
  name.push_back('\0');
  if (Planned()) return Failed(false);
  int fd = ::mkstemp(name.data());
  if (fd < 0) return Failed(false);
  const std::uint8_t* p = bytes.data();
  std::size_t left = bytes.size();
  bool ok = !Planned() || Failed(false);
  while (ok && left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      ok = Failed(false);
      break;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  if (ok && Planned()) ok = Failed(false);
  if (ok && flush && ::fsync(fd) != 0) ok = Failed(false);
  if (::close(fd) != 0 && ok) ok = Failed(false);
  // mkstemp makes the file private; library files are ordinary user files.
  if (ok) ::chmod(name.data(), 0644);
  if (ok && !Rename(name.data(), path)) ok = false;
  if (!ok) ::unlink(name.data());
  return ok;
}

bool WriteAtomic(const fs::path& path, std::string_view text, bool flush) {
  return WriteAtomic(path,
                     std::span<const std::uint8_t>(
                         reinterpret_cast<const std::uint8_t*>(text.data()), text.size()),
                     flush);
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Fold(a[i]) != Fold(b[i])) return false;
  return true;
}

bool LessNoCase(std::string_view a, std::string_view b) {
  auto r = std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return Fold(x) < Fold(y); });
  if (r || !EqualNoCase(a, b)) return r;
  return a < b;  // names that differ only in case still get a fixed order
}

fs::path Resolve(const fs::path& folder, std::string_view name) {
  std::error_code ec;
  fs::path exact = folder / fs::path(std::string(name));
  if (fs::exists(exact, ec)) return exact;
  std::optional<std::string> best;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::string entry = it->path().filename().string();
    if (EqualNoCase(entry, name) && (!best || LessNoCase(entry, *best))) best = entry;
  }
  return best ? folder / *best : exact;
}

std::optional<std::vector<std::string>> EntryNames(const fs::path& folder) {
  // readdir alone: a directory_iterator builds a path for every entry.
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return std::nullopt;
  std::vector<std::string> names;
  errno = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  const bool ok = errno == 0;
  ::closedir(dir);
  if (!ok) return std::nullopt;
  return names;
}

bool LockOpenFile(int fd) {
  return ::flock(fd, LOCK_EX | LOCK_NB) == 0;
}

void RemoveIfUnlocked(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && LockOpenFile(fd)) ::unlink(path.c_str());
  ::close(fd);
}

std::vector<fs::path> List(const fs::path& folder, std::string_view extension,
                           std::string_view prefix) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code ec2;
    if (!it->is_regular_file(ec2)) continue;
    std::string entry = it->path().filename().string();
    if (!EndsWithNoCase(entry, extension)) continue;
    if (entry.size() < prefix.size() || !EqualNoCase(entry.substr(0, prefix.size()), prefix))
      continue;
    names.push_back(std::move(entry));
  }
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return LessNoCase(a, b); });
  std::vector<fs::path> out;
  out.reserve(names.size());
  for (auto& n : names) out.push_back(folder / n);
  return out;
}

std::vector<std::string_view> SplitLineViews(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t nl = text.find('\n', start);
    std::size_t end = nl == std::string_view::npos ? text.size() : nl;
    std::size_t stop = end;
    if (stop > start && text[stop - 1] == '\r') --stop;
    lines.push_back(text.substr(start, stop - start));
    if (nl == std::string_view::npos) break;
    start = nl + 1;
  }
  return lines;
}

std::vector<std::string> SplitLines(std::string_view text) {
  const auto views = SplitLineViews(text);
  return std::vector<std::string>(views.begin(), views.end());
}

std::string JoinLinesCrLf(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) {
    out += l;
    out += "\r\n";
  }
  return out;
}

}  // namespace vellumix::files
