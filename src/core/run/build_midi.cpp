#include "run/build_midi.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <random>

#include "engine/percussion.h"
#include "engine/track_line.h"
#include "midi/reader.h"
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

// Opens track file `number` for reading into `file`, which stays empty when there is no such file.
// False after a message when the file is there but can't be opened.
bool OpenTrackFile(Host& host, const TrackFileWriter& tracks, int number,
                   std::unique_ptr<std::FILE, int (*)(std::FILE*)>& file) {
  file.reset(files::OpenFile(TrackFileName(tracks.Folder(), number), "rb"));
  if (file || files::LastError() == ENOENT) return true;
  ShowMessage(host, res::kCannotRead, TrackFileName(tracks.ShownFolder(), number));
  return false;
}

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

// Complete lines of a file through a large buffer, as views without their line ends: a cheap
// read for the first pass. A last line without its line end is not given.
class LineChunks {
 public:
  explicit LineChunks(std::FILE* file) : file_(file) {}
  bool Next(std::string_view& line) {
    for (;;) {
      const char* start = buffer_.data() + pos_;
      if (const void* end = std::memchr(start, '\n', size_ - pos_)) {
        line = std::string_view(start, static_cast<const char*>(end) - start);
        pos_ += line.size() + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        return true;
      }
      std::memmove(buffer_.data(), start, size_ - pos_);
      size_ -= pos_;
      pos_ = 0;
      if (size_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);  // a very long line
      const std::size_t got = std::fread(buffer_.data() + size_, 1, buffer_.size() - size_, file_);
      if (got == 0) return false;
      size_ += got;
    }
  }

 private:
  std::FILE* file_;
  std::vector<char> buffer_ = std::vector<char>(std::size_t{1} << 16);
  std::size_t pos_ = 0;
  std::size_t size_ = 0;
};

// A channel of its own for every track without a template slot, leaving out the drum channel.
int DefaultChannel(int track) {
  static constexpr int kChannels[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15};
  return kChannels[(std::max(track, 1) - 1) % 15];
}

// An ending bracket as a track file holds it: a slur item whose shape field is 1 or 2.
struct Bracket {
  std::size_t bar = 0;  // the bar its left end lies in
  float left = 0.0f;
  float right = 0.0f;
  int number = 0;  // 1 or 2
};

class Assembly {
 public:
  Assembly(CVellumixDoc& doc, MidiOutput& output)
      : doc_(doc), engine_(doc.engine), writer_(doc.midi), output_(output) {}

  bool Run();

 private:
  bool ReadBars();
  // The tempo track (0) and the instrument tracks of the run, in the order they are written.
  std::vector<int> TrackNumbers() const;
  bool MeasureBars(const std::vector<int>& tracks);
  bool MeasureTrack(int number, std::vector<std::int32_t>& filled, std::vector<Bracket>& brackets);
  // True while the item belongs to a first ending that the repeat passes over.
  bool PassedOver(float x);
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
  bool repeating_ = false;  // on the repeat, which passes over a first ending
  // Passing over a first ending: the plain walk through its bars, until it reaches `skipTo_`.
  bool skipping_ = false;
  std::size_t shadowBar_ = 0;
  std::size_t skipTo_ = 0;
  float shadowPrevious_ = 0.0f;
  std::size_t savedBar_ = 0;
  std::int64_t savedOffset_ = 0;  // where the repeated part's lines start in the track file
};

