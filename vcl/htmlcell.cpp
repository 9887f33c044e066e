#include "htmlcell.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

#include "typinfo.h"

namespace vcl::cell {

// ---- Cell storage -----------------------------------------------------------
//
// A row block is a small header followed by its cells, each a length (7 bits
// a byte, the high bit set on all but the last byte) and then the bytes of
// its text. Cells after the last one with text are not stored; a row with
// no text at all is no block.

struct TCellStore::Row {
  uint32_t Size;  // bytes of cell data in use
  uint32_t Cap;   // bytes of cell data allocated
};

namespace {

char* RowData(void* r) { return reinterpret_cast<char*>(r) + sizeof(uint32_t) * 2; }

size_t VarLen(size_t v) {
  size_t n = 1;
  while (v >= 0x80) {
    v >>= 7;
    ++n;
  }
  return n;
}

char* PutVar(char* p, size_t v) {
  while (v >= 0x80) {
    *p++ = static_cast<char>((v & 0x7F) | 0x80);
    v >>= 7;
  }
  *p++ = static_cast<char>(v);
  return p;
}

// Reads a length at data[off]; returns the offset of the text after it.
size_t GetVar(const char* data, size_t off, size_t size, size_t& v) {
  v = 0;
  int shift = 0;
  while (off < size) {
    auto b = static_cast<unsigned char>(data[off++]);
    v |= static_cast<size_t>(b & 0x7F) << shift;
    if (!(b & 0x80)) break;
    shift += 7;
  }
  return off;
}

// Drops the empty cells at the end of the first `size` bytes; returns the new size.
size_t TrimmedSize(const char* data, size_t size) {
  size_t off = 0, keep = 0;
  while (off < size) {
    size_t n;
    off = GetVar(data, off, size, n) + n;
    if (n) keep = off;
  }
  return keep;
}

}  // namespace

TCellStore::~TCellStore() { Clear(); }

void TCellStore::Free(Row* r) { std::free(r); }

void TCellStore::Clear() {
  for (Row*& r : FRows) {
    Free(r);
    r = nullptr;
  }
}

void TCellStore::SetRowCount(int count) {
  if (count < 0) count = 0;
  auto n = static_cast<size_t>(count);
  for (size_t i = n; i < FRows.size(); ++i) Free(FRows[i]);
  FRows.resize(n, nullptr);
}

void TCellStore::SetColCount(int count) {
  if (count < 0) count = 0;
  if (count < FColCount) {
    for (Row*& r : FRows) {
      if (!r) continue;
      const char* data = RowData(r);
      size_t off = 0;
      for (int k = 0; k < count && off < r->Size; ++k) {
        size_t n;
        off = GetVar(data, off, r->Size, n) + n;
      }
      r->Size = static_cast<uint32_t>(TrimmedSize(data, std::min<size_t>(off, r->Size)));
      if (!r->Size) {
        Free(r);
        r = nullptr;
      }
    }
  }
  FColCount = count;
}

std::string TCellStore::Get(int col, int row) const {
  if (col < 0 || row < 0 || col >= FColCount || row >= RowCount()) return {};
  const Row* r = FRows[static_cast<size_t>(row)];
  if (!r) return {};
  const char* data = RowData(const_cast<Row*>(r));
  size_t off = 0;
  for (int k = 0; off < r->Size; ++k) {
    size_t n;
    off = GetVar(data, off, r->Size, n);
    if (k == col) return std::string(data + off, std::min(n, r->Size - off));
    off += n;
  }
  return {};
}

bool TCellStore::IsEmpty(int col, int row) const {
  if (col < 0 || row < 0 || col >= FColCount || row >= RowCount()) return true;
  const Row* r = FRows[static_cast<size_t>(row)];
  if (!r) return true;
  const char* data = RowData(const_cast<Row*>(r));
  size_t off = 0;
  for (int k = 0; off < r->Size; ++k) {
    size_t n;
    off = GetVar(data, off, r->Size, n);
    if (k == col) return n == 0;
    off += n;
  }
  return true;
}

bool TCellStore::Set(int col, int row, std::string_view text) {
  if (col < 0 || row < 0 || col >= FColCount || row >= RowCount()) return false;
  if (text.size() > 0x3FFFFFFF) throw std::length_error("Cell text too long");
  Row*& r = FRows[static_cast<size_t>(row)];
  if (!r && text.empty()) return true;
  size_t size = r ? r->Size : 0;
  char* data = r ? RowData(r) : nullptr;
  // Find the cell: its offset and the bytes it takes now.
  size_t off = 0;
  int k = 0;
  while (off < size && k < col) {
    size_t n;
    off = GetVar(data, off, size, n) + n;
    ++k;
  }
  size_t oldLen = 0, pad = 0;
  if (off < size) {
    size_t n;
    oldLen = GetVar(data, off, size, n) + n - off;
  } else {
    if (text.empty()) return true;  // an unstored cell is empty already
    pad = static_cast<size_t>(col - k);
  }
  size_t newLen = VarLen(text.size()) + text.size();
  size_t newSize = size - oldLen + pad + newLen;
  if (!r || newSize > r->Cap) {
    size_t cap = std::max<size_t>({newSize, r ? size_t{r->Cap} * 2 : 0, 24});
    void* block = std::realloc(r, sizeof(Row) + cap);
    if (!block) throw std::bad_alloc();
    auto* nr = static_cast<Row*>(block);
    if (!r) nr->Size = 0;
    nr->Cap = static_cast<uint32_t>(cap);
    r = nr;
    data = RowData(r);
  }
  size_t tail = off + oldLen;
  std::memmove(data + off + pad + newLen, data + tail, size - tail);
  std::memset(data + off, 0, pad);  // empty cells up to the new one
  char* p = PutVar(data + off + pad, text.size());
  if (!text.empty()) std::memcpy(p, text.data(), text.size());
  r->Size = static_cast<uint32_t>(newSize);
  if (text.empty() && tail == size) {
    r->Size = static_cast<uint32_t>(TrimmedSize(data, newSize));
    if (!r->Size) {
      Free(r);
      r = nullptr;
    }
  }
  return true;
}

// ---- Markup -------------------------------------------------------------------

namespace {

bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (Lower(s[i]) != Lower(prefix[i])) return false;
  return true;
}

bool EqualNoCase(std::string_view a, std::string_view b) { return a.size() == b.size() && StartsWithNoCase(a, b); }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = Lower(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// An entity at s[i] ('&'): appends what it stands for and returns the bytes
// it takes, or 0 when it is none.
size_t Entity(std::string_view s, size_t i, std::string& out) {
  size_t j = i + 1;
  if (j < s.size() && s[j] == '#') {
    ++j;
    bool hex = j < s.size() && (s[j] == 'x' || s[j] == 'X');
    if (hex) ++j;
    size_t start = j;
    unsigned long v = 0;
    while (j < s.size() && j - start < 8) {
      int d = hex ? HexValue(s[j]) : (IsDigit(s[j]) ? s[j] - '0' : -1);
      if (d < 0) break;
      v = v * (hex ? 16 : 10) + static_cast<unsigned long>(d);
      ++j;
    }
    if (j == start || j >= s.size() || s[j] != ';') return 0;
    // Single-byte text: what has no byte of its own shows as '?'.
    out += (v >= 1 && v <= 255) ? static_cast<char>(v) : '?';
    return j + 1 - i;
  }
  size_t start = j;
  while (j < s.size() && j - start < 8 && (IsAlpha(s[j]) || IsDigit(s[j]))) ++j;
  if (j == start || j >= s.size() || s[j] != ';') return 0;
  std::string_view name = s.substr(start, j - start);
  static constexpr struct {
    const char* name;
    char value;
  } kEntities[] = {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}, {"nbsp", '\xA0'}};
  for (const auto& e : kEntities)
    if (EqualNoCase(name, e.name)) {
      out += e.value;
      return j + 1 - i;
    }
  return 0;
}

std::string DecodeEntities(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size();) {
    if (s[i] == '&')
      if (size_t n = Entity(s, i, out)) {
        i += n;
        continue;
      }
    out += s[i++];
  }
  return out;
}

