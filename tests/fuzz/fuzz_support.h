// What the fuzz targets share: a host that answers every question, the scratch library folder of
// the process, and the checks whose failure counts as a crash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host.h"

namespace vellumix::fuzz {

using Bytes = std::vector<std::uint8_t>;

// Answers as a user who says yes and OK to everything (so the longest paths run), never cancels,
// and keeps only the id of the last message (for the checks' output).
class AnsweringHost : public Host {
 public:
  void ShowMessage(int id, std::string_view) override { lastMessage = id; }
  bool AskYesNo(int id, std::string_view) override {
    lastMessage = id;
    return true;
  }
  bool ReportStatus(std::string_view, int, bool) override { return true; }
  bool AskTimeSignature(TimeSignatureQuestion, std::string_view, int&, int&) override {
    return true;
  }
  bool AskAnacrusis(std::string_view, float&) override { return true; }
  bool AskMultipleSystems(int, std::string_view, bool& dontShowAgain) override {
    dontShowAgain = false;
    return true;
  }

  int lastMessage = 0;
};

// Stops the process with `what` on stderr when `ok` is false: the fuzzer keeps the input.
void Check(bool ok, std::string_view what);

// Both NaN, or the same bits otherwise: values read back must be the values stored.
bool SameFloat(float a, float b);

// A library file that reads must write bytes that read back and write the same bytes again: the
// editors save what they read. `decode` gives an optional record, `encode` its bytes.
template <class Decode, class Encode>
void CheckRoundTrip(std::span<const std::uint8_t> data, Decode decode, Encode encode,
                    std::string_view what) {
  const auto first = decode(data);
  if (!first) return;
  const Bytes written = encode(*first);
  const auto second = decode(std::span<const std::uint8_t>(written));
  Check(second.has_value(), what);
  Check(encode(*second) == written, what);
}

// The input as text.
inline std::string_view Text(std::span<const std::uint8_t> data) {
  return {reinterpret_cast<const char*>(data.data()), data.size()};
}

// An empty folder of the process's own (under $TMPDIR or /tmp), made on first use and removed
// with what it holds when the process exits normally; ends in '/'.
const std::string& ScratchFolder();

// Whether a section name can name a file directly in a folder.
bool PlainFileName(std::string_view name);

// Writes `bytes` to `path`, replacing it; checked, since a target can't go on without it.
void WriteFile(const std::string& path, std::span<const std::uint8_t> bytes);

// Sections of a multi-file input: a line "@@NAME" starts the section NAME; what comes before the
// first such line is the section `first`. Each section keeps its bytes as they are, line ends
// included; a name given twice gets both parts, in order.
std::map<std::string, std::string> Sections(std::string_view text, const std::string& first);
// The same sections put back into one input.
std::string JoinSections(const std::map<std::string, std::string>& sections,
                         const std::string& first);

// The factory library, with the Piano template selected and its left hand played through the
// factory's percussion map, so that templates, instruments, .PCH lists and maps are read by a
// run; written into `folder`.
void PrepareLibrary(const std::string& folder);

// examples/sonatina.items as a SCORE file.
Bytes SonatinaScore();

// The page a whole run reads, in the library folder.
inline constexpr const char* kRunPage = "sonatina.mus";
// The files of a prepared library folder holding the page (as Snapshot gives them) that the
// whole-run target replaces, in the order its first byte chooses them: the page, the settings,
// template and map files, then every other file in name order.
std::vector<std::string> RunChoices(const std::map<std::string, Bytes>& snapshot);

// Every file directly in `folder` with its bytes, by name.
std::map<std::string, Bytes> Snapshot(const std::string& folder);
// Puts `folder` back to `snapshot` after a run: what it did not hold is removed, and the files
// named in `changed` are written again (a run changes no other library file).
void Restore(const std::string& folder, const std::map<std::string, Bytes>& snapshot,
             const std::vector<std::string>& changed);

}  // namespace vellumix::fuzz
