#include "graphics.h"

template <>
const TEnumInfo& EnumInfoOf<TFontStyle>() {
  static const TEnumInfo info{"TFontStyle", {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"}};
  return info;
}

COLORREF ColorToRGB(TColor c) {
  if (c < 0) return GetSysColor(static_cast<int>(c & 0xFF));
  return static_cast<COLORREF>(c & 0xFFFFFF);
}

namespace {
struct CharsetName {
  const char* name;
  int value;
};
constexpr CharsetName kCharsets[] = {
    {"ANSI_CHARSET", 0},      {"DEFAULT_CHARSET", 1},   {"SYMBOL_CHARSET", 2},
    {"SHIFTJIS_CHARSET", 128}, {"HANGEUL_CHARSET", 129}, {"GB2312_CHARSET", 134},
    {"CHINESEBIG5_CHARSET", 136}, {"OEM_CHARSET", 255},  {"GREEK_CHARSET", 161},
    {"TURKISH_CHARSET", 162}, {"HEBREW_CHARSET", 177},  {"ARABIC_CHARSET", 178},
    {"BALTIC_CHARSET", 186},  {"RUSSIAN_CHARSET", 204}, {"THAI_CHARSET", 222},
    {"EASTEUROPE_CHARSET", 238},
};
}  // namespace

static std::vector<TPropInfo> FontProps() {
  TPropInfo charset;
  charset.Name = "Charset";
  charset.Kind = TPropKind::Integer;
  charset.Get = [](const TObject& o) { return TValue::Int(static_cast<const TFont&>(o).Charset()); };
  charset.Set = [](TObject& o, const TValue& v) {
    int value = -1;
    if (v.kind == TValue::vInt) value = static_cast<int>(v.i);
    else if (v.kind == TValue::vIdent)
      for (const auto& c : kCharsets)
        if (SameTextAscii(c.name, v.s)) value = c.value;
    if (value < 0 || value > 255) throw EPropertyError("Invalid property value");
    static_cast<TFont&>(o).SetCharset(value);
  };
  charset.Default = TValue::Int(DEFAULT_CHARSET_);
  return TPropBuilder<TFont>()
      .Add(std::move(charset))
      .Color("Color", &TFont::Color, &TFont::SetColor, clWindowText)
      .Prop("Height", &TFont::Height, &TFont::SetHeight)
      .Prop("Name", &TFont::Name, &TFont::SetName)
      .Prop("Style", &TFont::Style, &TFont::SetStyle, TFontStyles{})
      .Done();
}
VCL_DEFINE_CLASS(TFont, TPersistent, nullptr, &FontProps)

TFont::~TFont() {
  if (FHandle) DeleteObject(FHandle);
}

void TFont::Changed() {
  if (FHandle) {
    DeleteObject(FHandle);
    FHandle = nullptr;
  }
  if (OnChange) OnChange();
}

void TFont::SetName(const std::string& v) {
  if (v != FName) {
    FName = v;
    Changed();
  }
}
void TFont::SetHeight(int v) {
  if (v != FHeight) {
    FHeight = v;
    Changed();
  }
}
void TFont::SetStyle(TFontStyles v) {
  if (!(v == FStyle)) {
    FStyle = v;
    Changed();
  }
}
void TFont::SetColor(TColor v) {
  if (v != FColor) {
    FColor = v;
    Changed();
  }
}
void TFont::SetCharset(int v) {
  if (v != FCharset) {
    FCharset = v;
    Changed();
  }
}

HFONT TFont::Handle() const {
  if (!FHandle) {
    FHandle = CreateFontA(FHeight, 0, 0, 0, FStyle.Contains(fsBold) ? FW_BOLD : FW_NORMAL,
                          FStyle.Contains(fsItalic), FStyle.Contains(fsUnderline), FStyle.Contains(fsStrikeOut),
                          static_cast<BYTE>(FCharset), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                          DEFAULT_PITCH | FF_DONTCARE, FName.c_str());
  }
  return FHandle;
}

void TFont::Assign(const TPersistent* source) {
  if (auto* f = dynamic_cast<const TFont*>(source)) {
    if (f == this) return;
    bool differs = FName != f->FName || FHeight != f->FHeight || !(FStyle == f->FStyle) || FColor != f->FColor ||
                   FCharset != f->FCharset;
    FName = f->FName;
    FHeight = f->FHeight;
    FStyle = f->FStyle;
    FColor = f->FColor;
    FCharset = f->FCharset;
    if (differs) Changed();
    return;
  }
  TPersistent::Assign(source);
}

// ---- TCanvas ------------------------------------------------------------

TCanvas::TCanvas(HDC dc) : FDC(dc), FSaved(SaveDC(dc)) { SetBkMode(dc, TRANSPARENT); }

TCanvas::~TCanvas() { RestoreDC(FDC, FSaved); }

void TCanvas::SelectFont(const TFont& f) {
  SelectFont(f.Handle());
  SetTextColor(f.Color());
}

void TCanvas::SelectFont(HFONT f) {
  HGDIOBJ old = SelectObject(FDC, f);
  if (!FOldFont) FOldFont = old;
}

void TCanvas::FillRect(const RECT& r, TColor c) {
  HBRUSH b = CreateSolidBrush(ColorToRGB(c));
  ::FillRect(FDC, &r, b);
  DeleteObject(b);
}

void TCanvas::FrameRect(const RECT& r, TColor c) {
  HBRUSH b = CreateSolidBrush(ColorToRGB(c));
  ::FrameRect(FDC, &r, b);
  DeleteObject(b);
}

void TCanvas::Line(int x1, int y1, int x2, int y2, TColor c, int width) {
  HPEN pen = CreatePen(PS_SOLID, width, ColorToRGB(c));
  HGDIOBJ old = SelectObject(FDC, pen);
  MoveToEx(FDC, x1, y1, nullptr);
  LineTo(FDC, x2, y2);
  SelectObject(FDC, old);
  DeleteObject(pen);
}

void TCanvas::SetTextColor(TColor c) { ::SetTextColor(FDC, ColorToRGB(c)); }

int TCanvas::DrawText(const std::string& text, RECT& r, UINT flags) {
  return ::DrawTextA(FDC, text.c_str(), static_cast<int>(text.size()), &r, flags);
}

SIZE TCanvas::TextExtent(const std::string& text) {
  SIZE s{};
  GetTextExtentPoint32A(FDC, text.c_str(), static_cast<int>(text.size()), &s);
  return s;
}

// ---- TBufferedPaint -------------------------------------------------------

TBufferedPaint::TBufferedPaint(HWND wnd) : FWnd(wnd) {
  HDC dc = BeginPaint(wnd, &FPs);
  GetClientRect(wnd, &FClient);
  int w = FClient.right > 0 ? FClient.right : 1, h = FClient.bottom > 0 ? FClient.bottom : 1;
  FMem = CreateCompatibleDC(dc);
  FBitmap = CreateCompatibleBitmap(dc, w, h);
  FOldBitmap = SelectObject(FMem, FBitmap);
  FCanvas = new TCanvas(FMem);
}

TBufferedPaint::~TBufferedPaint() {
  delete FCanvas;
  const RECT& d = FPs.rcPaint;
  BitBlt(FPs.hdc, d.left, d.top, d.right - d.left, d.bottom - d.top, FMem, d.left, d.top, SRCCOPY);
  SelectObject(FMem, FOldBitmap);
  DeleteObject(FBitmap);
  DeleteDC(FMem);
  EndPaint(FWnd, &FPs);
}
