#include "cli/terminal_host.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include <unistd.h>

namespace vellumix::cli {
namespace {

// The signal that asked to cancel and has not been taken up yet; 0 for none.
volatile std::sig_atomic_t gInterrupt = 0;

// Ctrl-C, kill and a closed terminal all ask the run to stop cleanly.
constexpr int kCancelSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void OnInterrupt(int signal) {
  // A second one before the first was taken up ends the program the usual way.
  if (gInterrupt != 0) {
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    return;
  }
  gInterrupt = signal;
}

std::string Beats(float beats) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", static_cast<double>(beats));
  return buf;
}

std::string Trim(const std::string& s) {
  auto b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return {};
  auto e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

}  // namespace

void AnsweringHost::Forget() {
  taken_.clear();
  messages_.clear();
}

void AnsweringHost::Take(std::string question, std::string_view text, std::string answer,
                         std::string by) {
  taken_.push_back({std::move(question), std::string(text), std::move(answer), std::move(by)});
}

void AnsweringHost::ShowMessage(int id, std::string_view text) {
  messages_.push_back({id, std::string(text)});
  Show(std::string(text));
}

TerminalHost::TerminalHost(Answers answers)
    : AnsweringHost(std::move(answers)),
      stderrIsTty_(::isatty(STDERR_FILENO) != 0),
      stdinIsTty_(::isatty(STDIN_FILENO) != 0) {
  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  for (std::size_t i = 0; i < std::size(kCancelSignals); ++i) {
    sigaction(kCancelSignals[i], nullptr, &previous_[i]);
    // A signal the caller ignores (nohup) stays ignored.
    if (previous_[i].sa_handler != SIG_IGN) sigaction(kCancelSignals[i], &sa, nullptr);
  }
}

TerminalHost::~TerminalHost() {
  EndProgress();
  for (std::size_t i = 0; i < std::size(kCancelSignals); ++i)
    sigaction(kCancelSignals[i], &previous_[i], nullptr);
}

int TerminalHost::CancelExitStatus() const {
  return 128 + (cancelSignal_ != 0 ? cancelSignal_ : SIGINT);
}

bool TerminalHost::Interactive() const { return stdinIsTty_ && stderrIsTty_; }

void TerminalHost::EndProgress() {
  if (progressShown_) {
    std::cerr << '\n';
    progressShown_ = false;
  }
  std::cerr.flush();
}

void TerminalHost::Show(const std::string& text) {
  EndProgress();
  std::cerr << text << '\n';
}

std::optional<std::string> TerminalHost::Prompt(const std::string& prompt) {
  EndProgress();
  std::cerr << prompt << std::flush;
  std::string line;
  if (!std::getline(std::cin, line)) {
    std::cerr << '\n';
    return std::nullopt;
  }
  return Trim(line);
}

bool AnsweringHost::AskYesNo(int, std::string_view text) {
  if (answers_.yes) {
    Take("yes/no", text, "yes", "command line");
    Show(std::string(text) + " Yes (--yes)");
    return true;
  }
  if (!Interactive()) {
    Take("yes/no", text, "no", "no one to ask");
    Show(std::string(text) + " No (no terminal to ask)");
    return false;
  }
  for (;;) {
    auto a = Prompt(std::string(text) + " [y/N] ");
    if (!a || a->empty() || *a == "n" || *a == "N" || *a == "no") {
      Take("yes/no", text, "no", "user");
      return false;
    }
    if (*a == "y" || *a == "Y" || *a == "yes") {
      Take("yes/no", text, "yes", "user");
      return true;
    }
  }
}

bool TerminalHost::ReportStatus(std::string_view text, int pane, bool clearSecondPane) {
  if (clearSecondPane) panes_[1].clear();
  if (clearSecondPane || pane == 1) pendingId_ = 0;
  panes_[pane == 1 ? 1 : 0].assign(text);
  if (stderrIsTty_) {
    Draw();
  } else if (verbose_ && pane == 0 && text != lastPrinted_) {
    std::cerr << text << '\n';
    lastPrinted_.assign(text);
  }
  return !Interrupted();
}

bool TerminalHost::ReportStatusNumber(int id, std::int64_t number, int pane,
                                      bool clearSecondPane) {
  if (pane != 1) return Host::ReportStatusNumber(id, number, pane, clearSecondPane);
  // Only pane 0 is ever printed as a line of its own, so pane 1 waits for the next redraw.
  pendingId_ = id;
  pendingNumber_ = number;
  if (stderrIsTty_) Draw();
  return !Interrupted();
}

void TerminalHost::Draw() {
  // Redrawn at most every 50 ms: a terminal can't keep up with a line per item.
  const auto now = std::chrono::steady_clock::now();
  if (now - lastDrawn_ < std::chrono::milliseconds(50)) return;
  if (pendingId_ != 0) {
    const std::string text = res::Format(pendingId_, {pendingNumber_});
    panes_[1].assign(text, 0, std::min(text.size(), kStatusBufferSize - 1));
    pendingId_ = 0;
  }
  std::string line = panes_[0];
  if (!panes_[1].empty()) line += "  [" + panes_[1] + "]";
  if (line != lastPrinted_) {
    std::cerr << "\r\033[K" << line << std::flush;
    lastPrinted_ = line;
    progressShown_ = true;
    lastDrawn_ = now;
  }
}

bool TerminalHost::Interrupted() {
  if (gInterrupt != 0) {
    cancelSignal_ = gInterrupt;
    gInterrupt = 0;
    cancelled_ = true;
    return true;
  }
  return false;
}

bool AnsweringHost::AskTimeSignature(TimeSignatureQuestion, std::string_view text, int& top,
                                     int& bottom) {
  auto take = [&](const char* by) {
    Take("time signature", text, std::to_string(top) + "/" + std::to_string(bottom), by);
  };
  if (answers_.timeSignature) {
    top = answers_.timeSignature->first;
    bottom = answers_.timeSignature->second;
    take("command line");
    Show(std::string(text) + "\n  " + std::to_string(top) + "/" + std::to_string(bottom) +
         " (--time-signature)");
    return true;
  }
  if (!Interactive()) {
    take("no one to ask");
    Show(std::string(text) + "\n  " + std::to_string(top) + "/" + std::to_string(bottom) +
         " taken (no terminal to ask; give --time-signature N/D)");
    return true;
  }
  Show(std::string(text));
  for (;;) {
    auto a = Prompt("Time signature (Top Number 1-32 / Bottom number 2-64) [" +
                    std::to_string(top) + "/" + std::to_string(bottom) + "]: ");
    if (!a) {
      Take("time signature", text, "cancel", "user");
      return false;  // end of input is Cancel
    }
    int t = 0, b = 0;
    char slash = 0, extra = 0;
    if (a->empty()) {
      take("user");
      return true;
    }
    if (std::sscanf(a->c_str(), "%d %c %d %c", &t, &slash, &b, &extra) == 3 && slash == '/' &&
        t >= 1 && t <= 32 && b >= 2 && b <= 64) {
      top = t;
      bottom = b;
      take("user");
      return true;
    }
    Show("Enter the time signature as N/D, N from 1 to 32 and D from 2 to 64.");
  }
}

bool AnsweringHost::AskAnacrusis(std::string_view text, float& beats) {
  auto take = [&](const char* by) { Take("anacrusis", text, Beats(beats), by); };
  if (answers_.anacrusis) {
    beats = *answers_.anacrusis;
    take("command line");
    Show(std::string(text) + "\n  " + Beats(beats) + " beats (--anacrusis)");
    return true;
  }
  if (!Interactive()) {
    take("no one to ask");
    Show(std::string(text) + "\n  " + Beats(beats) +
         " beats taken (no terminal to ask; give --anacrusis BEATS)");
    return true;
  }
  Show(std::string(text));
  for (;;) {
    auto a = Prompt("No. of beats in bar 1 (0.125-20.0) [" + Beats(beats) + "]: ");
    if (!a) {
      Take("anacrusis", text, "cancel", "user");
      return false;
    }
    char* end = nullptr;
    const double v = a->empty() ? beats : std::strtod(a->c_str(), &end);
    if (a->empty() || (end && *end == '\0' && v >= 0.125 && v <= 20.0)) {
      beats = static_cast<float>(v);
      take("user");
      return true;
    }
    Show("Enter a number between 0.125 and 20.0.");
  }
}

bool AnsweringHost::AskMultipleSystems(int, std::string_view text, bool& dontShowAgain) {
  dontShowAgain = false;
  auto take = [&](bool yes, const char* by) {
    Take("multiple systems", text, yes ? "yes" : "no", by);
    return yes;
  };
  if (answers_.multipleSystems) {
    // An answer given ahead holds for every file of the run.
    dontShowAgain = true;
    Show(std::string(text) + (*answers_.multipleSystems ? " Yes" : " No") +
         " (--multiple-systems)");
    return take(*answers_.multipleSystems, "command line");
  }
  if (!Interactive()) {
    // The question is only asked when the page's barlines point the other way, so a batch run
    // follows them rather than reading a fraction of every page.
    Show(std::string(text) +
         " Yes (no terminal to ask: the page's barlines say so; give --multiple-systems yes|no "
         "to choose)");
    return take(true, "no one to ask");
  }
  for (;;) {
    auto a = Prompt(std::string(text) + " [y/N, or Y!/N! to stop asking] ");
    if (!a || a->empty() || *a == "n" || *a == "N") return take(false, "user");
    if (*a == "y" || *a == "Y") return take(true, "user");
    if (*a == "Y!" || *a == "y!" || *a == "N!" || *a == "n!") {
      dontShowAgain = true;
      return take(*a == "Y!" || *a == "y!", "user");
    }
  }
}

}  // namespace vellumix::cli
