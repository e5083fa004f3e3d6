#include "run/build_midi.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <random>

#include "engine/percussion.h"
#include "engine/track_line.h"
#include "midi/writer.h"
#include "platform/files.h"
#include "run/document.h"

namespace vellumix {
namespace {

namespace fs = std::filesystem;

constexpr float kSyntheticCode = 15.0f;
constexpr float kSyntheticPosition = 212.0f;

bool IsEndRepeat(int type) { return type == 3 || type == 5 || type == 6; }
bool IsStartRepeat(int type) { return type == 4 || type == 5 || type == 6; }

int ToInt(float v, int lo, int hi) {
  if (!std::isfinite(v)) return 0;
  return static_cast<int>(std::clamp(v, static_cast<float>(lo), static_cast<float>(hi)));
}

// The time signature a bar of `quarters` reads as: its length in 32nd notes, halved with the
// denominator while even, the denominator not below a half.
void TimeSignatureOf(float quarters, std::int32_t& numerator, std::int32_t& power) {
  double n = std::ceil(static_cast<double>(quarters) * 8.0 - 1e-6);
  if (!(n >= 1.0)) n = 1.0;
  if (n > 1e6) n = 1e6;
  auto count = static_cast<std::int64_t>(n);
  int denominator = 32;
  while (count % 2 == 0 && denominator > 2) {
    count /= 2;
    denominator /= 2;
  }
  numerator = static_cast<std::int32_t>(std::min<std::int64_t>(count, 255));
  power = 0;
  while ((1 << power) < denominator) ++power;
}

// Lines of a track file, as views of its bytes (moving the vector keeps them valid);
// `complete` is false when the last line has no line end.
struct TrackText {
  files::Bytes bytes;
  std::vector<std::string_view> lines;
  bool complete = true;
};

std::optional<TrackText> ReadTrackText(const std::string& path) {
  auto bytes = files::ReadAll(path);
  if (!bytes) return std::nullopt;
  TrackText text;
  text.bytes = std::move(*bytes);
  std::string_view all(reinterpret_cast<const char*>(text.bytes.data()), text.bytes.size());
  text.lines = files::SplitLineViews(all);
  text.complete = all.empty() || all.back() == '\n';
  return text;
}

// A channel of its own for every track without a template slot, leaving out the drum channel.
int DefaultChannel(int track) {
  static constexpr int kChannels[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15};
  return kChannels[(std::max(track, 1) - 1) % 15];
}

class Assembly {
 public:
  Assembly(CVellumixDoc& doc, MidiOutput& output)
      : doc_(doc), engine_(doc.engine), writer_(doc.midi), output_(output) {}

  bool Run();

 private:
  bool ReadBars();
  bool Track(int number);
  // One item (whose line starts at byte `lineStart`), with the bar changes before it. Sets
  // `resumeAt` to where reading goes on when a repeat jump moved it back.
  void Item(const TrackLine& item, std::int64_t lineStart, std::int64_t& resumeAt);
  void CloseBar(float x, bool newSystem);
  void Flush();
  TrackInstrument Instrument(int number) const;

  CVellumixDoc& doc_;
  Engine& engine_;
  MidiWriter& writer_;
  MidiOutput& output_;
  MidiFileType type_ = MidiFileType::kType1;
  PercussionMap map_;

