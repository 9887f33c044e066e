#include "buttons.h"

static std::vector<TPropInfo> SpeedButtonProps() {
  return TPropBuilder<TSpeedButton>()
      .Prop("AllowAllUp", &TSpeedButton::AllowAllUp, &TSpeedButton::SetAllowAllUp, false)
      .Prop("GroupIndex", &TSpeedButton::GroupIndex, &TSpeedButton::SetGroupIndex, 0)
      .Prop("Down", &TSpeedButton::Down, &TSpeedButton::SetDown, false)
      .Prop("Flat", &TSpeedButton::Flat, &TSpeedButton::SetFlat, false)
      .Done();
}
VCL_DEFINE_CLASS(TSpeedButton, TGraphicControl, &CreateComponentOf<TSpeedButton>, &SpeedButtonProps)

TSpeedButton::TSpeedButton(TComponent* owner) : TGraphicControl(owner) {
  FWidth = 23;
  FHeight = 22;
}

void TSpeedButton::ReleaseOthers() {
  if (!FParent || FGroupIndex == 0) return;
  for (int i = 0; i < FParent->ControlCount(); ++i) {
    auto* b = dynamic_cast<TSpeedButton*>(FParent->Controls(i));
    if (b && b != this && b->FGroupIndex == FGroupIndex && b->FDown) {
      b->FDown = false;
      b->Invalidate();
    }
  }
}

void TSpeedButton::SetGroupIndex(int v) {
  FGroupIndex = v;
  if (!Loading() && FDown) ReleaseOthers();
}

void TSpeedButton::SetDown(bool v) {
  // While a template loads, Down may come before GroupIndex: keep it and
  // settle the group in Loaded.
  if (Loading()) {
    FDown = v;
    return;
  }
  if (FGroupIndex == 0) v = false;
  if (v == FDown) return;
  if (!v && !FAllowAllUp) return;  // the last one down stays down
  FDown = v;
  if (v) ReleaseOthers();
  Invalidate();
}

void TSpeedButton::Loaded() {
  TGraphicControl::Loaded();
  if (FGroupIndex == 0) FDown = false;
  else if (FDown) ReleaseOthers();
}

void TSpeedButton::Click() {
  if (FGroupIndex != 0) {
    if (!FDown) SetDown(true);
    else if (FAllowAllUp) SetDown(false);
  }
  TGraphicControl::Click();
}

void TSpeedButton::MouseDown(TMouseButton b, int x, int y) {
  if (b != mbLeft) return;
  FTracking = true;
  FPressing = true;
  Repaint();
}

void TSpeedButton::MouseMove(int x, int y) {
  bool inside = x >= 0 && y >= 0 && x < FWidth && y < FHeight;
  if (inside != FHot) {
    FHot = inside;
    Invalidate();
  }
  if (FTracking && inside != FPressing) {
    FPressing = inside;
    Repaint();
  }
}

void TSpeedButton::MouseUp(TMouseButton b, int x, int y) {
  if (b != mbLeft || !FTracking) return;
  FTracking = false;
  bool inside = x >= 0 && y >= 0 && x < FWidth && y < FHeight;
  FPressing = false;
  Invalidate();
  if (inside) Click();
}

void TSpeedButton::MouseLeave() {
  FHot = false;
  Invalidate();
}

void TSpeedButton::Paint(TCanvas& canvas) {
  RECT r{0, 0, FWidth, FHeight};
  bool sunken = FDown || FPressing;
  canvas.FillRect(r, FDown && !FPressing ? cl3DLight : clBtnFace);
  if (!FFlat || FHot || sunken)
    DrawEdge(canvas.Handle(), &r, sunken ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  if (!FCaption.empty()) {
    RECT t = r;
    if (sunken) OffsetRect(&t, 1, 1);
    canvas.SelectFont(*Font());
    if (!Enabled()) canvas.SetTextColor(clGrayText);
    canvas.DrawText(FCaption, t, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
}
