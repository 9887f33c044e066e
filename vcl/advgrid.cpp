#include "advgrid.h"

#include <shellapi.h>

#include <algorithm>

using namespace vcl::cell;

template <>
const TEnumInfo& EnumInfoOf<TGridOption>() {
  static const TEnumInfo info{"TGridOption",
                              {"goFixedVertLine", "goFixedHorzLine", "goVertLine", "goHorzLine", "goRangeSelect",
                               "goDrawFocusSelected", "goRowSizing", "goColSizing", "goRowMoving", "goColMoving",
                               "goEditing", "goTabs", "goRowSelect", "goAlwaysShowEditor", "goThumbTracking"}};
  return info;
}
template <>
const TEnumInfo& EnumInfoOf<TScrollStyle>() {
  static const TEnumInfo info{"TScrollStyle", {"ssNone", "ssHorizontal", "ssVertical", "ssBoth"}};
  return info;
}
template <>
const TEnumInfo& EnumInfoOf<TGridLook>() {
  static const TEnumInfo info{"TGridLook", {"glStandard", "glSoft", "glXP"}};
  return info;
}

namespace {
constexpr TColor kBandColor = 0xF0F0F0;
// Fonts made for markup styles are kept until this many exist.
constexpr size_t kMaxCachedFonts = 128;

int IndexArg(const std::vector<int64_t>& idx, size_t i) {
  int64_t v = idx[i];
  if (v < INT32_MIN || v > INT32_MAX) return -1;
  return static_cast<int>(v);
}
}  // namespace

// ---- Column headers -----------------------------------------------------------

VCL_DEFINE_CLASS(TGridColumnHeaders, TStringList, nullptr, nullptr)

void TGridColumnHeaders::Assign(const TPersistent* source) {
  TStringList::Assign(source);
  Apply();
}

void TGridColumnHeaders::Apply() {
  if (FGrid->RowCount() == 0) return;
  int n = std::min(Count(), FGrid->ColCount());
  for (int c = 0; c < n; ++c) FGrid->SetCells(c, 0, Strings(c));
}

// ---- Published properties -------------------------------------------------------

static std::vector<TPropInfo> GridProps() {
  using G = TAdvStringGrid;
  // Sizes by index: read one ("ColWidths[2]"), set all from a template list.
  auto sizes = [](const char* name, int (G::*get)(int) const, void (G::*set)(int, int), int (G::*count)() const) {
    TPropInfo p;
    p.Name = name;
    p.Kind = TPropKind::Indexed;
    p.Stored = false;
    p.GetIndexed = [name, get](const TObject& o, const std::vector<int64_t>& idx) {
      if (idx.size() != 1) throw EPropertyError(Format("%s takes one index", name));
      return IntToStr((static_cast<const G&>(o).*get)(IndexArg(idx, 0)));
    };
    p.Set = [set, count](TObject& o, const TValue& v) {
      auto& g = static_cast<G&>(o);
      if (v.kind != TValue::vList) throw EPropertyError("Invalid property value");
      int n = std::min(static_cast<int>(v.list.size()), (g.*count)());
      for (int i = 0; i < n; ++i) (g.*set)(i, TPropTraits<int>::From(v.list[static_cast<size_t>(i)]));
    };
    return p;
  };
  return TPropBuilder<G>()
      .Prop("ColCount", &G::ColCount, &G::SetColCount, 5)
      .Prop("RowCount", &G::RowCount, &G::SetRowCount, 5)
      .Prop("FixedCols", &G::FixedCols, &G::SetFixedCols, 1)
      .Prop("FixedRows", &G::FixedRows, &G::SetFixedRows, 1)
      .Prop("DefaultColWidth", &G::DefaultColWidth, &G::SetDefaultColWidth, 64)
      .Prop("DefaultRowHeight", &G::DefaultRowHeight, &G::SetDefaultRowHeight, 24)
      .Prop("GridLineWidth", &G::GridLineWidth, &G::SetGridLineWidth, 1)
      .Color("GridLineColor", &G::GridLineColor, &G::SetGridLineColor, clSilver)
      .Color("FixedColor", &G::FixedColor, &G::SetFixedColor, clBtnFace)
      .Prop("Options", &G::Options, &G::SetOptions,
            TGridOptions{goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect})
      .Prop("ScrollBars", &G::ScrollBars, &G::SetScrollBars, ssBoth)
      .Prop("BorderStyle", &G::BorderStyle, &G::SetBorderStyle, bsSingle)
      .Object("FixedFont", [](const G& g) { return g.FixedFont(); })
      .Object("ColumnHeaders", [](const G& g) { return g.ColumnHeaders(); })
      .Prop("Look", &G::Look, &G::SetLook, glStandard)
      .Prop("Banding", &G::Banding, &G::SetBanding, false)
      .Prop("WordWrap", &G::WordWrap, &G::SetWordWrap, false)
      .Prop("EnableHTML", &G::EnableHTML, &G::SetEnableHTML, true)
      .Prop("URLShow", &G::URLShow, &G::SetURLShow, false)
      .Color("URLColor", &G::URLColor, &G::SetURLColor, clBlue)
      .Prop("ShowSelection", &G::ShowSelection, &G::SetShowSelection, true)
      .Prop("SortOnClick", &G::SortOnClick, &G::SetSortOnClick, false)
      .Prop("MouseWheel", &G::MouseWheel, &G::SetMouseWheel, true)
      .Prop("TabStop", &G::TabStop, &G::SetTabStop, true)
      .Prop("TopRow", &G::TopRow, &G::SetTopRow)
      .NotStored()
      .Indexed("Cells",
               [](const G& g, const std::vector<int64_t>& idx) {
                 if (idx.size() != 2) throw EPropertyError("Cells takes two indexes");
                 return g.Cells(IndexArg(idx, 0), IndexArg(idx, 1));
               })
      .Add(sizes("ColWidths", &G::ColWidths, &G::SetColWidths, &G::ColCount))
      .Add(sizes("RowHeights", &G::RowHeights, &G::SetRowHeights, &G::RowCount))
      .Done();
}
VCL_DEFINE_CLASS(TAdvStringGrid, TCustomControl, &CreateComponentOf<TAdvStringGrid>, &GridProps)

