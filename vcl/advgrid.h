// A string grid drawn by itself, whose cells may hold HTML-like markup
// (see htmlcell.h for the markup rules).
//
// What it does and does not do:
//  - cells by column and row; reading a cell outside the grid gives the
//    empty text, writing one raises EInvalidOperation;
//  - a fixed header (FixedRows, FixedCols) drawn with FixedFont and the
//    fixed colour in the chosen Look; the fixed rows stay at the top;
//  - a column of width 0 is not drawn at all, not even its grid line
//    (a negative width counts as 0);
//  - vertical scrolling by the scroll bar (the view follows the thumb with
//    goThumbTracking), the mouse wheel (MouseWheel) and the keys Up, Down,
//    Page Up, Page Down, Home and End. With ScrollBars ssVertical or ssBoth
//    the vertical bar is always there, disabled while there is nothing to
//    scroll, so that ClientWidth() does not change with the row count;
//  - no horizontal scrolling, editing, sizing, moving or sorting: those
//    options and SortOnClick are kept as set but change nothing;
//  - links: a cell whose whole text is a web or mail address (URLShow) and
//    <A href> markup are drawn in URLColor, underlined, and a click opens
//    them through OpenLink. Only web and mail targets are ever opened.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "controls.h"
#include "forms.h"
#include "htmlcell.h"

enum TGridOption {
  goFixedVertLine,
  goFixedHorzLine,
  goVertLine,
  goHorzLine,
  goRangeSelect,
  goDrawFocusSelected,
  goRowSizing,
  goColSizing,
  goRowMoving,
  goColMoving,
  goEditing,
  goTabs,
  goRowSelect,
  goAlwaysShowEditor,
  goThumbTracking
};
using TGridOptions = TSet<TGridOption>;
enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
enum TGridLook { glStandard, glSoft, glXP };
template <> const TEnumInfo& EnumInfoOf<TGridOption>();
template <> const TEnumInfo& EnumInfoOf<TScrollStyle>();
template <> const TEnumInfo& EnumInfoOf<TGridLook>();

class TAdvStringGrid;

// The column header texts: row 0 of the grid. Setting the list (from a
// template, by Assign or SetText) writes row 0; call Apply after changing
// single lines.
class TGridColumnHeaders : public TStringList {
  VCL_CLASS(TGridColumnHeaders)
 public:
  explicit TGridColumnHeaders(TAdvStringGrid* grid) : FGrid(grid) {}
  void Assign(const TPersistent* source) override;
  void Apply();

 private:
  TAdvStringGrid* FGrid;
};

class TAdvStringGrid : public TCustomControl {
  VCL_CLASS(TAdvStringGrid)
 public:
  explicit TAdvStringGrid(TComponent* owner);
  ~TAdvStringGrid() override;

  // ---- Cells and sizes
  std::string Cells(int col, int row) const { return FCells.Get(col, row); }
  void SetCells(int col, int row, const std::string& text);
  int ColCount() const { return FCells.ColCount(); }
  void SetColCount(int v);
  int RowCount() const { return FCells.RowCount(); }
  void SetRowCount(int v);
  int FixedCols() const { return FFixedCols; }
  void SetFixedCols(int v);
  int FixedRows() const { return FFixedRows; }
  void SetFixedRows(int v);
  // Raise EInvalidOperation outside 0..ColCount-1 / 0..RowCount-1.
  int ColWidths(int col) const;
  void SetColWidths(int col, int width);
  int RowHeights(int row) const;
  void SetRowHeights(int row, int height);
  // Setting a default resets every column's (row's) size to it.
  int DefaultColWidth() const { return FDefaultColWidth; }
  void SetDefaultColWidth(int v);
  int DefaultRowHeight() const { return FDefaultRowHeight; }
  void SetDefaultRowHeight(int v);