  // Per track.
  std::size_t bar_ = 0;
  float previousPosition_ = -std::numeric_limits<float>::infinity();
  bool justJumped_ = false;
  bool armed_ = true;
  std::size_t savedBar_ = 0;
  std::int64_t savedOffset_ = 0;  // where the repeated part's lines start in the track file
};

bool Assembly::ReadBars() {
  const std::string name = TrackFileName(doc_.trackFiles.Folder(), kBarFileNumber);
  auto text = ReadTrackText(name);
  if (!text) {
    ShowMessage(doc_.host, res::kCannotRead, name);
    return false;
  }
  auto& bars = engine_.Bars();
  bars.clear();
  int lastNumerator = -1, lastPower = -1;
  for (std::size_t i = 0; i < text->lines.size(); ++i) {
    TrackLine line = ParseTrackLine(text->lines[i]);
    if (line.count < 6) {
      ShowMessageFormatted(doc_.host, res::kDamagedScoreFile,
                           {name, "line " + std::to_string(i + 1) + " does not hold six numbers"});
      return false;
    }
    CBar bar;
    bar.rightEnd = line.Field(0);
    bar.barlineType = ToInt(line.Field(1), -1000, 1000);
    bar.length = std::isfinite(line.Field(2)) ? std::clamp(line.Field(2), 0.0f, 1000.0f) : 0.0f;
    bar.numerator = ToInt(line.Field(3), 0, 255);
    bar.denominatorPower = ToInt(line.Field(4), 0, 7);
    bar.firstOfSystem = line.Field(5) != 0.0f ? 1 : 0;
    if (bar.numerator == lastNumerator && bar.denominatorPower == lastPower) {
      bar.numerator = 0;
      bar.denominatorPower = 0;
    } else {
      lastNumerator = bar.numerator;
      lastPower = bar.denominatorPower;
    }
    bars.push_back(bar);
  }
  if (bars.empty()) {
    ShowMessageFormatted(doc_.host, res::kDamagedScoreFile, {name, "it holds no bar"});
    return false;
  }
  return true;
}

TrackInstrument Assembly::Instrument(int number) const {
  TrackInstrument in;
  in.channel = DefaultChannel(number);
  const InstrumentTable& table = doc_.library.instruments;
  const InstrumentSlot* slot = table.FindSlot(number);
  if (!slot) return in;
  in.slot = static_cast<int>(slot - table.slots.data());
  in.channel = slot->channel;
  in.transposition = slot->transposition;
  in.program = slot->program;
  in.volume = slot->volume;
  in.pan = slot->pan;
  in.port = slot->port;
  // The template counts library lines from 0; the symbol lookups from 1, with 0 for none.
  in.instrumentLibrary = slot->instrumentLibrary >= 0 ? slot->instrumentLibrary + 1 : 0;
  in.convertLyrics = slot->convertLyrics != 0;
  in.name = slot->staveName;
  if (slot->usePercussionMap != 0) in.mapName = slot->percussionMapName;
  return in;
}

void Assembly::Flush() {
  const auto& bar = engine_.Bars()[bar_];
  const std::int64_t b = LengthToTicks(bar.length);
  auto& pending = engine_.Pending();
  auto& events = engine_.TrackEvents();
  std::int64_t carried = engine_.CarriedTicks();
  if (pending.empty()) {
    carried += b;
  } else {
    std::int64_t previous = 0;
    bool first = true;
    for (const CBarDataEvent& e : pending) {
      const std::int64_t tick = std::min<std::int64_t>(e.tick, b);
      std::int64_t delta = first ? carried + tick : tick - previous;
      first = false;
      events.push_back({static_cast<std::int32_t>(std::clamp<std::int64_t>(delta, 0, kMaxVarLen)),
                        e.status, e.data1, e.data2});
      previous = tick;
    }
    carried = previous < b ? b - previous : 0;
  }
  engine_.SetCarriedTicks(static_cast<std::int32_t>(std::clamp<std::int64_t>(carried, 0, kMaxVarLen)));
  engine_.ClearBarState(false);
}

void Assembly::CloseBar(float x, bool newSystem) {
  auto& bars = engine_.Bars();
  CBar& bar = bars[bar_];
  const double nominal = 120.0 * bar.length;
  // A bar whose music ends early is an upbeat or a shortened last bar: it takes the length of its
  // music, and its time signature (and the next bar's) says so.
  if (!engine_.Durations().empty() && engine_.LastNoteEndTick() > 0 &&
      engine_.LastNoteEndTick() < nominal - 1.0) {
    bar.length = static_cast<float>(engine_.LastNoteEndTick()) / 120.0f;
    TimeSignatureOf(bar.length, bar.numerator, bar.denominatorPower);
    if (bar_ + 1 < bars.size() && bars[bar_ + 1].numerator == 0) {
      CBar& next = bars[bar_ + 1];
      TimeSignatureOf(next.length, next.numerator, next.denominatorPower);
    }
  }
  engine_.SetBarStartTick(static_cast<std::int32_t>(
      std::clamp<std::int64_t>(engine_.BarStartTick() + LengthToTicks(bar.length), 0, kMaxVarLen)));
  engine_.FlushGraceNotes();
  engine_.EndExpiredTies(x, newSystem);
  Flush();
}

void Assembly::Item(const TrackLine& item, std::int64_t lineStart, std::int64_t& resumeAt) {
  const auto& bars = engine_.Bars();
  const bool repeats = doc_.library.options.interpretRepeatBarlines != 0;
  const float x = item.Position();
  for (;;) {
    const CBar& current = bars[bar_];
    // Just after a repeat jump the item read is the first of the bar jumped to: only its right
    // end can send it further.
    const bool later = x > current.rightEnd || (!justJumped_ && x < previousPosition_);
    if (!later) break;
    const int type = current.barlineType;
    const bool jump = repeats && IsEndRepeat(type) && armed_;
    // Past the last bar, what is left is played in it, unless its repeat sends the walk back.
    if (bar_ + 1 >= bars.size() && !jump) break;

    const float finishedEnd = current.rightEnd;
    std::size_t target = bar_ + 1;
    bool jumped = false;
    if (jump) {
      armed_ = false;
      jumped = true;
      target = savedBar_;
    } else if (repeats && IsStartRepeat(type)) {
      savedBar_ = bar_ + 1;
      savedOffset_ = lineStart;  // the line being read
      armed_ = true;
    }
    const bool newSystem = jumped ? bars[target].rightEnd < finishedEnd
                                  : bars[target].firstOfSystem != 0;
    if (bars[target].rightEnd < finishedEnd) engine_.SetPreviousSystemEnd(finishedEnd);
    CloseBar(x, newSystem);
    bar_ = target;
    engine_.SetBar(bars[bar_].rightEnd, bars[bar_].length);
    if (jumped) engine_.DeactivateSlots();
    if (newSystem) {
      // What the line still holds right of the old system's end belongs to that system.
      if (!jumped && x > finishedEnd) {
        engine_.InterpretItem(item);
        engine_.StartSystem();
        previousPosition_ = -std::numeric_limits<float>::infinity();
        return;
      }
      engine_.StartSystem();
      previousPosition_ = -std::numeric_limits<float>::infinity();
    } else {
      engine_.ClearFirstPositionOfSystem();
    }
    if (jumped) {
      justJumped_ = true;
      resumeAt = savedOffset_;
      return;
    }
  }
  if (item.Code() == kSyntheticCode && item.Position() == kSyntheticPosition) return;
  engine_.InterpretItem(item);
  previousPosition_ = x;
  justJumped_ = false;
}

bool Assembly::Track(int number) {
  const std::string name = TrackFileName(doc_.trackFiles.Folder(),
                                         number == 0 ? kTempoFileNumber : number);
  // Read line by line, so that a long track is never held in memory whole.
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(name.c_str(), "rb"),
                                                       &std::fclose);
  if (!file) return true;  // a track whose file is missing is left out
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> ahead(std::fopen(name.c_str(), "rb"),
                                                        &std::fclose);
  if (!ahead) return true;
  // The engine must not keep a handle that closes with this track, however it ends.
  struct ForgetAhead {
    Engine& engine;
    ~ForgetAhead() { engine.SetLinesAhead({}); }
  } forget{engine_};
  if (!ReportStatusFormatted(doc_.host, res::kReadingFile, name, 0, false)) return false;

