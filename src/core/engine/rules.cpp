// Symbol rules, tempo marks and lyrics: what symbols, texts, articulations, fermatas and special
// accidentals do to the running state, the pending list, the tempo list and the lyric list.
#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

#include "engine/engine.h"
#include "library/symbols.h"

namespace vellumix {
namespace {

// Item codes, compared exactly as stored.
constexpr float kNote = 1.0f;
constexpr float kRest = 2.0f;
constexpr float kLine = 4.0f;
constexpr float kSymbol = 9.0f;
constexpr float kText = 16.0f;

// A note value of this many quarters or more marks a grace note.
constexpr float kGraceDuration = 64.0f;
constexpr float kSamePosition = 0.01f;

// Articulation codes 1..25 name these code 9 symbols.
constexpr std::array<int, 25> kArticulationSymbols = {6,  7,  8,  21, 22, 23, 24, 25, 26,
                                                      27, 28, 29, 30, 31, 32, 33, 34, 35,
                                                      36, 37, 37, 37, 37, 38, 119};
constexpr int kFermataArticulation = 14;
constexpr float kFermataSymbol = 31.0f;
// Special accidentals 6..9 are the code 9 symbols 145..148.
constexpr int kSpecialAccidentalSymbolBase = 139;

constexpr std::int32_t kMaxTempo = 500;
constexpr int kMaxController = 127;

// The field of a line that tells a lyric hyphen (kind 1) from other lines.
constexpr std::size_t kLineKindField = 5;

bool IsNoSpecial(const std::string& special) {
  // A record saved without a special carries nothing there.
  return special.empty() || special == kSpecialNone;
}

// The format codes of the notation's texts, then the punctuation a sung syllable never carries.
constexpr std::array<std::string_view, 36> kLyricFormatCodes = {
    "?c", "?d", "?f", "?m", "?r", "?t", "?0", "?1", "?2", "?3", "?8", "?9",
    "!0", "!1", "!2", "!3", "!4", "!5", "!6", "!7", "!8", "!9", "!d", "!D",
    "!e", "!f", "!g", "!h", "!i", "!j", "!k", "!l", "!m", "!n", "!p", "!q"};
constexpr std::string_view kLyricPunctuation = ".,:;!?`\"*(){}[]-/\\|<>^%#";

// Every occurrence of `code`, found left to right without overlaps.
void EraseAll(std::string& text, std::string_view code) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    if (text.compare(i, code.size(), code) == 0) {
      i += code.size();
    } else {
      out.push_back(text[i++]);
    }
  }
  text = std::move(out);
}

void RemoveLyricPunctuation(std::string& text) {
  for (std::string_view code : kLyricFormatCodes) EraseAll(text, code);
  std::erase_if(text, [](char c) { return kLyricPunctuation.find(c) != std::string_view::npos; });
}

}  // namespace

void Engine::StartTrackRules(bool convertLyrics) {
  convertLyrics_ = convertLyrics;
  lookupCancelled_ = false;
  currentController_ = 0;
  bankProgramMarked_ = false;
}

bool Engine::MetronomeMarkTempo(std::string_view text, std::int32_t& tempo) {
  const std::size_t at = text.find_first_of("[]{}|");
  if (at == std::string_view::npos) return false;
  const char glyph = text[at];
  std::size_t i = at + 1;
  const bool dotted = text.substr(i, 1) == "." || text.substr(i, 2) == "?d";
  while (i < text.size() && !(text[i] >= '0' && text[i] <= '9')) ++i;
  long long n = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    // Any number this large is at the limit already.
    n = std::min(n * 10 + (text[i] - '0'), 1000000LL);
  }
  switch (glyph) {
    case ']':
      n *= 2;
      break;
    case '{':
      n /= 2;
      break;
    case '}':
      n /= 4;
      break;
    case '|':
      n *= 4;
      break;
    default:
      break;
  }
  if (dotted) n = n * 3 / 2;
  tempo = static_cast<std::int32_t>(std::min<long long>(n, kMaxTempo));
  return true;
}

std::int32_t Engine::AbsoluteTickAt(float x) const {
  return ToTick(static_cast<double>(barStartTick_) + ToTick(StartTickAt(x)));
}

