// The string grid in a real window: loaded from a template as the update
// window's grid is, scrolled by bar, thumb, wheel and keys, clicked at its
// links, read through the automation interface, and drawn as it should look.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>

#include "advgrid.h"
#include "driver.h"
#include "forms.h"
#include "persist.h"

class TGridTestForm : public TForm {
  VCL_CLASS(TGridTestForm)
 public:
  explicit TGridTestForm(TComponent* owner) : TForm(owner) {
    Field("Grid", Grid);
    Method("FormCreate", &TGridTestForm::FormCreate);
  }
  TAdvStringGrid* Grid = nullptr;
  int ClientWidthAtCreate = -1;
  std::atomic<int> Markers{0};

  // What the update window does with its grid when it is created.
  void FormCreate(TObject*) {
    ClientWidthAtCreate = Grid->ClientWidth();
    Grid->SetColWidths(0, 0);
    Grid->SetColWidths(2, Grid->ClientWidth() - Grid->ColWidths(1) - 2);
    for (int c = 0; c < Grid->ColCount(); ++c)
      Grid->SetCells(c, 0, "<P ALIGN=\"CENTER\"><center>" + Grid->Cells(c, 0) + "</center></P>");
  }

  // A message a driver posts after its input, to learn when the input is
  // handled: posted messages are taken in order.
  static constexpr UINT kMarker = WM_APP + 1;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == kMarker) {
      ++Markers;
      return 0;
    }
    return TForm::WndProc(msg, wp, lp);
  }
};
VCL_DEFINE_CLASS(TGridTestForm, TForm, nullptr, nullptr)