bool Assembly::ReadBars() {
  const std::string name = TrackFileName(doc_.trackFiles.Folder(), kBarFileNumber);
  const std::string shown = TrackFileName(doc_.trackFiles.ShownFolder(), kBarFileNumber);
  auto text = ReadTrackText(name);
  if (!text) {
    ShowMessage(doc_.host, res::kCannotRead, shown);
    return false;
  }
  auto& bars = engine_.Bars();
  bars.clear();
  int lastNumerator = -1, lastPower = -1;
  for (std::size_t i = 0; i < text->lines.size(); ++i) {
    TrackLine line = ParseTrackLine(text->lines[i]);
    if (line.count < 6) {
      ShowMessageFormatted(doc_.host, res::kDamagedScoreFile,
                           {shown, "line " + std::to_string(i + 1) + " does not hold six numbers"});
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
    ShowMessageFormatted(doc_.host, res::kDamagedScoreFile, {shown, "it holds no bar"});
    return false;
  }
  return true;
}

std::vector<int> Assembly::TrackNumbers() const {
  std::vector<int> tracks;
  const bool marked = doc_.trackFiles.AnyWritten();
  if (!marked || doc_.trackFiles.Written(kTempoFileNumber)) tracks.push_back(0);
  for (int number = 1; number < kTempoFileNumber; ++number)
    if (!marked || doc_.trackFiles.Written(number)) tracks.push_back(number);
  return tracks;
}

bool Assembly::MeasureTrack(int number, std::vector<std::int32_t>& filled,
                            std::vector<Bracket>& brackets) {
  const int fileNumber = number == 0 ? kTempoFileNumber : number;
  const StoredTrackLines* stored = doc_.trackFiles.Stored(fileNumber);
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(nullptr, &std::fclose);
  if (stored == nullptr) {
    if (!OpenTrackFile(doc_.host, doc_.trackFiles, fileNumber, file)) return false;
    if (!file) return true;
  }
  const auto& bars = engine_.Bars();
  constexpr float kNone = -std::numeric_limits<float>::infinity();
  Rhythm rhythm;
  std::size_t bar = 0;
  float previous = kNone;
  const auto close = [&] {
    const std::int32_t end = rhythm.LastEndTick();
    if (!rhythm.Values().empty() && end > 0) filled[bar] = std::max(filled[bar], end);
    rhythm.ClearValues();
  };
  // Whether a repeat is armed once the walk has been through a barline as often as it will be.
  const bool repeats = doc_.library.options.interpretRepeatBarlines != 0;
  bool armed = true;
  const auto passBarline = [&](int type) {
    if (IsStartRepeat(type)) {
      armed = true;
    } else if (IsEndRepeat(type)) {
      armed = false;
    }
  };
  const auto measure = [&](auto& item) {
    const float code = item.At(0);
    const float x = item.Position();
    bool leftOfNewSystem = false;  // the item still belongs to the system just finished
    while ((x > bars[bar].rightEnd || x < previous) && bar + 1 < bars.size()) {
      const float finishedEnd = bars[bar].rightEnd;
      close();
      passBarline(bars[bar].barlineType);
      ++bar;
      if (bars[bar].firstOfSystem != 0) {
        previous = kNone;
        if (x > finishedEnd) {
          leftOfNewSystem = true;
          break;
        }
      }
    }
    if (code == 1.0f || code == 2.0f) {
      const float duration = item.At(code == 1.0f ? 4 : 2);
      if (duration > 0.0f && duration < 64.0f) rhythm.Place(x, duration);
    } else if (code == 5.0f) {
      const float right = item.At(4);
      const float shape = item.At(6);
      const float number = item.At(7);
      const float n = number != 0.0f ? number : shape;
      if ((shape == 1.0f || shape == 2.0f) && (n == 1.0f || n == 2.0f))
        brackets.push_back({bar, x, right, static_cast<int>(n)});
    }
    previous = leftOfNewSystem ? kNone : x;
  };
  if (stored != nullptr) {
    struct Fields {
      TrackLine line;
      float At(std::size_t i) const { return line.Field(i); }
      float Position() const { return line.Position(); }
    } item;
    for (std::size_t i = 0; i < stored->Size(); ++i) {
      stored->Get(i, item.line);
      measure(item);
    }
  } else {
    LineChunks lines(file.get());
    std::string_view text;
    // A line without its line end stops the run later, when the track is written.
    while (lines.Next(text)) {
      TrackLineFields item(text);
      measure(item);
    }
  }
  // The bar a track ends in is flushed, not closed, and keeps its length, unless its repeat is
  // still to be played.
  if (repeats && armed && IsEndRepeat(bars[bar].barlineType)) close();
  return true;
}

bool Assembly::MeasureBars(const std::vector<int>& tracks) {
  auto& bars = engine_.Bars();
  std::vector<std::int32_t> filled(bars.size(), 0);
  std::vector<Bracket> brackets;
  // The tempo file repeats the top staves, which their instrument files hold already.
  for (int number : tracks)
    if (number != 0 && !MeasureTrack(number, filled, brackets)) return false;

  // A bar that no track fills is an upbeat or a shortened last bar: it takes the length of the
  // longest music in it, and its time signature (and the next bar's) says so.
  for (std::size_t i = 0; i < bars.size(); ++i) {
    CBar& bar = bars[i];
    if (filled[i] <= 0 || !(filled[i] < 120.0 * bar.length - 1.0)) continue;
    bar.length = static_cast<float>(filled[i]) / 120.0f;
    TimeSignatureOf(bar.length, bar.numerator, bar.denominatorPower);
    if (i + 1 < bars.size() && bars[i + 1].numerator == 0) {
      CBar& next = bars[i + 1];
      TimeSignatureOf(next.length, next.numerator, next.denominatorPower);
    }
  }

  // A bracket covers the bars of its system whose middle lies under it; the first bar of a
  // system starts at the margin.
  for (const Bracket& b : brackets) {
    std::size_t first = b.bar;
    while (first > 0 && bars[first].firstOfSystem == 0) --first;
    for (std::size_t i = first; i < bars.size() && (i == first || bars[i].firstOfSystem == 0);
         ++i) {
      const float left = i == first ? 0.0f : bars[i - 1].rightEnd;
      const float middle = (left + bars[i].rightEnd) / 2.0f;
      if (middle >= b.left && middle <= b.right) bars[i].ending = b.number;
    }
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
  const CBar& bar = engine_.Bars()[bar_];
  engine_.SetBarStartTick(static_cast<std::int32_t>(
      std::clamp<std::int64_t>(engine_.BarStartTick() + LengthToTicks(bar.length), 0, kMaxVarLen)));
  engine_.FlushGraceNotes();
  engine_.EndExpiredTies(x, newSystem);
  Flush();
}

bool Assembly::PassedOver(float x) {
  const auto& bars = engine_.Bars();
  while (shadowBar_ < skipTo_) {
    const bool later = x > bars[shadowBar_].rightEnd || x < shadowPrevious_;
    if (!later) {
      shadowPrevious_ = x;
      return true;
    }
    if (shadowBar_ + 1 >= bars.size()) return true;  // the ending runs to the end of the piece
    ++shadowBar_;
    if (bars[shadowBar_].firstOfSystem != 0)
      shadowPrevious_ = -std::numeric_limits<float>::infinity();
  }
  // The bar after the ending: play goes on there.
  skipping_ = false;
  bar_ = skipTo_;
  engine_.SetBar(bars[bar_].rightEnd, bars[bar_].length);
  if (bars[bar_].firstOfSystem != 0) {
    engine_.StartSystem();
    previousPosition_ = -std::numeric_limits<float>::infinity();
  } else {
    engine_.ClearFirstPositionOfSystem();
    previousPosition_ = shadowPrevious_;
  }
  return false;
}

void Assembly::Item(const TrackLine& item, std::int64_t lineStart, std::int64_t& resumeAt) {
  const auto& bars = engine_.Bars();
  const bool repeats = doc_.library.options.interpretRepeatBarlines != 0;
  const float x = item.Position();
  if (skipping_ && PassedOver(x)) return;
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
      repeating_ = true;
    } else if (repeats && IsStartRepeat(type)) {
      savedBar_ = bar_ + 1;
      savedOffset_ = lineStart;  // the line being read
      armed_ = true;
      repeating_ = false;
    }
    if (repeating_ && bars[target].ending == 1) {
      // The repeat passes over the first ending: its items are read and dropped, and no time
      // passes for them.
      CloseBar(x, false);
      skipping_ = true;
      shadowBar_ = target;
      skipTo_ = BarAfterFirstEnding(bars, target);
      shadowPrevious_ = jumped ? -std::numeric_limits<float>::infinity() : previousPosition_;
      if (jumped) {
        engine_.DeactivateSlots();
        justJumped_ = true;
        resumeAt = savedOffset_;
        return;
      }
      if (PassedOver(x)) return;
      continue;
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
  const int fileNumber = number == 0 ? kTempoFileNumber : number;
  const std::string name = TrackFileName(doc_.trackFiles.ShownFolder(), fileNumber);
  // The lines this run wrote come from memory when it kept them; otherwise from the file, line by
  // line, so that a long track is never held in memory whole.
  const StoredTrackLines* stored = doc_.trackFiles.Stored(fileNumber);
  using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;
  File file(nullptr, &std::fclose), ahead(nullptr, &std::fclose);
  if (stored == nullptr) {
    if (!OpenTrackFile(doc_.host, doc_.trackFiles, fileNumber, file)) return false;
    if (!file) return true;  // a track whose file is missing is left out
    if (!OpenTrackFile(doc_.host, doc_.trackFiles, fileNumber, ahead)) return false;
    if (!ahead) return true;
  }
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
  repeating_ = false;
  skipping_ = false;
  savedBar_ = 0;
  savedOffset_ = 0;

  const bool repeats = doc_.library.options.interpretRepeatBarlines != 0;
  std::int64_t count = 0;
  std::string text;
  // Where the next line starts: its number in memory, its byte in the file (counted, since asking
  // the stream costs a call).
  std::int64_t offset = 0;
  TrackLine item;
  for (;;) {
    bool synthetic = false;
    const std::int64_t lineStart = offset;
    bool read = false;
    if (stored != nullptr) {
      read = offset < static_cast<std::int64_t>(stored->Size());
      if (read) stored->Get(static_cast<std::size_t>(offset++), item);
    } else if (bool ended = false; ReadLine(file.get(), text, ended, &offset)) {
      if (!ended) {
        ShowMessageById(doc_.host, res::kNoMoreItems);
        return false;
      }
      item = ParseTrackLine(text);
      read = true;
    }
    if (read) {
      ++count;
      if (!doc_.host.ReportStatusNumber(res::kReadingItem, count, 1, false))
        return false;
      // The specials look ahead at what the staff holds next (in a file, through a second handle).
      engine_.SetLinesAhead(stored != nullptr
                                ? LinesAhead(*stored, static_cast<std::size_t>(offset))
                                : LinesAhead(ahead.get(), offset));
    } else if (repeats && armed_ && IsEndRepeat(bars[bar_].barlineType)) {
      // The file ended in a repeat not yet played: an item past every bar makes the jump.
      item = TrackLine{};
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
      if (stored == nullptr) {
        std::clearerr(file.get());
        if (std::fseek(file.get(), static_cast<long>(resumeAt), SEEK_SET) != 0) return false;
      }
      offset = resumeAt;
    } else if (synthetic) {
      break;  // no jump happened: nothing is left
    }
  }

  engine_.FlushGraceNotes();
  if (!skipping_) Flush();  // a first ending passed over at the end closed its bar already
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
  EndEveryNote(engine_.TrackEvents(), engine_.CarriedTicks());
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

  const std::vector<int> tracks = TrackNumbers();
  if (!MeasureBars(tracks)) return false;
  for (int number : tracks)
    if (!Track(number)) return false;
  if (!writer_.WriteHeaderAndConductor(type_, engine_.Bars(), engine_.Tempos(),
                                       doc_.library.options.interpretRepeatBarlines != 0,
                                       output_))
    return false;
  if (type_ == MidiFileType::kType0 && !writer_.MergeTracks(output_)) return false;
  if (!AppendTrackFile(doc_.host, output_)) return false;
  engine_.ClearRun();
  return true;
}

// The hidden partial files of `target` are "." and its name (cut so that the whole fits in a
// file name) and ".XXXXXXXX.part".
constexpr std::size_t kNameMax = 255;
constexpr std::string_view kPartSuffix = ".part";

std::string PartialStem(const fs::path& target) {
  std::string name = target.filename().string();
  name.resize(std::min(name.size(), kNameMax - 1 - 9 - kPartSuffix.size()));
  return "." + name;
}

// A name in the target's folder that no file has.
std::string PartialName(const fs::path& target) {
  const std::string stem = PartialStem(target);
  std::random_device rd;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%08x", static_cast<unsigned>(rd()));
    fs::path p = target.parent_path() / (stem + suffix + std::string(kPartSuffix));
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(p, ec))) return p.string();
  }
  return (target.parent_path() / (stem + std::string(kPartSuffix))).string();
}