// ---- The grid -------------------------------------------------------------------

TAdvStringGrid::TAdvStringGrid(TComponent* owner)
    : TCustomControl(owner),
      FFixedFont(std::make_unique<TFont>()),
      FColumnHeaders(std::make_unique<TGridColumnHeaders>(this)) {
  FWidth = 320;
  FHeight = 120;
  FColor = clWindow;
  FParentColor = false;
  FTabStop = true;
  FCells.SetColCount(5);
  FCells.SetRowCount(5);
  FColWidths.assign(5, FDefaultColWidth);
  FFixedFont->OnChange = [this] { FontsChanged(); };
}

TAdvStringGrid::~TAdvStringGrid() {
  // The window goes while this object is whole; then the fonts it drew with.
  DestroyHandle();
  for (auto& [key, f] : FFonts) DeleteObject(f.Font);
}

// ---- Cells and sizes

void TAdvStringGrid::SetCells(int col, int row, const std::string& text) {
  if (!FCells.Set(col, row, text))
    throw EInvalidOperation(Format("Cell %d,%d is outside the grid of %d columns and %d rows", col, row, ColCount(),
                                   RowCount()));
  if (FHandle && RowShown(row)) InvalidateRow(row);
}

void TAdvStringGrid::SetColCount(int v) {
  v = std::max(0, v);
  if (v == ColCount()) return;
  FCells.SetColCount(v);
  FColWidths.resize(static_cast<size_t>(v), FDefaultColWidth);
  FFixedCols = std::min(FFixedCols, v);
  FCol = std::clamp(FCol, FFixedCols, std::max(FFixedCols, v - 1));
  Invalidate();
}

void TAdvStringGrid::SetRowCount(int v) {
  v = std::max(0, v);
  if (v == RowCount()) return;
  FCells.SetRowCount(v);
  if (FRowHeights.size() > static_cast<size_t>(v)) FRowHeights.resize(static_cast<size_t>(v));
  FFixedRows = std::min(FFixedRows, v);
  FRow = std::clamp(FRow, FFixedRows, std::max(FFixedRows, v - 1));
  FTopRow = std::clamp(FTopRow, FFixedRows, MaxTopRow());
  UpdateScrollBar();
  Invalidate();
}