struct TAttr {
  std::string Name;  // lower case
  std::string Value;
};

// Splits the inside of a tag ("FONT color=red face='Arial'") into its
// lower-case name, whether it closes, and its attributes.
void SplitTag(std::string_view t, std::string& name, bool& closing, std::vector<TAttr>& attrs) {
  size_t i = 0;
  closing = !t.empty() && t[0] == '/';
  if (closing) ++i;
  while (i < t.size() && (IsAlpha(t[i]) || IsDigit(t[i]))) name += Lower(t[i++]);
  while (i < t.size()) {
    while (i < t.size() && (IsBlank(t[i]) || t[i] == '/')) ++i;
    if (i >= t.size()) break;
    TAttr a;
    while (i < t.size() && !IsBlank(t[i]) && t[i] != '=' && t[i] != '/') a.Name += Lower(t[i++]);
    while (i < t.size() && IsBlank(t[i])) ++i;
    if (i < t.size() && t[i] == '=') {
      ++i;
      while (i < t.size() && IsBlank(t[i])) ++i;
      size_t start = i;
      if (i < t.size() && (t[i] == '"' || t[i] == '\'')) {
        char q = t[i++];
        start = i;
        while (i < t.size() && t[i] != q) ++i;
        a.Value = DecodeEntities(t.substr(start, i - start));
        if (i < t.size()) ++i;
      } else {
        while (i < t.size() && !IsBlank(t[i])) ++i;
        a.Value = DecodeEntities(t.substr(start, i - start));
      }
    }
    if (a.Name.empty()) {
      ++i;  // a stray '=' or quote
      continue;
    }
    attrs.push_back(std::move(a));
  }
}

