// The SCORE file reader: reads the files of a file group and files their items per staff, in
// position order, for the system and bar stages.
#pragma once

#include <array>
#include <cstdint>
#include <list>
#include <span>
#include <string>

#include "library/settings.h"
#include "platform/host.h"
#include "score/item.h"

namespace vellumix {

namespace score {
struct Record;
class RecordScanner;
}  // namespace score

inline constexpr int kMaxGlobalStaff = 349;  // staff lists 1 ... 349
inline constexpr int kMaxBarlineStaff = 99;  // barline lists 1 ... 99
inline constexpr int kMaxStackedStaff = 32;  // highest staff of a file that counts
inline constexpr int kBracedMarks = 200;

// The per-group fields the later stages read and reset.
struct ScoreReadState {
  std::int32_t staffOffset = 0;             // highest staves of the files read so far in this group
  std::int32_t highestStaff = 0;            // of the current file, at most 32
  std::int32_t severalFiles = 0;            // 1 when the group has more than one file
  std::array<bool, kBracedMarks> braced{};  // by staff within the current file
  std::array<bool, kMaxGlobalStaff + 1> timeSignature{};  // by global staff
  float smallestPosition = 200.0f;  // smallest P3 > 0 of a note, rest or clef in the group
  std::int32_t version = 0;         // 1: version 1 file seen; 2: accepted file
  std::int32_t headerWord = 0;      // H of the current file
  std::int32_t trailerLength = 0;   // T of the current file
  std::int32_t groupRead = 0;       // 1 after a group was read and written
};

using ItemList = std::list<CItem>;

class ScoreInput {
 public:
  ScoreInput(Host& host, Options& options, const Defaults& defaults);

  // Steps 1-4 of reading a group: count files numbered from `name` (its last number first); the
  // name holds the first file's name again on return. False after a message, or on cancel.
  bool ReadGroupFiles(std::string& name, int count);
  // Ends the reading half of a group: staff offset and several-files flag back to 0, then the
  // cross-staff correction.
  void FinishGroupRead();
  // Checks one file's bytes (a binary file, or a PMX page: see IsPmxPage) and reads its items into
  // the lists.
  bool ReadScoreBytes(std::span<const std::uint8_t> bytes, const std::string& name);
  // Empties every list and resets the per-group fields.
  void ClearLists();

  // Reads the item records of a checked file; false after a message, or on cancel.
  bool ReadItems(score::RecordScanner& scanner, const std::string& name);
  // The drop filter; marks braced staves.
  bool AcceptItem(const score::Record& record);
  // Files a record (as a CItem) in its list; false after a message when the record is damaged.
  bool InsertItem(const score::Record& record);
  // The values a record keeps, in stored order (time signatures normalised, text taken).
  CItem StoreItemParameters(const score::Record& record) const;
  // Moves cross-staff notes by the distance between the two staves' clefs.
  void CorrectCrossStaffNotes();
  // The clef type in force at `position` on a staff list; 0 when there is none.
  int ClefAt(int staff, float position) const;
  // Shows "n percent read" for `step`; the next step, or 0 when the user cancelled.
  int ReportReadProgress(std::int64_t counter, std::int64_t total, int step);

  ItemList& StaffList(int staff) { return staffLists_.at(static_cast<std::size_t>(staff)); }
  const ItemList& StaffList(int staff) const {
    return staffLists_.at(static_cast<std::size_t>(staff));
  }
  ItemList& BarlineList(int staff) { return barlineLists_.at(static_cast<std::size_t>(staff)); }
  const ItemList& BarlineList(int staff) const {
    return barlineLists_.at(static_cast<std::size_t>(staff));
  }
  ItemList& FillerList() { return filler_; }
  ScoreReadState& State() { return state_; }
  const ScoreReadState& State() const { return state_; }

 private:
  bool ApplyItemRules(score::Record& record);
  // What Place knows of a list: how many items it held after the last insertion, and whether
  // they are in order of position (none of them at a position that is not a number).
  struct ListOrder {
    std::size_t size = 0;
    bool ordered = true;
  };
  void Place(ItemList& list, ListOrder& order, CItem item, float code, bool barline);
  void EndFile();
  void ResetGroup();

  Host& host_;
  Options& options_;
  const Defaults& defaults_;
  std::array<ItemList, kMaxGlobalStaff + 1> staffLists_;
  std::array<ItemList, kMaxBarlineStaff + 1> barlineLists_;
  ItemList filler_;
  std::array<ListOrder, kMaxGlobalStaff + 1> staffOrder_;
  std::array<ListOrder, kMaxBarlineStaff + 1> barlineOrder_;
  ScoreReadState state_;
  std::string fileName_;            // of the file being read, for messages
  bool staffMessageShown_ = false;  // once per file
};

}  // namespace vellumix
