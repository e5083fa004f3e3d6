// The intermediate track files: one text file per instrument number, a bar file and a tempo file,
// each line one item, appended system after system.
#pragma once

#include <array>
#include <list>
#include <string>
#include <string_view>

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

  // The folder the files go to (the library folder), ending in '/'.
  void SetFolder(const std::string& folder) { folder_ = folder; }
  const std::string& Folder() const { return folder_; }

  // Appends `list` to file `number` (a barline list to the bar file when 0). Staff lists are
  // emptied after writing unless written to the tempo file. Staff items are written only with
  // the stave transposition option. False on failure (message 10) or cancel.
  bool WriteTrackFile(std::list<CItem>& list, int number, int systemNumber,
                      bool staveTransposition);
  // Appends the filler rests to instrument file `number` and empties them.
  bool WriteFillerFile(std::list<CItem>& filler, int number);

  bool Written(int number) const { return number >= 0 && number <= 350 && written_[number]; }
  bool AnyWritten() const;
  void ClearWritten() { written_.fill(false); }

 private:
  // Appends to file `number`; with a system number, reports message 21 first (cancel point).
  bool Append(int number, const std::string& text, int systemNumber);

  Host& host_;
  std::string folder_;
  std::array<bool, 351> written_{};
};

}  // namespace vellumix
