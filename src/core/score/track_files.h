// The intermediate track files: one text file per instrument number, a bar file and a tempo file,
// each line one item, appended system after system.
#pragma once

#include <array>
#include <cstdio>
#include <list>
#include <string>
#include <string_view>

#include "engine/track_line.h"
#include "platform/host.h"
#include "score/item.h"

namespace vellumix {

inline constexpr int kBarFileNumber = 0;
inline constexpr int kTempoFileNumber = 350;

// "VLMIX%d.TMP" in `folder` for 0 … 349, "TEMPO.TMP" for 350.
std::string TrackFileName(const std::string& folder, int number);
// The number whose TrackFileName is `name` (without folder); -1 for any other name.
int TrackFileNumber(std::string_view name);

// One line: the stored values but the second, each as "%.4f "; a text item's text; the system
// flag in the bar file; CR LF.
std::string FormatTrackLine(const CItem& item, bool barFile, bool firstBarOfSystem);

// "%.4f " in the C locale, whatever the user's locale.
void AppendFixed4(std::string& out, float value);

class TrackFileWriter {
 public:
  explicit TrackFileWriter(Host& host) : host_(host) {}
  ~TrackFileWriter() { Close(); }
  TrackFileWriter(const TrackFileWriter&) = delete;
  TrackFileWriter& operator=(const TrackFileWriter&) = delete;

  // The folder the files go to, ending in '/'. Status texts and messages name them in `shown`
  // (the library folder they go to when the run ends), or in `folder`.
  void SetFolder(const std::string& folder, const std::string& shown = {}) {
    folder_ = folder;
    shown_ = shown.empty() ? folder : shown;
  }
  const std::string& Folder() const { return folder_; }
  const std::string& ShownFolder() const { return shown_; }

  // Appends `list` to file `number` (a barline list to the bar file when 0). Staff lists are
  // emptied after writing unless written to the tempo file. Staff items are written only with
  // the stave transposition option. False on failure (message 10) or cancel.
  bool WriteTrackFile(std::list<CItem>& list, int number, int systemNumber,
                      bool staveTransposition);
  // Appends the filler rests to instrument file `number` and empties them.
  bool WriteFillerFile(std::list<CItem>& filler, int number);
  // Puts what the open files hold on disk and closes them; false (message 10) when that failed.
  // Before anything reads the files.
  bool Close();

  bool Written(int number) const { return number >= 0 && number <= 350 && written_[number]; }
  bool AnyWritten() const;
  // Forgets which files were written, and the lines kept of them.
  void ClearWritten();

  // While a run writes the files, what reading file `number` back would give, for files that
  // were empty when the run began and whose lines fit in the memory set aside; null otherwise.
  const StoredTrackLines* Stored(int number) const;
  // Lets go of the kept lines (the files stay as they are) and keeps none until asked again.
  void ReleaseStored();
  // Whether files first written from now on keep their lines.
  void KeepLines(bool keep) { keepLines_ = keep; }

 private:
  // Opens file `number` for appending, once a run.
  bool Open(int number);
  // Formats `list` for file `number` into text_, keeping the lines that file may keep.
  void Format(const std::list<CItem>& list, int number, bool skipStaffItems);
  // Appends text to open file `number`; with a system number, reports message 21 first (cancel
  // point).
  bool Write(int number, const std::string& text, int systemNumber);
  void StopKeeping(std::size_t n);

  // About what the kept lines of all files may take.
  static constexpr std::size_t kKeptBytes = std::size_t{6} << 20;

  Host& host_;
  std::string folder_;
  std::string shown_;
  std::array<bool, 351> written_{};
  std::array<std::FILE*, 351> open_{};
  std::array<StoredTrackLines, 351> stored_;
  std::array<bool, 351> storing_{};  // the file was empty at its first append of the run
  std::array<std::size_t, 351> storedSize_{};  // about what stored_ takes, by file
  std::size_t storedBytes_ = 0;
  bool keepLines_ = false;
  std::string text_;  // the lines being written, reused
};

}  // namespace vellumix