void TAdvStringGrid::SetFixedCols(int v) {
  FFixedCols = std::clamp(v, 0, ColCount());
  FCol = std::clamp(FCol, FFixedCols, std::max(FFixedCols, ColCount() - 1));
  Invalidate();
}

void TAdvStringGrid::SetFixedRows(int v) {
  FFixedRows = std::clamp(v, 0, RowCount());
  // The view and the current row start again right under the fixed rows.
  FTopRow = FFixedRows;
  FRow = std::clamp(FFixedRows, 0, std::max(0, RowCount() - 1));
  UpdateScrollBar();
  Invalidate();
}

int TAdvStringGrid::ColWidths(int col) const {
  if (col < 0 || col >= ColCount())
    throw EInvalidOperation(Format("Column %d is outside the grid of %d columns", col, ColCount()));
  return FColWidths[static_cast<size_t>(col)];
}

void TAdvStringGrid::SetColWidths(int col, int width) {
  if (col < 0 || col >= ColCount())
    throw EInvalidOperation(Format("Column %d is outside the grid of %d columns", col, ColCount()));
  FColWidths[static_cast<size_t>(col)] = std::max(0, width);
  Invalidate();
}

int TAdvStringGrid::RowHeights(int row) const {
  if (row < 0 || row >= RowCount())
    throw EInvalidOperation(Format("Row %d is outside the grid of %d rows", row, RowCount()));
  return RowH(row);
}

void TAdvStringGrid::SetRowHeights(int row, int height) {
  if (row < 0 || row >= RowCount())
    throw EInvalidOperation(Format("Row %d is outside the grid of %d rows", row, RowCount()));
  height = std::max(0, height);
  auto i = static_cast<size_t>(row);
  if (i >= FRowHeights.size()) {
    if (height == FDefaultRowHeight) return;
    FRowHeights.resize(i + 1, FDefaultRowHeight);
  }
  FRowHeights[i] = height;
  FTopRow = std::clamp(FTopRow, FFixedRows, MaxTopRow());
  UpdateScrollBar();
  Invalidate();
}

void TAdvStringGrid::SetDefaultColWidth(int v) {
  FDefaultColWidth = std::max(0, v);
  FColWidths.assign(static_cast<size_t>(ColCount()), FDefaultColWidth);
  Invalidate();
}

void TAdvStringGrid::SetDefaultRowHeight(int v) {
  FDefaultRowHeight = std::max(0, v);
  FRowHeights.clear();
  FTopRow = std::clamp(FTopRow, FFixedRows, MaxTopRow());
  UpdateScrollBar();
  Invalidate();
}

// ---- Looks

void TAdvStringGrid::SetGridLineWidth(int v) {
  FGridLineWidth = std::max(0, v);
  FTopRow = std::clamp(FTopRow, FFixedRows, MaxTopRow());
  UpdateScrollBar();
  Invalidate();
}

void TAdvStringGrid::SetOptions(TGridOptions v) {
  FOptions = v;
  FTopRow = std::clamp(FTopRow, FFixedRows, MaxTopRow());
  UpdateScrollBar();
  Invalidate();
}

void TAdvStringGrid::SetScrollBars(TScrollStyle v) {
  if (v == FScrollBars) return;
  FScrollBars = v;
  if (FHandle) {
    ShowScrollBar(FHandle, SB_VERT, VertScrollBar());
    UpdateScrollBar();
  }
}

