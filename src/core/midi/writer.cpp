#include "midi/writer.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "platform/files.h"
#include "res/strings.h"

namespace vellumix {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kDivision = kTicksPerQuarter;
constexpr std::size_t kCopyBlock = 4096;
constexpr int kBlankTextLength = 30;
constexpr int kMaxDenominatorPower = 7;  // a 128th note

bool IsEndRepeat(int type) {
  return type == 3 || type == 5 || type == 6;
}
bool IsStartRepeat(int type) {
  return type == 4 || type == 5 || type == 6;
}

std::uint8_t DataByte(int value) {
  return static_cast<std::uint8_t>(std::clamp(value, 0, 127));
}

void PutBigEndian32(Bytes& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void PutVarLen(Bytes& out, std::int64_t value) {
  const auto v = static_cast<std::uint32_t>(std::clamp<std::int64_t>(value, 0, kMaxVarLen));
  int shift = 21;
  while (shift > 0 && (v >> shift) == 0) shift -= 7;
  for (; shift > 0; shift -= 7)
    out.push_back(static_cast<std::uint8_t>(0x80 | ((v >> shift) & 0x7F)));
  out.push_back(static_cast<std::uint8_t>(v & 0x7F));
}

// A text meta event at delta 0; the length is a variable-length quantity so that texts of 128
// bytes or more stay readable.
void PutTextEvent(Bytes& out, std::uint8_t type, std::string_view text) {
  text = text.substr(0, static_cast<std::size_t>(std::min<std::int64_t>(
                            static_cast<std::int64_t>(text.size()), kMaxVarLen)));
  out.insert(out.end(), {0x00, 0xFF, type});
  PutVarLen(out, static_cast<std::int64_t>(text.size()));
  out.insert(out.end(), text.begin(), text.end());
}

bool ChannelStatus(std::uint8_t status) {
  return status >= 0x80 && status <= 0xEF;
}
bool HasOneDataByte(std::uint8_t status) {
  return status >= 0xC0 && status <= 0xDF;
}

// Reads a variable-length quantity of at most four bytes at `pos`.
std::optional<std::int64_t> ReadVarLen(const Bytes& bytes, std::size_t& pos) {
  std::int64_t value = 0;
  for (int i = 0; i < 4 && pos < bytes.size(); ++i) {
    const std::uint8_t b = bytes[pos++];
    value = (value << 7) | (b & 0x7F);
    if ((b & 0x80) == 0) return value;
  }
  return std::nullopt;
}

// One track buffer read as a stream of events by the merge.
struct MergeStream {
  int buffer = 0;
  std::size_t pos = 0;      // start of the next event's delta
  std::int64_t tick = 0;    // absolute tick of the last event taken
  std::int64_t next = 0;    // absolute tick of the next event
  std::size_t eventAt = 0;  // start of the next event's status byte
};

// Length of the event (status included) that starts at `pos`; nothing when it is not an event
// this writer makes or runs past the end.
std::optional<std::size_t> EventLength(const Bytes& bytes, std::size_t pos) {
  if (pos >= bytes.size()) return std::nullopt;
  const std::uint8_t status = bytes[pos];
  std::size_t length = 0;
  if (status == 0xFF) {
    std::size_t p = pos + 2;
    if (p > bytes.size()) return std::nullopt;
    const auto textLength = ReadVarLen(bytes, p);
    if (!textLength) return std::nullopt;
    length = p - pos + static_cast<std::size_t>(*textLength);
  } else if (ChannelStatus(status)) {
    length = HasOneDataByte(status) ? 2 : 3;
  } else {
    return std::nullopt;
  }
  if (length > bytes.size() - pos) return std::nullopt;
  return length;
}

// Reads the delta of the stream's next event; false when the stream is exhausted.
bool PeekNext(const Bytes& bytes, MergeStream& s) {
  if (s.pos >= bytes.size()) return false;
  std::size_t p = s.pos;
  const auto delta = ReadVarLen(bytes, p);
  if (!delta) return false;
  s.eventAt = p;
  s.next = s.tick + *delta;
  return true;
}

}  // namespace

// --- OutputFile ---

void OutputFile::Closer::operator()(std::FILE* f) const {
  files::CloseFile(f);
}

bool OutputFile::Open(const std::filesystem::path& path, const std::string& shown) {
  file_.reset(files::OpenFile(path, "wb"));
  path_ = shown.empty() ? path.string() : shown;
  // Held while the file is written: a later run removes only partial files no one holds.
  if (file_) files::LockOpenFile(fileno(file_.get()));
  return file_ != nullptr;
}

bool OutputFile::Write(std::span<const std::uint8_t> bytes) {
  if (!file_) {
    files::ClearLastError();  // no reason the system could give
    return false;
  }
  return files::WriteFile(file_.get(), bytes.data(), bytes.size());
}

bool OutputFile::Close() {
  if (!file_) return true;
  return files::CloseFile(file_.release());
}

bool AppendTrackFile(Host& host, MidiOutput& output) {
  const std::string trackPath = output.trackFile.Path();
  if (!output.trackFile.Close()) {
    ShowWriteFailure(host, trackPath);
    return false;
  }
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(files::OpenFile(trackPath, "rb"),
                                                     &std::fclose);
  if (!in) {
    ShowMessage(host, res::kCannotRead, trackPath);
    return false;
  }
  std::array<std::uint8_t, kCopyBlock> block{};
  for (;;) {
    const std::size_t n = std::fread(block.data(), 1, block.size(), in.get());
    if (n > 0 && !output.file.Write(std::span(block.data(), n))) {
      ShowWriteFailure(host, output.file.Path());
      return false;
    }
    if (n < block.size()) break;
  }
  if (std::ferror(in.get())) {
    ShowMessage(host, res::kCannotRead, trackPath);
    return false;
  }
  if (!output.file.Close()) {
    ShowWriteFailure(host, output.file.Path());
    return false;
  }
  return true;
}

MidiFileType FileTypeFromOption(std::string_view option) {
  return option == "Type 0" ? MidiFileType::kType0 : MidiFileType::kType1;
}

std::uint32_t MicrosecondsPerQuarter(int bpm) {
  if (bpm <= 0) return 500000;
  const double us = 1000000.0 / (bpm / 60.0);
  // One tempo every player can divide by: at least 1 microsecond, at most what 3 bytes hold.
  return static_cast<std::uint32_t>(std::clamp(us, 1.0, 16777215.0));
}

std::uint8_t ClocksPerClick(int numerator, int denominatorPower) {
  if (denominatorPower <= 2) return kDivision;
  const int shift =
      denominatorPower - (numerator == 6 || numerator == 9 || numerator == 12 ? 3 : 2);
  const int base = (numerator == 6 || numerator == 9 || numerator == 12) ? 180 : kDivision;
  return shift >= 8 ? 0 : static_cast<std::uint8_t>(base >> shift);
}

std::int64_t LengthToTicks(float quarters) {
  const double ticks = SnapTick(static_cast<double>(quarters) * kDivision);
  if (!(ticks > 0.0)) return 0;  // negative, zero or not a number
  if (ticks >= static_cast<double>(kMaxVarLen)) return kMaxVarLen;
  return static_cast<std::int64_t>(ticks);
}

// --- MidiWriter ---

MidiWriter::MidiWriter(Host& host) : host_(host) {}

void MidiWriter::Reset() {
  for (auto& b : buffers_) b.clear();
  instrumentChunks_ = 0;
}

const std::vector<std::uint8_t>& MidiWriter::TrackBuffer(int index) const {
  return buffers_.at(static_cast<std::size_t>(index));
}

bool MidiWriter::Status(std::string_view text) {
  return ReportStatus(host_, text, 0, false);
}

bool MidiWriter::WriteChunk(OutputFile& file, std::vector<std::uint8_t>& body) {
  Bytes header = {'M', 'T', 'r', 'k'};
  PutBigEndian32(header, static_cast<std::uint32_t>(body.size()));
  const bool ok = file.Write(header) && file.Write(body);
  body.clear();
  if (!ok) ShowWriteFailure(host_, file.Path());
  return ok;
}

void MidiWriter::WriteVarLen(std::int64_t value, int buffer) {
  PutVarLen(buffers_.at(static_cast<std::size_t>(buffer)), value);
}

bool MidiWriter::WriteTimeSignature(std::int64_t delta, int numerator, int denominatorPower) {
  if (numerator < 1 || numerator > 255 || denominatorPower < 0 ||
      denominatorPower > kMaxDenominatorPower)
    return false;
  Bytes& out = buffers_[kConductorBuffer];
  PutVarLen(out, delta);
  out.insert(out.end(), {0xFF, 0x58, 0x04, static_cast<std::uint8_t>(numerator),
                         static_cast<std::uint8_t>(denominatorPower),
                         ClocksPerClick(numerator, denominatorPower), 0x08});
  return true;
}

void MidiWriter::WriteTempo(std::int64_t delta, int bpm) {
  Bytes& out = buffers_[kConductorBuffer];
  PutVarLen(out, delta);
  const std::uint32_t us = MicrosecondsPerQuarter(bpm);
  out.insert(out.end(), {0xFF, 0x51, 0x03, static_cast<std::uint8_t>(us >> 16),
                         static_cast<std::uint8_t>(us >> 8), static_cast<std::uint8_t>(us)});
}

void MidiWriter::WriteConductor(std::span<const CBar> bars, std::span<const CTempoEvent> tempos,
                                bool repeatBarlines) {
  Bytes& out = buffers_[kConductorBuffer];
  std::int64_t written = 0;  // tick of the last event written
  std::int64_t barEnd = 0;
  std::size_t tempo = 0;  // the pending tempo entry

  // Every delta is measured from the last event actually written, so a tempo entry out of order
  // lands at the tick already reached instead of going back in time.
  auto deltaTo = [&](std::int64_t tick) {
    return std::clamp<std::int64_t>(tick - written, 0, kMaxVarLen);
  };
  // Entries at one tick (a mark and a rule, say) make one event, the one a player would keep.
  auto superseded = [&](std::size_t i) {
    const std::int64_t tick = std::max(tempos[i].tick, 0);
    for (std::size_t j = i + 1; j < tempos.size() && std::max(tempos[j].tick, 0) == tick; ++j)
      if (tempos[j].state != -1) return true;
    return false;
  };
  auto writeTemposBefore = [&](std::int64_t end) {
    for (; tempo < tempos.size() && tempos[tempo].tick < end; ++tempo) {
      if (tempos[tempo].state == -1 || superseded(tempo)) continue;
      const std::int64_t delta = deltaTo(tempos[tempo].tick);
      WriteTempo(delta, tempos[tempo].tempo);
      written += delta;
    }
  };

  if (!bars.empty()) {
    WriteTimeSignature(0, bars[0].numerator, bars[0].denominatorPower);
    barEnd = LengthToTicks(bars[0].length);
  }
  if (!tempos.empty()) {
    if (tempos[0].state != -1 && !(tempos[0].tick <= 0 && superseded(0)))
      WriteTempo(0, tempos[0].tempo);
    tempo = 1;
  }
  out.insert(out.end(), {0x00, 0xFF, 0x59, 0x02, 0x00, 0x00});
  PutTextEvent(out, 0x01, std::string(kBlankTextLength, ' '));
  for (; tempo < tempos.size() && tempos[tempo].tick <= 0; ++tempo)
    if (tempos[tempo].state != -1 && !superseded(tempo)) WriteTempo(0, tempos[tempo].tempo);
  if (bars.empty()) return;

  std::size_t target = 0;  // first bar of the section a repeat goes back to
  int repeats = 1;         // an end-repeat with no start-repeat before it goes back to bar 1
  bool repeating = false;  // on the repeat, which passes over a first ending
  // The barline at the end of `finished`: true when it sends the walk back to `target`.
  auto barlineJumps = [&](std::size_t finished) {
    const int type = bars[finished].barlineType;
    if (IsEndRepeat(type) && repeats > 0) {
      --repeats;
      repeating = target < bars.size();
      return repeating;
    }
    if (IsStartRepeat(type)) {
      target = finished + 1;
      repeats = 1;
      repeating = false;
    }
    return false;
  };

  const std::size_t last = bars.size() - 1;
  // The last bar's own barline is read as soon as the bar is taken; a single bar is bar 1 and
  // the last bar at once.
  bool jumpFromLast = repeatBarlines && last == 0 && barlineJumps(0);
  // Tempo changes inside bar 1 belong before bar 2's time signature.
  writeTemposBefore(barEnd);
  std::size_t current = 0;
  for (;;) {
    std::size_t next = current + 1;
    if (jumpFromLast) {
      next = target;
      jumpFromLast = false;
    } else if (current == last) {
      break;
    } else if (repeatBarlines && barlineJumps(current)) {
      next = target;
    }
    if (repeating) {
      next = BarAfterFirstEnding(bars, next);
      if (next >= bars.size()) break;
    }
    const CBar& bar = bars[next];
    if (bar.numerator != 0) {
      const std::int64_t delta = deltaTo(barEnd);
      if (WriteTimeSignature(delta, bar.numerator, bar.denominatorPower)) written += delta;
    }
    barEnd += LengthToTicks(bar.length);
    if (repeatBarlines && next == last) jumpFromLast = barlineJumps(next);
    writeTemposBefore(barEnd);
    current = next;
  }
}

bool MidiWriter::WriteHeaderAndConductor(MidiFileType type, std::span<const CBar> bars,
                                         std::span<const CTempoEvent> tempos, bool repeatBarlines,
                                         MidiOutput& output) {
  const bool type1 = type == MidiFileType::kType1;
  // The chunks actually written, so that the header never promises a track that is not there.
  const int tracks = type1 ? std::min(1 + instrumentChunks_, 0xFFFF) : 1;
  instrumentChunks_ = 0;  // counted afresh for the next file
  Bytes header = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, static_cast<std::uint8_t>(type1 ? 1 : 0)};
  header.push_back(static_cast<std::uint8_t>(tracks >> 8));
  header.push_back(static_cast<std::uint8_t>(tracks));
  header.push_back(static_cast<std::uint8_t>(kDivision >> 8));
  header.push_back(static_cast<std::uint8_t>(kDivision));

