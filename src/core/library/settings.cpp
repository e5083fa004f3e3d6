#include "library/settings.h"

#include <charconv>
#include <cstdio>
#include <type_traits>
#include <variant>

#include "library/archive.h"

namespace vellumix {
namespace {

// One field of a settings file, after the version. Every file form, the dialogs' checks and the
// factory sources go through these tables, so the three can't disagree on order or limits.
template <class T>
struct Field {
  std::string_view name;
  std::variant<std::int32_t T::*, float T::*, std::string T::*> member;
  double min = 0;
  double max = 1;                // a flag unless given
  std::size_t maxChars = 0;      // strings
  std::int32_t fromVersion = 0;  // present in files of this version and later
};

using OF = Field<Options>;
const OF kOptionsFields[] = {
    {"firstInstrument", &Options::firstInstrument, 1, 350},
    {"lastInstrument", &Options::lastInstrument, 1, 350},
    {"deleteTemporaryFiles", &Options::deleteTemporaryFiles},
    {"interpretCode9Symbols", &Options::interpretCode9Symbols},
    {"interpretSpecialSymbols", &Options::interpretSpecialSymbols},
    {"transcribeAllInstruments", &Options::transcribeAllInstruments},
    {"midiFileType", &Options::midiFileType, 0, 0, 7},
    {"interpretMultipleSystems", &Options::interpretMultipleSystems},
    {"ignoreCueNotes", &Options::ignoreCueNotes},
    {"autoPlayback", &Options::autoPlayback},
    {"interpretRepeatBarlines", &Options::interpretRepeatBarlines},
    {"duplicateDynamicsOnBracedStaves", &Options::duplicateDynamicsOnBracedStaves},
    {"switchToNotationOnPlayback", &Options::switchToNotationOnPlayback},
    {"sortFileList", &Options::sortFileList},
    {"code4LinesAsTies", &Options::code4LinesAsTies},
    {"explorerFileList", &Options::explorerFileList},
    {"promptMissingSymbol", &Options::promptMissingSymbol},
    {"interpretTremolos", &Options::interpretTremolos},
    {"interpretOctava", &Options::interpretOctava},
    {"interpretGraphicPedalling", &Options::interpretGraphicPedalling},
    {"interpretTextSymbols", &Options::interpretTextSymbols},
    {"interpretMetronomeMarks", &Options::interpretMetronomeMarks},
    {"interpretLyrics", &Options::interpretLyrics},
    {"removeLyricPunctuation", &Options::removeLyricPunctuation, 0, 1, 0, 301},
    {"useStaveTransposition", &Options::useStaveTransposition, 0, 1, 0, 302},
};

using DF = Field<Defaults>;
const DF kDefaultsFields[] = {
    {"dynamic", &Defaults::dynamic, 0, 127},
    {"noteLength", &Defaults::noteLength, 1, 100},
    {"transposition", &Defaults::transposition, -48, 48},
    {"tempo", &Defaults::tempo, 0, 500},
    {"graceNotesOnBeat", &Defaults::graceNotesOnBeat, 0, 1},
    {"graceNoteLength", &Defaults::graceNoteLength, 1, 120},
    {"tieVerticalWidth", &Defaults::tieVerticalWidth, 0, 12},
    {"tieHorizontalWidth", &Defaults::tieHorizontalWidth, 0.0, 6.0},
    {"relativeEventUnit", &Defaults::relativeEventUnit, 1, 120},
    {"lyricsVerticalPosition", &Defaults::lyricsVerticalPosition, -100, 100},
    {"lyricsVerticalWidth", &Defaults::lyricsVerticalWidth, 0, 10, 0, 301},
};

template <class T, std::size_t N>
std::vector<std::uint8_t> Encode(const T& values, const Field<T> (&fields)[N]) {
  ArchiveWriter w;
  w.WriteInt32(kLibraryFileVersion);
  for (const auto& f : fields) {
    std::visit(
        [&](auto member) {
          const auto& v = values.*member;
          using V = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<V, std::int32_t>) w.WriteInt32(v);
          if constexpr (std::is_same_v<V, float>) w.WriteFloat(v);
          if constexpr (std::is_same_v<V, std::string>) w.WriteString(v);
        },
        f.member);
  }
  return w.Take();
}

template <class T, std::size_t N>
bool Decode(std::span<const std::uint8_t> bytes, T& inOut, const Field<T> (&fields)[N]) {
  ArchiveReader r(bytes);
  T copy = inOut;
  if (!r.ReadInt32(copy.version)) return false;
  for (const auto& f : fields) {
    if (copy.version < f.fromVersion) continue;
    bool ok = std::visit(
        [&](auto member) {
          auto& v = copy.*member;
          using V = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<V, std::int32_t>) return r.ReadInt32(v);
          if constexpr (std::is_same_v<V, float>) return r.ReadFloat(v);
          if constexpr (std::is_same_v<V, std::string>) return r.ReadString(v);
        },
        f.member);
    if (!ok) return false;
  }
  inOut = std::move(copy);
  return true;
}