void TAdvStringGrid::SetBorderStyle(TFormBorderStyle v) {
  FBorderStyle = v == bsNone ? bsNone : bsSingle;
  if (FHandle) {
    LONG ex = GetWindowLongA(FHandle, GWL_EXSTYLE);
    SetWindowLongA(FHandle, GWL_EXSTYLE, FBorderStyle == bsNone ? (ex & ~WS_EX_CLIENTEDGE) : (ex | WS_EX_CLIENTEDGE));
    SetWindowPos(FHandle, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  }
}

void TAdvStringGrid::FontChanged() {
  TCustomControl::FontChanged();
  FontsChanged();
}

void TAdvStringGrid::FontsChanged() {
  for (auto& [key, f] : FFonts) DeleteObject(f.Font);
  FFonts.clear();
  Invalidate();
}

// ---- Geometry

int TAdvStringGrid::HorzLine() const {
  return FOptions.Contains(goHorzLine) || FOptions.Contains(goFixedHorzLine) ? FGridLineWidth : 0;
}

int TAdvStringGrid::VertLine() const {
  return FOptions.Contains(goVertLine) || FOptions.Contains(goFixedVertLine) ? FGridLineWidth : 0;
}

int TAdvStringGrid::ClientWidth() const {
  if (FHandle) return TWinControl::ClientWidth();
  int w = FWidth - (FBorderStyle != bsNone ? 2 * GetSystemMetrics(SM_CXEDGE) : 0) -
          (VertScrollBar() ? GetSystemMetrics(SM_CXVSCROLL) : 0);
  return std::max(0, w);
}

int TAdvStringGrid::ClientHeight() const {
  if (FHandle) return TWinControl::ClientHeight();
  return std::max(0, FHeight - (FBorderStyle != bsNone ? 2 * GetSystemMetrics(SM_CYEDGE) : 0));
}

int TAdvStringGrid::ViewWidth() const { return FHandle ? FViewW : ClientWidth(); }
int TAdvStringGrid::ViewHeight() const { return FHandle ? FViewH : ClientHeight(); }

int TAdvStringGrid::FixedHeight() const {
  int h = 0;
  for (int r = 0; r < FFixedRows; ++r) h += RowPitch(r);
  return h;
}

int TAdvStringGrid::VisibleRowCount() const {
  int avail = ViewHeight() - FixedHeight(), n = 0;
  for (int r = FTopRow; r < RowCount(); ++r) {
    avail -= RowPitch(r);
    if (avail < 0) break;
    ++n;
  }
  return n;
}

int TAdvStringGrid::MaxTopRow() const {
  int rows = RowCount();
  if (rows <= FFixedRows) return FFixedRows;
  int avail = ViewHeight() - FixedHeight();
  int top = rows - 1;
  int used = RowPitch(top);
  while (top > FFixedRows && used + RowPitch(top - 1) <= avail) used += RowPitch(--top);
  return top;
}

int TAdvStringGrid::LastVisibleRow() const {
  int avail = ViewHeight() - FixedHeight();
  if (FRowHeights.empty()) {
    int pitch = std::max(1, FDefaultRowHeight + HorzLine());
    return FTopRow + std::max(0, (avail + pitch - 1) / pitch) - 1;
  }
  int r = FTopRow;
  while (r < RowCount() && avail > 0) avail -= RowPitch(r++);
  return r - 1;
}

bool TAdvStringGrid::RowShown(int row) const {
  return row < FFixedRows || (row >= FTopRow && row <= LastVisibleRow());
}

RECT TAdvStringGrid::CellRect(int col, int row) const {
  RECT none{0, 0, 0, 0};
  if (col < 0 || col >= ColCount() || row < 0 || row >= RowCount() || FColWidths[static_cast<size_t>(col)] <= 0)
    return none;
  int y = 0;
  if (row < FFixedRows) {
    for (int r = 0; r < row; ++r) y += RowPitch(r);
  } else {
    if (!RowShown(row)) return none;
    y = FixedHeight();
    for (int r = FTopRow; r < row; ++r) y += RowPitch(r);
  }
  int x = 0;
  for (int c = 0; c < col; ++c)
    if (FColWidths[static_cast<size_t>(c)] > 0) x += FColWidths[static_cast<size_t>(c)] + VertLine();
  return RECT{x, y, x + FColWidths[static_cast<size_t>(col)], y + RowH(row)};
}

bool TAdvStringGrid::MouseToCell(int x, int y, int& col, int& row) const {
  if (x < 0 || y < 0 || x >= ViewWidth() || y >= ViewHeight()) return false;
  row = -1;
  int top = 0;
  for (int r = 0; r < FFixedRows && row < 0; ++r) {
    if (y < top + RowPitch(r)) row = r;
    else top += RowPitch(r);
  }
  for (int r = FTopRow; row < 0 && r < RowCount() && top < ViewHeight(); ++r) {
    if (y < top + RowPitch(r)) row = r;
    else top += RowPitch(r);
  }
  if (row < 0) return false;
  int left = 0;
  for (int c = 0; c < ColCount(); ++c) {
    int w = FColWidths[static_cast<size_t>(c)];
    if (w <= 0) continue;
    if (x < left + w + VertLine()) {
      col = c;
      return true;
    }
    left += w + VertLine();
  }
  return false;
}

void TAdvStringGrid::InvalidateRow(int row) {
  RECT r = CellRect(0, row);
  int y = r.top;
  if (r.bottom == 0) {
    // Column 0 may be hidden: find the row's place through any shown column.
    for (int c = 1; c < ColCount() && r.bottom == 0; ++c) r = CellRect(c, row);
    if (r.bottom == 0) return;
    y = r.top;
  }
  RECT band{0, y, ViewWidth(), y + RowPitch(row)};
  InvalidateRect(FHandle, &band, FALSE);
}

// ---- View

void TAdvStringGrid::SetTopRow(int v) {
  v = std::clamp(v, FFixedRows, MaxTopRow());
  if (v == FTopRow) return;
  FTopRow = v;
  UpdateScrollBar();
  Invalidate();
}

void TAdvStringGrid::ScrollBy(int rows) {
  int64_t v = static_cast<int64_t>(FTopRow) + rows;
  SetTopRow(static_cast<int>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)));
}