namespace {

constexpr int kPitch = 22;  // rows of 21 pixels and a grid line of 1

TGridTestForm* MakeForm() {
  TGridTestForm* f = nullptr;
  Application->CreateForm(f);
  return f;
}

// Runs `user` on a second thread while this thread shows the form modally.
template <class F>
TModalResult ShowModalDriven(TForm* form, F user, std::string& userError) {
  HWND formWnd = form->Handle();
  std::thread t([&] {
    try {
      user();
    } catch (const std::exception& e) {
      userError = e.what();
    }
    PostMessageA(formWnd, WM_CLOSE, 0, 0);
  });
  TModalResult r = form->ShowModal();
  t.join();
  return r;
}

// Posts a marker after what was posted before and waits until the form took it.
void Settle(TGridTestForm* f, HWND formWnd) {
  int want = f->Markers + 1;
  PostMessageA(formWnd, TGridTestForm::kMarker, 0, 0);
  if (!driver::WaitUntil([&] { return f->Markers >= want; }))
    throw driver::DriverError("the form did not take the marker");
}

void PostClick(HWND wnd, int x, int y) {
  LPARAM at = MAKELPARAM(x, y);
  PostMessageA(wnd, WM_MOUSEMOVE, 0, at);
  PostMessageA(wnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(wnd, WM_LBUTTONUP, 0, at);
}

HWND GridWindow(driver::Automation& a, HWND form) {
  for (const auto& c : a.List(form))
    if (c.name == "Grid") return c.hwnd;
  throw driver::DriverError("no grid window");
}

// Links the grid opens, instead of starting a browser.
struct LinkRecorder {
  std::mutex m;
  std::vector<std::string> urls;
  TAdvStringGrid::TLinkOpener previous;
  LinkRecorder() {
    previous = TAdvStringGrid::SetLinkOpener([this](const std::string& url) {
      std::lock_guard<std::mutex> lock(m);
      urls.push_back(url);
    });
  }
  ~LinkRecorder() { TAdvStringGrid::SetLinkOpener(std::move(previous)); }
};

// ---- Template, sizes and automation -------------------------------------------

TEST(Grid, TemplateSettingsReachTheGridAndTheAutomation) {
  TGridTestForm* f = MakeForm();
  TAdvStringGrid* g = f->Grid;
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->ColCount(), 3);
  EXPECT_EQ(g->RowCount(), 50);
  EXPECT_EQ(g->FixedRows(), 1);
  EXPECT_EQ(g->FixedCols(), 0);
  EXPECT_EQ(g->DefaultRowHeight(), 21);
  EXPECT_EQ(g->RowHeights(0), 21);
  EXPECT_EQ(g->ColWidths(1), 107);  // the template's list after its default
  EXPECT_EQ(g->GridLineColor(), clSilver);
  EXPECT_TRUE(g->Options().Contains(goThumbTracking));
  EXPECT_FALSE(g->Options().Contains(goRangeSelect));
  EXPECT_EQ(g->ScrollBars(), ssVertical);
  EXPECT_EQ(g->Look(), glXP);
  EXPECT_TRUE(g->WordWrap());
  EXPECT_TRUE(g->URLShow());
  EXPECT_FALSE(g->ShowSelection());
  EXPECT_EQ(g->FixedFont()->Name(), "Tahoma");
  EXPECT_TRUE(g->FixedFont()->Style().Contains(fsBold));
  EXPECT_EQ(g->Font()->Name(), "MS Sans Serif");
  EXPECT_EQ(g->TabOrder(), 0);
  // The column headers became row 0, and FormCreate wrapped them.
  EXPECT_EQ(g->ColumnHeaders()->Count(), 3);
  EXPECT_EQ(g->Cells(0, 0), "<P ALIGN=\"CENTER\"><center>Type</center></P>");
  EXPECT_EQ(g->Cells(2, 0), "<P ALIGN=\"CENTER\"><center>Description</center></P>");

  // The client width FormCreate used is the one the window has: inside the
  // border and the scroll bar, which is there from the start.
  HWND h = g->Handle();
  RECT client;
  GetClientRect(h, &client);
  EXPECT_TRUE(GetWindowLongA(h, GWL_STYLE) & WS_VSCROLL);
  EXPECT_EQ(f->ClientWidthAtCreate, client.right);
  EXPECT_EQ(client.right, 575 - 2 * GetSystemMetrics(SM_CXEDGE) - GetSystemMetrics(SM_CXVSCROLL));
  EXPECT_EQ(g->ColWidths(0), 0);
  EXPECT_EQ(g->ColWidths(2), client.right - 107 - 2);
  // Few rows: the bar stays (disabled), so the width does not change.
  g->SetRowCount(3);
  GetClientRect(h, &client);
  EXPECT_EQ(g->ClientWidth(), f->ClientWidthAtCreate);
  EXPECT_EQ(client.right, f->ClientWidthAtCreate);

  struct Read {
    const char* prop;
    const char* text;
  } reads[] = {
      {"RowCount", "3"},
      {"ColCount", "3"},
      {"TopRow", "1"},
      {"ColWidths[0]", "0"},
      {"ColWidths[1]", "107"},
      {"RowHeights[2]", "21"},
      {"Cells[1,0]", "<P ALIGN=\"CENTER\"><center>Date</center></P>"},
      {"Cells[5,1]", ""},
      {"Cells[0,99999]", ""},
      {"FixedFont.Name", "Tahoma"},
      {"ColumnHeaders", "Type\r\nDate\r\nDescription\r\n"},
  };
  for (const Read& r : reads) EXPECT_EQ(vcl::GetPropertyText(*g, r.prop), r.text) << r.prop;
  for (const char* bad : {"ColWidths[3]", "ColWidths[-1]", "RowHeights[3]", "Cells[1]", "ColWidths[1,2]"})
    EXPECT_THROW(vcl::GetPropertyText(*g, bad), Exception) << bad;
  delete f;
}

TEST(Grid, CellsOutsideReadEmptyAndRefuseWrites) {
  TGridTestForm* f = MakeForm();
  TAdvStringGrid* g = f->Grid;
  g->SetCells(2, 49, "last");
  EXPECT_EQ(g->Cells(2, 49), "last");
  EXPECT_EQ(g->Cells(3, 0), "");
  EXPECT_EQ(g->Cells(-1, -1), "");
  for (auto [c, r] : {std::pair{3, 1}, {0, 50}, {-1, 0}}) {
    try {
      g->SetCells(c, r, "x");
      ADD_FAILURE() << "no error for " << c << "," << r;
    } catch (const EInvalidOperation& e) {
      EXPECT_NE(e.Message().find("outside the grid"), std::string::npos) << e.Message();
    }
  }
  EXPECT_THROW(g->SetColWidths(3, 10), EInvalidOperation);
  EXPECT_THROW(g->RowHeights(50), EInvalidOperation);
  // Fewer rows keep what fits; more rows come empty.
  g->SetCells(1, 2, "kept");
  g->SetRowCount(3);
  g->SetRowCount(60);
  EXPECT_EQ(g->Cells(1, 2), "kept");
  EXPECT_EQ(g->Cells(2, 49), "");
  delete f;
}

// ---- Scrolling ------------------------------------------------------------------

TEST(Grid, ScrollBarWheelAndKeysMoveTheViewUnderTheFixedRow) {
  TGridTestForm* f = MakeForm();
  TAdvStringGrid* g = f->Grid;
  f->Show();
  HWND h = g->Handle();
  const int visible = (g->ClientHeight() - kPitch) / kPitch;
  const int maxTop = 50 - visible;
  EXPECT_EQ(g->VisibleRowCount(), visible);
  auto scrollPos = [&] {
    SCROLLINFO si{sizeof si, SIF_POS | SIF_PAGE | SIF_RANGE};
    GetScrollInfo(h, SB_VERT, &si);
    return si.nPos;
  };
  struct Step {
    const char* what;
    UINT msg;
    WPARAM wp;
    int top;
  } steps[] = {
      {"line down", WM_VSCROLL, SB_LINEDOWN, 2},
      {"page down", WM_VSCROLL, SB_PAGEDOWN, 2 + visible},
      {"line up", WM_VSCROLL, SB_LINEUP, 1 + visible},
      {"bottom", WM_VSCROLL, SB_BOTTOM, maxTop},
      {"past the bottom", WM_VSCROLL, SB_LINEDOWN, maxTop},
      {"top", WM_VSCROLL, SB_TOP, 1},
      {"past the top", WM_VSCROLL, SB_PAGEUP, 1},
      {"wheel down two notches", WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-2 * WHEEL_DELTA)), 7},
      {"half a notch up", WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA / 2), 7},
      {"another half", WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA / 2), 4},
      {"Page Down", WM_KEYDOWN, VK_NEXT, 4 + visible},
      {"Up", WM_KEYDOWN, VK_UP, 3 + visible},
      {"End", WM_KEYDOWN, VK_END, maxTop},
      {"Down at the end", WM_KEYDOWN, VK_DOWN, maxTop},
      {"Home", WM_KEYDOWN, VK_HOME, 1},
  };
  for (const Step& s : steps) {
    PostMessageA(h, s.msg, s.wp, 0);
    Application->ProcessMessages();
    EXPECT_EQ(g->TopRow(), s.top) << s.what;
    EXPECT_EQ(scrollPos(), g->TopRow() - 1) << s.what;
  }
  g->SetMouseWheel(false);
  SendMessageA(h, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
  EXPECT_EQ(g->TopRow(), 1);
  // Fewer rows pull the view back.
  g->SetTopRow(maxTop);
  g->SetRowCount(10);
  EXPECT_EQ(g->TopRow(), 1);
  delete f;
}