// Limits as the dialogs print them: integers plainly, floats in the shortest form ("6").
std::string Limit(double v, bool integer) {
  char buf[32];
  if (integer)
    std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(v));
  else
    std::snprintf(buf, sizeof buf, "%.*g", 6, v);
  return buf;
}

std::string Fill(std::string_view pattern, const std::string& a, const std::string& b = {}) {
  std::string out(pattern);
  auto put = [&](std::string_view mark, const std::string& with) {
    if (auto at = out.find(mark); at != std::string::npos) out.replace(at, mark.size(), with);
  };
  put("%1", a);
  put("%2", b);
  return out;
}

// The refusal of field `f`'s value, or nothing when OK takes it.
template <class T>
std::optional<std::string> Check(const T& values, const Field<T>& f) {
  return std::visit(
      [&](auto member) -> std::optional<std::string> {
        const auto& v = values.*member;
        using V = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<V, std::string>) {
          if (v.size() > f.maxChars)
            return Fill("Enter no more than %1 characters.", std::to_string(f.maxChars));
        } else {
          constexpr bool integer = std::is_same_v<V, std::int32_t>;
          // Written so that a NaN is refused too.
          if (!(v >= f.min && v <= f.max)) return RangeText(f.min, f.max, integer);
        }
        return std::nullopt;
      },
      f.member);
}

template <class T, std::size_t N>
std::optional<FieldError> Validate(const T& values, const Field<T> (&fields)[N]) {
  for (const auto& f : fields) {
    if (auto text = Check(values, f)) return FieldError{std::string(f.name), *text};
  }
  return std::nullopt;
}

// The one string field, the file type, takes two values; any other is a damaged file.
bool KnownFileType(const std::string& v) {
  return v == "Type 0" || v == "Type 1";
}

template <class T, std::size_t N>
std::vector<OutOfRange> Repair(T& values, const T& factory, const Field<T> (&fields)[N]) {
  std::vector<OutOfRange> out;
  for (const auto& f : fields) {
    if (values.version < f.fromVersion) continue;
    std::visit(
        [&](auto member) {
          auto& v = values.*member;
          using V = std::decay_t<decltype(v)>;
          OutOfRange bad{std::string(f.name), {}, {}, {}};
          if constexpr (std::is_same_v<V, std::string>) {
            if (KnownFileType(v)) return;
            bad.value = "\"" + v + "\"";
            bad.range = "\"Type 0\" or \"Type 1\"";
            bad.used = "\"" + factory.*member + "\"";
          } else {
            if (v >= f.min && v <= f.max) return;
            constexpr bool integer = std::is_same_v<V, std::int32_t>;
            char buf[32];
            auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
            bad.value = ec == std::errc() ? std::string(buf, end) : std::string("?");
            bad.range = Limit(f.min, integer) + " to " + Limit(f.max, integer);
            end = std::to_chars(buf, buf + sizeof buf, factory.*member).ptr;
            bad.used = std::string(buf, end);
          }
          v = factory.*member;
          out.push_back(std::move(bad));
        },
        f.member);
  }
  return out;
}

template <class T, std::size_t N>
const Field<T>* Find(std::string_view key, const Field<T> (&fields)[N]) {
  for (const auto& f : fields) {
    if (f.name == key) return &f;
  }
  return nullptr;
}

template <class T, std::size_t N>
std::string Text(const T& values, std::string_view key, const Field<T> (&fields)[N]) {
  const Field<T>* f = Find(key, fields);
  if (!f) return {};
  return std::visit(
      [&](auto member) -> std::string {
        const auto& v = values.*member;
        using V = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<V, std::string>) {
          return v;
        } else {
          // Shortest form that reads back as the same value: 0.1f is "0.1", not "0.100000001".
          char buf[32];
          auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
          return ec == std::errc() ? std::string(buf, end) : std::string();
        }
      },
      f->member);
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