const std::string* FindAttr(const std::vector<TAttr>& attrs, const char* name) {
  for (const auto& a : attrs)
    if (a.Name == name) return &a.Value;
  return nullptr;
}

bool ParseAlign(std::string_view v, TParaAlign& a) {
  v = Trim(v);
  if (EqualNoCase(v, "left")) a = TParaAlign::Left;
  else if (EqualNoCase(v, "center") || EqualNoCase(v, "centre") || EqualNoCase(v, "middle")) a = TParaAlign::Center;
  else if (EqualNoCase(v, "right")) a = TParaAlign::Right;
  else return false;
  return true;
}

// HTML font sizes 1 to 7 in points.
bool ParseFontSize(std::string_view v, int& points) {
  static constexpr int kPoints[] = {8, 10, 12, 14, 18, 24, 36};
  v = Trim(v);
  int sign = 0;
  if (!v.empty() && (v[0] == '+' || v[0] == '-')) {
    sign = v[0] == '+' ? 1 : -1;
    v.remove_prefix(1);
  }
  if (v.empty() || v.size() > 3) return false;
  int n = 0;
  for (char c : v) {
    if (!IsDigit(c)) return false;
    n = n * 10 + (c - '0');
  }
  if (sign) n = 3 + sign * n;
  n = std::clamp(n, 1, 7);
  points = kPoints[n - 1];
  return true;
}

struct TFontState {
  int32_t Color = kNoColor;
  std::string Face;
  int Size = 0;
};

class TMarkupParser {
 public:
  TCellText Parse(std::string_view s) {
    bool noMoreTags = false;  // no '>' left in the text
    for (size_t i = 0; i < s.size();) {
      char c = s[i];
      if (c == '<' && !noMoreTags && i + 1 < s.size()) {
        char n = s[i + 1];
        if (IsAlpha(n) || n == '!' || (n == '/' && i + 2 < s.size() && IsAlpha(s[i + 2]))) {
          size_t j = s.find('>', i + 1);
          if (j == std::string_view::npos) {
            noMoreTags = true;
          } else {
            Tag(s.substr(i + 1, j - i - 1));
            i = j + 1;
            continue;
          }
        }
      }
      if (c == '&') {
        std::string e;
        if (size_t n = Entity(s, i, e)) {
          Text(e);
          i += n;
          continue;
        }
      }
      if (c == '\n') {
        Break();
      } else if (c != '\r') {
        char ch = c == '\t' ? ' ' : c;
        Text(std::string_view(&ch, 1));
      }
      ++i;
    }
    // Paragraphs that got nothing are dropped.
    auto& ps = FOut.Paragraphs;
    ps.erase(std::remove_if(ps.begin(), ps.end(), [](const TParagraph& p) { return p.Runs.empty(); }), ps.end());
    return std::move(FOut);
  }

