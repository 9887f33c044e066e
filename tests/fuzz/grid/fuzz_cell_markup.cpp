// libFuzzer target for the grid's cell markup: any text parses, lays out
// and hit-tests without crashing or hanging, what it shows is never longer
// than the text, and a text without markup shows as it is.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "htmlcell.h"

using namespace vcl::cell;

static TTextMetrics Measure(const TRunStyle& s, std::string_view t) {
  int w = s.Bold ? 2 : 1;
  int h = s.Size ? s.Size : 10;
  return TTextMetrics{static_cast<int>(t.size()) * w, h, h - 2};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte picks the cell width and whether lines wrap.
  int width = data[0] & 0x3F;
  bool wrap = (data[0] & 0x40) != 0;
  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

  TCellText cell = ParseMarkup(text);
  std::string shown = cell.PlainText();
  if (shown.size() > text.size()) abort();
  if (text.find_first_of("<&") == std::string_view::npos) {
    std::string expect;
    for (char c : text)
      if (c != '\r') expect += c == '\t' ? ' ' : c;
    if (shown != expect) abort();
  }

  TLayout layout = LayoutCell(cell, width, wrap, Measure);
  size_t bound = 2 * text.size() + 1;
  if (layout.Lines.size() > bound || layout.Fragments.size() > bound) abort();
  for (const TFragment& f : layout.Fragments) {
    if (f.Line < 0 || static_cast<size_t>(f.Line) >= layout.Lines.size()) abort();
    if (f.Style < 0 || static_cast<size_t>(f.Style) >= layout.Styles.size()) abort();
    if (wrap && f.X + f.Width > width && f.Text.size() > 1 && f.X == 0 && width > 1) {
      // Only a single character may stand out of a wrapped line.
      if (Measure(layout.Styles[static_cast<size_t>(f.Style)], f.Text.substr(0, 1)).Width <= width) abort();
    }
    (void)layout.LinkAt(f.X, f.Y);
  }

  std::string target;
  (void)IsUrlText(text, target);
  if (LinkTarget(text, target)) {
    for (char c : target)
      if (static_cast<unsigned char>(c) < 0x20) abort();
  }
  int32_t color;
  (void)ParseColorValue(text, color);
  return 0;
}
