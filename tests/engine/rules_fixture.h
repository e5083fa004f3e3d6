// An engine on a fresh track with a symbol library in a scratch folder; symbols are written with
// the library's own writer.
#pragma once

#include <string>

#include "engine_fixture.h"
#include "library/library.h"
#include "library/symbols.h"
#include "temp_folder.h"

namespace vellumix::test {

class RulesTest : public EngineTest {
 protected:
  RulesTest() {
    settings.LibraryFolder = folder.slashed();
    engine.SetSymbolLibrary(&symbols);
  }

  void StartTrack(TrackSetup setup = {}, bool convertLyrics = false) {
    EngineTest::StartTrack(setup);
    engine.StartTrackRules(convertLyrics);
  }
  // The tempo track: number 0, with its starting record in the tempo list.
  void StartTempoTrack(std::int32_t tempo) {
    TrackSetup setup;
    setup.startingTempo = tempo;
    engine.StartTrack(setup);
    engine.SetBar(200.0f, 4.0f);
    engine.StartTrackRules(false);
    engine.AddTempo({0, tempo, 0});
  }

  void SaveCode9(int number, SymbolRecord r) {
    r.kind = kCode9Symbol;
    r.number = number;
    std::string error;
    ASSERT_TRUE(symbols.SaveSymbol(r, &error)) << error;
  }
  void SaveText(const std::string& text, SymbolRecord r) {
    r.kind = kTextSymbol;
    r.text = text;
    std::string error;
    ASSERT_TRUE(symbols.SaveSymbol(r, &error)) << error;
  }

  void Symbol(float x, float number) { Item(Line({9, 1, x, number})); }
  void Text(float x, float vertical, const std::string& text) {
    Item(Line({16, 1, x, vertical}, text));
  }
  // A note with an articulation code (P11).
  void Articulated(float x, float step, float duration, float articulation,
                   float accidental = 0.0f) {
    Item(Line({1, 1, x, step, accidental, duration, articulation, 0, 0}));
  }

  std::vector<Ev> Controls() const {
    std::vector<Ev> out;
    for (const Ev& e : Events())
      if ((e.status & 0xF0) != 0x90 && (e.status & 0xF0) != 0x80) out.push_back(e);
    return out;
  }
  struct Tp {
    int tick;
    int tempo;
    int state;
    bool operator==(const Tp&) const = default;
    friend std::ostream& operator<<(std::ostream& os, const Tp& t) {
      return os << "{" << t.tick << ", " << t.tempo << ", " << t.state << "}";
    }
  };
  std::vector<Tp> Tempos() const {
    std::vector<Tp> out;
    for (const CTempoEvent& t : engine.Tempos()) out.push_back({t.tick, t.tempo, t.state});
    return out;
  }
  std::vector<int> Velocities() const {
    std::vector<int> out;
    for (const Ev& e : NoteOns()) out.push_back(e.data2);
    return out;
  }

  TempFolder folder;
  SettingsLibrary settings{host};
  SymbolLibrary symbols{host, settings};
};

}  // namespace vellumix::test
