// The grid's pure parts: cell storage, the cell markup and the line layout.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

#include "htmlcell.h"

using namespace vcl::cell;

namespace {

// ---- Cell storage -----------------------------------------------------------

TEST(CellStore, CellsOutsideAreEmptyAndRefused) {
  TCellStore s;
  s.SetColCount(3);
  s.SetRowCount(2);
  EXPECT_TRUE(s.Set(2, 1, "last"));
  EXPECT_EQ(s.Get(2, 1), "last");
  for (auto [c, r] : {std::pair{3, 0}, {0, 2}, {-1, 0}, {0, -1}}) {
    EXPECT_FALSE(s.Set(c, r, "x")) << c << "," << r;
    EXPECT_EQ(s.Get(c, r), "");
    EXPECT_TRUE(s.IsEmpty(c, r));
  }
}

TEST(CellStore, ResizingKeepsWhatFitsAndNewCellsAreEmpty) {
  TCellStore s;
  s.SetColCount(3);
  s.SetRowCount(3);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) s.Set(c, r, std::to_string(c) + "," + std::to_string(r));
  s.SetColCount(2);
  s.SetRowCount(2);
  s.SetColCount(4);
  s.SetRowCount(5);
  EXPECT_EQ(s.Get(1, 1), "1,1");
  EXPECT_EQ(s.Get(0, 0), "0,0");
  EXPECT_EQ(s.Get(2, 0), "");  // dropped when the column went, not back with it
  EXPECT_EQ(s.Get(0, 2), "");
  EXPECT_TRUE(s.IsEmpty(3, 4));
}

// Every edit against a plain map, through cells set out of order, grown,
// shrunk, emptied, long (multi-byte lengths) and holding NUL bytes.
TEST(CellStore, AgreesWithAPlainMapOverManyEdits) {
  TCellStore s;
  std::map<std::pair<int, int>, std::string> model;
  int cols = 4, rows = 6;
  s.SetColCount(cols);
  s.SetRowCount(rows);
  std::mt19937 rng(12345);
  auto text = [&](int kind) -> std::string {
    switch (kind) {
      case 0: return "";
      case 1: return "x";
      case 2: return std::string(200, 'm');            // two-byte length
      case 3: return std::string(20000, 'L');          // three-byte length
      case 4: return std::string("a\0b", 3);           // bytes as they are
      default: return "cell" + std::to_string(rng() % 1000);
    }
  };
  for (int step = 0; step < 4000; ++step) {
    int op = static_cast<int>(rng() % 20);
    if (op == 0) {
      cols = static_cast<int>(rng() % 6);
      s.SetColCount(cols);
      std::erase_if(model, [&](const auto& kv) { return kv.first.first >= cols; });
    } else if (op == 1) {
      rows = static_cast<int>(rng() % 8);
      s.SetRowCount(rows);
      std::erase_if(model, [&](const auto& kv) { return kv.first.second >= rows; });
    } else {
      int c = static_cast<int>(rng() % 6), r = static_cast<int>(rng() % 8);
      std::string t = text(static_cast<int>(rng() % 6));
      bool inside = c < cols && r < rows;
      ASSERT_EQ(s.Set(c, r, t), inside);
      if (inside) {
        if (t.empty()) model.erase({c, r});
        else model[{c, r}] = t;
      }
    }
    for (int r = 0; r < 8; ++r)
      for (int c = 0; c < 6; ++c) {
        auto it = model.find({c, r});
        std::string want = it == model.end() ? std::string() : it->second;
        ASSERT_EQ(s.Get(c, r), want) << "step " << step << " cell " << c << "," << r;
        ASSERT_EQ(s.IsEmpty(c, r), want.empty());
      }
  }
}