template <class T, std::size_t N>
bool Set(T& values, std::string_view key, std::string_view value, const Field<T> (&fields)[N]) {
  for (const auto& f : fields) {
    if (f.name != key) continue;
    return std::visit(
        [&](auto member) {
          auto& v = values.*member;
          using V = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<V, std::string>) {
            v = std::string(value);
            return true;
          } else {
            V parsed{};
            const char* end = value.data() + value.size();
            auto [p, ec] = std::from_chars(value.data(), end, parsed);
            if (ec != std::errc() || p != end || value.empty()) return false;
            v = parsed;
            return true;
          }
        },
        f.member);
  }
  return false;
}

template <class T, std::size_t N>
std::optional<std::string> Take(T& values, std::string_view key, std::string_view text,
                                const Field<T> (&fields)[N]) {
  const Field<T>* f = Find(key, fields);
  if (!f) return std::string();
  T copy = values;
  const bool isString = std::holds_alternative<std::string T::*>(f->member);
  if (!Set(copy, key, isString ? text : Trimmed(text), fields)) {
    return std::holds_alternative<float T::*>(f->member) ? "Enter a number." : "Enter an integer.";
  }
  if (auto refusal = Check(copy, *f)) return refusal;
  values = std::move(copy);
  return std::nullopt;
}

template <class T, std::size_t N>
std::vector<std::string_view> Names(const Field<T> (&fields)[N]) {
  std::vector<std::string_view> out;
  for (const auto& f : fields) out.push_back(f.name);
  return out;
}

}  // namespace

std::optional<std::int32_t> ParseInt32(std::string_view text) {
  std::int32_t v = 0;
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data(), end, v);
  if (text.empty() || ec != std::errc() || p != end) return std::nullopt;
  return v;
}

std::string RangeText(double min, double max, bool integer) {
  return Fill(integer ? "Enter an integer between %1 and %2." : "Enter a number between %1 and %2.",
              Limit(min, integer), Limit(max, integer));
}

std::vector<std::uint8_t> EncodeOptions(const Options& o) {
  return Encode(o, kOptionsFields);
}
std::vector<std::uint8_t> EncodeDefaults(const Defaults& d) {
  return Encode(d, kDefaultsFields);
}

bool DecodeOptions(std::span<const std::uint8_t> bytes, Options& inOut) {
  return Decode(bytes, inOut, kOptionsFields);
}
bool DecodeDefaults(std::span<const std::uint8_t> bytes, Defaults& inOut) {
  return Decode(bytes, inOut, kDefaultsFields);
}

std::vector<OutOfRange> RepairOptions(Options& o) {
  return Repair(o, Options{}, kOptionsFields);
}
std::vector<OutOfRange> RepairDefaults(Defaults& d) {
  return Repair(d, Defaults{}, kDefaultsFields);
}

std::optional<FieldError> ValidateOptions(const Options& o) {
  return Validate(o, kOptionsFields);
}
std::optional<FieldError> ValidateDefaults(const Defaults& d) {
  return Validate(d, kDefaultsFields);
}

std::string FieldText(const Options& o, std::string_view key) {
  return Text(o, key, kOptionsFields);
}
std::string FieldText(const Defaults& d, std::string_view key) {
  return Text(d, key, kDefaultsFields);
}

std::optional<std::string> TakeFieldText(Options& o, std::string_view key, std::string_view text) {
  return Take(o, key, text, kOptionsFields);
}
std::optional<std::string> TakeFieldText(Defaults& d, std::string_view key, std::string_view text) {
  return Take(d, key, text, kDefaultsFields);
}

bool SetField(Options& o, std::string_view key, std::string_view value) {
  return Set(o, key, value, kOptionsFields);
}
bool SetField(Defaults& d, std::string_view key, std::string_view value) {
  return Set(d, key, value, kDefaultsFields);
}

std::vector<std::string_view> OptionsFieldNames() {
  return Names(kOptionsFields);
}
std::vector<std::string_view> DefaultsFieldNames() {
  return Names(kDefaultsFields);
}

Options OptionsDialogDefaults() {
  Options o;
  o.deleteTemporaryFiles = 0;
  o.interpretMultipleSystems = 1;
  o.ignoreCueNotes = 1;
  o.duplicateDynamicsOnBracedStaves = 1;
  o.explorerFileList = 1;
  return o;
}

Defaults DefaultsDialogDefaults() {
  Defaults d;
  d.graceNoteLength = 4;
  d.tieVerticalWidth = 1;
  return d;
}

}  // namespace vellumix
