#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "driver.h"
#include "updatefrm.h"

namespace {

// The window exists once per test program, as in the real program.
TUpdateForm* Form() {
  if (!UpdateForm) Application->CreateForm(UpdateForm);
  return UpdateForm;
}

TEST(UpdateWindow, TemplateMatchesTheLayout) {
  TUpdateForm* f = Form();
  EXPECT_EQ(f->Caption(), "Database update - new data available");
  EXPECT_EQ(f->ClientWidth(), 580);
  EXPECT_EQ(f->ClientHeight(), 534);
  struct Bounds {
    TControl* c;
    int l, t, w, h;
  } bounds[] = {
      {f->ProgressBar, 0, 4, 579, 20},  {f->lblLocale, 3, 35, 318, 13},  {f->Label8, 3, 59, 150, 15},
      {f->DateLabel, 147, 59, 161, 15}, {f->UpdateSg, 1, 80, 575, 401}, {f->dxButton2, 167, 490, 112, 34},
      {f->dxButton1, 299, 490, 112, 34}, {f->Button1, -8, 328, 75, 25}, {f->Button2, 480, 24, 75, 25},
      {f->Label7, 96, 117, 406, 31},
  };
  for (const auto& b : bounds) {
    SCOPED_TRACE(b.c->Name());
    EXPECT_EQ(b.c->Left(), b.l);
    EXPECT_EQ(b.c->Top(), b.t);
    EXPECT_EQ(b.c->Width(), b.w);
    EXPECT_EQ(b.c->Height(), b.h);
  }
  for (TControl* hidden : {static_cast<TControl*>(f->Label1), static_cast<TControl*>(f->Label2), static_cast<TControl*>(f->Label3),
                           static_cast<TControl*>(f->Label4), static_cast<TControl*>(f->Label5), static_cast<TControl*>(f->Label6),
                           static_cast<TControl*>(f->Label7), static_cast<TControl*>(f->Button1), static_cast<TControl*>(f->Button2)})
    EXPECT_FALSE(hidden->Visible()) << hidden->Name();
  EXPECT_EQ(f->Label7->Caption(),
            "- new version with new featers. Should be downloaded from the website and installed over current version ");
  EXPECT_EQ(f->Label4->Font()->Name(), "Arial");
  EXPECT_TRUE(f->Label4->Font()->Style().Contains(fsItalic));
  EXPECT_EQ(f->Label4->Font()->Color(), clRed);
  EXPECT_EQ(f->DateLabel->Font()->Color(), clBlue);
  EXPECT_EQ(f->dxButton2->Font()->Height(), -19);
  EXPECT_FALSE(f->dxButton2->TabStop());
  EXPECT_EQ(f->dxButton1->TabOrder(), 1);
  EXPECT_EQ(f->UpdateSg->TabOrder(), 3);
  EXPECT_EQ(f->ProgressBar->ForeColor(), 8404992);
  EXPECT_TRUE(f->ProgressBar->Anchors().Contains(akRight));
  EXPECT_EQ(f->UpdateSg->FixedFont()->Name(), "Tahoma");
  EXPECT_EQ(f->UpdateSg->ColWidths(0), 0);
  EXPECT_EQ(f->UpdateSg->ColWidths(1), 107);
  EXPECT_EQ(f->UpdateSg->ColWidths(2), f->UpdateSg->ClientWidth() - 107 - 2);
  EXPECT_EQ(f->UpdateSg->Cells(0, 0), "<P ALIGN=\"CENTER\"><center>Type</center></P>");
  // The client as the window sets it up at design time.
  EXPECT_EQ(f->http->Request()->UserAgent, "Mozilla/3.0");
  EXPECT_EQ(f->http->Request()->Accept, "text/html, */*");
  EXPECT_TRUE(f->http->HandleRedirects);
  EXPECT_EQ(f->http->RecvBufferSize, 128000);
  EXPECT_TRUE(f->http->ProxyParams()->BasicAuthentication);
  EXPECT_TRUE(f->http->OnWork);
  EXPECT_TRUE(f->http->OnWorkBegin);
  EXPECT_TRUE(f->http->OnStatus);
  EXPECT_FALSE(f->http->OnWorkEnd);
}

TEST(UpdateWindow, ProgressFollowsTheAnnouncedSize) {
  TUpdateForm* f = Form();
  // The gauge as the window's first transfer finds it (another test may
  // have run a transfer before).
  f->ProgressBar->SetMaxValue(100);
  f->ProgressBar->SetProgress(0);
  struct Step {
    bool begin;
    int64_t value;
    int64_t max, progress;
  };
  struct Case {
    const char* what;
    std::vector<Step> steps;
  } cases[] = {
      // No size announced: the gauge keeps 100 and shows the raw count.
      {"none", {{true, 0, 100, 0}, {false, 40, 100, 40}, {false, 250, 100, 100}}},
      // Below 100 bytes announced: the count in units of 4300 bytes.
      {"tiny", {{true, 50, 50, 0}, {false, 4299, 50, 0}, {false, 8600, 50, 2}, {false, 430000, 50, 50}}},
      {"1000", {{true, 1000, 1000, 0}, {false, 500, 1000, 500}, {false, 1000, 1000, 1000}}},
      // A later transfer without a size keeps the last maximum.
      {"after", {{true, 0, 1000, 0}, {false, 300, 1000, 300}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (const Step& s : c.steps) {
      if (s.begin) {
        f->httpWorkBegin(f->http, wmRead, s.value);
        f->ProgressBar->SetProgress(0);
      } else {
        f->httpWork(f->http, wmRead, s.value);
      }
      EXPECT_EQ(f->ProgressBar->MaxValue(), s.max);
      EXPECT_EQ(f->ProgressBar->Progress(), s.progress);
    }
  }
  f->httpWorkBegin(f->http, wmRead, 1000);
  f->httpWork(f->http, wmRead, 500);
  EXPECT_EQ(f->ProgressBar->PercentDone(), 50);
  f->httpStatus(f->http, hsConnected, "Connected.");
}

TEST(UpdateWindow, HiddenButtonShowsTheInstallerCommandLine) {
  TUpdateForm* f = Form();
  const std::string programFolder = ExtractFilePath(Application->ExeName());
  CreateDirectoryA("C:\\Program Files\\Corvallo\\Update\\sub", nullptr);
  SetCurrentDirectoryA("C:\\Program Files\\Corvallo\\Update\\sub");
  std::string text;
  std::thread user([&] {
    driver::MessageBoxInfo box = driver::WaitForMessageBox(GetCurrentProcessId());
    text = box.text;
    driver::Answer(box.hwnd, IDOK);
  });
  f->Button2Click(f->Button2);
  user.join();
  EXPECT_EQ(text, " /VERYSILENT /LOG=\"" + programFolder + "auto_update.log\" /DIR=\"C:\\Program Files\\Corvallo\\Update\\\"");
  char cwd[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, cwd);
  EXPECT_EQ(std::string(cwd) + "\\", programFolder);
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  Application->Initialize();
  return RUN_ALL_TESTS();
}
