#include "cli/report.h"

#include <nlohmann/json.hpp>

#include "platform/files.h"

namespace vellumix::cli {

std::string_view OutcomeName(PieceOutcome outcome) {
  switch (outcome) {
    case PieceOutcome::kWritten: return "written";
    case PieceOutcome::kRefused: return "refused";
    case PieceOutcome::kCancelled: return "cancelled";
    case PieceOutcome::kNotRun: return "not run";
  }
  return "not run";
}

namespace {

using json = nlohmann::ordered_json;

json MessagesJson(const std::vector<MessageShown>& shown) {
  json messages = json::array();
  for (const auto& m : shown) messages.push_back({{"id", m.id}, {"text", m.text}});
  return messages;
}

json PieceJson(const PieceReport& piece) {
  json inputs = json::array();
  for (const auto& input : piece.inputs)
    inputs.push_back({{"path", input.path}, {"files", input.count}});
  json answers = json::array();
  for (const auto& a : piece.answers)
    answers.push_back(
        {{"question", a.question}, {"text", a.text}, {"answer", a.answer}, {"by", a.by}});
  const ReadSummary& s = piece.summary;
  const bool written = piece.outcome == PieceOutcome::kWritten;
  // What the written file holds is null for a piece that wrote none.
  auto ifWritten = [&](const json& value) { return written ? value : json(nullptr); };
  return {
      {"inputs", inputs},
      {"output", piece.output},
      {"outcome", OutcomeName(piece.outcome)},
      {"answers", answers},
      {"messages", MessagesJson(piece.messages)},
      {"file_groups", s.groups},
      {"systems", s.systems},
      {"bars", s.bars},
      {"format", ifWritten(s.midi.format)},
      {"tracks", ifWritten(s.midi.tracks)},
      {"notes", ifWritten(s.midi.notes)},
      {"length_seconds", ifWritten(s.midi.playingSeconds)},
      {"bytes", ifWritten(s.midi.bytes)},
      {"run_seconds", piece.seconds},
  };
}

}  // namespace

bool WriteReport(const std::string& path, std::string_view command, std::string_view outcome,
                 const std::vector<PieceReport>& pieces, const std::vector<MessageShown>& messages,
                 double seconds, Host& host) {
  json list = json::array();
  for (const auto& piece : pieces) list.push_back(PieceJson(piece));
  const json report = {
      {"schema", "vellumix-report 1"},
      {"program", "vellumix-cli " VELLUMIX_VERSION},
      {"command", command},
      {"outcome", outcome},
      {"run_seconds", seconds},
      {"messages", MessagesJson(messages)},
      {"pieces", list},
  };
  // Texts from damaged files need not be UTF-8: such bytes are replaced, never a failed report.
  const std::string text = report.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
  if (!files::WriteAtomic(path, text)) {
    ShowWriteFailure(host, path);
    return false;
  }
  return true;
}

}  // namespace vellumix::cli
