#include "score/reader.h"

#include <charconv>
#include <cmath>
#include <initializer_list>
#include <iterator>
#include <limits>

#include "platform/files.h"
#include "res/strings.h"
#include "score/internal/records.h"
#include "score/pmx.h"

namespace vellumix {

using score::Record;

namespace {

constexpr float kBarlineTolerance = 0.01f;
constexpr std::size_t kTextStart = 55;  // after P1 ... P13 and the three-character font code

// Staff steps between the bottom lines of treble, bass, alto and tenor clefs.
constexpr int kCrossStaff[4][4] = {
    {0, -12, -6, -8},
    {12, 0, 6, 4},
    {6, -6, 0, -2},
    {8, -4, 2, 0},
};

// The kept parameters of each code, as P numbers, in stored order.
std::span<const int> KeptParameters(float code) {
  static constexpr int kNote[] = {1, 2, 3, 4, 5, 7, 11, 12, 13};
  static constexpr int kRest[] = {1, 2, 3, 7, 8};
  static constexpr int kClef[] = {1, 2, 3, 4, 5};
  static constexpr int kLine[] = {1, 2, 3, 4, 5, 6, 7, 9, 11, 12, 13, 14, 15};
  static constexpr int kSlur[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  static constexpr int kBeam[] = {1, 2, 3, 4, 5, 6, 7, 10, 11, 12};
  static constexpr int kOrnamentLine[] = {1, 2, 3, 6, 7, 8, 12};
  static constexpr int kStaff[] = {1, 2, 3, 9, 13};
  static constexpr int kSymbol[] = {1, 2, 3, 5};
  static constexpr int kBarline[] = {3, 4, 5};
  static constexpr int kText[] = {1, 2, 3, 4};
  static constexpr int kTimeSignature[] = {1, 2, 3, 5, 6, 8, 9};
  if (code == 1) return kNote;
  if (code == 2) return kRest;
  if (code == 3) return kClef;
  if (code == 4) return kLine;
  if (code == 5) return kSlur;
  if (code == 6) return kBeam;
  if (code == 7) return kOrnamentLine;
  if (code == 8) return kStaff;
  if (code == 9 || code == 11 || code == 17) return kSymbol;
  if (code == 14) return kBarline;
  if (code == 16) return kText;
  if (code == 18) return kTimeSignature;
  return {};
}

bool IsOneOf(float code, std::initializer_list<int> codes) {
  for (int c : codes) {
    if (code == static_cast<float>(c)) return true;
  }
  return false;
}

// Stored values: P3 is value 0 of a barline and value 2 of every other item.
float Position(const CItem& item, bool barline) {
  return item.values.Get(barline ? 0 : 2);
}
float Code(const CItem& item, bool barline) {
  return barline ? 14.0f : item.values.Get(0);
}

enum class Where { kBefore, kAfter, kNext };

// Where new item n goes relative to E at the same position: text, symbols, lines, beams, slurs,
// notes (highest first), rests.
Where PlaceAtSamePosition(float n, float e, float newStep, float existingStep) {
  if (e == 9 || e == 11) {
    if (n == 16) return Where::kBefore;
    if (IsOneOf(n, {9, 11})) return Where::kAfter;
  } else if (e == 4 || e == 7) {
    if (IsOneOf(n, {9, 11, 16})) return Where::kBefore;
    if (IsOneOf(n, {4, 7})) return Where::kAfter;
  } else if (e == 6) {
    if (IsOneOf(n, {9, 11, 4, 7, 16})) return Where::kBefore;
    if (n == 6) return Where::kAfter;
  } else if (e == 5) {
    if (IsOneOf(n, {9, 11, 4, 7, 6, 16})) return Where::kBefore;
    if (n == 5) return Where::kAfter;
  } else if (e == 1) {
    if (IsOneOf(n, {9, 11, 4, 7, 5, 6, 16})) return Where::kBefore;
    if (n == 1) return newStep > existingStep ? Where::kBefore : Where::kAfter;
  } else if (e == 2) {
    if (IsOneOf(n, {9, 11, 4, 7, 5, 6, 1, 16})) return Where::kBefore;
    if (n == 2) return Where::kAfter;
  } else if (e == 16) {
    if (n == 16) return Where::kAfter;
  } else if (IsOneOf(e, {3, 8, 14, 17, 18})) {
    return Where::kAfter;
  }
  return Where::kNext;
}

bool IsDynamicSymbol(float number) {
  const float n = std::trunc(number);
  return (n >= 50 && n <= 64) || (n >= 150 && n <= 158) || (n >= 160 && n <= 169) || n == 111 ||
         n == 123 || n == 128 || n == 129;
}

std::string WholeNumberText(double value) {
  char buf[400];
  auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 0);
  return std::string(buf, r.ptr);
}

// The character that numbers the files of a group: the one before the extension dot of the file
// name, or the last one when the name has no extension.
std::size_t NumberIndex(const std::string& name) {
  if (name.empty()) return std::string::npos;
  const std::size_t slash = name.find_last_of('/');
  const std::size_t base = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > base) return dot - 1;
  return name.size() - 1;
}

void AddToChar(std::string& name, std::size_t at, int delta) {
  if (at >= name.size()) return;
  name[at] = static_cast<char>(static_cast<unsigned char>(name[at]) + delta);
}

}  // namespace

