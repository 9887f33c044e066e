// The window's HTTP client as the update flow uses it: a real transfer from
// the local test server moves the gauge while the window keeps answering,
// and Cancel ends a transfer that is stuck.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "driver.h"
#include "updatefrm.h"
#include "versioninfo.h"

namespace {

std::string Url(const std::string& path) {
  return "http://127.0.0.1:" + driver::Env("CORVALLO_HTTP_PORT") + path;
}

// Shows the window over a data folder with a build date, so that showing it
// raises no message box.
TUpdateForm* ShownForm() {
  const std::string folder = GetDataFolder();
  CreateDirectoryA(folder.c_str(), nullptr);
  TStringList lines;
  lines.SetText("v#20.11.2026\r\n");
  lines.SaveToFile(folder + "\\lastupd.dat");
  if (!UpdateForm) Application->CreateForm(UpdateForm);
  UpdateForm->Show();
  return UpdateForm;
}

TEST(WindowTransfer, GaugeMovesAndTheWindowAnswersDuringTheDownload) {
  TUpdateForm* f = ShownForm();
  std::atomic<bool> done{false};
  std::atomic<int> answers{0};
  std::thread watcher([&] {
    driver::Automation a;
    HWND form = driver::WaitForWindow(GetCurrentProcessId(), "Database update - new data available");
    while (!done) {
      std::string v;
      if (a.TryQuery(form, "GET ProgressBar.Progress", v, 2000)) ++answers;
      Sleep(20);
    }
  });
  TMemoryStream body;
  // 2 MB dripped out over about a second and a half.
  f->http->Get(Url("/bytes/2000000?drip=30&piece=40000"), body);
  done = true;
  watcher.join();
  EXPECT_EQ(body.Size(), 2000000);
  EXPECT_EQ(f->ProgressBar->MaxValue(), 2000000);
  EXPECT_EQ(f->ProgressBar->Progress(), 2000000);
  EXPECT_EQ(f->ProgressBar->PercentDone(), 100);
  // The window answered while the transfer ran, seeing the gauge move.
  EXPECT_GE(answers.load(), 5);
}

TEST(WindowCancel, CancelEndsAStalledTransferAndClosesTheWindow) {
  TUpdateForm* f = ShownForm();
  std::thread user([&] {
    driver::Automation a;
    HWND form = driver::WaitForWindow(GetCurrentProcessId(), "Database update - new data available");
    Sleep(500);  // the server has sent the headers and now says nothing
    a.Click(form, "dxButton1");
  });
  TMemoryStream body;
  DWORD t0 = GetTickCount();
  EXPECT_THROW(f->http->Get(Url("/bytes/100000?stall=body"), body), Exception);
  user.join();
  EXPECT_LT(GetTickCount() - t0, 20000u);  // a bound, not a measurement: the read time-out is 60 s
  EXPECT_TRUE(Application->Terminated());
  EXPECT_FALSE(f->Visible());
}

}  // namespace
