#include "cgauge.h"

#include <algorithm>

template <>
const TEnumInfo& EnumInfoOf<TGaugeKind>() {
  static const TEnumInfo info{"TGaugeKind", {"gkText", "gkHorizontalBar", "gkVerticalBar", "gkPie", "gkNeedle"}};
  return info;
}

static std::vector<TPropInfo> GaugeProps() {
  return TPropBuilder<TCGauge>()
      .Prop("Kind", &TCGauge::Kind, &TCGauge::SetKind, gkHorizontalBar)
      .Prop("BorderStyle", &TCGauge::BorderStyle, &TCGauge::SetBorderStyle, bsSingle)
      .Color("ForeColor", &TCGauge::ForeColor, &TCGauge::SetForeColor, clBlack)
      .Color("BackColor", &TCGauge::BackColor, &TCGauge::SetBackColor, clWhite)
      .Prop("ShowText", &TCGauge::ShowText, &TCGauge::SetShowText, true)
      .Prop("MinValue", &TCGauge::MinValue, &TCGauge::SetMinValue, int64_t{0})
      .Prop("MaxValue", &TCGauge::MaxValue, &TCGauge::SetMaxValue, int64_t{100})
      .Prop("Progress", &TCGauge::Progress, &TCGauge::SetProgress, int64_t{0})
      .ReadOnly("PercentDone", &TCGauge::PercentDone)
      .NotStored()
      .Done();
}
VCL_DEFINE_CLASS(TCGauge, TGraphicControl, &CreateComponentOf<TCGauge>, &GaugeProps)

TCGauge::TCGauge(TComponent* owner) : TGraphicControl(owner) {
  FWidth = 100;
  FHeight = 100;
}

void TCGauge::SetMinValue(int64_t v) {
  if (v == FMinValue || v >= FMaxValue) return;
  FMinValue = v;
  FProgress = std::max(FProgress, FMinValue);
  Invalidate();
}

void TCGauge::SetMaxValue(int64_t v) {
  if (v == FMaxValue || v <= FMinValue) return;
  FMaxValue = v;
  FProgress = std::min(FProgress, FMaxValue);
  Invalidate();
}

void TCGauge::SetProgress(int64_t v) {
  v = std::clamp(v, FMinValue, FMaxValue);
  if (v == FProgress) return;
  FProgress = v;
  Invalidate();
}

int TCGauge::PercentDone() const {
  // The range may be as wide as 64 bits allow; divide before multiplying.
  uint64_t range = static_cast<uint64_t>(FMaxValue - FMinValue);
  uint64_t done = static_cast<uint64_t>(FProgress - FMinValue);
  if (range == 0) return 0;
  if (done > UINT64_MAX / 100) return static_cast<int>(done / (range / 100 ? range / 100 : 1));
  return static_cast<int>(done * 100 / range);
}

void TCGauge::Paint(TCanvas& canvas) {
  RECT r{0, 0, FWidth, FHeight};
  if (FBorderStyle != bsNone) {
    canvas.FrameRect(r, clBlack);
    InflateRect(&r, -1, -1);
  }
  canvas.FillRect(r, FBackColor);
  int w = r.right - r.left, h = r.bottom - r.top;
  int pct = PercentDone();
  RECT bar = r;
  if (FKind == gkVerticalBar) bar.top = r.bottom - h * pct / 100;
  else bar.right = r.left + w * pct / 100;
  if (FKind == gkHorizontalBar || FKind == gkVerticalBar) canvas.FillRect(bar, FForeColor);
  if (!FShowText) return;
  std::string text = Format("%d%%", pct);
  canvas.SelectFont(*Font());
  // The text reads on both parts: the bar's colour on the background, the
  // background's colour on the bar.
  RECT t = r;
  canvas.SetTextColor(FForeColor);
  canvas.DrawText(text, t, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  if (FKind == gkHorizontalBar || FKind == gkVerticalBar) {
    HDC dc = canvas.Handle();
    int saved = SaveDC(dc);
    IntersectClipRect(dc, bar.left, bar.top, bar.right, bar.bottom);
    canvas.SetTextColor(FBackColor);
    t = r;
    canvas.DrawText(text, t, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    RestoreDC(dc, saved);
  }
}
