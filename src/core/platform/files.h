// File-system helpers every subsystem shares: whole-file reads, atomic replacement, and library
// file names matched without regard to letter case.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vellumix::files {

using Bytes = std::vector<std::uint8_t>;

// The most ReadAll reads unless told otherwise.
inline constexpr std::uint64_t kReadLimit = std::uint64_t{1} << 30;
// The most a SCORE file or a list file can sensibly hold.
inline constexpr std::uint64_t kInputLimit = std::uint64_t{16} << 20;

// The whole file, or nothing when it can't be opened or read, is not a regular file (a folder, a
// FIFO or a device, which might never end, is refused without waiting on it) or holds more than
// `limit` bytes (refused without reading it all).
std::optional<Bytes> ReadAll(const std::filesystem::path& path, std::uint64_t limit = kReadLimit);

// Replaces (or creates) `path` with `bytes`: writes a temporary file in the same folder, flushes
// it and renames it over the target, so that a failure leaves the old file as it was. Without
// `flush` the data may reach the disk after the rename: for files a run makes again.
bool WriteAtomic(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
                 bool flush = true);
bool WriteAtomic(const std::filesystem::path& path, std::string_view text, bool flush = true);

// Plain file operations. Each counts as one operation of the fault plan below and, when it fails,
// leaves its errno as LastError() of this thread.
std::FILE* OpenFile(const std::filesystem::path& path, const char* mode);
// The whole block or false.
bool WriteFile(std::FILE* file, const void* data, std::size_t size);
// Flushes and closes (the file is closed either way); false when buffered bytes were lost.
bool CloseFile(std::FILE* file);
bool Rename(const std::filesystem::path& from, const std::filesystem::path& to);
// True when `path` is gone afterwards (it may not have existed).
bool Remove(const std::filesystem::path& path);
// A new folder of its own, named `prefix` + six random characters, in `parent`; empty on
// failure.
std::string MakeUniqueFolder(const std::filesystem::path& parent, std::string_view prefix);

// Opens (creating) `path` and waits for an exclusive lock on it; -1 on failure. Closing the
// descriptor (CloseLock) lets the lock go.
int OpenLocked(const std::filesystem::path& path);
void CloseLock(int fd);
// `to` becomes a second name of `from` (a copy where the file system has no links).
bool LinkOrCopy(const std::filesystem::path& from, const std::filesystem::path& to);

// The errno of this thread's last failed operation through this layer; 0 when none failed.
int LastError();
void ClearLastError();
// The system's words for `error` ("No space left on device").
std::string ErrorText(int error);

// For tests: from now on, the `n`-th file operation through this layer fails with `error`
// (n = 1 is the next one); n = 0 fails none. Operations are counted either way.
void PlanFault(std::uint64_t n, int error);
std::uint64_t OperationCount();

// ASCII case folding: library files are found whatever the letter case of their names.
bool EqualNoCase(std::string_view a, std::string_view b);
// Less-than on case-folded names, for a stable listing order.
bool LessNoCase(std::string_view a, std::string_view b);

// `folder` + `name` when that exists; otherwise the entry of `folder` whose name equals `name`
// without regard to letter case (the first in case-folded order); otherwise folder + name as
// given, so that a caller creating the file gets the name it asked for.
std::filesystem::path Resolve(const std::filesystem::path& folder, std::string_view name);

// The regular files of `folder` whose names end in `extension` (".SBL"), matched without regard
// to letter case, sorted by name the same way. `prefix` narrows the match likewise.
std::vector<std::filesystem::path> List(const std::filesystem::path& folder,
                                        std::string_view extension, std::string_view prefix = {});

// The names of the entries of `folder` (not "." and ".."), in the order the system gives them;
// nothing when it can't be read.
std::optional<std::vector<std::string>> EntryNames(const std::filesystem::path& folder);

// Takes an exclusive lock on open file `fd` that lasts until it is closed, without waiting; false
// when another holds it.
bool LockOpenFile(int fd);
// Deletes `path` unless an open file still holds its lock (a writer that is running).
void RemoveIfUnlocked(const std::filesystem::path& path);

// Splits text into lines ending in LF or CR LF; a last line without an end is kept.
std::vector<std::string> SplitLines(std::string_view text);
// The same lines as views of `text`.
std::vector<std::string_view> SplitLineViews(std::string_view text);

// Joins lines with CR LF after each.
std::string JoinLinesCrLf(const std::vector<std::string>& lines);

}  // namespace vellumix::files
