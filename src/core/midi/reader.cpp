#include "midi/reader.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace vellumix {
namespace {

// A cursor over one chunk's bytes; every read says whether the bytes were there.
class Cursor {
 public:
  explicit Cursor(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::size_t Remaining() const { return bytes_.size() - pos_; }
  bool AtEnd() const { return pos_ == bytes_.size(); }

  std::optional<std::uint8_t> Byte() {
    if (AtEnd()) return std::nullopt;
    return bytes_[pos_++];
  }
  std::optional<std::uint8_t> Peek() const {
    if (AtEnd()) return std::nullopt;
    return bytes_[pos_];
  }
  std::optional<std::uint32_t> BigEndian(int count) {
    if (Remaining() < static_cast<std::size_t>(count)) return std::nullopt;
    std::uint32_t v = 0;
    for (int i = 0; i < count; ++i) v = (v << 8) | bytes_[pos_++];
    return v;
  }
  // At most four bytes, as the format allows.
  std::optional<std::uint32_t> VarLen() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      const auto b = Byte();
      if (!b) return std::nullopt;
      v = (v << 7) | (*b & 0x7Fu);
      if ((*b & 0x80) == 0) return v;
    }
    return std::nullopt;
  }
  std::optional<std::span<const std::uint8_t>> Take(std::size_t count) {
    if (Remaining() < count) return std::nullopt;
    auto s = bytes_.subspan(pos_, count);
    pos_ += count;
    return s;
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
};

int DataBytes(std::uint8_t status) {
  return (status >= 0xC0 && status <= 0xDF) ? 1 : 2;
}

std::optional<MidiTrack> ReadTrack(std::span<const std::uint8_t> body, bool timingOnly) {
  MidiTrack track;
  Cursor c(body);
  std::int64_t tick = 0;
  int running = -1;
  while (!c.AtEnd()) {
    const auto delta = c.VarLen();
    const auto first = c.Peek();
    if (!delta || !first) return std::nullopt;
    tick += *delta;
    track.endTick = tick;
    MidiEvent e;
    e.tick = tick;
    if (*first < 0x80) {
      if (running < 0) return std::nullopt;
      e.status = static_cast<std::uint8_t>(running);
      e.runningStatus = true;
    } else {
      e.status = *c.Byte();
    }
    // Timing alone keeps tempo events only; the others are checked without being copied.
    if (e.status == 0xFF) {
      const auto type = c.Byte();
      const auto length = type ? c.VarLen() : std::nullopt;
      const auto payload = length ? c.Take(*length) : std::nullopt;
      if (!payload) return std::nullopt;
      running = -1;  // meta events cancel running status
      if (*type == 0x2F) {
        if (!c.AtEnd()) return std::nullopt;  // nothing may follow the end of the track
        track.endOfTrack = true;
        break;
      }
      e.metaType = *type;
      if (!timingOnly || e.metaType == 0x51) e.data.assign(payload->begin(), payload->end());
    } else if (e.status == 0xF0 || e.status == 0xF7) {
      const auto length = c.VarLen();
      const auto payload = length ? c.Take(*length) : std::nullopt;
      if (!payload) return std::nullopt;
      running = -1;
      if (!timingOnly) e.data.assign(payload->begin(), payload->end());
    } else if (e.status >= 0xF0) {
      return std::nullopt;  // system common and real-time messages have no place in a file
    } else {
      running = e.status;
      for (int i = 0; i < DataBytes(e.status); ++i) {
        const auto b = c.Byte();
        if (!b || *b >= 0x80) return std::nullopt;
        if (!timingOnly) e.data.push_back(*b);
        if (i == 1 && (e.status & 0xF0) == 0x90 && *b != 0) ++track.notes;
      }
    }
    if (!timingOnly || (e.status == 0xFF && e.metaType == 0x51))
      track.events.push_back(std::move(e));
  }
  return track;
}

void Append(std::string& out, const char* format, long long a, long long b = 0, long long c = 0,
            long long d = 0) {
  char line[128];
  std::snprintf(line, sizeof line, format, a, b, c, d);
  out += line;
}

std::string Quoted(const std::vector<std::uint8_t>& text) {
  std::string s = "\"";
  for (std::uint8_t ch : text) {
    if (ch >= 0x20 && ch < 0x7F && ch != '"' && ch != '\\') {
      s += static_cast<char>(ch);
    } else {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\x%02X", ch);
      s += esc;
    }
  }
  return s + "\"";
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  std::string s;
  for (std::uint8_t b : bytes) {
    char h[4];
    std::snprintf(h, sizeof h, " %02X", b);
    s += h;
  }
  return s;
}

void DumpMeta(std::string& out, const MidiEvent& e) {
  const auto& d = e.data;
  switch (e.metaType) {
    case 0x01:
      out += "text " + Quoted(d);
      return;
    case 0x03:
      out += "track-name " + Quoted(d);
      return;
    case 0x05:
      out += "lyric " + Quoted(d);
      return;
    case 0x21:
      if (d.size() == 1) return Append(out, "port %lld", d[0]);
      break;
    case 0x51:
      if (d.size() == 3) return Append(out, "tempo %lld", (d[0] << 16) | (d[1] << 8) | d[2]);
      break;
    case 0x58:
      if (d.size() == 4) {
        Append(out, "time-signature %lld/%lld", d[0], 1LL << (d[1] & 31));
        return Append(out, " clocks %lld 32nds %lld", d[2], d[3]);
      }
      break;
    case 0x59:
      if (d.size() == 2) {
        Append(out, "key-signature %lld ", static_cast<std::int8_t>(d[0]));
        out += d[1] ? "minor" : "major";
        return;
      }
      break;
    default:
      break;
  }
  Append(out, "meta 0x%02llX", e.metaType);
  out += Hex(d);
}

void DumpEvent(std::string& out, const MidiEvent& e) {
  Append(out, "%lld ", e.tick);
  if (e.status == 0xFF) {
    DumpMeta(out, e);
  } else if (e.status == 0xF0 || e.status == 0xF7) {
    Append(out, "sysex 0x%02llX", e.status);
    out += Hex(e.data);
  } else {
    const int ch = e.status & 0x0F;
    const int d1 = e.data.empty() ? 0 : e.data[0];
    const int d2 = e.data.size() > 1 ? e.data[1] : 0;
    switch (e.status & 0xF0) {
      case 0x80:
        Append(out, "ch%lld note-off %lld %lld", ch, d1, d2);
        break;
      case 0x90:
        Append(out, "ch%lld note-on %lld %lld", ch, d1, d2);
        break;
      case 0xA0:
        Append(out, "ch%lld key-pressure %lld %lld", ch, d1, d2);
        break;
      case 0xB0:
        Append(out, "ch%lld control %lld %lld", ch, d1, d2);
        break;
      case 0xC0:
        Append(out, "ch%lld program %lld", ch, d1);
        break;
      case 0xD0:
        Append(out, "ch%lld pressure %lld", ch, d1);
        break;
      default:
        Append(out, "ch%lld pitch-bend %lld", ch, d1 | (d2 << 7));
        break;
    }
    if (e.runningStatus) out += " (running)";
  }
  out += '\n';
}

}  // namespace

