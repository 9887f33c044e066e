#include "stdctrls.h"

#include "forms.h"

// ---- TLabel -----------------------------------------------------------------

static std::vector<TPropInfo> LabelProps() {
  return TPropBuilder<TLabel>()
      .Prop("Alignment", &TLabel::Alignment, &TLabel::SetAlignment, taLeftJustify)
      .Prop("AutoSize", &TLabel::AutoSize, &TLabel::SetAutoSize, true)
      .Prop("Layout", &TLabel::Layout, &TLabel::SetLayout, tlTop)
      .Prop("ShowAccelChar", &TLabel::ShowAccelChar, &TLabel::SetShowAccelChar, true)
      .Prop("Transparent", &TLabel::Transparent, &TLabel::SetTransparent, false)
      .Prop("WordWrap", &TLabel::WordWrap, &TLabel::SetWordWrap, false)
      .Done();
}
VCL_DEFINE_CLASS(TLabel, TGraphicControl, &CreateComponentOf<TLabel>, &LabelProps)

TLabel::TLabel(TComponent* owner) : TGraphicControl(owner) {
  FWidth = 65;
  FHeight = 17;
}

void TLabel::SetAutoSize(bool v) {
  FAutoSize = v;
  AdjustBounds();
}

void TLabel::SetWordWrap(bool v) {
  FWordWrap = v;
  AdjustBounds();
  Invalidate();
}

void TLabel::TextChanged() {
  AdjustBounds();
  Invalidate();
}

void TLabel::FontChanged() {
  AdjustBounds();
  Invalidate();
}

void TLabel::Loaded() {
  TGraphicControl::Loaded();
  AdjustBounds();
}

UINT TLabel::DrawFlags() const {
  UINT f = DT_EXPANDTABS;
  f |= FWordWrap ? DT_WORDBREAK : 0;
  f |= FAlignment == taCenter ? DT_CENTER : FAlignment == taRightJustify ? DT_RIGHT : DT_LEFT;
  if (!FShowAccelChar) f |= DT_NOPREFIX;
  return f;
}

void TLabel::AdjustBounds() {
  if (!FAutoSize || Loading()) return;
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Font()->Handle());
  RECT r{0, 0, FWordWrap ? FWidth : 0x7FFF, 0};
  std::string text = FCaption.empty() ? std::string(" ") : FCaption;
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r, DrawFlags() | DT_CALCRECT);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  SetBounds(FLeft, FTop, FWordWrap ? FWidth : r.right, r.bottom);
}

void TLabel::Paint(TCanvas& canvas) {
  RECT r{0, 0, FWidth, FHeight};
  if (!FTransparent) canvas.FillRect(r, FColor);
  canvas.SelectFont(*Font());
  if (!Enabled()) canvas.SetTextColor(clGrayText);
  UINT flags = DrawFlags();
  if (FLayout != tlTop) {
    RECT calc = r;
    canvas.DrawText(FCaption, calc, flags | DT_CALCRECT);
    int h = calc.bottom - calc.top;
    r.top = FLayout == tlCenter ? (FHeight - h) / 2 : FHeight - h;
  }
  canvas.DrawText(FCaption, r, flags);
}

// ---- TButton ----------------------------------------------------------------

void SetFormModalResult(TControl* control, TModalResult result) {
  if (result == mrNone) return;
  if (TForm* f = control->ParentForm()) f->SetModalResult(result);
}

static std::vector<TPropInfo> ButtonProps() {
  return TPropBuilder<TButton>()
      .Prop("Cancel", &TButton::Cancel, &TButton::SetCancel, false)
      .Prop("Default", &TButton::Default, &TButton::SetDefault, false)
      .Prop("ModalResult", &TButton::ModalResult, &TButton::SetModalResult, mrNone)
      .Prop("TabStop", &TButton::TabStop, &TButton::SetTabStop, true)
      .Done();
}
VCL_DEFINE_CLASS(TButton, TWinControl, &CreateComponentOf<TButton>, &ButtonProps)

TButton::TButton(TComponent* owner) : TWinControl(owner) {
  FWidth = 75;
  FHeight = 25;
  FTabStop = true;
}

void TButton::SetDefault(bool v) {
  FDefault = v;
  if (FHandle) SendMessageA(FHandle, BM_SETSTYLE, v ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.SubclassOf = "BUTTON";
  p.Style &= ~WS_CLIPCHILDREN;
  p.Style |= FDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

bool TButton::CommandNotify(WORD code) {
  if (code != BN_CLICKED) return false;
  Click();
  return true;
}

void TButton::Click() {
  SetFormModalResult(this, FModalResult);
  TWinControl::Click();
}