TEST(CellStore, AMillionRowsOfThreeColumns) {
  TCellStore s;
  s.SetColCount(3);
  s.SetRowCount(1000003);
  for (int r = 1; r < 1000001; ++r) {
    s.Set(0, r, "usual");
    s.Set(1, r, "2026-11-01");
    s.Set(2, r, "Description of update number " + std::to_string(r));
  }
  EXPECT_EQ(s.Get(2, 1000000), "Description of update number 1000000");
  EXPECT_EQ(s.Get(0, 1000001), "");
  s.SetRowCount(3);
  EXPECT_EQ(s.Get(1, 2), "2026-11-01");
}

// ---- Markup -------------------------------------------------------------------

// The parse in one line: paragraphs "L:" / "C:" / "R:" separated by " / ",
// each run as {style}text, a break as |.
std::string Dump(const TCellText& t) {
  std::string out;
  for (size_t p = 0; p < t.Paragraphs.size(); ++p) {
    const TParagraph& para = t.Paragraphs[p];
    if (p) out += " / ";
    out += para.Align == TParaAlign::Left ? "L:" : para.Align == TParaAlign::Center ? "C:" : "R:";
    for (const TRun& r : para.Runs) {
      if (r.Break) {
        out += "|";
        continue;
      }
      const TRunStyle& s = r.Style;
      std::string st;
      auto add = [&](const std::string& x) { st += (st.empty() ? "" : ",") + x; };
      if (s.Bold) add("b");
      if (s.Italic) add("i");
      if (s.Underline) add("u");
      if (s.Strike) add("s");
      if (s.Color != kNoColor) {
        char buf[16];
        snprintf(buf, sizeof buf, "c=%06X", static_cast<unsigned>(s.Color));
        add(buf);
      }
      if (!s.Face.empty()) add("f=" + s.Face);
      if (s.Size) add("z=" + std::to_string(s.Size));
      if (!s.Link.empty()) add("a=" + s.Link);
      out += "{" + st + "}" + r.Text;
    }
  }
  return out;
}

TEST(Markup, Cases) {
  struct Case {
    const char* markup;
    const char* parsed;
  } cases[] = {
      {"plain text", "L:{}plain text"},
      {"", ""},
      // What the update window puts into its cells.
      {"<P ALIGN=\"CENTER\"><center>Type</center></P>", "C:{}Type"},
      {"<FONT color=\"clRed\"><B><I>critical</I></B></FONT>", "L:{b,i,c=0000FF}critical"},
      {"<FONT color=\"clRed\"><B>NEW VERSION</B></FONT>", "L:{b,c=0000FF}NEW VERSION"},
      // Styles, nesting, names in any case.
      {"<B>bold</B> and <i>it</i>", "L:{b}bold{} and {i}it"},
      {"<u>u</u><S>s</S><strike>t</strike>", "L:{u}u{s}st"},
      {"<b><b>x</b>y</b>z", "L:{b}xy{}z"},
      {"<b><i>x</b>y</i>z", "L:{b,i}x{i}y{}z"},
      {"<FoNt CoLoR='clBlue'>x</fOnT>", "L:{c=FF0000}x"},
      // Font attributes: colour names, #RRGGBB, #RGB, HTML names, faces, sizes.
      {"<font color=#FF8000 face=\"Arial, Helvetica\" size=4>x</font>", "L:{c=0080FF,f=Arial,z=14}x"},
      {"<font color=#0f0>x</font>", "L:{c=00FF00}x"},
      {"<font color=Orange size=+1>x</font>", "L:{c=00A5FF,z=14}x"},
      {"<font size=-5>a</font><font size=9>b</font>", "L:{z=8}a{z=36}b"},
      {"<font color=nonsense size=big>x</font>", "L:{}x"},
      {"<font color=red>a<font face=Arial>b</font>c</font>d", "L:{c=0000FF}a{c=0000FF,f=Arial}b{c=0000FF}c{}d"},
      // Paragraphs and alignment.
      {"<p align=right>r</p>l", "R:{}r / L:{}l"},
      {"<CENTER>a</CENTER>b", "C:{}a / L:{}b"},
      {"<center><p>a</p>b</center>", "C:{}a / C:{}b"},
      {"<p align=middle>m<p align=bogus>n", "C:{}m / L:{}n"},
      {"<p></p><p></p>x", "L:{}x"},
      // Links, breaks, line ends.
      {"<A href=\"http://x.example/\">link</A> after", "L:{a=http://x.example/}link{} after"},
      {"<a href='http://h/?a=1&amp;b=2'>q</a>", "L:{a=http://h/?a=1&b=2}q"},
      {"<a>no target</a>", "L:{}no target"},
      {"a<BR>b<br/>c<br />", "L:{}a|{}b|{}c|"},
      {"a\r\nb\tc", "L:{}a|{}b c"},
      // Entities.
      {"&amp;&lt;&gt;&quot;&apos;&AMP;&#65;&#x42;&#300;&#0;", "L:{}&<>\"'&AB??"},
      {"x&nbsp;y", "L:{}x\xA0y"},
      {"AT&T &unknown; &#; &#12 &amp", "L:{}AT&T &unknown; &#; &#12 &amp"},
      // A '<' that opens no tag, and tags that never close: all text stays.
      {"a < b", "L:{}a < b"},
      {"1<2 and 3>2", "L:{}1<2 and 3>2"},
      {"x <y", "L:{}x <y"},
      {"<b>bold <i", "L:{b}bold <i"},
      {"a</>b", "L:{}a</>b"},
      {"<b>never closed", "L:{b}never closed"},
      {"</b></font></a></center></p>x", "L:{}x"},
      {"<blink>x</blink><img src=a.png>y", "L:{}xy"},
      {"a<!-- note -->b", "L:{}ab"},
      {"<font color=\"clRed>x</font>y", "L:{c=0000FF}x{}y"},
  };
  for (const Case& c : cases) EXPECT_EQ(Dump(ParseMarkup(c.markup)), c.parsed) << c.markup;
}

