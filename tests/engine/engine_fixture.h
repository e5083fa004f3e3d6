// An engine on a fresh track of one 4/4 bar, fed item lines in the track files' own text form.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "score/track_files.h"
#include "scripted_host.h"

namespace vellumix::test {

struct Ev {
  int tick;
  int status;
  int data1;
  int data2;
  bool operator==(const Ev&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Ev& e) {
  return os << "{" << e.tick << ", 0x" << std::hex << e.status << std::dec << ", " << e.data1
            << ", " << e.data2 << "}";
}

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override { StartTrack(); }

  void StartTrack(TrackSetup setup = {}) {
    if (setup.number == 0) setup.number = 1;
    engine.StartTrack(setup);
    engine.SetBar(200.0f, 4.0f);
  }

  // The line the track file writer makes for an item whose stored values are `values` (the
  // second, the staff number, is not written), read back by the engine's parser.
  static std::string Line(std::initializer_list<float> values, const std::string& text = "") {
    CItem item;
    for (float v : values) item.values.Append(v);
    item.text = text;
    return FormatTrackLine(item, false, false);
  }
  void Item(const std::string& line) { engine.InterpretItem(ParseTrackLine(line)); }

  // Note: code 1, P2, position, step, accidental, duration, then P11 P12 P13 as zero.
  void Note(float x, float step, float duration, float accidental = 0.0f) {
    Item(Line({1, 1, x, step, accidental, duration, 0, 0, 0}));
  }
  void Rest(float x, float duration, float restCode = 0.0f) {
    Item(Line({2, 1, x, duration, restCode}));
  }
  void Slur(float x, float leftStep, float rightStep, float rightEnd, float curvature,
            float shape) {
    Item(Line({5, 1, x, leftStep, rightStep, rightEnd, curvature, shape, 0}));
  }

  std::vector<Ev> Events() const {
    std::vector<Ev> out;
    for (const CBarDataEvent& e : engine.Pending())
      out.push_back({e.tick, e.status, e.data1, e.data2});
    return out;
  }
  std::vector<Ev> NoteOns() const {
    std::vector<Ev> out;
    for (const Ev& e : Events())
      if ((e.status & 0xF0) == 0x90) out.push_back(e);
    return out;
  }

  ScriptedHost host;
  Options options;
  Defaults defaults;  // dynamic 80, note length 95 %, grace length 6, tie width 0.1
  Engine engine{host, options, defaults};
};

}  // namespace vellumix::test