TEST(Grid, ADraggedThumbMovesTheViewWhileDraggingOnlyWithThumbTracking) {
  for (bool tracking : {true, false}) {
    SCOPED_TRACE(tracking ? "thumb tracking" : "no thumb tracking");
    TGridTestForm* f = MakeForm();
    TAdvStringGrid* g = f->Grid;
    if (!tracking) g->SetOptions(g->Options() >> goThumbTracking);
    std::string err, during, after;
    ShowModalDriven(
        f,
        [&] {
          HWND form = driver::WaitForWindow(GetCurrentProcessId(), "Grid test");
          driver::Automation a;
          HWND grid = GridWindow(a, form);
          SCROLLBARINFO sbi{};
          sbi.cbSize = sizeof sbi;
          if (!GetScrollBarInfo(grid, OBJID_VSCROLL, &sbi)) throw driver::DriverError("no scroll bar info");
          POINT thumb{(sbi.rcScrollBar.left + sbi.rcScrollBar.right) / 2,
                      sbi.rcScrollBar.top + (sbi.xyThumbTop + sbi.xyThumbBottom) / 2};
          POINT client = thumb;
          ScreenToClient(grid, &client);
          PostMessageA(grid, WM_NCLBUTTONDOWN, HTVSCROLL, MAKELPARAM(thumb.x, thumb.y));
          for (int dy = 20; dy <= 120; dy += 20)
            PostMessageA(grid, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(client.x, client.y + dy));
          Settle(f, form);
          during = a.Get(form, "Grid.TopRow");
          PostMessageA(grid, WM_LBUTTONUP, 0, MAKELPARAM(client.x, client.y + 120));
          Settle(f, form);
          after = a.Get(form, "Grid.TopRow");
        },
        err);
    EXPECT_EQ(err, "");
    ASSERT_FALSE(after.empty());
    EXPECT_GT(std::stoi(after), 5);
    if (tracking) EXPECT_EQ(during, after);
    else EXPECT_EQ(during, "1");
    delete f;
  }
}