  buffers_[kConductorBuffer].clear();
  WriteConductor(bars, tempos, repeatBarlines);
  if (!output.file.Write(header)) {
    ShowWriteFailure(host_, output.file.Path());
    return false;
  }
  if (!type1) return true;
  Bytes& conductor = buffers_[kConductorBuffer];
  conductor.insert(conductor.end(), {0x00, 0xFF, 0x2F, 0x00});
  return WriteChunk(output.file, conductor);
}

bool MidiWriter::WriteInstrumentTrack(int number, MidiFileType type,
                                      std::span<const CMidiDataEvent> events,
                                      std::span<const CLyricEvent> lyrics,
                                      const TrackSettings& settings, MidiOutput& output) {
  if (number < kFirstInstrumentBuffer || number > kLastInstrumentBuffer) return false;
  const bool type1 = type == MidiFileType::kType1;
  Bytes& out = buffers_[static_cast<std::size_t>(number)];
  if (type1 && !Status(res::FormatText(res::kWritingTrackToFile, {output.file.Path()})))
    return false;
  if (!Status(res::kPreparingMidiData)) return false;

  const auto ch = static_cast<std::uint8_t>(std::clamp(settings.channel, 0, 15));
  const int program = std::clamp(settings.program, 0, 127 * 128 + 127);
  out.insert(out.end(), {0x00, 0xFF, 0x21, 0x01, settings.port});
  if (!settings.name.empty()) PutTextEvent(out, 0x03, settings.name);
  const auto control = static_cast<std::uint8_t>(0xB0 | ch);
  out.insert(out.end(), {0x00, control, 0x00, DataByte(program / 128)});
  out.insert(out.end(), {0x00, control, 0x20, 0x00});
  out.insert(out.end(), {0x00, static_cast<std::uint8_t>(0xC0 | ch), DataByte(program % 128)});
  out.insert(out.end(), {0x00, control, 0x0A, DataByte(settings.pan)});
  out.insert(out.end(), {0x00, control, 0x07, DataByte(settings.volume)});

  std::int64_t tick = 0;     // the sum of the deltas: where each event belongs
  std::int64_t written = 0;  // where the last event went
  int runningStatus = -1;    // none: the next event carries its status
  std::size_t lyric = 0;
  for (const CMidiDataEvent& e : events) {
    tick += e.delta;
    // Only channel messages belong here; anything else is dropped and its time kept.
    if (!ChannelStatus(e.status)) continue;
    // An event placed before the one written last goes at the same tick, never back in time.
    const std::int64_t delta = std::clamp<std::int64_t>(tick - written, 0, kMaxVarLen);
    written += delta;
    PutVarLen(out, delta);
    if (!type1 || e.status != runningStatus) out.push_back(e.status);
    runningStatus = e.status;
    out.push_back(DataByte(e.data1));
    if (!HasOneDataByte(e.status)) out.push_back(DataByte(e.data2));
    for (; lyric < lyrics.size() && lyrics[lyric].tick <= written; ++lyric) {
      PutTextEvent(out, 0x05, lyrics[lyric].text);
      runningStatus = -1;
    }
  }

  if (!type1) return true;
  out.insert(out.end(), {0x00, 0xFF, 0x2F, 0x00});
  if (!Status(res::kWritingMidiData)) {
    out.clear();
    return false;
  }
  if (!WriteChunk(output.trackFile, out)) return false;
  ++instrumentChunks_;
  return true;
}