 private:
  TParagraph& Current() {
    if (FOut.Paragraphs.empty()) FOut.Paragraphs.push_back(TParagraph{BlockAlign(), {}});
    return FOut.Paragraphs.back();
  }
  TParaAlign BlockAlign() const { return FBlocks.empty() ? TParaAlign::Left : FBlocks.back(); }

  // Starts a paragraph, unless the current one has nothing yet: then it
  // takes the alignment.
  void NewParagraph(TParaAlign a) {
    if (FOut.Paragraphs.empty() || !FOut.Paragraphs.back().Runs.empty())
      FOut.Paragraphs.push_back(TParagraph{a, {}});
    else
      FOut.Paragraphs.back().Align = a;
  }

  void Text(std::string_view t) {
    auto& runs = Current().Runs;
    if (runs.empty() || runs.back().Break || (FNewRun && !(runs.back().Style == FStyle)))
      runs.push_back(TRun{std::string(), FStyle, false});
    FNewRun = false;
    runs.back().Text += t;
  }

  void Break() {
    Current().Runs.push_back(TRun{std::string(), FStyle, true});
  }

  void Restyle() {
    TRunStyle s;
    s.Bold = FBold > 0;
    s.Italic = FItalic > 0;
    s.Underline = FUnderline > 0;
    s.Strike = FStrike > 0;
    if (!FFonts.empty()) {
      s.Color = FFonts.back().Color;
      s.Face = FFonts.back().Face;
      s.Size = FFonts.back().Size;
    }
    if (!FLinks.empty()) s.Link = FLinks.back();
    if (!(s == FStyle)) {
      FStyle = std::move(s);
      FNewRun = true;
    }
  }

  static void Count(int& level, bool closing) {
    if (!closing) ++level;
    else if (level > 0) --level;
  }

  void Tag(std::string_view t) {
    if (!t.empty() && t[0] == '!') return;  // comment or declaration
    std::string name;
    bool closing = false;
    std::vector<TAttr> attrs;
    SplitTag(t, name, closing, attrs);
    if (name == "b" || name == "strong") Count(FBold, closing);
    else if (name == "i" || name == "em") Count(FItalic, closing);
    else if (name == "u") Count(FUnderline, closing);
    else if (name == "s" || name == "strike") Count(FStrike, closing);
    else if (name == "font") {
      if (closing) {
        if (!FFonts.empty()) FFonts.pop_back();
      } else {
        TFontState f = FFonts.empty() ? TFontState{} : FFonts.back();
        int32_t color;
        if (const std::string* v = FindAttr(attrs, "color"); v && ParseColorValue(*v, color)) f.Color = color;
        if (const std::string* v = FindAttr(attrs, "face")) {
          std::string_view face = Trim(std::string_view(*v).substr(0, v->find(',')));
          if (!face.empty()) f.Face = std::string(face);
        }
        int size;
        if (const std::string* v = FindAttr(attrs, "size"); v && ParseFontSize(*v, size)) f.Size = size;
        FFonts.push_back(std::move(f));
      }
    } else if (name == "a") {
      if (closing) {
        if (!FLinks.empty()) FLinks.pop_back();
      } else {
        const std::string* href = FindAttr(attrs, "href");
        FLinks.push_back(href ? std::string(Trim(*href)) : std::string());
      }
    } else if (name == "br") {
      if (!closing) Break();
    } else if (name == "p") {
      TParaAlign a = BlockAlign();
      if (!closing)
        if (const std::string* v = FindAttr(attrs, "align")) ParseAlign(*v, a);
      NewParagraph(a);
    } else if (name == "center") {
      if (closing) {
        if (!FBlocks.empty()) FBlocks.pop_back();
      } else {
        FBlocks.push_back(TParaAlign::Center);
      }
      NewParagraph(BlockAlign());
    } else {
      return;  // unknown: ignored
    }
    Restyle();
  }