  const TrackInstrument instrument = number == 0 ? TrackInstrument{} : Instrument(number);
  TrackSetup setup;
  map_.Clear();
  if (!instrument.mapName.empty() &&
      LoadPercussionMap(doc_.host, doc_.library.LibraryFolder, instrument.mapName, map_))
    setup.percussionMap = &map_;
  setup.number = number;
  setup.instrumentSlot = instrument.slot;
  setup.channel = instrument.channel;
  setup.instrumentTransposition = instrument.transposition;
  setup.bankProgram = instrument.program;
  setup.startingTempo = engine_.Tempos().empty() ? doc_.library.defaults.tempo
                                                 : engine_.Tempos().front().tempo;
  doc_.symbols.SetCurrentInstrumentLibrary(instrument.instrumentLibrary);
  engine_.StartTrack(setup);
  engine_.StartTrackRules(instrument.convertLyrics);
  engine_.StartTrackSpecials();
  const auto& bars = engine_.Bars();
  bar_ = 0;
  engine_.SetBar(bars[0].rightEnd, bars[0].length);
  previousPosition_ = -std::numeric_limits<float>::infinity();
  justJumped_ = false;
  armed_ = true;
  savedBar_ = 0;
  savedOffset_ = 0;

  const bool repeats = doc_.library.options.interpretRepeatBarlines != 0;
  std::int64_t count = 0;
  std::string text;
  std::int64_t offset = 0;  // of the next line; counted, since asking the stream costs a call
  for (;;) {
    TrackLine item;
    bool synthetic = false;
    const std::int64_t lineStart = offset;
    bool ended = false;
    if (ReadLine(file.get(), text, ended, &offset)) {
      if (!ended) {
        ShowMessageById(doc_.host, res::kNoMoreItems);
        return false;
      }
      ++count;
      if (!ReportStatusFormatted(doc_.host, res::kReadingItem, std::to_string(count), 1, false))
        return false;
      item = ParseTrackLine(text);
      // The specials look ahead at what the staff holds next, through a second handle.
      engine_.SetLinesAhead(LinesAhead(ahead.get(), offset));
    } else if (repeats && armed_ && IsEndRepeat(bars[bar_].barlineType)) {
      // The file ended in a repeat not yet played: an item past every bar makes the jump.
      item.fields[0] = kSyntheticCode;
      item.fields[1] = kSyntheticPosition;
      item.count = 2;
      synthetic = true;
    } else {
      break;
    }
    std::int64_t resumeAt = -1;
    Item(item, lineStart, resumeAt);
    if (engine_.SymbolLookupCancelled() || engine_.SpecialsCancelled()) return false;
    if (resumeAt >= 0) {
      std::clearerr(file.get());
      if (std::fseek(file.get(), static_cast<long>(resumeAt), SEEK_SET) != 0) return false;
      offset = resumeAt;
    } else if (synthetic) {
      break;  // no jump happened: nothing is left
    }
  }

