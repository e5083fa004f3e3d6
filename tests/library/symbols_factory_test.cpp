// The factory library's symbol files, installed and looked up as a first run would.
#include <gtest/gtest.h>

#include "library/factory.h"
#include "library/library.h"
#include "library/symbols.h"
#include "scratch.h"
#include "scripted_host.h"

namespace vellumix {
namespace {

struct Installed {
  test::ScratchFolder scratch;
  test::ScriptedHost host;
  SettingsLibrary settings{host};
  SymbolLibrary symbols{host, settings};

  Installed() {
    EXPECT_TRUE(InstallFactoryLibrary(scratch.folder(), host).ok);
    EXPECT_TRUE(settings.Create(scratch.folder()));
  }

  // The record `text` finds, or "-" when none applies.
  std::string Found(std::string_view text) {
    return symbols.LookUpTextSymbol(text) ? symbols.Current().text : "-";
  }
};

TEST(FactorySymbols, FillTheCacheAndAnswerCode9Lookups) {
  Installed lib;
  lib.settings.options.promptMissingSymbol = 1;
  ASSERT_TRUE(lib.symbols.FillCache());
  EXPECT_EQ(lib.symbols.Cache().size(), SymbolLibrary::kCacheSize);
  EXPECT_TRUE(lib.host.messages.empty());

  ASSERT_EQ(lib.symbols.LookUpCode9Symbol(56), 1);
  EXPECT_EQ(lib.symbols.Current().velocityLevel, 96);
  EXPECT_EQ(lib.symbols.Current().permanent, 1);
  ASSERT_EQ(lib.symbols.LookUpCode9Symbol(31), 1);
  EXPECT_LT(lib.symbols.Current().tempoOffset, 0);
  EXPECT_EQ(lib.symbols.Current().special, "[none]");
  // Not cached: read from its file.
  ASSERT_EQ(lib.symbols.LookUpCode9Symbol(70), 1);
  EXPECT_EQ(lib.symbols.Current().controllerType, 64);
  EXPECT_EQ(lib.symbols.Current().controllerValue, 127);
  ASSERT_EQ(lib.symbols.LookUpCode9Symbol(71), 1);
  EXPECT_EQ(lib.symbols.Current().controllerType, 64);
  EXPECT_EQ(lib.symbols.Current().controllerValue, 0);
  ASSERT_EQ(lib.symbols.LookUpCode9Symbol(123), 1);
  EXPECT_EQ(lib.symbols.Current().velocityLevel, 112);
  EXPECT_EQ(lib.symbols.Current().permanent, 0);
  ASSERT_EQ(lib.symbols.LookUpCode9Symbol(78), 1);
  EXPECT_EQ(lib.symbols.Current().special, "[a tempo]");
  EXPECT_TRUE(lib.host.messages.empty());

  // The dynamics rise with their marks.
  int last = 0;
  for (int n = 50; n <= 59; ++n) {
    ASSERT_EQ(lib.symbols.LookUpCode9Symbol(n), 1);
    EXPECT_GE(lib.symbols.Current().velocityLevel, last) << n;
    last = lib.symbols.Current().velocityLevel;
  }
  EXPECT_EQ(last, 127);
}

TEST(FactorySymbols, TextsFindTheMarkTheyHold) {
  Installed lib;
  // Names that other texts would hold are not in the factory library: these find nothing.
  for (std::string_view text : {"pp", "mp", "p", "f", "ff", "dolce", "crescendo", "_02sempre",
                                "_02Tempo di Valse", "_00happy", "_00off", "_02fine."})
    EXPECT_EQ(lib.Found(text), "-") << text;
  EXPECT_EQ(lib.Found("mf"), "mf");
  EXPECT_EQ(lib.Found("_02mf  "), "mf");
  EXPECT_EQ(lib.Found("ppp"), "ppp");
  EXPECT_EQ(lib.Found("fff"), "fff");
  EXPECT_EQ(lib.Found("fp"), "fp");
  EXPECT_EQ(lib.Found("sf"), "sf");
  EXPECT_EQ(lib.Found("sfz"), "fz");
  EXPECT_EQ(lib.Found("_02poco cresc."), "cresc.");
  EXPECT_EQ(lib.symbols.Current().special, "HAIRPINU.SSL");
  // "decresc." holds "cresc.", yet falls, without an instrument library and in General's.
  EXPECT_EQ(lib.Found("_02decresc."), "decresc.");
  EXPECT_EQ(lib.symbols.Current().special, "HAIRPIND.SSL");
  lib.symbols.SetCurrentInstrumentLibrary(1);  // INSTRUMENTS.DAT line 1: General
  EXPECT_EQ(lib.Found("_02decresc."), "decresc.");
  EXPECT_EQ(lib.symbols.Current().special, "HAIRPIND.SSL");
  lib.symbols.SetCurrentInstrumentLibrary(0);
  EXPECT_EQ(lib.Found("_02a tempo"), "a tempo");
  EXPECT_EQ(lib.symbols.Current().special, "[a tempo]");
  EXPECT_EQ(lib.Found("Tempo I"), "tempo i");
  EXPECT_EQ(lib.symbols.Current().special, "[Tempo I]");
  ASSERT_EQ(lib.Found("MF"), "mf");
  EXPECT_EQ(lib.symbols.Current().velocityLevel, 80);
  EXPECT_EQ(lib.symbols.Current().permanent, 1);
  EXPECT_TRUE(lib.host.messages.empty());
}

TEST(FactorySymbols, EveryRecordPassesTheDialogChecks) {
  std::string error;
  int code9 = 0, text = 0;
  for (const auto& f : FactoryFiles(&error)) {
    auto record = DecodeSymbol(f.bytes);
    if (f.name.ends_with(".SBL")) {
      ASSERT_TRUE(record) << f.name;
      EXPECT_EQ(f.name, SymbolFileName(record->number, ""));
      ++code9;
    } else if (f.name.ends_with(".TBL")) {
      ASSERT_TRUE(record) << f.name;
      const bool bracketed = f.name.find('[') != std::string::npos;
      EXPECT_EQ(f.name, SymbolFileName(record->text, bracketed ? "General" : ""));
      ++text;
    } else {
      continue;
    }
    EXPECT_FALSE(ValidateSymbol(*record)) << f.name;
    EXPECT_EQ(EncodeSymbol(*record), f.bytes) << f.name;
  }
  EXPECT_EQ(error, "");
  EXPECT_EQ(code9, 31);
  EXPECT_EQ(text, 14);
}

}  // namespace
}  // namespace vellumix
