#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "modules.h"

namespace {

std::vector<std::string> ListFor(const std::set<std::string>& running) {
  return BuildRunningList([&](const std::string& f) { return running.count(f) > 0; });
}

TEST(RunningList, NumbersTheModulesFoundInTableOrder) {
  using L = std::vector<std::string>;
  EXPECT_EQ(ListFor({"corvallo.exe", "markupcheck.exe"}), (L{"1. Markup Inspector module", "2. Corvallo module"}));
  EXPECT_EQ(ListFor({"taskclock.exe"}), (L{"1. Taskclock"}));
  EXPECT_EQ(ListFor({}), L{});
  // Names that are not the table's lower-case ones are not asked for.
  EXPECT_EQ(ListFor({"CORVALLO.EXE", "corvallo"}), L{});

  std::set<std::string> all;
  for (const ModuleRow& r : ModuleTable) all.insert(r.FileName);
  const L every = ListFor(all);
  ASSERT_EQ(every.size(), 12u);
  EXPECT_EQ(every.front(), "1. Place Tracker module");
  EXPECT_EQ(every[7], "8. Taskclock");
  EXPECT_EQ(every[10], "11. Blurb view module");
  EXPECT_EQ(every.back(), "12. Corvallo module");
}

TEST(RunningList, AsksEveryRowOnceInOrder) {
  std::vector<std::string> asked;
  BuildRunningList([&](const std::string& f) {
    asked.push_back(f);
    return true;
  });
  ASSERT_EQ(asked.size(), 12u);
  for (size_t i = 0; i < asked.size(); ++i) EXPECT_EQ(asked[i], ModuleTable[i].FileName);
}

TEST(RunningList, MessageText) {
  EXPECT_EQ(RunningModulesMessage({"1. Markup Inspector module", "2. Corvallo module"}),
            "Warning! \r\nNext modules are running. \r\nPlease close that modules manually and press 'OK'\r\n"
            "1. Markup Inspector module\r\n2. Corvallo module\r\n");
}

TEST(ModuleGuardTexts, TerminateError) {
  EXPECT_EQ(TerminateErrorText("corvallo.exe"), "Cannot terminate process 'corvallo.exe' !");
}

TEST(ModuleNameMatches, AsciiLettersOnlyIgnoreCase) {
  struct Case {
    const char* base;
    const char* file;
    bool match;
  } cases[] = {
      {"corvallo.exe", "corvallo.exe", true},
      {"CORVALLO.EXE", "corvallo.exe", true},
      {"Corvallo.Exe", "corvallo.exe", true},
      {"corvallo.exe ", "corvallo.exe", false},
      {"corvallo", "corvallo.exe", false},
      {"xcorvallo.exe", "corvallo.exe", false},
      {"<unknown>", "corvallo.exe", false},
      // Only A to Z are lowered: 0xC0 is not taken for 0xE0.
      {"\xC0.exe", "\xE0.exe", false},
      {"\xE0.EXE", "\xE0.exe", true},
  };
  for (const Case& c : cases) EXPECT_EQ(ModuleNameMatches(c.base, c.file), c.match) << c.base;
}

}  // namespace