TEST(Markup, PlainCellShowsTextAsItIs) {
  EXPECT_EQ(Dump(PlainCell("<b>a&amp;\r\nb")), "L:{}<b>a&amp;|{}b");
  EXPECT_EQ(Dump(PlainCell("www.x.example", "http://www.x.example")), "L:{a=http://www.x.example}www.x.example");
  EXPECT_EQ(Dump(PlainCell("")), "");
}

TEST(Markup, WebAddressesAndLinkTargets) {
  struct Case {
    const char* text;
    bool isUrl;      // as a whole cell text
    bool opens;      // as a link target
    const char* target;
  } cases[] = {
      {"http://www.corvallo.example/news", true, true, "http://www.corvallo.example/news"},
      {"  HTTPS://x.example/a?b=c  ", true, true, "HTTPS://x.example/a?b=c"},
      {"ftp://files.example/f.zip", true, true, "ftp://files.example/f.zip"},
      {"mailto:someone@x.example", true, true, "mailto:someone@x.example"},
      {"www.x.example", true, true, "http://www.x.example"},
      {"http://", false, false, ""},
      {"www.", false, false, ""},
      {"see http://x.example", false, false, ""},
      {"http://x.example/a b", false, true, "http://x.example/a b"},
      {"http://x.example/<b>", false, true, "http://x.example/<b>"},
      {"file:///C:/Windows/notepad.exe", false, false, ""},
      {"C:\\Windows\\system32\\cmd.exe", false, false, ""},
      {"calc.exe", false, false, ""},
      {"javascript:alert(1)", false, false, ""},
      {"http://x.example/\x01", false, false, ""},
  };
  for (const Case& c : cases) {
    std::string target;
    EXPECT_EQ(IsUrlText(c.text, target), c.isUrl) << c.text;
    target.clear();
    EXPECT_EQ(LinkTarget(c.text, target), c.opens) << c.text;
    EXPECT_EQ(target, c.target) << c.text;
  }
}

// ---- Layout -----------------------------------------------------------------

