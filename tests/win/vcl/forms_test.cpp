// The framework as a program uses it: a form from its template, shown
// modally, driven from a second thread as a user and a test driver would.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "buttons.h"
#include "cgauge.h"
#include "driver.h"
#include "dxbutton.h"
#include "forms.h"
#include "stdctrls.h"

class TTestForm : public TForm {
  VCL_CLASS(TTestForm)
 public:
  explicit TTestForm(TComponent* owner) : TForm(owner) {
    Field("Label1", Label1);
    Field("Gauge", Gauge);
    Field("SpeedA", SpeedA);
    Field("SpeedB", SpeedB);
    Field("Big", Big);
    Field("Ok", Ok);
    Method("FormCreate", &TTestForm::FormCreate);
    Method("FormShow", &TTestForm::FormShow);
    Method("BigClick", &TTestForm::BigClick);
  }
  TLabel* Label1 = nullptr;
  TCGauge* Gauge = nullptr;
  TSpeedButton* SpeedA = nullptr;
  TSpeedButton* SpeedB = nullptr;
  TdxButton* Big = nullptr;
  TButton* Ok = nullptr;
  std::string Events;

  void FormCreate(TObject*) { Events += "create;"; }
  void FormShow(TObject*) { Events += "show;"; }
  void BigClick(TObject*) {
    Events += "big;";
    throw Exception("Something went wrong");
  }
};
VCL_DEFINE_CLASS(TTestForm, TForm, nullptr, nullptr)

namespace {

TTestForm* MakeForm() {
  TTestForm* f = nullptr;
  Application->CreateForm(f);
  return f;
}

// Runs `user` on a second thread while this thread shows the form modally.
template <class F>
TModalResult ShowModalDriven(TForm* form, F user, std::string& userError) {
  std::thread t([&] {
    try {
      user();
    } catch (const std::exception& e) {
      userError = e.what();
      PostMessageA(form->Handle(), WM_CLOSE, 0, 0);
    }
  });
  TModalResult r = form->ShowModal();
  t.join();
  return r;
}

TEST(Forms, TemplateBindsFieldsPropertiesAndEvents) {
  TTestForm* f = MakeForm();
  ASSERT_NE(f->Label1, nullptr);
  EXPECT_EQ(f->Label1->Caption(), "Hello\r\nthere");
  EXPECT_TRUE(f->Label1->Font()->Style().Contains(fsBold));
  EXPECT_EQ(f->Label1->Font()->Name(), "MS Sans Serif");  // from the form
  EXPECT_FALSE(f->Label1->ParentFont());
  EXPECT_EQ(f->Big->Font()->Height(), -19);
  EXPECT_EQ(f->Gauge->ForeColor(), 8404992);
  // Down came before GroupIndex in the template and still counts.
  EXPECT_TRUE(f->SpeedB->Down());
  EXPECT_FALSE(f->SpeedA->Down());
  EXPECT_EQ(f->Events, "create;");
  EXPECT_EQ(f->ClientWidth(), 300);
  EXPECT_EQ(f->ClientHeight(), 200);
  delete f;
}

TEST(Forms, DriverReadsClicksAndAnswersTheExceptionBox) {
  TTestForm* f = MakeForm();
  std::string userError, boxText, boxCaption, label, list, gauge;
  bool boxIcon = false;
  TModalResult r = ShowModalDriven(
      f,
      [&] {
        DWORD pid = GetCurrentProcessId();
        HWND form = driver::WaitForWindow(pid, "Framework test");
        driver::Automation a;
        label = a.Get(form, "Label1.Caption");
        list = a.Query(form, "LIST");
        a.Click(form, "SpeedA");
        driver::WaitUntil([&] { return a.Get(form, "SpeedA.Down") == "True"; });
        gauge = a.Get(form, "SpeedB.Down");
        a.Click(form, "Big");
        driver::MessageBoxInfo box = driver::WaitForMessageBox(pid);
        boxText = box.text;
        boxCaption = box.caption;
        boxIcon = box.hasIcon;
        driver::Answer(box.hwnd, IDOK);
        a.Click(form, "Ok");
      },
      userError);
  EXPECT_EQ(userError, "");
  EXPECT_EQ(r, mrOk);
  EXPECT_EQ(label, "Hello\r\nthere");
  EXPECT_NE(list.find("Label1 TLabel 0\r\n"), std::string::npos) << list;
  EXPECT_NE(list.find("Big TdxButton "), std::string::npos) << list;
  EXPECT_EQ(gauge, "False");  // pressing A released B
  EXPECT_EQ(boxText, "Something went wrong");
  EXPECT_EQ(boxCaption, "win_vcl_tests");
  EXPECT_TRUE(boxIcon);
  EXPECT_EQ(f->Events, "create;show;big;");
  EXPECT_FALSE(f->Visible());
  delete f;
}

TEST(Forms, ClosingAModalFormGivesCancelAndItCanBeShownAgain) {
  TTestForm* f = MakeForm();
  std::string err;
  TModalResult r = ShowModalDriven(
      f,
      [&] {
        HWND form = driver::WaitForWindow(GetCurrentProcessId(), "Framework test");
        PostMessageA(form, WM_CLOSE, 0, 0);
      },
      err);
  EXPECT_EQ(r, mrCancel);
  r = ShowModalDriven(
      f,
      [&] {
        HWND form = driver::WaitForWindow(GetCurrentProcessId(), "Framework test");
        driver::PressKey(GetFocus() ? GetFocus() : form, VK_RETURN);
        // Enter goes to the focused default button.
        HWND ok = nullptr;
        driver::WaitUntil([&] { return (ok = FindWindowExA(form, nullptr, "Button", "OK")) != nullptr; });
        driver::PressKey(ok, VK_RETURN);
      },
      err);
  EXPECT_EQ(err, "");
  EXPECT_EQ(r, mrOk);
  delete f;
}

TEST(Gauge, RangeAndClamping) {
  TCGauge g(nullptr);
  EXPECT_EQ(g.MaxValue(), 100);
  g.SetMaxValue(0);  // ignored: the range would be empty
  EXPECT_EQ(g.MaxValue(), 100);
  g.SetProgress(250);
  EXPECT_EQ(g.Progress(), 100);
  EXPECT_EQ(g.PercentDone(), 100);
  g.SetMaxValue(1000);
  g.SetProgress(500);
  EXPECT_EQ(g.PercentDone(), 50);
  g.SetProgress(-5);
  EXPECT_EQ(g.Progress(), 0);
  g.SetMaxValue(int64_t{1} << 40);
  g.SetProgress(int64_t{1} << 39);
  EXPECT_EQ(g.PercentDone(), 50);
  g.SetMaxValue(10);
  g.SetProgress(20);
  EXPECT_EQ(g.Progress(), 10);
}

TEST(SpeedButtons, GroupStaysExclusiveAndTheDownOneStaysDown) {
  TForm host(nullptr);
  TSpeedButton a(&host), b(&host), c(&host);
  for (TSpeedButton* s : {&a, &b, &c}) {
    s->SetParent(&host);
    s->SetGroupIndex(1);
  }
  a.SetDown(true);
  b.Click();
  EXPECT_FALSE(a.Down());
  EXPECT_TRUE(b.Down());
  b.Click();  // pressing the one that is down leaves it down
  EXPECT_TRUE(b.Down());
  b.SetDown(false);  // all up is not allowed
  EXPECT_TRUE(b.Down());
  c.SetDown(true);
  EXPECT_FALSE(b.Down());
  EXPECT_TRUE(c.Down());
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  Application->Initialize();
  return RUN_ALL_TESTS();
}
