// Shared by the systems tests: the reader, the track file writer and the systems stage over a
// scratch library folder, with a host that also records where each question started.
#pragma once

#include <filesystem>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "library/settings.h"
#include "platform/files.h"
#include "score/reader.h"
#include "score/systems.h"
#include "score/track_files.h"
#include "score_test_util.h"
#include "scripted_host.h"
#include "temp_folder.h"

namespace vellumix::test {

class RecordingHost : public ScriptedHost {
 public:
  bool AskTimeSignature(TimeSignatureQuestion kind, std::string_view text, int& top,
                        int& bottom) override {
    startTimeSignature.emplace_back(top, bottom);
    return ScriptedHost::AskTimeSignature(kind, text, top, bottom);
  }
  bool AskAnacrusis(std::string_view text, float& beats) override {
    startAnacrusis.push_back(beats);
    return ScriptedHost::AskAnacrusis(text, beats);
  }

  std::vector<std::pair<int, int>> startTimeSignature;
  std::vector<float> startAnacrusis;
};

inline CItem Item(std::initializer_list<float> values) {
  CItem item;
  for (float v : values) item.values.Append(v);
  return item;
}

struct SystemsRig {
  RecordingHost host;
  Options options;
  Defaults defaults;
  ScoreInput score{host, options, defaults};
  TempFolder lib;  // the intermediate files
  TempFolder in;   // the SCORE files
  TrackFileWriter tracks{host};
  SystemsStage systems{host, score, tracks, options};
  std::vector<std::pair<int, int>>& startTimeSignature = host.startTimeSignature;
  std::vector<float>& startAnacrusis = host.startAnacrusis;

  SystemsRig() {
    tracks.SetFolder(lib.slashed());
    systems.StartRun();
  }

  std::string Name(const std::string& file) const { return in.slashed() + file; }

  // Writes `text` as the SCORE file `file` and reads it as a group of one file.
  bool ReadOnly(const std::string& file, std::string_view text) {
    const files::Bytes bytes = Build(text);
    EXPECT_TRUE(files::WriteAtomic(Name(file), bytes));
    std::string name = Name(file);
    return score.ReadGroupFiles(name, 1);
  }

  // Reads the group and writes its systems, as the document does.
  bool Group(const std::string& file, std::string_view text) {
    return ReadOnly(file, text) && systems.ProcessFileGroup(Name(file));
  }

  // File `number` as the disk holds it once the writer has closed it.
  std::string File(int number) {
    tracks.Close();
    auto bytes = files::ReadAll(TrackFileName(lib.slashed(), number));
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string("<missing>");
  }

  int FileCount() const {
    int n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(lib.path())) ++n;
    return n;
  }
};

}  // namespace vellumix::test