  // ---- Looks
  int GridLineWidth() const { return FGridLineWidth; }
  void SetGridLineWidth(int v);
  TColor GridLineColor() const { return FGridLineColor; }
  void SetGridLineColor(TColor v) { FGridLineColor = v; Invalidate(); }
  TColor FixedColor() const { return FFixedColor; }
  void SetFixedColor(TColor v) { FFixedColor = v; Invalidate(); }
  TGridOptions Options() const { return FOptions; }
  void SetOptions(TGridOptions v);
  TScrollStyle ScrollBars() const { return FScrollBars; }
  void SetScrollBars(TScrollStyle v);
  TFormBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TFormBorderStyle v);
  TFont* FixedFont() const { return FFixedFont.get(); }
  TGridColumnHeaders* ColumnHeaders() const { return FColumnHeaders.get(); }
  TGridLook Look() const { return FLook; }
  void SetLook(TGridLook v) { FLook = v; Invalidate(); }
  bool Banding() const { return FBanding; }
  void SetBanding(bool v) { FBanding = v; Invalidate(); }
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool v) { FWordWrap = v; Invalidate(); }
  bool EnableHTML() const { return FEnableHTML; }
  void SetEnableHTML(bool v) { FEnableHTML = v; Invalidate(); }
  bool URLShow() const { return FURLShow; }
  void SetURLShow(bool v) { FURLShow = v; Invalidate(); }
  TColor URLColor() const { return FURLColor; }
  void SetURLColor(TColor v) { FURLColor = v; Invalidate(); }
  bool ShowSelection() const { return FShowSelection; }
  void SetShowSelection(bool v) { FShowSelection = v; Invalidate(); }
  bool SortOnClick() const { return FSortOnClick; }
  void SetSortOnClick(bool v) { FSortOnClick = v; }
  bool MouseWheel() const { return FMouseWheel; }
  void SetMouseWheel(bool v) { FMouseWheel = v; }

  // ---- View
  // The first scrollable row shown (FixedRows when the view is at the top).
  int TopRow() const { return FTopRow; }
  void SetTopRow(int v);
  // Scrollable rows that fit wholly below the fixed rows.
  int VisibleRowCount() const;
  // The current cell (highlighted only with ShowSelection).
  int Row() const { return FRow; }
  int Col() const { return FCol; }
  void SetRow(int v);
  void SetCol(int v);
  int ClientWidth() const override;
  int ClientHeight() const override;

  // The cell under a client point; false outside every shown cell.
  bool MouseToCell(int x, int y, int& col, int& row) const;
  // A shown cell's rectangle in client coordinates; empty when not shown.
  RECT CellRect(int col, int row) const;
  // The link target under a client point, or empty.
  std::string LinkAt(int x, int y);

  // Opening a link: the shell's "open" action, unless a test replaced it.
  using TLinkOpener = std::function<void(const std::string& url)>;
  static TLinkOpener SetLinkOpener(TLinkOpener opener);  // returns the previous one
  static void OpenLink(const std::string& url);

  void Loaded() override;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  void Paint(TCanvas& canvas) override;

 protected:
  void CreateParams(TCreateParams& p) override;
  void InitWnd() override;
  void FontChanged() override;

 private:
  struct TCachedFont {
    HFONT Font = nullptr;
    int Height = 0, Ascent = 0;
  };
  int RowH(int row) const {
    return static_cast<size_t>(row) < FRowHeights.size() ? FRowHeights[static_cast<size_t>(row)] : FDefaultRowHeight;
  }
  // The client size, kept from the last WM_SIZE once the window exists.
  int ViewWidth() const;
  int ViewHeight() const;
  int HorzLine() const;  // pixels below each row
  int VertLine() const;  // pixels right of each shown column
  int RowPitch(int row) const { return RowHeights(row) + HorzLine(); }
  int FixedHeight() const;
  int MaxTopRow() const;
  int LastVisibleRow() const;
  bool RowShown(int row) const;
  void InvalidateRow(int row);
  void UpdateScrollBar();
  void ScrollBy(int rows);
  void FontsChanged();
  const TCachedFont& FontFor(HDC dc, bool fixed, const vcl::cell::TRunStyle& style);
  vcl::cell::TCellText CellText(int col, int row) const;
  // Lays a cell out for its rectangle; origin is where fragment (0,0) goes.
  vcl::cell::TLayout CellLayout(HDC dc, int col, int row, const RECT& r, POINT& origin);
  void DrawCell(TCanvas& canvas, int col, int row, const RECT& r);
  void DrawFixedFace(TCanvas& canvas, const RECT& r);
  bool VertScrollBar() const { return FScrollBars == ssVertical || FScrollBars == ssBoth; }

  vcl::cell::TCellStore FCells;
  std::vector<int> FColWidths;
  std::vector<int> FRowHeights;  // rows past its end have the default height
  int FFixedCols = 1, FFixedRows = 1;
  int FDefaultColWidth = 64, FDefaultRowHeight = 24;
  int FGridLineWidth = 1;
  TColor FGridLineColor = clSilver;
  TColor FFixedColor = clBtnFace;
  TGridOptions FOptions{goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect};
  TScrollStyle FScrollBars = ssBoth;
  TFormBorderStyle FBorderStyle = bsSingle;
  std::unique_ptr<TFont> FFixedFont;
  std::unique_ptr<TGridColumnHeaders> FColumnHeaders;
  TGridLook FLook = glStandard;
  bool FBanding = false;
  bool FWordWrap = false;
  bool FEnableHTML = true;
  bool FURLShow = false;
  TColor FURLColor = clBlue;
  bool FShowSelection = true;
  bool FSortOnClick = false;
  bool FMouseWheel = true;
  int FTopRow = 1;
  int FRow = 1, FCol = 1;
  int FWheelDelta = 0;
  int FViewW = 0, FViewH = 0;
  bool FUpdatingScrollBar = false;
  std::string FPressedLink;
  std::map<std::string, TCachedFont> FFonts;
};
