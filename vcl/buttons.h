// Speed buttons: windowless buttons that can stay down, alone or in a group.
#pragma once

#include "controls.h"

class TSpeedButton : public TGraphicControl {
  VCL_CLASS(TSpeedButton)
 public:
  explicit TSpeedButton(TComponent* owner);

  // Buttons of one parent with the same non-zero group index form an
  // exclusive group: pressing one releases the others.
  int GroupIndex() const { return FGroupIndex; }
  void SetGroupIndex(int v);
  bool Down() const { return FDown; }
  void SetDown(bool v);
  bool AllowAllUp() const { return FAllowAllUp; }
  void SetAllowAllUp(bool v) { FAllowAllUp = v; }
  bool Flat() const { return FFlat; }
  void SetFlat(bool v) { FFlat = v; Invalidate(); }

  void Click() override;
  void Loaded() override;
  void Paint(TCanvas& canvas) override;
  void MouseDown(TMouseButton b, int x, int y) override;
  void MouseMove(int x, int y) override;
  void MouseUp(TMouseButton b, int x, int y) override;
  void MouseLeave() override;

 private:
  void ReleaseOthers();
  int FGroupIndex = 0;
  bool FDown = false;
  bool FAllowAllUp = false;
  bool FFlat = false;
  bool FPressing = false;  // mouse held inside
  bool FTracking = false;
  bool FHot = false;
};