// ---- Links ------------------------------------------------------------------------

TEST(Grid, ClicksOnLinksOpenThemWhereTheyAreDrawn) {
  TGridTestForm* f = MakeForm();
  TAdvStringGrid* g = f->Grid;
  g->SetCells(1, 1, "2026-11-01");
  g->SetCells(2, 1, "http://www.corvallo.example/news");
  g->SetCells(2, 2, "<A href=\"http://a.example/x?y=1&amp;z=2\">the notes</A>, then more text");
  g->SetCells(2, 3, "<A href=\"calc.exe\">not a web address</A>");
  g->SetCells(2, 4, "plain text");
  g->SetCells(2, 30, "  www.corvallo.example  ");
  LinkRecorder links;
  std::string err, cell, top;
  ShowModalDriven(
      f,
      [&] {
        HWND form = driver::WaitForWindow(GetCurrentProcessId(), "Grid test");
        driver::Automation a;
        HWND grid = GridWindow(a, form);
        // The Description column starts after the hidden Type column and
        // the Date column with its line.
        int left = std::stoi(a.Get(form, "Grid.ColWidths[1]")) + 1;
        auto clickRow = [&](int row, int dx) {
          int topRow = std::stoi(a.Get(form, "Grid.TopRow"));
          PostClick(grid, left + dx, kPitch * (1 + row - topRow) + 10);
          Settle(f, form);
        };
        clickRow(1, 8);    // the address
        clickRow(2, 8);    // the link at the start of the cell
        clickRow(2, 300);  // the same cell, far from the link
        clickRow(3, 8);    // a link to a program: never opened
        clickRow(4, 8);    // plain text
        clickRow(1, -60);  // the Date cell
        PostMessageA(grid, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-5 * WHEEL_DELTA)), 0);
        Settle(f, form);
        top = a.Get(form, "Grid.TopRow");
        clickRow(30, 8);
        cell = a.Get(form, "Grid.Cells[2,2]");
      },
      err);
  EXPECT_EQ(err, "");
  EXPECT_EQ(top, "16");
  EXPECT_EQ(cell, "<A href=\"http://a.example/x?y=1&amp;z=2\">the notes</A>, then more text");
  EXPECT_EQ(links.urls, (std::vector<std::string>{"http://www.corvallo.example/news", "http://a.example/x?y=1&z=2",
                                                  "http://www.corvallo.example"}));
  delete f;
}

