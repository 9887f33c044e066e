// Colours, fonts and a small canvas over a device context.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "classes.h"

using TColor = int32_t;
constexpr TColor SysColor(int index) { return static_cast<TColor>(0x80000000u | static_cast<uint32_t>(index)); }
constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clNavy = 0x800000,
                 clGray = 0x808080, clSilver = 0xC0C0C0, clRed = 0x0000FF, clLime = 0x00FF00,
                 clYellow = 0x00FFFF, clBlue = 0xFF0000, clWhite = 0xFFFFFF, clNone = 0x1FFFFFFF,
                 clDefault = 0x20000000;
constexpr TColor clWindow = SysColor(COLOR_WINDOW), clWindowText = SysColor(COLOR_WINDOWTEXT),
                 clBtnFace = SysColor(COLOR_BTNFACE), clBtnText = SysColor(COLOR_BTNTEXT),
                 clBtnShadow = SysColor(COLOR_BTNSHADOW), clBtnHighlight = SysColor(COLOR_BTNHIGHLIGHT),
                 clGrayText = SysColor(COLOR_GRAYTEXT), clHighlight = SysColor(COLOR_HIGHLIGHT),
                 clHighlightText = SysColor(COLOR_HIGHLIGHTTEXT), cl3DDkShadow = SysColor(COLOR_3DDKSHADOW),
                 cl3DLight = SysColor(COLOR_3DLIGHT);

// An RGB value for a colour (system colours resolved).
COLORREF ColorToRGB(TColor c);

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle>;
template <> const TEnumInfo& EnumInfoOf<TFontStyle>();

// Character sets as templates name them.
constexpr int DEFAULT_CHARSET_ = 1;
constexpr int RUSSIAN_CHARSET_ = 204;

class TFont : public TPersistent {
  VCL_CLASS(TFont)
 public:
  TFont() = default;
  ~TFont() override;

  const std::string& Name() const { return FName; }
  void SetName(const std::string& v);
  int Height() const { return FHeight; }
  void SetHeight(int v);
  // Point size at 96 pixels per inch.
  int Size() const { return -FHeight * 72 / 96; }
  void SetSize(int points) { SetHeight(-(points * 96 + 36) / 72); }
  TFontStyles Style() const { return FStyle; }
  void SetStyle(TFontStyles v);
  TColor Color() const { return FColor; }
  void SetColor(TColor v);
  int Charset() const { return FCharset; }
  void SetCharset(int v);

  // The GDI font; created on first use after each change, owned by this object.
  HFONT Handle() const;
  void Assign(const TPersistent* source) override;

  // Called after every change.
  std::function<void()> OnChange;

 private:
  void Changed();
  std::string FName = "MS Sans Serif";
  int FHeight = -11;
  TFontStyles FStyle;
  TColor FColor = clWindowText;
  int FCharset = DEFAULT_CHARSET_;
  mutable HFONT FHandle = nullptr;
};

// Painting helper over a DC; restores what it selected.
class TCanvas {
 public:
  explicit TCanvas(HDC dc);
  ~TCanvas();
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  HDC Handle() const { return FDC; }
  void SelectFont(const TFont& f);
  void SelectFont(HFONT f);
  void FillRect(const RECT& r, TColor c);
  void FrameRect(const RECT& r, TColor c);
  void Line(int x1, int y1, int x2, int y2, TColor c, int width = 1);
  void SetTextColor(TColor c);
  // DrawTextA with the selected font; returns the height drawn.
  int DrawText(const std::string& text, RECT& r, UINT flags);
  SIZE TextExtent(const std::string& text);

 private:
  HDC FDC;
  HGDIOBJ FOldFont = nullptr;
  int FSaved;
};

// Double-buffered painting of a window's client area: paint into Canvas(),
// the result is copied to the window when the object goes away.
class TBufferedPaint {
 public:
  explicit TBufferedPaint(HWND wnd);
  ~TBufferedPaint();
  TBufferedPaint(const TBufferedPaint&) = delete;
  TBufferedPaint& operator=(const TBufferedPaint&) = delete;
  TCanvas& Canvas() { return *FCanvas; }
  const RECT& Client() const { return FClient; }
  const RECT& Dirty() const { return FPs.rcPaint; }

 private:
  HWND FWnd;
  PAINTSTRUCT FPs{};
  HDC FMem = nullptr;
  HBITMAP FBitmap = nullptr;
  HGDIOBJ FOldBitmap = nullptr;
  RECT FClient{};
  TCanvas* FCanvas = nullptr;
};