void Engine::ApplySymbolRules(const TrackLine& item) {
  const float code = item.Code();
  float x = item.Position();
  if (!(x >= 0.0f)) x = 0.0f;
  if (code == kSymbol) {
    if (options_.interpretCode9Symbols) ApplyCode9Symbol(item, item.Field(2), x, false);
  } else if (code == kText) {
    ApplyText(item, x);
  } else if (code == kNote) {
    if (options_.interpretCode9Symbols) ApplyNoteRules(item, x);
  } else if (code == kRest) {
    if (options_.interpretCode9Symbols) ApplyRestRules(item, x);
  }
  // Code 11 items mean nothing for playback.
}

void Engine::ApplyNoteRules(const TrackLine& item, float x) {
  const float duration = item.Field(4);
  const float articulationField = item.Field(5);
  int articulation = 0;
  if (articulationField > -1000.0f && articulationField < 1000.0f)
    articulation = static_cast<int>(std::lround(articulationField));
  const bool grace = duration >= kGraceDuration;
  // A grace note's duration is a mark, not a length through which time moves on.
  if (articulation != kFermataArticulation && !grace) CancelFermata(x, duration);
  if (articulation >= 1 && articulation <= static_cast<int>(kArticulationSymbols.size())) {
    const int symbol = kArticulationSymbols[static_cast<std::size_t>(articulation - 1)];
    ApplyCode9Symbol(item, static_cast<float>(symbol), x, articulation == kFermataArticulation);
  }
  const int accidental = ReduceAccidentalCode(item.Field(3));
  if (accidental >= 6 && accidental <= 9)
    ApplyCode9Symbol(item, static_cast<float>(kSpecialAccidentalSymbolBase + accidental), x, false);
}

void Engine::ApplyRestRules(const TrackLine& item, float x) {
  const float restCode = item.Field(3);
  if (restCode == -1.0f || restCode == -2.0f) {
    ApplyCode9Symbol(item, kFermataSymbol, x, true);
  } else if (restCode == 0.0f) {
    CancelFermata(x, item.Field(2));
  }
}

void Engine::ApplyText(const TrackLine& item, float x) {
  std::int32_t tempo = 0;
  if (options_.interpretMetronomeMarks && MetronomeMarkTempo(item.text, tempo)) {
    ApplyMetronomeMark(x, tempo);
    return;
  }
  if (!options_.interpretTextSymbols || symbols_ == nullptr) return;
  const bool found = symbols_->LookUpTextSymbol(item.text);
  if (symbols_->Cancelled()) lookupCancelled_ = true;
  if (!found) return;
  const SymbolRecord& record = symbols_->Current();
  // A text's controller and tempo level act on the running state as soon as it is found.
  if (record.controllerValue > 0 && record.controllerType > 0 &&
      record.controllerType <= kMaxController) {
    if (record.controllerType < kControllerCount)
      controllerValues_[static_cast<std::size_t>(record.controllerType)] =
          std::min(record.controllerValue, kMaxController);
    currentController_ = record.controllerType;
  }
  if (record.tempoLevel > 0) tempo_ = previousTempo_;
  TakeRule(record);
  ApplyRule(item, x, false);
}

void Engine::ApplyCode9Symbol(const TrackLine& item, float n, float x, bool fermata) {
  bool found = false;
  if (symbols_ != nullptr && n >= 1.0f && n < 1000.0f) {
    found = symbols_->LookUpCode9Symbol(static_cast<std::int32_t>(n)) == 1;
    if (symbols_->Cancelled()) {
      lookupCancelled_ = true;
      return;
    }
  }
  if (found) {
    TakeRule(symbols_->Current());
  } else {
    ClearRuleValues();
  }
  ApplyRule(item, x, fermata);
}

