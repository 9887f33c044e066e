#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "updatelist.h"

namespace {

TEST(UpdateEntry, SplitsAtTheFirstTwoHashes) {
  struct Case {
    const char* line;
    const char* type;
    const char* date;
    const char* description;
  } cases[] = {
      {"A#B#C", "A", "B", "C"},
      {"A#B#C#D", "A", "B", "C#D"},
      {"A#B", "A", "", "B"},
      {"ABC", "", "", "ABC"},
      {"#B#C", "", "B", "C"},
      {"A##C", "A", "", "C"},
      {"", "", "", ""},
      {" critical # 2026-01-02 #\tx ", " critical ", " 2026-01-02 ", "\tx "},  // nothing trimmed
      {"##", "", "", ""},
  };
  for (const auto& c : cases) {
    TUpdateEntry e = SplitUpdateEntry(c.line);
    EXPECT_EQ(e.Type, c.type) << c.line;
    EXPECT_EQ(e.Date, c.date) << c.line;
    EXPECT_EQ(e.Description, c.description) << c.line;
  }
}

std::string BuildDateOf(const std::string& fileText) {
  TStringList lines;
  lines.SetText(fileText);
  return ExtractBuildDate(lines);
}

TEST(BuildDate, TextAfterTheFirstHashOfTheFirstLine) {
  const std::string hundred(100, 'x');
  struct Case {
    std::string text, date;
  } cases[] = {
      {"Corvallo 7#2026-11-30\r\nsecond#line", "2026-11-30"},
      {"no hash here", "no hash here"},
      {"a#b#c", "b#c"},
      {"ends with#", ""},
      {"#", ""},
      {"\r\nline after an empty first", ""},
      {"x#" + hundred + "yz", hundred},
      {hundred + "more", hundred},
      {"x#date\rnext", "date"},
      {"x#date\nnext", "date"},
      {std::string("x#da\0te", 7), "da"},
  };
  for (const auto& c : cases) EXPECT_EQ(BuildDateOf(c.text), c.date) << c.text;
}

TEST(BuildDate, EmptyAndMissingFilesRaiseThePlatformErrors) {
  try {
    BuildDateOf("");
    FAIL();
  } catch (const EStringListError& e) {
    EXPECT_EQ(e.Message(), "List index out of bounds (0)");
  }
  auto dir = std::filesystem::temp_directory_path() / "corvallo-data-test";
  std::filesystem::create_directories(dir);
  std::string missing = (dir / "lastupd.dat").string();
  std::filesystem::remove(missing);
  TStringList lines;
  try {
    lines.LoadFromFile(missing);
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), "Cannot open file " + missing);
  }
  std::ofstream(missing, std::ios::binary) << "v#2026-12-01\r\r\n";
  lines.LoadFromFile(missing);
  EXPECT_EQ(lines.Count(), 2);
  EXPECT_EQ(ExtractBuildDate(lines), "2026-12-01");
  std::filesystem::remove_all(dir);
}

TEST(UpdateListIdentifier, TextBeforeTheFirstCrLf) {
  struct Case {
    const char* text;
    const char* id;
  } cases[] = {
      {"upd-42\r\nheader\r\n", "upd-42"},
      {"\r\nrest", ""},
      {"one line", ""},
      {"a\nb\r\n", "a\nb"},
      {"lf\nonly\n", ""},
      {"cr\ronly\r", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(UpdateListIdentifier(c.text), c.id) << c.text;
}

}  // namespace
