// Starts the real update program as a user would and reads its window from
// outside: the build date, the update list in the grid, the failure messages
// for missing or bad data files, and the exit through Cancel.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>

#include "driver.h"

namespace {

const char* kTitle = "Database update - new data available";
const std::string kProgramFolder = "C:\\Program Files\\Corvallo\\Update\\";
const std::string kProgram = kProgramFolder + "CorvalloUpdate.exe";
const std::string kDataFolder = "C:\\ProgramData\\Corvallo\\";
std::string gBuiltProgram;

void WriteFile(const std::string& name, const std::string& bytes) {
  std::ofstream f(kDataFolder + name, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(f.good()) << name;
}

void RemoveFile(const std::string& name) { DeleteFileA((kDataFolder + name).c_str()); }

class WindowTest : public testing::Test {
 protected:
  void SetUp() override {
    CreateDirectoryA(kDataFolder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(gBuiltProgram.c_str(), kProgram.c_str(), FALSE)) << gBuiltProgram;
    RemoveFile("lastupd.dat");
    RemoveFile("newupd.dat");
  }

  // Starts the program and waits for its main window.
  HWND Start() {
    program = driver::Process::Start(kProgram);
    return driver::WaitForWindow(program.Id(), kTitle);
  }

  // Presses Cancel and checks that the program ends with exit code 0.
  void CancelAndExpectExit(HWND form) {
    automation.Click(form, "dxButton1");
    EXPECT_EQ(program.Wait(), 0u);
  }

  std::string Get(HWND form, const std::string& property) { return automation.Get(form, property); }

  driver::Process program;
  driver::Automation automation;
};

TEST_F(WindowTest, ShowsTheBuildDateAndTheEntriesOfTheList) {
  WriteFile("lastupd.dat", "Corvallo 7.2#2026-11-30\r\nignored#line\r\n");
  WriteFile("newupd.dat",
            "upd-0042\r\nheader one\r\nheader two\r\n"
            "critical#2026-11-01#Fix of the <B>crawler</B>\r\n"
            "NEW VERSION#2026-11-02#Version 8 with #hash# inside\r\n"
            "#2026-11-03#http://www.corvallo.example/news\r\n"
            "Critical#2026-11-04#capital C gets no markup\r\n"
            "critical #2026-11-05#trailing blank gets no markup\r\n"
            "just text\n"
            "\r\n");
  HWND form = Start();
  EXPECT_EQ(Get(form, "Self.Caption"), kTitle);
  EXPECT_EQ(Get(form, "lblLocale.Caption"), "Current version date is");
  EXPECT_EQ(Get(form, "DateLabel.Caption"), "2026-11-30");
  // Ten lines: seven entries, then five empty rows.
  EXPECT_EQ(Get(form, "UpdateSg.RowCount"), "13");
  EXPECT_EQ(Get(form, "UpdateSg.Cells[1,0]"), "<P ALIGN=\"CENTER\"><center>Date</center></P>");
  EXPECT_EQ(Get(form, "UpdateSg.ColWidths[0]"), "0");
  EXPECT_EQ(Get(form, "UpdateSg.Cells[0,1]"), "<FONT color=\"clRed\"><B><I>critical</I></B></FONT>");
  EXPECT_EQ(Get(form, "UpdateSg.Cells[2,1]"), "Fix of the <B>crawler</B>");
  EXPECT_EQ(Get(form, "UpdateSg.Cells[0,2]"), "<FONT color=\"clRed\"><B>NEW VERSION</B></FONT>");
  EXPECT_EQ(Get(form, "UpdateSg.Cells[2,2]"), "Version 8 with #hash# inside");
  EXPECT_EQ(Get(form, "UpdateSg.Cells[2,3]"), "http://www.corvallo.example/news");
  EXPECT_EQ(Get(form, "UpdateSg.Cells[0,4]"), "Critical");
  EXPECT_EQ(Get(form, "UpdateSg.Cells[0,5]"), "critical ");
  EXPECT_EQ(Get(form, "UpdateSg.Cells[1,6]"), "");
  EXPECT_EQ(Get(form, "UpdateSg.Cells[2,6]"), "just text");
  EXPECT_EQ(Get(form, "UpdateSg.Cells[2,7]"), "");
  for (int row = 8; row < 13; ++row)
    for (int col = 0; col < 3; ++col)
      EXPECT_EQ(Get(form, "UpdateSg.Cells[" + std::to_string(col) + "," + std::to_string(row) + "]"), "");
  // The Description column fills what the hidden Type column and Date leave.
  int client = std::stoi(Get(form, "UpdateSg.ClientWidth"));
  EXPECT_EQ(Get(form, "UpdateSg.ColWidths[2]"), std::to_string(client - 107 - 2));
  EXPECT_EQ(Get(form, "ProgressBar.Progress"), "0");
  EXPECT_EQ(Get(form, "ProgressBar.MaxValue"), "100");
  EXPECT_EQ(Get(form, "dxButton2.Enabled"), "True");
  EXPECT_EQ(Get(form, "Button1.Visible"), "False");
  CancelAndExpectExit(form);
}

TEST_F(WindowTest, MissingListShowsTheHeaderAndEmptyRowsWithoutAMessage) {
  WriteFile("lastupd.dat", "x#2026-10-10");
  HWND form = Start();
  driver::MessageBoxInfo box;
  EXPECT_FALSE(driver::FindMessageBox(program.Id(), box)) << box.text;
  EXPECT_EQ(Get(form, "DateLabel.Caption"), "2026-10-10");
  EXPECT_EQ(Get(form, "UpdateSg.RowCount"), "50");
  EXPECT_EQ(Get(form, "UpdateSg.Cells[2,0]"), "<P ALIGN=\"CENTER\"><center>Description</center></P>");
  EXPECT_EQ(Get(form, "UpdateSg.Cells[2,49]"), "");
  CancelAndExpectExit(form);
}

TEST_F(WindowTest, UnreadableBuildDateIsReportedAndTheListStillShows) {
  struct Case {
    bool present;
    std::string content, error;
  } cases[] = {
      {false, "", "Cannot open file C:\\ProgramData\\Corvallo\\lastupd.dat"},
      {true, "", "List index out of bounds (0)"},
  };
  for (const auto& c : cases) {
    RemoveFile("lastupd.dat");
    if (c.present) WriteFile("lastupd.dat", c.content);
    WriteFile("newupd.dat", "id\r\nh1\r\nh2\r\nx#2026-01-01#only entry\r\n");
    program = driver::Process::Start(kProgram);
    driver::MessageBoxInfo box = driver::WaitForMessageBox(program.Id());
    EXPECT_EQ(box.caption, "CorvalloUpdate");
    EXPECT_EQ(box.text, "Detect current date of build failed!\r\nException message: " + c.error);
    EXPECT_FALSE(box.hasIcon);
    EXPECT_EQ(box.buttons.size(), 1u);
    driver::Answer(box.hwnd, IDOK);
    HWND form = driver::WaitForWindow(program.Id(), kTitle);
    EXPECT_EQ(Get(form, "DateLabel.Caption"), "");
    EXPECT_EQ(Get(form, "UpdateSg.RowCount"), "7");
    EXPECT_EQ(Get(form, "UpdateSg.Cells[2,1]"), "only entry");
    CancelAndExpectExit(form);
  }
}

TEST_F(WindowTest, BadDataFilesNeverCrashTheWindow) {
  std::string binary;
  for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 7919) & 0xFF);
  const std::string longLine(300000, 'L');
  struct Case {
    const char* what;
    std::string lastupd, newupd, rows, cell21, date;
  } cases[] = {
      {"NUL ends the text", std::string("v#20\0 26", 8), std::string("a\r\nb\r\nc\r\nx#y#z\r\nq#r#s\0t#u#v\r\n", 27),
       "8", "z", "20"},
      {"a very long line", "#" + longLine, "0\r\n1\r\n2\r\nT#D#" + longLine + "\r\n", "7", longLine,
       std::string(100, 'L')},
      {"binary", binary, binary, "", "", ""},
      {"only line ends", "\r\n\r\n", "\n\n\n\n\n", "8", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFile("lastupd.dat", c.lastupd);
    WriteFile("newupd.dat", c.newupd);
    program = driver::Process::Start(kProgram);
    HWND form = nullptr;
    // Binary input may or may not hold a line; a message may come first.
    driver::WaitUntil([&] {
      driver::MessageBoxInfo box;
      if (driver::FindMessageBox(program.Id(), box)) driver::Answer(box.hwnd, IDOK);
      for (HWND h : driver::TopWindows(program.Id(), nullptr, true))
        if (driver::WindowText(h) == kTitle) form = h;
      return form != nullptr;
    });
    ASSERT_NE(form, nullptr);
    if (!c.rows.empty()) {
      EXPECT_EQ(Get(form, "UpdateSg.RowCount"), c.rows);
      EXPECT_EQ(Get(form, "UpdateSg.Cells[2,1]"), c.cell21);
      EXPECT_EQ(Get(form, "DateLabel.Caption"), c.date);
    } else {
      EXPECT_GE(std::stoi(Get(form, "UpdateSg.RowCount")), 3);
    }
    CancelAndExpectExit(form);
  }
}

TEST_F(WindowTest, AMillionLinesFillTheGrid) {
  std::string list = "id\r\nh\r\nh\r\n";
  list.reserve(9'000'000);
  for (int i = 0; i < 1'000'000; ++i) list += "t#d#e\r\n";
  WriteFile("lastupd.dat", "#big");
  WriteFile("newupd.dat", list);
  program = driver::Process::Start(kProgram);
  HWND form = driver::WaitForWindow(program.Id(), kTitle, 120000);
  EXPECT_EQ(Get(form, "UpdateSg.RowCount"), "1000006");
  EXPECT_EQ(Get(form, "UpdateSg.Cells[2,1000000]"), "e");
  EXPECT_EQ(Get(form, "UpdateSg.Cells[2,1000001]"), "");
  CancelAndExpectExit(form);
}

TEST_F(WindowTest, ClosingFromTheTitleBarEndsTheProgramWithZero) {
  WriteFile("lastupd.dat", "#d");
  HWND form = Start();
  PostMessageA(form, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.Wait(), 0u);
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (argc < 2) {
    fprintf(stderr, "usage: e2e_window_tests <path of CorvalloUpdate.exe>\n");
    return 2;
  }
  gBuiltProgram = argv[1];
  if (!gBuiltProgram.empty() && gBuiltProgram[0] == '/') {
    std::string w = "Z:";
    for (char c : gBuiltProgram) w += c == '/' ? '\\' : c;
    gBuiltProgram = w;
  }
  return RUN_ALL_TESTS();
}