std::optional<MidiFile> ReadMidiFile(std::span<const std::uint8_t> bytes, bool timingOnly) {
  Cursor c(bytes);
  auto chunk = [&c]() -> std::optional<std::pair<std::uint32_t, std::span<const std::uint8_t>>> {
    const auto id = c.BigEndian(4);
    const auto length = id ? c.BigEndian(4) : std::nullopt;
    const auto body = length ? c.Take(*length) : std::nullopt;
    if (!body) return std::nullopt;
    return std::pair{*id, *body};
  };
  constexpr std::uint32_t kMThd = 0x4D546864, kMTrk = 0x4D54726B;

  const auto header = chunk();
  if (!header || header->first != kMThd || header->second.size() < 6) return std::nullopt;
  MidiFile file;
  Cursor h(header->second);
  file.format = static_cast<int>(*h.BigEndian(2));
  file.declaredTracks = static_cast<int>(*h.BigEndian(2));
  file.division = static_cast<int>(*h.BigEndian(2));
  while (!c.AtEnd()) {
    const auto next = chunk();
    if (!next) return std::nullopt;
    if (next->first != kMTrk) continue;  // unknown chunks are skipped, as the format asks
    auto track = ReadTrack(next->second, timingOnly);
    if (!track) return std::nullopt;
    file.tracks.push_back(std::move(*track));
  }
  return file;
}

std::string DumpMidiFile(const MidiFile& file) {
  std::string out;
  Append(out, "format %lld division %lld tracks %lld\n", file.format, file.division,
         file.declaredTracks);
  for (std::size_t t = 0; t < file.tracks.size(); ++t) {
    Append(out, "track %lld\n", static_cast<long long>(t));
    for (const MidiEvent& e : file.tracks[t].events) DumpEvent(out, e);
    if (!file.tracks[t].endOfTrack) out += "(no end of track)\n";
  }
  return out;
}

double PlayingSeconds(const MidiFile& file) {
  if (file.division <= 0 || (file.division & 0x8000) != 0) return 0.0;
  std::vector<std::pair<std::int64_t, std::uint32_t>> tempos;  // tick, microseconds a quarter
  std::int64_t end = 0;
  for (const MidiTrack& track : file.tracks) {
    end = std::max(end, track.endTick);
    for (const MidiEvent& e : track.events)
      if (e.status == 0xFF && e.metaType == 0x51 && e.data.size() == 3)
        tempos.emplace_back(e.tick, static_cast<std::uint32_t>(e.data[0] << 16 | e.data[1] << 8 |
                                                               e.data[2]));
  }
  std::stable_sort(tempos.begin(), tempos.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  double seconds = 0.0;
  std::int64_t tick = 0;
  std::uint32_t perQuarter = 500000;
  for (const auto& [at, value] : tempos) {
    if (at >= end) break;
    seconds += static_cast<double>(at - tick) * perQuarter / 1e6 / file.division;
    tick = at;
    perQuarter = value;
  }
  seconds += static_cast<double>(end - tick) * perQuarter / 1e6 / file.division;
  return seconds;
}

}  // namespace vellumix