void TAdvStringGrid::SetRow(int v) {
  if (RowCount() <= FFixedRows) return;
  v = std::clamp(v, FFixedRows, RowCount() - 1);
  if (v != FRow) {
    InvalidateRow(FRow);
    FRow = v;
    InvalidateRow(FRow);
  }
  // Keep it in view.
  if (FRow < FTopRow) {
    SetTopRow(FRow);
  } else {
    int visible = std::max(1, VisibleRowCount());
    if (FRow >= FTopRow + visible) SetTopRow(FRow - visible + 1);
  }
}

void TAdvStringGrid::SetCol(int v) {
  if (ColCount() <= FFixedCols) return;
  FCol = std::clamp(v, FFixedCols, ColCount() - 1);
  InvalidateRow(FRow);
}

void TAdvStringGrid::UpdateScrollBar() {
  if (!FHandle || !VertScrollBar() || FUpdatingScrollBar) return;
  FUpdatingScrollBar = true;
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
  int scrollable = std::max(0, RowCount() - FFixedRows);
  si.nMin = 0;
  si.nMax = std::max(0, scrollable - 1);
  si.nPage = static_cast<UINT>(std::max(1, VisibleRowCount()));
  si.nPos = FTopRow - FFixedRows;
  SetScrollInfo(FHandle, SB_VERT, &si, TRUE);
  // With nothing to scroll the bar stays, disabled.
  EnableScrollBar(FHandle, SB_VERT, MaxTopRow() > FFixedRows ? ESB_ENABLE_BOTH : ESB_DISABLE_BOTH);
  FUpdatingScrollBar = false;
}

// ---- Links

namespace {
TAdvStringGrid::TLinkOpener& Opener() {
  static TAdvStringGrid::TLinkOpener opener;
  return opener;
}
}  // namespace

TAdvStringGrid::TLinkOpener TAdvStringGrid::SetLinkOpener(TLinkOpener opener) {
  TLinkOpener previous = std::move(Opener());
  Opener() = std::move(opener);
  return previous;
}