  TCellText FOut;
  TRunStyle FStyle;
  bool FNewRun = true;
  int FBold = 0, FItalic = 0, FUnderline = 0, FStrike = 0;
  std::vector<TFontState> FFonts;
  std::vector<std::string> FLinks;
  std::vector<TParaAlign> FBlocks;
};

}  // namespace

std::string TCellText::PlainText() const {
  std::string out;
  for (size_t p = 0; p < Paragraphs.size(); ++p) {
    if (p) out += '\n';
    for (const TRun& r : Paragraphs[p].Runs) out += r.Break ? std::string("\n") : r.Text;
  }
  return out;
}

TCellText ParseMarkup(std::string_view text) { return TMarkupParser().Parse(text); }

TCellText PlainCell(std::string_view text, const std::string& link) {
  TCellText out;
  TParagraph p;
  TRunStyle style;
  style.Link = link;
  size_t start = 0;
  auto flush = [&](size_t end) {
    std::string piece;
    for (size_t i = start; i < end; ++i)
      if (text[i] != '\r') piece += text[i] == '\t' ? ' ' : text[i];
    if (!piece.empty()) p.Runs.push_back(TRun{std::move(piece), style, false});
  };
  for (size_t i = 0; i < text.size(); ++i)
    if (text[i] == '\n') {
      flush(i);
      p.Runs.push_back(TRun{std::string(), style, true});
      start = i + 1;
    }
  flush(text.size());
  if (!p.Runs.empty()) out.Paragraphs.push_back(std::move(p));
  return out;
}

bool LinkTarget(std::string_view href, std::string& target) {
  std::string_view t = Trim(href);
  static constexpr const char* kPrefixes[] = {"http://", "https://", "ftp://", "mailto:", "www."};
  for (const char* prefix : kPrefixes) {
    std::string_view p(prefix);
    if (!StartsWithNoCase(t, p) || t.size() == p.size()) continue;
    for (char c : t)
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    target = (p == "www." ? "http://" : "") + std::string(t);
    return true;
  }
  return false;
}

bool IsUrlText(std::string_view text, std::string& target) {
  for (char c : Trim(text))
    if (IsBlank(c) || c == '<' || c == '>' || c == '"') return false;
  return LinkTarget(text, target);
}

bool ParseColorValue(std::string_view text, int32_t& color) {
  std::string_view v = Trim(text);
  if (v.empty()) return false;
  if (v[0] == '#') {
    v.remove_prefix(1);
    int d[6];
    if (v.size() != 6 && v.size() != 3) return false;
    for (size_t i = 0; i < v.size(); ++i)
      if ((d[i] = HexValue(v[i])) < 0) return false;
    int r, g, b;
    if (v.size() == 6) {
      r = d[0] * 16 + d[1];
      g = d[2] * 16 + d[3];
      b = d[4] * 16 + d[5];
    } else {
      r = d[0] * 17;
      g = d[1] * 17;
      b = d[2] * 17;
    }
    color = r | (g << 8) | (b << 16);
    return true;
  }
  if (vcl::ColorFromIdent(v, color)) return true;
  static constexpr struct {
    const char* name;
    int32_t value;  // BGR
  } kHtml[] = {
      {"black", 0x000000},  {"white", 0xFFFFFF},   {"red", 0x0000FF},    {"green", 0x008000},
      {"blue", 0xFF0000},   {"yellow", 0x00FFFF},  {"silver", 0xC0C0C0}, {"gray", 0x808080},
      {"grey", 0x808080},   {"maroon", 0x000080},  {"navy", 0x800000},   {"purple", 0x800080},
      {"teal", 0x808000},   {"olive", 0x008080},   {"lime", 0x00FF00},   {"aqua", 0xFFFF00},
      {"cyan", 0xFFFF00},   {"fuchsia", 0xFF00FF}, {"magenta", 0xFF00FF}, {"orange", 0x00A5FF},
      {"brown", 0x2A2AA5},  {"pink", 0xCBC0FF},
  };
  for (const auto& c : kHtml)
    if (EqualNoCase(v, c.name)) {
      color = c.value;
      return true;
    }
  return false;
}