ScoreInput::ScoreInput(Host& host, Options& options, const Defaults& defaults)
    : host_(host), options_(options), defaults_(defaults) {}

bool ScoreInput::ReadGroupFiles(std::string& name, int count) {
  const std::string first = name;
  state_.smallestPosition = 200.0f;
  const std::size_t numberAt = NumberIndex(name);
  if (count > 1) {
    AddToChar(name, numberAt, count - 1);
    state_.severalFiles = 1;
    options_.interpretMultipleSystems = 0;
  }
  bool ok = true;
  for (int i = 0; i < count && ok; ++i) {
    if (i > 0) AddToChar(name, numberAt, -1);
    const auto bytes = files::ReadAll(name, files::kInputLimit);
    if (!bytes) {
      ShowMessage(host_, res::kCannotRead, name);
      ok = false;
    } else if (!ReportStatusFormatted(host_, res::kReadingFile, name, 0, true)) {
      ok = false;
    } else if (!ReadScoreBytes(*bytes, name)) {
      ok = false;
    } else {
      EndFile();
    }
  }
  // A failed group must not leave its staff offset to the next one.
  if (!ok) ResetGroup();
  name = first;
  return ok;
}

void ScoreInput::FinishGroupRead() {
  state_.staffOffset = 0;
  state_.severalFiles = 0;
  CorrectCrossStaffNotes();
}