bool MidiWriter::MergeTracks(MidiOutput& output) {
  if (!Status(res::FormatText(res::kWritingTrackToFile, {output.file.Path()})) ||
      !Status(res::kPreparingMidiData))
    return false;

  std::vector<MergeStream> streams;
  for (int b = kConductorBuffer; b <= kLastInstrumentBuffer; ++b) {
    MergeStream s;
    s.buffer = b;
    if (PeekNext(buffers_[static_cast<std::size_t>(b)], s)) streams.push_back(s);
  }

  Bytes& out = buffers_[kMergeBuffer];
  out.clear();
  std::int64_t written = 0;
  int lastStatus = -1;
  while (!streams.empty()) {
    std::size_t chosen = 0;  // streams are in buffer order: the first minimum is the lowest
    for (std::size_t i = 1; i < streams.size(); ++i)
      if (streams[i].next < streams[chosen].next) chosen = i;
    MergeStream& s = streams[chosen];
    const Bytes& in = buffers_[static_cast<std::size_t>(s.buffer)];
    const auto length = EventLength(in, s.eventAt);
    if (!length) {  // not an event of ours: the rest of this buffer can't be read
      streams.erase(streams.begin() + static_cast<std::ptrdiff_t>(chosen));
      continue;
    }
    PutVarLen(out, s.next - written);
    written = s.next;
    s.tick = s.next;
    const std::uint8_t status = in[s.eventAt];
    if (status == 0xFF || status != lastStatus) out.push_back(status);
    lastStatus = status;
    out.insert(out.end(), in.begin() + static_cast<std::ptrdiff_t>(s.eventAt + 1),
               in.begin() + static_cast<std::ptrdiff_t>(s.eventAt + *length));
    s.pos = s.eventAt + *length;
    if (!PeekNext(in, s)) streams.erase(streams.begin() + static_cast<std::ptrdiff_t>(chosen));
  }
  for (int b = kConductorBuffer; b <= kLastInstrumentBuffer; ++b)
    buffers_[static_cast<std::size_t>(b)].clear();

  out.insert(out.end(), {0x00, 0xFF, 0x2F, 0x00});
  if (!Status(res::kWritingMidiData)) {
    out.clear();
    return false;
  }
  return WriteChunk(output.trackFile, out);
}

}  // namespace vellumix