void Engine::TakeRule(const SymbolRecord& record) {
  // The library refuses records out of range; the limits here keep a bad one harmless anyway.
  rule_.duration = std::clamp(record.duration, 0, 100);
  rule_.pitchOffset = std::clamp(record.pitchOffset, -64, 64);
  rule_.velocityLevel = std::clamp(record.velocityLevel, 0, 127);
  rule_.velocityOffset = std::clamp(record.velocityOffset, -127, 127);
  rule_.tempoLevel = std::clamp(record.tempoLevel, 0, kMaxTempo);
  rule_.tempoOffset = std::clamp(record.tempoOffset, -kMaxTempo, kMaxTempo);
  rule_.special = record.special;
  rule_.bankProgram = std::clamp(record.bankProgram, 0, 128 * 128 - 1);
  rule_.bender = std::clamp(record.bender, -8192, 8191);
  rule_.controllerType = std::clamp(record.controllerType, 0, kMaxController);
  rule_.controllerValue = std::clamp(record.controllerValue, 0, kMaxController);
  rule_.permanent = record.permanent != 0;
  if (rule_.permanent) MoveRunningState();
}

void Engine::ClearRuleValues() {
  // Reverts still waiting belong to the rule before and stay.
  rule_.duration = 0;
  rule_.pitchOffset = 0;
  rule_.velocityLevel = 0;
  rule_.velocityOffset = 0;
  rule_.tempoLevel = 0;
  rule_.tempoOffset = 0;
  rule_.special = kSpecialNone;
  rule_.bankProgram = 0;
  rule_.bender = 0;
  rule_.controllerType = 0;
  rule_.controllerValue = 0;
  rule_.permanent = false;
}

// "Make settings permanent": the rule changes the running state and then governs nothing itself.
void Engine::MoveRunningState() {
  if (rule_.velocityLevel != 0) SetVelocity(rule_.velocityLevel);
  if (velocity_ + rule_.velocityOffset > 0) SetVelocity(velocity_ + rule_.velocityOffset);
  if (rule_.tempoLevel != 0) tempo_ = rule_.tempoLevel;
  const long long moved = static_cast<long long>(tempo_) + rule_.tempoOffset;
  if (moved > 0) tempo_ = static_cast<std::int32_t>(std::min<long long>(moved, kMaxTempo));
  SetTransposition(transposition_ + rule_.pitchOffset);
  if (rule_.duration != 0) noteLength_ = rule_.duration;
  rule_.duration = 0;
  rule_.pitchOffset = 0;
  rule_.velocityLevel = 0;
  rule_.velocityOffset = 0;
  const int type = rule_.controllerType;
  if (type > 0) {
    if (type < kControllerCount)
      controllerValues_[static_cast<std::size_t>(type)] = rule_.controllerValue;
    currentController_ = type;
  }
}

void Engine::ApplyRule(const TrackLine& item, float x, bool fermata) {
  const std::string& special = rule_.special;
  if (special == kSpecialATempo) {
    tempo_ = previousTempo_;
    // Tempo events come from the tempo track: another staff's running tempo knows nothing of
    // the marks there.
    if (IsTempoTrack() && tempo_ >= 1)
      AddTempo({AbsoluteTickAt(x), std::min(tempo_, kMaxTempo), 0});
    return;
  }
  if (special == kSpecialTempoI) {
    if (IsTempoTrack() && !tempos_.empty() && tempos_.front().tempo >= 1)
      AddTempo({AbsoluteTickAt(x), std::min(tempos_.front().tempo, kMaxTempo), 0});
    return;
  }
  if (!IsNoSpecial(special)) {
    StartNamedSpecial(std::string(special), item);  // a copy: the special may reset the rule
    return;
  }

  rule_.itemPlaced = false;
  IssueChannelSettings(x, ToTick(StartTickAt(x)));
  if (fermata || IsTempoTrack()) IssueTempoSetting(AbsoluteTickAt(x), fermata);
}

void Engine::IssueChannelSettings(float x, std::int32_t tick) {
  if (rule_.bankProgram != 0) {
    // The notes of one chord each carry the symbol; the change is sent once.
    if (bankProgramMarked_ && bankProgramBar_ == barStartTick_ &&
        std::fabs(x - bankProgramPosition_) <= kSamePosition)
      return;
    bankProgramMarked_ = true;
    bankProgramBar_ = barStartTick_;
    bankProgramPosition_ = x;
    IssueBankProgram(tick, rule_.bankProgram);
    if (rule_.permanent) {
      rule_.baseBankProgram = rule_.bankProgram;
    } else {
      rule_.revertBankProgram = true;
    }
  } else if (rule_.bender != 0) {
    const int value = rule_.bender + 8192;
    AddChannelEvent(tick, 0xE0 | channel_, value & 0x7F, value >> 7, 0);
    if (rule_.permanent) {
      rule_.baseBender = rule_.bender;
    } else {
      rule_.revertBender = true;
    }
  } else if (rule_.controllerType != 0) {
    AddChannelEvent(tick, 0xB0 | channel_, rule_.controllerType, rule_.controllerValue, 0);
    // The running value a revert returns to is kept for controllers below 127 only.
    if (!rule_.permanent && rule_.controllerType < kControllerCount) {
      rule_.revertController = true;
      rule_.revertControllerType = rule_.controllerType;
    }
  }
}