// Every character 1 pixel wide (2 when bold), lines 10 high with the base
// line at 8; a sized run is as high as its size, base line 2 above.
TTextMetrics FakeMeasure(const TRunStyle& s, std::string_view t) {
  int h = s.Size ? s.Size : 10;
  return TTextMetrics{static_cast<int>(t.size()) * (s.Bold ? 2 : 1), h, h - 2};
}

// Lines as "y:x=text x=text" joined by " | ".
std::string Lines(const TLayout& l) {
  std::string out;
  for (size_t i = 0; i < l.Lines.size(); ++i) {
    if (i) out += " | ";
    out += std::to_string(l.Lines[i].Y) + ":";
    for (const TFragment& f : l.Fragments)
      if (f.Line == static_cast<int>(i)) out += " " + std::to_string(f.X) + "=" + f.Text;
  }
  return out;
}

TEST(Layout, Cases) {
  struct Case {
    const char* markup;
    int width;
    bool wrap;
    const char* lines;
  } cases[] = {
      {"hello world", 100, true, "0: 0=hello world"},
      {"hello world", 7, true, "0: 0=hello | 10: 0=world"},
      {"hello world", 7, false, "0: 0=hello world"},
      {"  indented", 100, true, "0: 0=  indented"},
      {"aa   bb", 3, true, "0: 0=aa | 10: 0=bb"},
      {"abcdefghij", 4, true, "0: 0=abcd | 10: 0=efgh | 20: 0=ij"},
      {"ab", 0, true, "0: 0=a | 10: 0=b"},
      // A word across runs moves as a whole; its bold part measures wider.
      {"xx ab<b>cd</b>", 6, true, "0: 0=xx | 10: 0=ab 2=cd"},
      {"<center>ab cd</center>", 4, true, "0: 1=ab | 10: 1=cd"},
      {"<p align=right>ab</p>", 10, true, "0: 8=ab"},
      {"<p align=center>wider than the cell</p>", 4, false, "0: 0=wider than the cell"},
      {"a<br><br>b", 100, true, "0: 0=a | 10: | 20: 0=b"},
      {"<br>", 100, true, "0:"},
      {"<p>one</p><p>two</p>", 100, true, "0: 0=one | 10: 0=two"},
      {"", 100, true, ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Lines(LayoutCell(ParseMarkup(c.markup), c.width, c.wrap, FakeMeasure)), c.lines) << c.markup;
}

TEST(Layout, RunsShareTheBaseLineOfTheirLine) {
  // size 3 is 12 pt: 12 high, base line at 10; the plain 'a' sits 2 lower.
  TLayout l = LayoutCell(ParseMarkup("a<font size=3>B</font>"), 100, true, FakeMeasure);
  ASSERT_EQ(l.Lines.size(), 1u);
  EXPECT_EQ(l.Lines[0].Height, 12);
  ASSERT_EQ(l.Fragments.size(), 2u);
  EXPECT_EQ(l.Fragments[0].Y, 2);
  EXPECT_EQ(l.Fragments[1].Y, 0);
  EXPECT_EQ(l.Height, 12);
  EXPECT_EQ(l.Width, 2);
}

TEST(Layout, LinksAreFoundWhereTheyAreDrawn) {
  TLayout l = LayoutCell(ParseMarkup("<a href=\"http://a.example\">ab</a> cd <a href=http://b.example>ef</a>"), 5,
                         true, FakeMeasure);
  // "ab cd" on the first line, "ef" on the second.
  EXPECT_EQ(l.LinkAt(0, 0), "http://a.example");
  EXPECT_EQ(l.LinkAt(1, 9), "http://a.example");
  EXPECT_EQ(l.LinkAt(2, 0), "");
  EXPECT_EQ(l.LinkAt(4, 0), "");
  EXPECT_EQ(l.LinkAt(1, 10), "http://b.example");
  EXPECT_EQ(l.LinkAt(2, 10), "");
  EXPECT_EQ(l.LinkAt(0, 20), "");
  EXPECT_EQ(l.LinkAt(-1, 0), "");
}

}  // namespace
