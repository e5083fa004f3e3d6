// The report a script reads after a run: per piece the inputs, the output, the answers taken,
// what was read and written, the messages and the outcome, as JSON (the schema is in README.md).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cli/terminal_host.h"
#include "run/document.h"

namespace vellumix::cli {

enum class PieceOutcome { kWritten, kRefused, kCancelled, kNotRun };

struct PieceReport {
  std::vector<FileGroupEntry> inputs;
  std::string output;
  PieceOutcome outcome = PieceOutcome::kNotRun;
  std::vector<AnswerTaken> answers;
  std::vector<MessageShown> messages;
  ReadSummary summary;
  double seconds = 0.0;  // the piece's own time
};

// The piece's outcome as the report and the table name it.
std::string_view OutcomeName(PieceOutcome outcome);

// The report of `command` whose `pieces` took `seconds` and ended as `outcome` ("done",
// "failed", "cancelled"), with the messages of the run that belong to no piece; it replaces
// `path` whole. A message and false when it cannot be written.
bool WriteReport(const std::string& path, std::string_view command, std::string_view outcome,
                 const std::vector<PieceReport>& pieces, const std::vector<MessageShown>& messages,
                 double seconds, Host& host);

}  // namespace vellumix::cli