// ---- Layout -----------------------------------------------------------------

namespace {

class TLineBuilder {
 public:
  TLineBuilder(TLayout& out, int width, const TMeasure& measure) : L(out), FWidth(width), FMeasure(measure) {}

  int X() const { return FX; }
  bool HasContent() const { return FContent; }
  bool Empty() const { return FFrags.empty(); }

  void Place(int style, std::string_view text, const TTextMetrics& m, bool space) {
    TFragment f;
    f.Text = std::string(text);
    f.Style = style;
    f.X = FX;
    f.Width = m.Width;
    f.Height = m.Height;
    FFrags.push_back(std::move(f));
    FAscents.push_back(m.Ascent);
    FSpace.push_back(space);
    FX += m.Width;
    if (!space) FContent = true;
  }

  // Ends the line; an empty line takes the height of `emptyStyle`.
  void Finish(TParaAlign align, int emptyStyle) {
    while (!FFrags.empty() && FSpace.back()) {
      FFrags.pop_back();
      FAscents.pop_back();
      FSpace.pop_back();
    }
    TLine line;
    line.Y = L.Height;
    line.Width = FFrags.empty() ? 0 : FFrags.back().X + FFrags.back().Width;
    for (size_t i = 0; i < FFrags.size(); ++i) {
      line.Height = std::max(line.Height, FFrags[i].Height);
      line.Ascent = std::max(line.Ascent, FAscents[i]);
    }
    if (FFrags.empty()) {
      TTextMetrics m = FMeasure(L.Styles[static_cast<size_t>(emptyStyle)], {});
      line.Height = m.Height;
      line.Ascent = m.Ascent;
    }
    int shift = 0;
    if (align == TParaAlign::Center) shift = std::max(0, (FWidth - line.Width) / 2);
    else if (align == TParaAlign::Right) shift = std::max(0, FWidth - line.Width);
    int lineNo = static_cast<int>(L.Lines.size());
    for (size_t i = 0; i < FFrags.size(); ++i) {
      TFragment& f = FFrags[i];
      f.X += shift;
      f.Y = line.Y + line.Ascent - FAscents[i];
      f.Line = lineNo;
      // Pieces of one run side by side become one fragment.
      if (!L.Fragments.empty()) {
        TFragment& prev = L.Fragments.back();
        if (prev.Line == lineNo && prev.Style == f.Style && prev.X + prev.Width == f.X && prev.Y == f.Y) {
          prev.Text += f.Text;
          prev.Width += f.Width;
          prev.Height = std::max(prev.Height, f.Height);
          continue;
        }
      }
      L.Fragments.push_back(std::move(f));
    }
    L.Lines.push_back(line);
    L.Height += line.Height;
    L.Width = std::max(L.Width, line.Width);
    FFrags.clear();
    FAscents.clear();
    FSpace.clear();
    FX = 0;
    FContent = false;
  }

 private:
  TLayout& L;
  int FWidth;
  const TMeasure& FMeasure;
  std::vector<TFragment> FFrags;
  std::vector<int> FAscents;
  std::vector<bool> FSpace;
  int FX = 0;
  bool FContent = false;
};

struct TPiece {
  int Style;
  std::string_view Text;
  bool Space = false;
  bool Break = false;
  TTextMetrics M;
};

// The longest prefix of text that fits in avail pixels (0 when not even
// one character does). Grows the guess by doubling, then halves the gap, so
// that a long word costs few measurements per line.
size_t FitPrefix(const TRunStyle& style, std::string_view text, int avail, const TMeasure& measure) {
  size_t lo = 0, hi = 1;
  while (hi <= text.size() && measure(style, text.substr(0, hi)).Width <= avail) {
    lo = hi;
    hi *= 2;
  }
  if (hi > text.size()) {
    if (lo == text.size()) return lo;
    hi = text.size() + 1;
  }
  // lo fits, hi does not (or is past the end).
  while (hi - lo > 1) {
    size_t mid = lo + (hi - lo) / 2;
    if (measure(style, text.substr(0, mid)).Width <= avail) lo = mid;
    else hi = mid;
  }
  return lo;
}

}  // namespace