  engine_.FlushGraceNotes();
  Flush();
  engine_.ClearBarState(true);
  if (number == 0) {
    engine_.ClearTrack();
    return true;
  }
  TrackSettings settings;
  settings.port = static_cast<std::uint8_t>(std::clamp(instrument.port, 0, 255));
  settings.channel = instrument.channel;
  settings.program = instrument.program;
  settings.volume = instrument.volume;
  settings.pan = instrument.pan;
  settings.name = instrument.name;
  const bool ok = writer_.WriteInstrumentTrack(number, type_, engine_.TrackEvents(),
                                               engine_.Lyrics(), settings, output_);
  engine_.ClearTrack();
  return ok;
}

bool Assembly::Run() {
  type_ = FileTypeFromOption(doc_.library.options.midiFileType);
  writer_.Reset();
  engine_.ClearRun();
  if (!ReadBars()) return false;
  engine_.AddTempo({0, doc_.library.instruments.StartingTempo(doc_.library.defaults.tempo), 0});
  // Lyrics lie right of the music's left edge; after Read Old Data that edge is not known.
  engine_.SetLyricsLeftLimit(doc_.trackFiles.AnyWritten() ? doc_.score.State().smallestPosition
                                                          : 0.0f);

  const bool marked = doc_.trackFiles.AnyWritten();
  if (!marked || doc_.trackFiles.Written(kTempoFileNumber)) {
    if (!Track(0)) return false;
  }
  for (int number = 1; number < kTempoFileNumber; ++number) {
    if (marked && !doc_.trackFiles.Written(number)) continue;
    if (!Track(number)) return false;
  }
  if (!writer_.WriteHeaderAndConductor(type_, engine_.Bars(), engine_.Tempos(),
                                       doc_.library.options.interpretRepeatBarlines != 0,
                                       output_))
    return false;
  if (type_ == MidiFileType::kType0 && !writer_.MergeTracks(output_)) return false;
  if (!AppendTrackFile(doc_.host, output_)) return false;
  engine_.ClearRun();
  return true;
}

// A name in the target's folder that no file has.
std::string PartialName(const fs::path& target) {
  std::random_device rd;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%08x.part", static_cast<unsigned>(rd()));
    std::string hidden = ".";
    hidden += target.filename().string();
    hidden += suffix;
    fs::path p = target.parent_path() / hidden;
    std::error_code ec;
    if (!fs::exists(p, ec)) return p.string();
  }
  std::string hidden = ".";
  hidden += target.filename().string();
  hidden += ".part";
  return (target.parent_path() / hidden).string();
}

}  // namespace

bool BuildMidiFile(CVellumixDoc& doc, const std::string& outputPath) {
  const fs::path target = fs::absolute(outputPath);
  const std::string partial = PartialName(target);
  MidiOutput output;
  if (!output.file.Open(partial)) {
    ShowMessage(doc.host, res::kCannotWrite, target.string());
    return false;
  }
  if (!output.trackFile.Open(doc.TemporaryTrackFile())) {
    output.file.Close();
    std::error_code ec;
    fs::remove(partial, ec);
    ShowMessage(doc.host, res::kCannotWrite, doc.TemporaryTrackFile());
    return false;
  }
  Assembly assembly(doc, output);
  bool ok = assembly.Run();
  output.trackFile.Close();
  if (output.file.IsOpen() && !output.file.Close()) {
    ShowMessage(doc.host, res::kCannotWrite, target.string());
    ok = false;
  }
  std::error_code ec;
  if (ok) {
    fs::rename(partial, target, ec);
    if (ec) {
      ShowMessage(doc.host, res::kCannotWrite, target.string());
      ok = false;
    }
  }
  if (!ok) {
    fs::remove(partial, ec);
    doc.midi.Reset();
    doc.engine.ClearRun();
  }
  return ok;
}

}  // namespace vellumix