bool ScoreInput::ReadScoreBytes(std::span<const std::uint8_t> bytes, const std::string& name) {
  fileName_ = name;
  staffMessageShown_ = false;
  // A PMX page is read as the binary file SCORE writes for it; the items before a line that cannot
  // be read are read, as those before a damaged record of a binary file are.
  PmxPage page;
  files::Bytes binary;
  if (IsPmxPage(bytes, name)) {
    page = ReadPmxPage(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    binary = PmxScoreFile(page.items);
    bytes = binary;
  }
  score::RecordScanner scanner(bytes);
  score::ScanFailure failure;
  if (!scanner.Open(failure)) {
    if (failure.id == res::kScoreVersion1) state_.version = 1;
    score::ShowScanFailure(host_, name, failure);
    return false;
  }
  state_.version = 2;
  state_.headerWord = scanner.layout().headerWord;
  state_.trailerLength = scanner.layout().trailerLength;
  if (!ReadItems(scanner, name)) return false;
  if (page.fault.id != 0) {
    ShowPmxFault(host_, name, page.fault);
    return false;
  }
  return true;
}

void ScoreInput::ClearLists() {
  for (auto& list : staffLists_) list.clear();
  for (auto& list : barlineLists_) list.clear();
  filler_.clear();
  ResetGroup();
  state_.timeSignature.fill(false);
  state_.smallestPosition = 200.0f;
}

bool ScoreInput::ReadItems(score::RecordScanner& scanner, const std::string& name) {
  const std::int64_t total = scanner.layout().totalWords;
  int step = 1;
  Record record;
  score::ScanFailure failure;
  while (scanner.Next(record, failure)) {
    record.p[0] = std::floor(record.p[0]);
    record.p[1] = std::floor(record.p[1]);
    const float code = record.P(1);
    const float staff = record.P(2);
    const float position = record.P(3);
    if (code == 1 && record.count > 11) record.p[12] = 0.0f;
    if (IsOneOf(code, {1, 2, 3}) && position > 0 && position < state_.smallestPosition) {
      state_.smallestPosition = position;
    }
    if (staff > static_cast<float>(state_.highestStaff) && staff <= kMaxStackedStaff) {
      state_.highestStaff = static_cast<std::int32_t>(staff);
    }
    if (AcceptItem(record) && !ApplyItemRules(record)) return false;
    const std::int64_t counter = scanner.WordsRead();
    if (counter >= (total / 10) * step) {
      step = ReportReadProgress(counter, total, step);
      if (step == 0) return false;
    }
  }
  if (failure.id != 0) {
    score::ShowScanFailure(host_, name, failure);
    return false;
  }
  return true;
}

bool ScoreInput::AcceptItem(const Record& record) {
  const float code = record.P(1);
  if (KeptParameters(code).empty()) return false;
  if (code == 14) {
    const float kind = record.P(5);
    if (kind == 9 || kind == 10) return false;
    if (kind == 8) {
      const float staff = record.P(2);
      if (staff >= 0 && staff < kBracedMarks) state_.braced[static_cast<std::size_t>(staff)] = true;
      return false;
    }
  }
  return true;
}

// The rules that rewrite a kept record, then its insertion (and that of its copies).
bool ScoreInput::ApplyItemRules(Record& r) {
  auto& p = r.p;
  const float code = r.P(1);
  if (code == 6 && options_.interpretTremolos && r.P(7) < 0 && r.P(11) != 0) p[2] = r.P(11);
  if (code == 1 && r.P(5) > 100) p[4] = 10.0f * std::trunc((r.P(5) - 100.0f) / 10.0f);
  if (code == 7 && (r.P(7) == 21 || r.P(7) == 22)) {
    p[0] = 9;
    if (r.P(11) != 0 && r.P(11) < 100) {
      p[4] = 70;
      if (!InsertItem(r)) return false;
    }
    p[2] = r.P(8) - 2;
    p[4] = 71;
    if (!InsertItem(r)) return false;
    p[2] = r.P(8) - 1;
    p[4] = 70;
    if (r.P(12) != 0 && r.P(12) < 100) {
      if (!InsertItem(r)) return false;
      p[2] = r.P(6);
      p[4] = 71;
    }
  }
  if (code == 18) {
    p[2] = static_cast<float>(static_cast<double>(r.P(3)) + 0.001);
    const double global = static_cast<double>(r.P(2)) + state_.staffOffset;
    if (global >= 1 && global <= kMaxGlobalStaff) {
      state_.timeSignature[static_cast<std::size_t>(global)] = true;
    }
  }
  if (!InsertItem(r)) return false;

  const float staff = r.P(2);
  if (!options_.duplicateDynamicsOnBracedStaves || !(staff >= 1 && staff <= kBracedMarks) ||
      !state_.braced[static_cast<std::size_t>(staff) - 1]) {
    return true;
  }
  const float now = r.P(1);
  const bool dynamic =
      now == 9 && r.P(4) <= -2 && options_.interpretCode9Symbols && IsDynamicSymbol(r.P(5));
  const bool specialLine = now == 4 && r.P(5) == 999 && options_.interpretSpecialSymbols;
  if (!dynamic && !specialLine) return true;
  Record copy = r;
  copy.p[1] = staff - 1;
  return InsertItem(copy);
}

CItem ScoreInput::StoreItemParameters(const Record& r) const {
  CItem item;
  const float code = r.P(1);
  auto p = r.p;
  if (code == 18) {
    if (p[4] == 99) {
      p[4] = 4;
      p[5] = 4;
    } else if (p[4] == 98) {
      p[4] = 2;
      p[5] = 2;
    } else if (p[4] == 0) {
      p[4] = p[5] == 0 ? 4 : p[5];
      p[5] = 4;
    }
  }
  for (int i : KeptParameters(code)) item.values.Append(p[static_cast<std::size_t>(i - 1)]);
  if (code == 16) {
    const double wanted = std::isfinite(r.P(12)) ? std::trunc(r.P(12)) - 3.0 : 0.0;
    const std::size_t available = r.bytes.size() > kTextStart ? r.bytes.size() - kTextStart : 0;
    const std::size_t length = wanted <= 0 ? 0
                               : wanted >= static_cast<double>(available)
                                   ? available
                                   : static_cast<std::size_t>(wanted);
    for (std::size_t i = 0; i < length; ++i) {
      const std::uint8_t b = r.bytes[kTextStart + i];
      if (b == 0) break;
      item.text.push_back(static_cast<char>(b));
    }
  }
  return item;
}

bool ScoreInput::InsertItem(const Record& r) {
  const float code = r.P(1);
  const bool barline = code == 14;
  if (!std::isfinite(r.P(2))) {
    ShowMessageFormatted(host_, res::kDamagedScoreFile,
                         {fileName_, "an item's staff number is not a number"});
    return false;
  }
  if (!std::isfinite(r.P(3))) {
    ShowMessageFormatted(host_, res::kDamagedScoreFile,
                         {fileName_, "an item's position is not a number"});
    return false;
  }
  const double global = static_cast<double>(r.P(2)) + state_.staffOffset;
  if (global < 1 || global > (barline ? kMaxBarlineStaff : kMaxGlobalStaff)) {
    // Left out, said once per file: a damaged file can hold many such items.
    if (!staffMessageShown_) {
      staffMessageShown_ = true;
      const std::string staff = WholeNumberText(global);
      ShowMessageFormatted(host_, res::kStaffOutOfRange, {fileName_, std::string_view(staff)});
    }
    return true;
  }
  const auto index = static_cast<std::size_t>(global);
  if (barline) {
    Place(barlineLists_[index], barlineOrder_[index], StoreItemParameters(r), code, barline);
  } else {
    Place(staffLists_[index], staffOrder_[index], StoreItemParameters(r), code, barline);
  }
  return true;
}

void ScoreInput::Place(ItemList& list, ListOrder& order, CItem item, float n, bool barline) {
  const float key = Position(item, barline);
  // Items mostly come in order of position, so in a list known to be in order the place is
  // looked for from the end. Only Place changes positions, and only in order; a list changed
  // elsewhere (its size differs) or holding a position that is not a number is searched from the
  // front.
  if (list.empty()) order = {};
  const bool ordered = order.ordered && order.size == list.size() && !std::isnan(key);
  order.ordered = ordered;
  struct Count {
    ItemList& list;
    ListOrder& order;
    ~Count() { order.size = list.size(); }
  } count{list, order};
  auto start = list.begin();
  if (ordered) {
    start = list.end();
    while (start != list.begin() && Position(*std::prev(start), barline) >= key) --start;
    // Of the items before, only the nearest can lie within the tolerance.
    if (barline && start != list.begin()) {
      const float existing = Position(*std::prev(start), barline);
      if (key > existing - kBarlineTolerance && key < existing + kBarlineTolerance) return;
    }
  }
  for (auto it = start; it != list.end(); ++it) {
    const float existing = Position(*it, barline);
    // Sums in float, as the stored values are: 50.010 is kept beside 50.000, 50.005 is not.
    if (barline && key > existing - kBarlineTolerance && key < existing + kBarlineTolerance) {
      return;
    }
    if (key > existing) continue;
    if (key == existing) {
      while (true) {
        const float e = Code(*it, barline);
        const Where where = PlaceAtSamePosition(n, e, item.values.Get(3), it->values.Get(3));
        if (where == Where::kBefore) {
          // The first note of a chord carries the chord's P11.
          if (n == 1 && e == 1 && item.values.Get(6) == 0 && it->values.Get(6) > 0) {
            item.values.Set(6, it->values.Get(6));
            it->values.Set(6, 0);
          }
          list.insert(it, std::move(item));
          return;
        }
        if (where == Where::kAfter) {
          list.insert(std::next(it), std::move(item));
          return;
        }
        ++it;
        if (it == list.end() || Position(*it, barline) != key) {
          list.insert(it, std::move(item));
          return;
        }
      }
    }
    // A slur (or a line read as a tie) just after a note starts at that note's position.
    const bool slur = n == 5 || (n == 4 && options_.code4LinesAsTies);
    if (slur && it != list.begin()) {
      auto before = std::prev(it);
      const float at = Position(*before, barline);
      const auto isNoteOrRest = [&](const CItem& c) { return IsOneOf(Code(c, barline), {1, 2}); };
      if (isNoteOrRest(*before) && at + defaults_.tieHorizontalWidth > key) {
        while (before != list.begin()) {
          auto earlier = std::prev(before);
          if (!isNoteOrRest(*earlier) || Position(*earlier, barline) != at) break;
          before = earlier;
        }
        item.values.Set(2, at);
        list.insert(before, std::move(item));
        return;
      }
    }
    list.insert(it, std::move(item));
    return;
  }
  list.push_back(std::move(item));
}

void ScoreInput::CorrectCrossStaffNotes() {
  for (int s = 1; s <= kMaxGlobalStaff; ++s) {
    for (CItem& item : staffLists_[static_cast<std::size_t>(s)]) {
      if (item.values.Get(0) != 1) continue;
      const float cross = item.values.Get(7);
      if (cross != 1 && cross != 2) continue;
      const int other = cross == 1 ? s + 1 : s - 1;
      if (other < 1 || other > kMaxGlobalStaff) continue;
      const float position = item.values.Get(2);
      const int own = ClefAt(s, position);
      const int theirs = ClefAt(other, position);
      // Other clef types have no known distance: the note stays as written.
      if (own < 0 || own > 3 || theirs < 0 || theirs > 3) continue;
      item.values.Set(3, item.values.Get(3) + static_cast<float>(kCrossStaff[own][theirs]));
    }
  }
}

int ScoreInput::ClefAt(int staff, float position) const {
  if (staff < 1 || staff > kMaxGlobalStaff) return 0;
  int clef = 0;
  for (const CItem& item : staffLists_[static_cast<std::size_t>(staff)]) {
    if (!(item.values.Get(2) <= position)) break;
    if (item.values.Get(0) != 3) continue;
    const float type = std::trunc(item.values.Get(4));
    // A value no int can hold is no clef type at all.
    clef = type >= -1000.0f && type <= 1000.0f ? static_cast<int>(type) : -1;
  }
  return clef;
}

int ScoreInput::ReportReadProgress(std::int64_t counter, std::int64_t total, int step) {
  const std::string percent = std::to_string(static_cast<std::int64_t>(step) * 10);
  if (!ReportStatusFormatted(host_, res::kPercentRead, percent, 1, false)) return 0;
  if (total <= 0) return step + 1;
  return 1 + static_cast<int>(10 * counter / total);
}

void ScoreInput::EndFile() {
  state_.staffOffset += state_.highestStaff;
  state_.highestStaff = 0;
  state_.braced.fill(false);
}

void ScoreInput::ResetGroup() {
  state_.staffOffset = 0;
  state_.highestStaff = 0;
  state_.severalFiles = 0;
  state_.braced.fill(false);
}

}  // namespace vellumix
