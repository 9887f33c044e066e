// The pure parts of the string grid: compact cell storage, the parser of the
// HTML-like cell markup and the line layout of a cell. No Windows header:
// the control measures and draws, everything else is decided here.
//
// Markup rules (tag and attribute names are case-insensitive, attribute
// values quoted with " or ' or unquoted):
//   <B> <I> <U> <S> (also <STRIKE>)   bold, italic, underline, strike-through
//   <FONT color=.. face=.. size=..>   colour: a colour name of the framework
//                                     ("clRed"), #RRGGBB, #RGB or a common
//                                     HTML name ("red"); size: 1..7 as in
//                                     HTML (3 is 12 pt) or +n / -n from 3
//   <P ALIGN=LEFT|CENTER|RIGHT>       a paragraph with its alignment
//   <CENTER>                          centred paragraphs up to </CENTER>
//   <A href="target">                 a link
//   <BR>                              a line break; a LF in the text is one too
//   &amp; &lt; &gt; &quot; &apos; &nbsp; &#NNN; &#xHH;
// Unknown tags and comments are dropped. Closing tags that do not match an
// open one are ignored, badly nested ones close what they name, and tags
// left open end with the text: no text is ever lost. A '<' starts a tag
// only when a letter, '/' or '!' follows it and a '>' comes later in the
// text; otherwise it is shown as it is ("a < b", "x <y" stay text). An
// '&' that starts no known entity is shown as it is.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vcl::cell {

// ---- Cell storage -----------------------------------------------------------

// Cells by column and row. An empty row costs one pointer; a row with text
// is one block holding its cells one after the other, so setting a cell is
// O(length of the row) and O(1) amortised for the usual few columns.
class TCellStore {
 public:
  TCellStore() = default;
  ~TCellStore();
  TCellStore(const TCellStore&) = delete;
  TCellStore& operator=(const TCellStore&) = delete;

  int ColCount() const { return FColCount; }
  int RowCount() const { return static_cast<int>(FRows.size()); }
  // Cells beyond the new size are dropped; new cells are empty.
  void SetColCount(int count);
  void SetRowCount(int count);

  // The empty text outside the store.
  std::string Get(int col, int row) const;
  bool IsEmpty(int col, int row) const;
  // Returns false (and stores nothing) outside the store.
  bool Set(int col, int row, std::string_view text);
  void Clear();

 private:
  struct Row;
  static void Free(Row* r);
  std::vector<Row*> FRows;
  int FColCount = 0;
};

// ---- Markup -------------------------------------------------------------------

// "No colour given": the cell font's own colour applies (the value of clNone).
constexpr int32_t kNoColor = 0x1FFFFFFF;

enum class TParaAlign : uint8_t { Left, Center, Right };

struct TRunStyle {
  bool Bold = false, Italic = false, Underline = false, Strike = false;
  int32_t Color = kNoColor;  // a framework colour (BGR, or a system colour)
  std::string Face;          // empty: the cell font's face
  int Size = 0;              // points; 0: the cell font's size
  std::string Link;          // the target of an <A href>; empty: no link
  bool operator==(const TRunStyle&) const = default;
};

struct TRun {
  std::string Text;
  TRunStyle Style;
  bool Break = false;  // a line break (Text is empty)
};

struct TParagraph {
  TParaAlign Align = TParaAlign::Left;
  std::vector<TRun> Runs;
};

struct TCellText {
  std::vector<TParagraph> Paragraphs;
  // The text as shown, paragraphs and breaks as '\n' (for tests and tools).
  std::string PlainText() const;
};

// Markup to runs and paragraphs, by the rules at the top of this file.
TCellText ParseMarkup(std::string_view text);
// Text shown as it is: one run (a link when given), LF ends a line, CR is dropped.
TCellText PlainCell(std::string_view text, const std::string& link = {});
// A text that is, as a whole (blanks around it aside), a web or mail
// address: http://, https://, ftp://, mailto: or www. followed by more, with
// no blank inside. target is what to open: the address, "http://" added
// before a bare "www.".
bool IsUrlText(std::string_view text, std::string& target);
// What a link may open: a web or mail address (http://, https://, ftp://,
// mailto:, or www. which gets "http://" before it) without control
// characters, blanks around it aside. Anything else (a file, a program, a
// relative name) is refused: cell texts come from outside.
bool LinkTarget(std::string_view href, std::string& target);
// A markup colour value: framework name, #RRGGBB, #RGB or HTML name.
bool ParseColorValue(std::string_view text, int32_t& color);

// ---- Layout -----------------------------------------------------------------

struct TTextMetrics {
  int Width = 0;
  int Height = 0;  // line height of the style's font
  int Ascent = 0;  // base line from the top
};
// Measures a piece of text (possibly empty: then only the height counts) in
// a run's style.
using TMeasure = std::function<TTextMetrics(const TRunStyle& style, std::string_view text)>;

struct TFragment {
  std::string Text;
  int Style = 0;  // index into TLayout::Styles
  int X = 0, Y = 0, Width = 0, Height = 0;
  int Line = 0;
};

struct TLine {
  int Y = 0, Height = 0, Ascent = 0, Width = 0;
};

struct TLayout {
  std::vector<TRunStyle> Styles;
  std::vector<TFragment> Fragments;
  std::vector<TLine> Lines;
  int Width = 0;   // the widest line
  int Height = 0;  // all lines
  // The link under a point of the layout's own coordinates, or empty.
  std::string LinkAt(int x, int y) const;
};

// Places the runs in lines of at most `width` pixels: with wordWrap a line
// breaks at blanks, and a word wider than the whole width is broken between
// characters; without it only breaks and paragraphs end lines. Lines are
// aligned by their paragraph; blanks that end a wrapped line are not drawn.
TLayout LayoutCell(const TCellText& text, int width, bool wordWrap, const TMeasure& measure);

}  // namespace vcl::cell