// ---- Drawing ----------------------------------------------------------------------

// Reads back what the grid drew.
class Pixels {
 public:
  explicit Pixels(HWND h) : FWnd(h), FDC(GetDC(h)) {}
  ~Pixels() { ReleaseDC(FWnd, FDC); }
  COLORREF At(int x, int y) const { return GetPixel(FDC, x, y); }
  // Pixels in r for which pick holds.
  template <class P>
  std::vector<POINT> Where(const RECT& r, P pick) const {
    std::vector<POINT> out;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x)
        if (pick(At(x, y))) out.push_back(POINT{x, y});
    return out;
  }

 private:
  HWND FWnd;
  HDC FDC;
};

bool Dark(COLORREF c) { return GetRValue(c) < 110 && GetGValue(c) < 110 && GetBValue(c) < 110; }
bool Reddish(COLORREF c) { return GetRValue(c) > 170 && GetGValue(c) < 100 && GetBValue(c) < 100; }
bool Bluish(COLORREF c) { return GetBValue(c) > 170 && GetRValue(c) < 100 && GetGValue(c) < 100; }

// A glyph's shape: its dark pixels relative to their top-left corner.
std::set<std::pair<int, int>> Shape(const std::vector<POINT>& pts) {
  std::set<std::pair<int, int>> s;
  if (pts.empty()) return s;
  LONG minX = pts[0].x, minY = pts[0].y;
  for (POINT p : pts) {
    minX = std::min(minX, p.x);
    minY = std::min(minY, p.y);
  }
  for (POINT p : pts) s.insert({p.x - minX, p.y - minY});
  return s;
}

TEST(Grid, DrawsTheXPHeaderCentredLinesAndMarkupColours) {
  TGridTestForm* f = MakeForm();
  TAdvStringGrid* g = f->Grid;
  g->SetCells(0, 1, "<FONT color=\"clRed\"><B>NEW VERSION</B></FONT>");  // hidden column
  g->SetCells(1, 1, "2026-11-01");
  g->SetCells(2, 1, "<FONT color=\"clRed\"><B>NEW VERSION</B></FONT> of the suite");
  g->SetCells(2, 2, "http://www.corvallo.example/");
  f->Show();
  HWND h = g->Handle();
  RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  Pixels px(h);
  const COLORREF silver = RGB(192, 192, 192), white = RGB(255, 255, 255);
  const int dateRight = 107, descLeft = 108, descRight = descLeft + g->ColWidths(2);

  // XP header: white at the top, a shaded edge at the bottom of the row.
  EXPECT_EQ(px.At(3, 0), white);
  EXPECT_EQ(px.At(3, 18), RGB(226, 222, 205));
  EXPECT_EQ(px.At(3, 20), RGB(203, 199, 184));
  // Grid lines: under the header, under row 1, after the Date column; the
  // hidden Type column leaves no line at the left edge.
  EXPECT_EQ(px.At(50, 21), silver);
  EXPECT_EQ(px.At(50, 21 + kPitch), silver);
  EXPECT_EQ(px.At(dateRight, 30), silver);
  EXPECT_EQ(px.At(dateRight, 5), silver);
  EXPECT_EQ(px.At(0, 30), white);
  EXPECT_EQ(px.At(0, 5), px.At(3, 5));

  // Header texts are centred in their cells.
  for (auto [left, right] : {std::pair{0, dateRight}, {descLeft, descRight}}) {
    auto text = px.Where(RECT{left, 0, right, 18}, Dark);
    ASSERT_FALSE(text.empty()) << left;
    LONG minX = right, maxX = left;
    for (POINT p : text) {
      minX = std::min(minX, p.x);
      maxX = std::max(maxX, p.x);
    }
    EXPECT_NEAR((minX + maxX) / 2.0, (left + right) / 2.0, 3.0) << left;
    EXPECT_GT(minX - left, 10) << left;
  }
  // Row 1: black date, red markup then black text; row 2: a blue link.
  EXPECT_FALSE(px.Where(RECT{0, 22, dateRight, 43}, Dark).empty());
  EXPECT_TRUE(px.Where(RECT{0, 22, dateRight, 43}, Reddish).empty());  // nothing of the hidden column
  EXPECT_GT(px.Where(RECT{descLeft, 22, descRight, 43}, Reddish).size(), 20u);
  EXPECT_FALSE(px.Where(RECT{descLeft, 22, descRight, 43}, Dark).empty());
  EXPECT_GT(px.Where(RECT{descLeft, 44, descRight, 65}, Bluish).size(), 20u);
  EXPECT_TRUE(px.Where(RECT{descLeft, 44, descRight, 65}, Dark).empty());
  delete f;
}

