// A progress gauge: a bar with the percentage done as text.
#pragma once

#include <cstdint>

#include "controls.h"
#include "forms.h"

enum TGaugeKind { gkText, gkHorizontalBar, gkVerticalBar, gkPie, gkNeedle };
template <> const TEnumInfo& EnumInfoOf<TGaugeKind>();

class TCGauge : public TGraphicControl {
  VCL_CLASS(TCGauge)
 public:
  explicit TCGauge(TComponent* owner);

  TGaugeKind Kind() const { return FKind; }
  void SetKind(TGaugeKind v) { FKind = v; Invalidate(); }
  TFormBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TFormBorderStyle v) { FBorderStyle = v; Invalidate(); }
  TColor ForeColor() const { return FForeColor; }
  void SetForeColor(TColor v) { FForeColor = v; Invalidate(); }
  TColor BackColor() const { return FBackColor; }
  void SetBackColor(TColor v) { FBackColor = v; Invalidate(); }
  bool ShowText() const { return FShowText; }
  void SetShowText(bool v) { FShowText = v; Invalidate(); }

  int64_t MinValue() const { return FMinValue; }
  int64_t MaxValue() const { return FMaxValue; }
  int64_t Progress() const { return FProgress; }
  // A minimum at or above the maximum, or a maximum at or below the
  // minimum, is ignored: the range never becomes empty.
  void SetMinValue(int64_t v);
  void SetMaxValue(int64_t v);
  // Clamped to the range.
  void SetProgress(int64_t v);
  // Whole percent of the range done.
  int PercentDone() const;

  void Paint(TCanvas& canvas) override;

 private:
  TGaugeKind FKind = gkHorizontalBar;
  TFormBorderStyle FBorderStyle = bsSingle;
  TColor FForeColor = clBlack;
  TColor FBackColor = clWhite;
  bool FShowText = true;
  int64_t FMinValue = 0, FMaxValue = 100, FProgress = 0;
};
