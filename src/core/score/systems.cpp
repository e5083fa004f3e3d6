#include "score/systems.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <vector>

#include "platform/files.h"
#include "res/strings.h"

namespace vellumix {
namespace {

constexpr float kNoteCode = 1.0f;
constexpr float kRestCode = 2.0f;
constexpr float kStaffCode = 8.0f;
constexpr float kTimeSignatureCode = 18.0f;

constexpr int kMinTop = 1;
constexpr int kMaxTop = 32;
constexpr int kMinBottom = 2;
constexpr int kMaxBottom = 64;
constexpr float kMinAnacrusis = 0.125f;
constexpr float kMaxAnacrusis = 20.0f;
// The standard validation text of a number field, with the anacrusis field's limits.
constexpr std::string_view kAnacrusisRange = "Enter a number between 0.125 and 20.";

constexpr int kBarFileFields = 6;

// Stored values: a barline holds P3 P4 P5 (then the bar values), every other item P1 P2 P3 ...
float BarlinePosition(const CItem& b) {
  return b.values.Get(0);
}
float ItemPosition(const CItem& item) {
  return item.values.Get(2);
}

bool ValidBottom(int b) {
  return b == 2 || b == 4 || b == 8 || b == 16 || b == 32 || b == 64;
}
bool ValidBottom(float b) {
  return b == 2 || b == 4 || b == 8 || b == 16 || b == 32 || b == 64;
}
bool ValidTop(float t) {
  return t >= kMinTop && t <= kMaxTop;
}  // false for NaN

// 1 for 2, 2 for 4, ... 6 for 64.
float PowerOfTwo(float denominator) {
  float power = 0;
  for (float d = denominator; d > 1.0f && power < 6; d /= 2.0f) power += 1.0f;
  return power;
}

// A file value as the integer a message prints; NaN shows as 0.
std::int64_t Printable(float v) {
  if (!(v == v)) return 0;
  return static_cast<std::int64_t>(std::clamp(static_cast<double>(v), -1e9, 1e9));
}

// Starting values a time-signature dialog can be left with by OK: top within its limits, bottom
// the valid number at or below the given one.
int UsableTop(double t) {
  if (!(t == t)) return 4;
  return static_cast<int>(std::clamp(std::trunc(t), double{kMinTop}, double{kMaxTop}));
}
int UsableBottom(double b) {
  if (!(b == b)) return 4;
  int usable = kMinBottom;
  while (usable * 2 <= kMaxBottom && usable * 2 <= b) usable *= 2;
  return usable;
}
float UsableAnacrusis(float beats, float otherwise) {
  if (!(beats == beats)) return otherwise;
  return std::clamp(beats, kMinAnacrusis, kMaxAnacrusis);
}

// The span of a barline in staves: trunc(P4), where anything below 1 (or not a number) counts as
// 1 and no span reaches beyond the staves that can carry barlines.
int SpanOf(const CItem& barline) {
  const float p4 = barline.values.Get(1);
  if (!(p4 >= 1.0f)) return 1;
  if (p4 >= static_cast<float>(kMaxBarlineStaff)) return kMaxBarlineStaff;
  return static_cast<int>(p4);
}

const CItem* FirstStaffItem(const ItemList& list) {
  for (const CItem& item : list) {
    if (item.values.Get(0) == kStaffCode) return &item;
  }
  return nullptr;
}

// The instrument number of a staff item's P9: 0 (take a free number) when it is not a number or
// below 0, as SCORE's "no instrument"; kInstrumentSlots for everything from 350 up.
int InstrumentOf(const CItem& staffItem) {
  const float p9 = staffItem.values.Get(3);  // stored P1 P2 P3 P9 P13
  if (!(p9 >= 0.0f)) return 0;
  if (p9 >= static_cast<float>(kInstrumentSlots)) return kInstrumentSlots;
  return static_cast<int>(p9);
}

CItem Rest(float position, float length) {
  CItem rest;
  for (float v : {kRestCode, 1.0f, position, length, 0.0f}) rest.values.Append(v);
  return rest;
}

// A value as "%.4f" gives it back.
float RoundedAsWritten(float v) {
  std::string text;
  AppendFixed4(text, v);
  float back = v;
  std::from_chars(text.data(), text.data() + text.size() - 1, back);
  return back;
}

// The numbers of one bar file line; false unless it holds exactly six finite numbers.
bool ParseBarLine(std::string_view line, float (&fields)[kBarFileFields]) {
  int count = 0;
  std::size_t at = 0;
  while (true) {
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
    if (at == line.size()) break;
    std::size_t end = at;
    while (end < line.size() && line[end] != ' ' && line[end] != '\t') ++end;
    if (count == kBarFileFields) return false;
    float v = 0;
    auto r = std::from_chars(line.data() + at, line.data() + end, v);
    if (r.ec != std::errc() || r.ptr != line.data() + end || !std::isfinite(v)) return false;
    fields[count++] = v;
    at = end;
  }
  return count == kBarFileFields;
}

}  // namespace

std::optional<std::string> TimeSignatureRefusal(int top, int bottom) {
  if (top >= kMinTop && top <= kMaxTop && ValidBottom(bottom)) return std::nullopt;
  return res::Format(res::kInvalidLowerNumber, {std::int64_t{top}, std::int64_t{bottom}});
}

std::optional<std::string> AnacrusisRefusal(float beats) {
  if (beats >= kMinAnacrusis && beats <= kMaxAnacrusis) return std::nullopt;
  return std::string(kAnacrusisRange);
}

bool AskValidTimeSignature(Host& host, TimeSignatureQuestion kind, std::string_view text, int& top,
                           int& bottom) {
  // The dialog must be able to close with what it starts with.
  int startTop = UsableTop(top);
  int startBottom = UsableBottom(bottom);
  while (true) {
    int t = startTop;
    int b = startBottom;
    if (!host.AskTimeSignature(kind, text, t, b)) return false;
    const auto refusal = TimeSignatureRefusal(t, b);
    if (!refusal) {
      top = t;
      bottom = b;
      return true;
    }
    host.ShowMessage(res::kInvalidLowerNumber, *refusal);
    startTop = UsableTop(t);
    startBottom = UsableBottom(b);
  }
}

bool AskValidAnacrusis(Host& host, std::string_view text, float& beats) {
  float start = UsableAnacrusis(beats, kMinAnacrusis);
  while (true) {
    float v = start;
    if (!host.AskAnacrusis(text, v)) return false;
    const auto refusal = AnacrusisRefusal(v);
    if (!refusal) {
      beats = v;
      return true;
    }
    host.ShowMessage(0, *refusal);
    start = UsableAnacrusis(v, start);
  }
}

SystemsStage::SystemsStage(Host& host, ScoreInput& score, TrackFileWriter& tracks, Options& options)
    : host_(host), score_(score), tracks_(tracks), options_(options) {}

void SystemsStage::StartRun() {
  beatsPerBar_ = 0.0f;
  firstBarPending_ = 1;
  run_.fill(0);
  thisSystem_.fill(0);
  systems_.clear();
  firstSystem_ = 1;
  anacrusisAsked_ = 0;
  anacrusisLength_ = 0.0f;
}

bool SystemsStage::ProcessFileGroup(const std::string& name) {
  FindSystems(name);
  score_.FinishGroupRead();
  const bool ok = WriteSystems(name);
  score_.State().groupRead = ok ? 1 : 0;
  if (ok) score_.State().timeSignature.fill(false);
  return ok;
}

void SystemsStage::FindSystems(const std::string& name) {
  systems_.clear();
  const int total = score_.State().staffOffset;
  const bool oneFile = score_.State().severalFiles == 0;
  const auto add = [&](int first, int count) {
    // Every staff of a system must have a staff list.
    count = std::clamp(count, 1, kMaxGlobalStaff - first + 1);
    systems_.push_front(CSystem{first, count});
  };

  int firstWithBarlines = 0;
  for (int i = 1; i <= kMaxBarlineStaff && firstWithBarlines == 0; ++i) {
    if (!score_.BarlineList(i).empty()) firstWithBarlines = i;
  }
  if (firstWithBarlines != 0 && oneFile) {
    const int span = SpanOf(score_.BarlineList(firstWithBarlines).front());
    const auto offer = [&](int id, std::int32_t value) {
      if (askAgain_ == 0) {
        options_.interpretMultipleSystems = value;
        return;
      }
      bool dontShowAgain = false;
      if (host_.AskMultipleSystems(id, res::Format(id, {name}), dontShowAgain)) {
        options_.interpretMultipleSystems = value;
        askAgain_ = dontShowAgain ? 0 : 1;
      }
    };
    if (span < total && !options_.interpretMultipleSystems) {
      offer(res::kMaybeMultipleSystems, 1);
    } else if (span == total && options_.interpretMultipleSystems) {
      offer(res::kOnlyOneSystem, 0);
    }
  }

  if (options_.interpretMultipleSystems && oneFile) {
    for (int i = 1; i <= kMaxBarlineStaff;) {
      ItemList& barlines = score_.BarlineList(i);
      const CItem* staffItem = FirstStaffItem(score_.StaffList(i));
      if (barlines.empty() || staffItem == nullptr) {
        ++i;
        continue;
      }
      const int span = SpanOf(barlines.front());
      add(i, span);
      if (static_cast<double>(ItemPosition(*staffItem)) + 1.0 >=
          static_cast<double>(BarlinePosition(barlines.front()))) {
        barlines.pop_front();  // the opening barline of the system
        i += span;
      } else {
        ++i;
      }
    }
    return;
  }

  ItemList& barlines = score_.BarlineList(1);
  int span = 1;
  if (!barlines.empty()) {
    span = SpanOf(barlines.front());
    if (const CItem* staffItem = FirstStaffItem(score_.StaffList(1))) {
      const double start = static_cast<double>(ItemPosition(*staffItem)) + 1.0;
      while (barlines.size() > 1 && start >= static_cast<double>(BarlinePosition(barlines.front())))
        barlines.pop_front();
    }
  }
  add(1, oneFile ? span : total);
}

bool SystemsStage::WriteSystems(const std::string& name) {
  if (systems_.empty()) {
    ShowMessage(host_, res::kNoMusic, name);
    AbandonGroup();
    return false;
  }
  const bool stave = options_.useStaveTransposition != 0;
  const auto& flags = score_.State().timeSignature;
  while (!systems_.empty()) {
    const CSystem system = systems_.front();
    ++systemCounter_;
    const int f = system.firstStaff;
    const int last = f + system.staffCount - 1;

    int t = f;
    if (!flags[static_cast<std::size_t>(f)] && system.staffCount != 1) {
      for (int s = f + 1; s <= last; ++s) {
        if (flags[static_cast<std::size_t>(s)]) {
          t = s;
          break;
        }
      }
    }
    if (!ReadBars(f, t, name)) {
      AbandonGroup();
      return false;
    }

    for (int s = f; s <= last; ++s) {
      ItemList& list = score_.StaffList(s);
      if (list.empty()) continue;
      if (s == last && (options_.interpretTextSymbols || options_.interpretMetronomeMarks) &&
          !tracks_.WriteTrackFile(list, kTempoFileNumber, systemCounter_, stave)) {
        AbandonGroup();
        return false;
      }
      const CItem* staffItem = FirstStaffItem(list);
      if (staffItem == nullptr) {
        list.clear();  // no instrument to write it under
        continue;
      }
      int k = InstrumentOf(*staffItem);
      if (k == 0) k = LowestFreeInSystem();
      const bool wanted = options_.transcribeAllInstruments ||
                          (k >= options_.firstInstrument && k <= options_.lastInstrument);
      if (wanted && k < kInstrumentSlots) {
        k = ResolveInstrument(k, s, name);
        if (k == 0) {
          AbandonGroup();
          return false;
        }
        if (k < kInstrumentSlots) {
          if (!tracks_.WriteTrackFile(list, k, systemCounter_, stave)) {
            AbandonGroup();
            return false;
          }
          continue;
        }
      }
      list.clear();
    }

    ItemList& bars = score_.BarlineList(f);
    if (!FillAbsentInstruments(bars) ||
        !tracks_.WriteTrackFile(bars, kBarFileNumber, systemCounter_, stave)) {
      AbandonGroup();
      return false;
    }
    systems_.pop_front();
    firstSystem_ = 0;
    thisSystem_.fill(0);
  }
  for (int i = 1; i <= kMaxBarlineStaff; ++i) score_.BarlineList(i).clear();
  return true;
}

bool SystemsStage::ReadBars(int f, int t, const std::string& name) {
  if (f < 1 || f > kMaxBarlineStaff || score_.BarlineList(f).empty()) {
    ShowMessageFormatted(host_, res::kNoBarlines, {std::int64_t{f}, name});
    return false;
  }
  ItemList& bars = score_.BarlineList(f);
  if (t < 1 || t > kMaxGlobalStaff || score_.StaffList(t).empty()) {
    ShowMessage(host_, res::kNoMusic, name);
    return false;
  }
  const ItemList& items = score_.StaffList(t);

  // Barlines at the very start belong to no bar; left in the list they would be written as
  // lines without bar values.
  const double start = static_cast<double>(ItemPosition(items.front())) + 1.0;
  while (!bars.empty() && static_cast<double>(BarlinePosition(bars.front())) <= start)
    bars.pop_front();
  if (bars.empty()) {
    ShowMessage(host_, res::kNoMusic, name);
    return false;
  }

  auto it = items.begin();
  std::int64_t bar = 0;
  for (CItem& b : bars) {
    ++bar;
    bool hasNotes = false;
    bool seen = false;
    const float end = BarlinePosition(b);
    for (; it != items.end() && ItemPosition(*it) < end; ++it) {
      const float code = it->values.Get(0);
      if (code == kNoteCode || code == kRestCode) {
        hasNotes = true;
        continue;
      }
      // The last item of the staff counts for has-notes only (a courtesy time signature at the
      // end of a system does not change its last bar).
      if (code != kTimeSignatureCode || std::next(it) == items.end()) continue;
      if (seen) {
        if (!AskAndTake(TimeSignatureQuestion::kMultiple,
                        res::Format(res::kMultipleTimeSignatures, {bar, name}),
                        UsableTop(numerator_), UsableBottom(denominator_)))
          return false;
      } else if (TakeTimeSignature(*it)) {
        seen = true;
      } else {
        const float top = it->values.Get(3);
        const float bottom = it->values.Get(4);
        const std::string text =
            res::Format(res::kUnsupportedTimeSignature,
                        {Printable(top), Printable(bottom), bar, std::int64_t{f}, name});
        if (!AskAndTake(TimeSignatureQuestion::kUnsupported, text, UsableTop(top),
                        UsableBottom(bottom)))
          return false;
      }
    }
    if (beatsPerBar_ == 0.0f &&
        !AskAndTake(TimeSignatureQuestion::kNoInitial, res::Format(res::kNoTimeSignature), 4, 4))
      return false;

    b.values.Set(3, hasNotes ? beatsPerBar_ : 0.0f);
    if (hasNotes && firstBarPending_) {
      firstBarLength_ = beatsPerBar_;
      firstBarPending_ = 0;
    }
    b.values.Set(4, numerator_);
    b.values.Set(5, PowerOfTwo(denominator_));
  }
  return true;
}

bool SystemsStage::TakeTimeSignature(const CItem& item) {
  // Stored P1 P2 P3 P5 P6 P8 P9.
  float numerator = item.values.Get(3);
  float denominator = item.values.Get(4);
  const float p8 = item.values.Get(5);
  const float p9 = item.values.Get(6);
  // The dialogs' limits bound what a file may ask for too, which keeps the doubling below short.
  if (!ValidTop(numerator) || !ValidBottom(denominator)) return false;
  if (p8 != 0.0f) {
    if (!ValidTop(p8) || !(p9 == 0.0f || ValidBottom(p9))) return false;
    float second = p8;
    float secondDenominator = p9;
    if (secondDenominator != 0.0f) {
      while (denominator < secondDenominator) {
        denominator *= 2.0f;
        numerator *= 2.0f;
      }
      while (secondDenominator < denominator) {
        secondDenominator *= 2.0f;
        second *= 2.0f;
      }
    }
    numerator += second;
  }
  numerator_ = numerator;
  denominator_ = denominator;
  secondNumerator_ = p8;
  secondDenominator_ = p9;
  beatsPerBar_ = static_cast<float>(static_cast<double>(numerator_) /
                                    (static_cast<double>(denominator_) * 0.25));
  return true;
}

bool SystemsStage::AskAndTake(TimeSignatureQuestion kind, const std::string& text, int top,
                              int bottom) {
  if (!AskValidTimeSignature(host_, kind, text, top, bottom)) return false;
  numerator_ = static_cast<float>(top);
  denominator_ = static_cast<float>(bottom);
  secondNumerator_ = 0.0f;
  secondDenominator_ = 0.0f;
  beatsPerBar_ = static_cast<float>(top / (bottom * 0.25));
  return true;
}

int SystemsStage::LowestFreeInSystem() const {
  for (int k = 1; k < kInstrumentSlots; ++k) {
    if (thisSystem_[static_cast<std::size_t>(k)] == 0) return k;
  }
  return kInstrumentSlots;
}

int SystemsStage::ResolveInstrument(int k, int s, const std::string& name) {
  (void)s;  // the number alone decides
  if (k <= 0) k = LowestFreeInSystem();
  if (k < kInstrumentSlots && thisSystem_[static_cast<std::size_t>(k)] != 0)
    k = LowestFreeInSystem();
  if (k >= kInstrumentSlots) return k;  // no number left: the caller does not write the staff
  const auto slot = static_cast<std::size_t>(k);
  thisSystem_[slot] = k;
  if (run_[slot] != 0) return k;
  run_[slot] = k;
  if (firstSystem_) return k;

  // A late instrument: a rest for every bar written so far.
  if (!anacrusisAsked_) {
    float beats = firstBarLength_;
    if (!AskValidAnacrusis(host_, res::Format(res::kNewInstrument, {std::int64_t{k}, name}), beats))
      return 0;
    anacrusisLength_ = beats;
    anacrusisAsked_ = 1;
  }
  const std::string barFile = TrackFileName(tracks_.Folder(), kBarFileNumber);
  if (!tracks_.Close()) return 0;
  const auto bytes = files::ReadAll(barFile);
  if (!bytes) {
    ShowMessage(host_, res::kCannotRead, barFile);
    return 0;
  }
  const std::string text(bytes->begin(), bytes->end());
  const std::vector<std::string> lines = files::SplitLines(text);
  ItemList& filler = score_.FillerList();
  const float smallest = score_.State().smallestPosition;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    float fields[kBarFileFields] = {};
    if (!ParseBarLine(lines[i], fields)) {
      filler.clear();
      const std::string why = "line " + std::to_string(i + 1) + " does not hold six numbers";
      ShowMessageFormatted(host_, res::kDamagedScoreFile, {barFile, why});
      return 0;
    }
    const float rightEnd = fields[0];
    float length = fields[2];
    if (fields[5] == 1.0f && i != 0) filler.push_back(Rest(smallest, 0.0f));
    if (i == 0 && anacrusisLength_ != 0.0f && anacrusisLength_ < length) {
      length = RoundedAsWritten(anacrusisLength_);
      anacrusisLength_ = 0.0f;
    }
    filler.push_back(Rest(static_cast<float>(static_cast<double>(rightEnd) - 1.0), length));
  }
  if (!tracks_.WriteFillerFile(filler, k)) return 0;
  return k;
}

bool SystemsStage::FillAbsentInstruments(const ItemList& barlineList) {
  ItemList& filler = score_.FillerList();
  const float smallest = score_.State().smallestPosition;
  for (int k = 1; k < kInstrumentSlots; ++k) {
    const auto slot = static_cast<std::size_t>(k);
    if (run_[slot] == 0 || thisSystem_[slot] != 0) continue;
    bool first = true;
    for (const CItem& b : barlineList) {
      if (first) filler.push_back(Rest(smallest, 0.0f));
      first = false;
      filler.push_back(
          Rest(static_cast<float>(static_cast<double>(BarlinePosition(b)) - 1.0), b.values.Get(3)));
    }
    if (!tracks_.WriteFillerFile(filler, k)) return false;
  }
  return true;
}

void SystemsStage::AbandonGroup() {
  systems_.clear();
  thisSystem_.fill(0);
  score_.FillerList().clear();
  for (int i = 1; i <= kMaxBarlineStaff; ++i) score_.BarlineList(i).clear();
}

}  // namespace vellumix