// Removes the partial files of `target` that a killed run left: those no running writer holds
// locked.
void RemoveLeftovers(const fs::path& target) {
  const std::string stem = PartialStem(target);
  const auto names = files::EntryNames(target.parent_path());
  if (!names) return;
  for (const std::string& name : *names) {
    const bool ours =
        name.size() == stem.size() + 9 + kPartSuffix.size() && name.starts_with(stem) &&
        name[stem.size()] == '.' && name.ends_with(kPartSuffix) &&
        std::all_of(name.begin() + static_cast<std::ptrdiff_t>(stem.size()) + 1,
                    name.end() - static_cast<std::ptrdiff_t>(kPartSuffix.size()),
                    [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
    if (ours) files::RemoveIfUnlocked(target.parent_path() / name);
  }
}

}  // namespace

std::string OutputTarget(const std::string& outputPath) {
  fs::path path = fs::absolute(outputPath);
  std::error_code ec;
  // A bounded walk: a loop of links ends in a name that is written over like any other.
  for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(path, ec)); ++hops) {
    const fs::path link = fs::read_symlink(path, ec);
    if (ec) break;
    path = link.is_absolute() ? link : path.parent_path() / link;
  }
  return path.lexically_normal().string();
}

bool OutputIsAFile(Host& host, const std::string& outputPath) {
  std::error_code ec;
  const fs::file_status status = fs::status(OutputTarget(outputPath), ec);
  if (!fs::exists(status) || fs::is_regular_file(status)) return true;
  ShowMessage(host, res::kOutputNotAFile, outputPath);
  return false;
}