TEST(Grid, CharacterSetsOfTheFontsPickTheGlyphsOfSingleByteText) {
  // 0xC0 is the Cyrillic A in the Cyrillic code page and A with a grave
  // accent in the Western one: with character set 204 it looks like A.
  TGridTestForm* f = MakeForm();
  TAdvStringGrid* g = f->Grid;
  g->SetColWidths(1, 60);
  g->SetCells(1, 0, "A");
  g->SetCells(2, 0, "\xC0");
  g->SetCells(1, 1, "A");
  g->SetCells(2, 1, "\xC0");
  f->Show();
  HWND h = g->Handle();
  auto shapes = [&] {
    RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    Pixels px(h);
    int descLeft = 61, descRight = descLeft + g->ColWidths(2);
    return std::vector{Shape(px.Where(RECT{0, 0, 60, 18}, Dark)), Shape(px.Where(RECT{descLeft, 0, descRight, 18}, Dark)),
                       Shape(px.Where(RECT{0, 22, 60, 43}, Dark)), Shape(px.Where(RECT{descLeft, 22, descRight, 43}, Dark))};
  };
  auto western = shapes();
  ASSERT_FALSE(western[0].empty());
  EXPECT_NE(western[0], western[1]);
  EXPECT_NE(western[2], western[3]);
  g->FixedFont()->SetCharset(204);
  g->Font()->SetCharset(204);
  auto cyrillic = shapes();
  EXPECT_EQ(cyrillic[0], cyrillic[1]) << "header row";
  EXPECT_EQ(cyrillic[2], cyrillic[3]) << "cells";
  delete f;
}

TEST(Grid, AMillionRowsFillScrollToTheEndAndPaint) {
  TGridTestForm* f = MakeForm();
  TAdvStringGrid* g = f->Grid;
  f->Show();
  g->SetRowCount(1000003);
  for (int r = 1; r <= 1000000; ++r) {
    g->SetCells(0, r, "usual");
    g->SetCells(1, r, "2026-11-01");
    g->SetCells(2, r, "entry " + std::to_string(r));
  }
  HWND h = g->Handle();
  SendMessageA(h, WM_VSCROLL, SB_BOTTOM, 0);
  RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  const int visible = g->VisibleRowCount();
  EXPECT_EQ(g->TopRow(), 1000003 - visible);
  SCROLLINFO si{sizeof si, SIF_ALL};
  GetScrollInfo(h, SB_VERT, &si);
  EXPECT_EQ(si.nMax, 1000001);
  EXPECT_EQ(si.nPos, g->TopRow() - 1);
  EXPECT_EQ(vcl::GetPropertyText(*g, "Cells[2,1000000]"), "entry 1000000");
  EXPECT_EQ(vcl::GetPropertyText(*g, "Cells[2,1000001]"), "");
  // The last entry is drawn in the view: dark pixels in its row.
  RECT last = g->CellRect(2, 1000000);
  ASSERT_GT(last.bottom, last.top);
  Pixels px(h);
  EXPECT_FALSE(px.Where(last, Dark).empty());
  delete f;
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  Application->Initialize();
  return RUN_ALL_TESTS();
}