TLayout LayoutCell(const TCellText& text, int width, bool wordWrap, const TMeasure& measure) {
  TLayout L;
  for (const TParagraph& para : text.Paragraphs) {
    std::vector<TPiece> pieces;
    for (const TRun& run : para.Runs) {
      int style = static_cast<int>(L.Styles.size());
      L.Styles.push_back(run.Style);
      if (run.Break) {
        pieces.push_back(TPiece{style, {}, false, true, {}});
        continue;
      }
      std::string_view t = run.Text;
      for (size_t i = 0; i < t.size();) {
        bool space = t[i] == ' ';
        size_t j = i;
        while (j < t.size() && (t[j] == ' ') == space) ++j;
        pieces.push_back(TPiece{style, t.substr(i, j - i), space, false, {}});
        i = j;
      }
    }
    if (pieces.empty()) continue;
    TLineBuilder line(L, width, measure);
    int lastStyle = pieces.front().Style;
    bool wrapped = false;  // the current line follows a wrap
    for (size_t k = 0; k < pieces.size();) {
      TPiece& p = pieces[k];
      lastStyle = p.Style;
      if (p.Break) {
        line.Finish(para.Align, p.Style);
        wrapped = false;
        ++k;
        continue;
      }
      if (p.Space) {
        if (!(wrapped && !line.HasContent())) line.Place(p.Style, p.Text, measure(L.Styles[p.Style], p.Text), true);
        ++k;
        continue;
      }
      // A word: the pieces up to the next blank or break, across runs.
      size_t end = k;
      int wordWidth = 0;
      while (end < pieces.size() && !pieces[end].Space && !pieces[end].Break) {
        pieces[end].M = measure(L.Styles[pieces[end].Style], pieces[end].Text);
        wordWidth += pieces[end].M.Width;
        ++end;
      }
      if (wordWrap && line.HasContent() && line.X() + wordWidth > width) {
        line.Finish(para.Align, p.Style);
        wrapped = true;
      }
      if (!wordWrap || line.X() + wordWidth <= width) {
        for (size_t i = k; i < end; ++i) line.Place(pieces[i].Style, pieces[i].Text, pieces[i].M, false);
      } else {
        // Wider than the line: break between characters.
        for (size_t i = k; i < end; ++i) {
          const TRunStyle& style = L.Styles[pieces[i].Style];
          std::string_view rest = pieces[i].Text;
          while (!rest.empty()) {
            size_t n = FitPrefix(style, rest, width - line.X(), measure);
            if (n == 0) {
              if (!line.Empty()) {
                line.Finish(para.Align, pieces[i].Style);
                wrapped = true;
                continue;
              }
              n = 1;  // not even one character fits: it gets a line of its own
            }
            std::string_view head = rest.substr(0, n);
            bool whole = n == pieces[i].Text.size();
            line.Place(pieces[i].Style, head, whole ? pieces[i].M : measure(style, head), false);
            rest.remove_prefix(n);
            if (!rest.empty()) {
              line.Finish(para.Align, pieces[i].Style);
              wrapped = true;
            }
          }
        }
      }
      k = end;
    }
    if (!line.Empty()) line.Finish(para.Align, lastStyle);
  }
  return L;
}

std::string TLayout::LinkAt(int x, int y) const {
  for (const TFragment& f : Fragments) {
    const TLine& line = Lines[static_cast<size_t>(f.Line)];
    if (x >= f.X && x < f.X + f.Width && y >= line.Y && y < line.Y + line.Height) {
      const std::string& link = Styles[static_cast<size_t>(f.Style)].Link;
      if (!link.empty()) return link;
    }
  }
  return {};
}

}  // namespace vcl::cell