bool BuildMidiFile(CVellumixDoc& doc, const std::string& outputPath, MidiFacts* facts,
                   const std::function<bool()>& beforePlacing) {
  // Never replaces a folder, a device or a pipe; a link's file is replaced in its own folder.
  if (!OutputIsAFile(doc.host, outputPath)) return false;
  const fs::path target = OutputTarget(outputPath);
  RemoveLeftovers(target);
  const std::string partial = PartialName(target);
  MidiOutput output;
  if (!output.file.Open(partial, outputPath)) {
    ShowWriteFailure(doc.host, outputPath);
    return false;
  }
  if (!output.trackFile.Open(doc.TemporaryTrackFile())) {
    ShowWriteFailure(doc.host, doc.TemporaryTrackFile());
    output.file.Close();
    files::Remove(partial);
    return false;
  }
  Assembly assembly(doc, output);
  bool ok = assembly.Run();
  output.trackFile.Close();
  if (output.file.IsOpen() && !output.file.Close()) {
    ShowWriteFailure(doc.host, outputPath);
    ok = false;
  }
  if (ok) {
    // Put in place only when whole: a file the reader refuses is no success.
    const auto bytes = files::ReadAll(partial);
    const auto midi = bytes ? ReadMidiFile(*bytes, true) : std::nullopt;
    if (!midi) {
      ShowMessage(doc.host, res::kMidiDoesNotReadBack, outputPath);
      ok = false;
    } else if (facts != nullptr) {
      facts->format = midi->format;
      facts->tracks = static_cast<int>(midi->tracks.size());
      facts->playingSeconds = PlayingSeconds(*midi);
      facts->bytes = bytes->size();
      facts->notes = 0;
      for (const MidiTrack& track : midi->tracks) facts->notes += track.notes;
    }
  }
  if (ok && beforePlacing) ok = beforePlacing();
  if (ok && !files::Rename(partial, target)) {
    ShowWriteFailure(doc.host, outputPath);
    ok = false;
  }
  if (!ok) {
    std::error_code ec;
    fs::remove(partial, ec);
    doc.midi.Reset();
    doc.engine.ClearRun();
  }
  return ok;
}

}  // namespace vellumix
