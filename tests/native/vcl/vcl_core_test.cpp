#include <gtest/gtest.h>

#include "classes.h"
#include "dfm.h"
#include "persist.h"

namespace {

TEST(SplitTextLines, LineEndsAndNul) {
  struct Case {
    std::string text;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\nb", {"a", "b"}},
      {"a\rb\nc\r\n", {"a", "b", "c"}},
      {"a\n\nb", {"a", "", "b"}},
      {"\r\n", {""}},
      {"\n\r", {"", ""}},  // LF, then a lone CR
      {"a\r\r\nb", {"a", "", "b"}},
      {std::string("ab\0cd\r\nef", 9), {"ab"}},
      {std::string("\0", 1), {}},
      {" a \t", {" a \t"}},  // nothing trimmed
  };
  for (const auto& c : cases) EXPECT_EQ(SplitTextLines(c.text), c.lines) << testing::PrintToString(c.text);
}

TEST(TStrings, IndexErrorsAndText) {
  TStringList l;
  l.SetText("x\ny");
  EXPECT_EQ(l.Count(), 2);
  EXPECT_EQ(l.Text(), "x\r\ny\r\n");
  try {
    (void)l[2];
    FAIL();
  } catch (const EStringListError& e) {
    EXPECT_EQ(e.Message(), "List index out of bounds (2)");
  }
  TStringList empty;
  try {
    (void)empty[0];
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "List index out of bounds (0)");
  }
}

TEST(TFileStream, ErrorTexts) {
  try {
    TFileStream f("/nonexistent-dir/x.dat", fmOpenRead);
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), "Cannot open file /nonexistent-dir/x.dat");
  }
  try {
    TFileStream f("/nonexistent-dir/x.dat", fmCreate);
    FAIL();
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message(), "Cannot create file /nonexistent-dir/x.dat");
  }
}

TEST(Template, ParseValuesAndRoundTrip) {
  const char* text =
      "object Form1: TForm1\n"
      "  Caption = 'It''s'#13#10'two' +\n"
      "    ' lines'\n"
      "  Left = -8\n"
      "  Color = $00FF00\n"
      "  Ratio = 1.5\n"
      "  Anchors = [akLeft, akTop]\n"
      "  Lines.Strings = (\n"
      "    'one'\n"
      "    'two')\n"
      "  object Label1: TLabel\n"
      "    Visible = False\n"
      "  end\n"
      "end\n";
  TTemplateObject t = ParseTemplate(text);
  EXPECT_EQ(t.Name, "Form1");
  EXPECT_EQ(t.ClassName, "TForm1");
  ASSERT_EQ(t.Props.size(), 6u);
  EXPECT_EQ(t.Props[0].second.s, "It's\r\ntwo lines");
  EXPECT_EQ(t.Props[1].second.i, -8);
  EXPECT_EQ(t.Props[2].second.i, 0xFF00);
  EXPECT_EQ(t.Props[3].second.f, 1.5);
  EXPECT_EQ(t.Props[4].second.set, (std::vector<std::string>{"akLeft", "akTop"}));
  EXPECT_EQ(t.Props[5].first, "Lines.Strings");
  ASSERT_EQ(t.Props[5].second.list.size(), 2u);
  ASSERT_EQ(t.Children.size(), 1u);
  EXPECT_EQ(t.Children[0].Props[0].second.s, "False");

  TTemplateObject back = ParseTemplate(WriteTemplate(t));
  EXPECT_EQ(WriteTemplate(back), WriteTemplate(t));
  EXPECT_EQ(back.Props[0].second.s, "It's\r\ntwo lines");
}

TEST(Template, MalformedTextNamesTheLine) {
  const char* bad[] = {"", "object", "object A: TA\n  X = \n", "object A: TA\n  X = 'open\nend",
                       "object A: TA\n X = [a,\nend", "object A: TA\n  X = (1 2\n", "object A: TA\n"};
  for (const char* t : bad) EXPECT_THROW(ParseTemplate(t), EParserError) << t;
  try {
    ParseTemplate("object A: TA\n  X = 1\n  Y ? 2\nend\n");
  } catch (const EParserError& e) {
    EXPECT_NE(e.Message().find("line 3"), std::string::npos) << e.Message();
  }
}

// A record with a declared default and a nested record, as persisted
// component settings use them.
class TInner : public TPersistent {
  VCL_CLASS(TInner)
 public:
  int32_t Port = 0;
  std::string Host;
};
static std::vector<TPropInfo> InnerProps() {
  return TPropBuilder<TInner>().Field("Host", &TInner::Host).Field("Port", &TInner::Port, int32_t{80}).Done();
}
VCL_DEFINE_CLASS(TInner, TPersistent, nullptr, &InnerProps)

class TOuter : public TPersistent {
  VCL_CLASS(TOuter)
 public:
  bool Flag = true;
  TInner Inner;
};
static std::vector<TPropInfo> OuterProps() {
  return TPropBuilder<TOuter>()
      .Field("Flag", &TOuter::Flag, true)
      .Object("Inner", [](const TOuter& o) { return const_cast<TInner*>(&o.Inner); })
      .Done();
}
VCL_DEFINE_CLASS(TOuter, TPersistent, nullptr, &OuterProps)

TEST(Persistence, DefaultsAreNotWritten) {
  TOuter o;
  o.Inner.Port = 80;
  o.Inner.Host = "proxy";
  EXPECT_EQ(vcl::WriteProperties(o), "Inner.Host = 'proxy'\r\n");
  TOuter back;
  vcl::ReadProperties(back, vcl::WriteProperties(o));
  EXPECT_EQ(back.Inner.Port, 0);  // 80 was not written
  EXPECT_EQ(back.Inner.Host, "proxy");

  o.Inner.Port = 8080;
  o.Flag = false;
  TOuter back2;
  vcl::ReadProperties(back2, vcl::WriteProperties(o));
  EXPECT_EQ(back2.Inner.Port, 8080);
  EXPECT_FALSE(back2.Flag);
  EXPECT_EQ(vcl::GetPropertyText(back2, "Inner.Port"), "8080");
  EXPECT_THROW(vcl::ReadProperties(back2, "Nope = 1"), EPropertyError);
}

TEST(Persistence, AssignErrorNamesBothClasses) {
  TOuter a;
  TInner b;
  try {
    a.Assign(&b);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a TInner to a TOuter");
  }
}

}  // namespace