void Engine::IssueTempoSetting(std::int32_t tick, bool fermata) {
  if (!IsTempoTrack()) {
    // The tempo in force here, as the tempo track and the tracks before made it. Fermatas of
    // other tracks at this very tick are not the tempo they slow down.
    for (auto it = tempos_.rbegin(); it != tempos_.rend(); ++it) {
      if ((it->tick < tick && it->state != -1) || (it->tick == tick && it->state == 0)) {
        tempo_ = it->tempo;
        break;
      }
    }
  }
  const std::int32_t state = fermata ? 1 : 0;
  bool made = false;
  if (rule_.tempoLevel != 0) {
    AddTempo({tick, rule_.tempoLevel, state});
    made = true;
  } else if (rule_.tempoOffset != 0) {
    const long long value =
        rule_.permanent ? tempo_ : static_cast<long long>(tempo_) + rule_.tempoOffset;
    if (value >= 1) {
      AddTempo({tick, static_cast<std::int32_t>(std::min<long long>(value, kMaxTempo)), state});
      made = true;
    }
  }
  if (made && !rule_.permanent) rule_.revertTempo = true;
}

void Engine::ApplyMetronomeMark(float x, std::int32_t tempo) {
  // A mark without a number sets no tempo.
  if (tempo < 1) return;
  previousTempo_ = tempo_;
  ClearRuleValues();
  rule_.tempoLevel = tempo;
  rule_.permanent = true;
  tempo_ = tempo;
  if (IsTempoTrack()) AddTempo({AbsoluteTickAt(x), tempo, 0});
}

// A voice that moves on through a fermata of another voice lets the music go on in time.
void Engine::CancelFermata(float x, float duration) {
  const double start = static_cast<double>(barStartTick_) + ToTick(StartTickAt(x));
  const std::int32_t startTick = ToTick(start);
  double end = start;
  if (duration > 0.0f) end = start + static_cast<double>(kTicksPerQuarter) * duration;
  auto first = std::lower_bound(tempos_.begin(), tempos_.end(), startTick,
                                [](const CTempoEvent& e, std::int32_t t) { return e.tick < t; });
  if (first == tempos_.end() || first->state != 1) return;
  if (first->tick == startTick || first->tick < end) first->state = -1;
}

bool Engine::ConvertLyric(const TrackLine& item) {
  if (!options_.interpretLyrics || !convertLyrics_ || IsTempoTrack()) return false;
  float x = item.Position();
  if (!(x >= 0.0f)) x = 0.0f;
  if (!(x >= lyricsLeftLimit_)) return false;
  const double centre = defaults_.lyricsVerticalPosition;
  const double width = std::max(defaults_.lyricsVerticalWidth, 0);
  const double vertical = item.Field(2);
  if (!(vertical >= centre - width && vertical <= centre + width)) return false;

  const float code = item.Code();
  if (code == kLine) {
    if (item.Field(kLineKindField) != 1.0f || lyrics_.empty()) return false;
    std::string& last = lyrics_.back().text;
    if (last.empty() || last.back() != '-') last.push_back('-');
    return true;
  }
  if (code != kText) return false;
  std::string text = item.text;
  if (options_.removeLyricPunctuation) RemoveLyricPunctuation(text);
  // A syllable that was all punctuation leaves nothing to sing.
  if (text.empty()) return true;
  CLyricEvent lyric{AbsoluteTickAt(x), std::move(text)};
  auto at = std::upper_bound(lyrics_.begin(), lyrics_.end(), lyric.tick,
                             [](std::int32_t tick, const CLyricEvent& e) { return tick < e.tick; });
  lyrics_.insert(at, std::move(lyric));
  return true;
}

}  // namespace vellumix