void TAdvStringGrid::OpenLink(const std::string& url) {
  std::string target;
  if (!LinkTarget(url, target)) return;  // only web and mail addresses
  if (Opener()) {
    Opener()(target);
    return;
  }
  ShellExecuteA(nullptr, "open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

TCellText TAdvStringGrid::CellText(int col, int row) const {
  std::string raw = FCells.Get(col, row);
  std::string target;
  if (FURLShow && IsUrlText(raw, target)) {
    size_t b = raw.find_first_not_of(" \t"), e = raw.find_last_not_of(" \t");
    return PlainCell(std::string_view(raw).substr(b, e - b + 1), target);
  }
  TCellText text = FEnableHTML ? ParseMarkup(raw) : PlainCell(raw);
  // A link that would open anything but a web or mail address is plain text.
  for (TParagraph& p : text.Paragraphs)
    for (TRun& r : p.Runs)
      if (!r.Style.Link.empty() && !LinkTarget(r.Style.Link, r.Style.Link)) r.Style.Link.clear();
  return text;
}

std::string TAdvStringGrid::LinkAt(int x, int y) {
  int col, row;
  if (!FHandle || !MouseToCell(x, y, col, row) || FCells.IsEmpty(col, row)) return {};
  RECT cell = CellRect(col, row);
  if (x >= cell.right || y >= cell.bottom) return {};  // on a grid line
  if (FFonts.size() > kMaxCachedFonts) FontsChanged();
  HDC dc = GetDC(FHandle);
  int saved = SaveDC(dc);
  POINT origin;
  TLayout layout = CellLayout(dc, col, row, cell, origin);
  RestoreDC(dc, saved);
  ReleaseDC(FHandle, dc);
  return layout.LinkAt(x - origin.x, y - origin.y);
}

// ---- Drawing

const TAdvStringGrid::TCachedFont& TAdvStringGrid::FontFor(HDC dc, bool fixed, const TRunStyle& style) {
  const TFont& base = fixed ? *FFixedFont : *Font();
  TFontStyles st = base.Style();
  if (style.Bold) st << fsBold;
  if (style.Italic) st << fsItalic;
  if (style.Underline || !style.Link.empty()) st << fsUnderline;
  if (style.Strike) st << fsStrikeOut;
  const std::string& face = style.Face.empty() ? base.Name() : style.Face;
  int height = style.Size ? -MulDiv(style.Size, GetDeviceCaps(dc, LOGPIXELSY), 72) : base.Height();
  std::string key = Format("%d|%d|%u|", height, base.Charset(), static_cast<unsigned>(st.Bits())) + face;
  auto it = FFonts.find(key);
  if (it != FFonts.end()) return it->second;
  TCachedFont f;
  f.Font = CreateFontA(height, 0, 0, 0, st.Contains(fsBold) ? FW_BOLD : FW_NORMAL, st.Contains(fsItalic),
                       st.Contains(fsUnderline), st.Contains(fsStrikeOut), static_cast<BYTE>(base.Charset()),
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                       face.c_str());
  if (!f.Font) f.Font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  HGDIOBJ old = SelectObject(dc, f.Font);
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  SelectObject(dc, old);
  f.Height = tm.tmHeight;
  f.Ascent = tm.tmAscent;
  return FFonts.emplace(std::move(key), f).first->second;
}

TLayout TAdvStringGrid::CellLayout(HDC dc, int col, int row, const RECT& r, POINT& origin) {
  bool fixed = row < FFixedRows || col < FFixedCols;
  TCellText text = CellText(col, row);
  auto measure = [&](const TRunStyle& style, std::string_view t) {
    const TCachedFont& f = FontFor(dc, fixed, style);
    SIZE size{};
    if (!t.empty()) {
      SelectObject(dc, f.Font);
      GetTextExtentPoint32A(dc, t.data(), static_cast<int>(t.size()), &size);
    }
    return TTextMetrics{size.cx, f.Height, f.Ascent};
  };
  TLayout layout = LayoutCell(text, std::max(0, static_cast<int>(r.right - r.left) - 4), FWordWrap, measure);
  int h = r.bottom - r.top;
  origin.x = r.left + 2;
  // Centred in the row when it fits; else from the top, clipped below.
  origin.y = layout.Height <= h ? r.top + (h - layout.Height) / 2 : r.top;
  return layout;
}

void TAdvStringGrid::DrawFixedFace(TCanvas& canvas, const RECT& r) {
  switch (FLook) {
    case glXP: {
      // A light face that darkens a little downwards, over a shaded edge.
      static constexpr COLORREF kEdge[] = {RGB(226, 222, 205), RGB(214, 210, 194), RGB(203, 199, 184)};
      int h = r.bottom - r.top, face = std::max(0, h - 3);
      for (int i = 0; i < face; ++i) {
        int t = face > 1 ? i * 255 / (face - 1) : 0;
        auto mix = [t](int a, int b) { return a + (b - a) * t / 255; };
        RECT line{r.left, r.top + i, r.right, r.top + i + 1};
        canvas.FillRect(line, static_cast<TColor>(RGB(mix(255, 236), mix(255, 235), mix(255, 228))));
      }
      for (int i = face, k = 0; i < h && k < 3; ++i, ++k) {
        RECT line{r.left, r.top + i, r.right, r.top + i + 1};
        canvas.FillRect(line, static_cast<TColor>(kEdge[k]));
      }
      break;
    }
    case glSoft:
      canvas.FillRect(r, FFixedColor);
      break;
    case glStandard: {
      canvas.FillRect(r, FFixedColor);
      RECT e = r;
      DrawEdge(canvas.Handle(), &e, BDR_RAISEDINNER, BF_RECT);
      break;
    }
  }
}

void TAdvStringGrid::DrawCell(TCanvas& canvas, int col, int row, const RECT& r) {
  HDC dc = canvas.Handle();
  bool fixed = row < FFixedRows || col < FFixedCols;
  bool selected = !fixed && FShowSelection && row == FRow && (FOptions.Contains(goRowSelect) || col == FCol);
  if (fixed) {
    DrawFixedFace(canvas, r);
  } else {
    TColor bg = selected ? clHighlight : (FBanding && (row - FFixedRows) % 2 == 1 ? kBandColor : FColor);
    if (bg != FColor) canvas.FillRect(r, bg);
  }
  if (!FCells.IsEmpty(col, row)) {
    POINT origin;
    TLayout layout = CellLayout(dc, col, row, r, origin);
    const TFont& base = fixed ? *FFixedFont : *Font();
    int saved = SaveDC(dc);
    IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
    SetBkMode(dc, TRANSPARENT);
    for (const TFragment& f : layout.Fragments) {
      const TRunStyle& style = layout.Styles[static_cast<size_t>(f.Style)];
      SelectObject(dc, FontFor(dc, fixed, style).Font);
      // On the highlight, links and plain text take the highlight's text colour.
      TColor color = !style.Link.empty() ? (selected ? clHighlightText : FURLColor)
                     : style.Color != kNoColor ? style.Color
                     : selected ? clHighlightText
                                : base.Color();
      ::SetTextColor(dc, ColorToRGB(color));
      TextOutA(dc, origin.x + f.X, origin.y + f.Y, f.Text.data(), static_cast<int>(f.Text.size()));
    }
    RestoreDC(dc, saved);
  }
  if (selected && Focused()) {
    RECT f = r;
    ::SetTextColor(dc, RGB(0, 0, 0));
    ::DrawFocusRect(dc, &f);
  }
}

void TAdvStringGrid::Paint(TCanvas& canvas) {
  if (FFonts.size() > kMaxCachedFonts) FontsChanged();
  HDC dc = canvas.Handle();
  RECT client;
  GetClientRect(FHandle, &client);
  int cw = client.right, ch = client.bottom;
  int lv = VertLine(), lh = HorzLine();
  auto paintRow = [&](int row, int y) {
    int h = RowH(row), x = 0;
    for (int c = 0; c < ColCount() && x < cw; ++c) {
      int w = FColWidths[static_cast<size_t>(c)];
      if (w <= 0) continue;  // hidden, grid line and all
      RECT cell{x, y, x + w, y + h};
      DrawCell(canvas, c, row, cell);
      bool fixed = row < FFixedRows || c < FFixedCols;
      if (lv > 0 && FOptions.Contains(fixed ? goFixedVertLine : goVertLine)) {
        RECT v{x + w, y, x + w + lv, y + h + lh};
        canvas.FillRect(v, FGridLineColor);
      }
      if (lh > 0 && FOptions.Contains(fixed ? goFixedHorzLine : goHorzLine)) {
        RECT b{x, y + h, x + w + lv, y + h + lh};
        canvas.FillRect(b, FGridLineColor);
      }
      x += w + lv;
    }
  };
  int y = 0;
  for (int r = 0; r < FFixedRows && y < ch; ++r) {
    paintRow(r, y);
    y += RowPitch(r);
  }
  // Only the rows in view are painted, whatever the row count.
  int saved = SaveDC(dc);
  IntersectClipRect(dc, 0, y, cw, ch);
  for (int r = FTopRow; r < RowCount() && y < ch; ++r) {
    paintRow(r, y);
    y += RowPitch(r);
  }
  RestoreDC(dc, saved);
}

// ---- Window

void TAdvStringGrid::CreateParams(TCreateParams& p) {
  TCustomControl::CreateParams(p);
  if (VertScrollBar()) p.Style |= WS_VSCROLL;
  if (FBorderStyle != bsNone) p.ExStyle |= WS_EX_CLIENTEDGE;
}

void TAdvStringGrid::InitWnd() {
  TCustomControl::InitWnd();
  RECT r;
  GetClientRect(FHandle, &r);
  FViewW = r.right;
  FViewH = r.bottom;
  FTopRow = std::clamp(FTopRow, FFixedRows, MaxTopRow());
  UpdateScrollBar();
}

void TAdvStringGrid::Loaded() {
  TCustomControl::Loaded();
  FColumnHeaders->Apply();
}

LRESULT TAdvStringGrid::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SIZE: {
      RECT r;
      GetClientRect(FHandle, &r);
      FViewW = r.right;
      FViewH = r.bottom;
      FTopRow = std::clamp(FTopRow, FFixedRows, MaxTopRow());
      UpdateScrollBar();
      Invalidate();
      break;
    }
    case WM_VSCROLL: {
      SCROLLINFO si{};
      si.cbSize = sizeof si;
      si.fMask = SIF_ALL;
      int track = HIWORD(wp);
      if (GetScrollInfo(FHandle, SB_VERT, &si)) track = si.nTrackPos;
      int page = std::max(1, VisibleRowCount());
      switch (LOWORD(wp)) {
        case SB_LINEUP: ScrollBy(-1); break;
        case SB_LINEDOWN: ScrollBy(1); break;
        case SB_PAGEUP: ScrollBy(-page); break;
        case SB_PAGEDOWN: ScrollBy(page); break;
        case SB_TOP: SetTopRow(FFixedRows); break;
        case SB_BOTTOM: SetTopRow(MaxTopRow()); break;
        case SB_THUMBTRACK:
          if (FOptions.Contains(goThumbTracking)) SetTopRow(FFixedRows + track);
          break;
        case SB_THUMBPOSITION: SetTopRow(FFixedRows + track); break;
      }
      return 0;
    }
    case WM_MOUSEWHEEL: {
      if (!FMouseWheel) break;
      FWheelDelta += static_cast<short>(HIWORD(wp));
      UINT lines = 3;
      SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
      int step = lines == WHEEL_PAGESCROLL ? std::max(1, VisibleRowCount()) : static_cast<int>(lines);
      int notches = FWheelDelta / WHEEL_DELTA;
      FWheelDelta -= notches * WHEEL_DELTA;
      ScrollBy(-notches * step);
      return 0;
    }
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    case WM_KEYDOWN: {
      int page = std::max(1, VisibleRowCount());
      bool moveRow = FShowSelection;  // else the keys move the view
      int target;
      switch (wp) {
        case VK_UP: target = (moveRow ? FRow : FTopRow) - 1; break;
        case VK_DOWN: target = (moveRow ? FRow : FTopRow) + 1; break;
        case VK_PRIOR: target = (moveRow ? FRow : FTopRow) - page; break;
        case VK_NEXT: target = (moveRow ? FRow : FTopRow) + page; break;
        case VK_HOME: target = FFixedRows; break;
        case VK_END: target = moveRow ? RowCount() - 1 : MaxTopRow(); break;
        default: return TCustomControl::WndProc(msg, wp, lp);
      }
      if (moveRow) SetRow(target);
      else SetTopRow(target);
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      int x = static_cast<short>(LOWORD(lp)), y = static_cast<short>(HIWORD(lp));
      if (GetFocus() != FHandle && CanFocus()) ::SetFocus(FHandle);
      FPressedLink = LinkAt(x, y);
      int col, row;
      if (MouseToCell(x, y, col, row) && row >= FFixedRows && col >= FFixedCols) {
        SetCol(col);
        SetRow(row);
      }
      return 0;
    }
    case WM_LBUTTONUP: {
      int x = static_cast<short>(LOWORD(lp)), y = static_cast<short>(HIWORD(lp));
      std::string link = LinkAt(x, y);
      bool open = !link.empty() && link == FPressedLink;
      FPressedLink.clear();
      if (open) OpenLink(link);
      Click();
      return 0;
    }
    case WM_SETCURSOR:
      if (LOWORD(lp) == HTCLIENT) {
        POINT p;
        GetCursorPos(&p);
        ScreenToClient(FHandle, &p);
        if (!LinkAt(p.x, p.y).empty()) {
          SetCursor(LoadCursor(nullptr, IDC_HAND));
          return TRUE;
        }
      }
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      if (FShowSelection) InvalidateRow(FRow);
      break;
  }
  return TCustomControl::WndProc(msg, wp, lp);
}
