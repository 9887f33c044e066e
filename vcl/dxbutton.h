// A push button with a large caption, drawn by itself.
#pragma once

#include "controls.h"

class TdxButton : public TCustomControl {
  VCL_CLASS(TdxButton)
 public:
  explicit TdxButton(TComponent* owner);

  bool ShowFocusRect() const { return FShowFocusRect; }
  void SetShowFocusRect(bool v) { FShowFocusRect = v; Invalidate(); }
  TModalResult ModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult v) { FModalResult = v; }

  void Click() override;
  bool IsButton() const override { return true; }
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  void Paint(TCanvas& canvas) override;

 private:
  void SetPressed(bool v);
  bool FShowFocusRect = true;
  TModalResult FModalResult = mrNone;
  bool FPressed = false;
  bool FTracking = false;
};
