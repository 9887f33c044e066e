// Labels and push buttons.
#pragma once

#include "controls.h"

class TLabel : public TGraphicControl {
  VCL_CLASS(TLabel)
 public:
  explicit TLabel(TComponent* owner);

  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment v) { FAlignment = v; Invalidate(); }
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool v);
  TTextLayout Layout() const { return FLayout; }
  void SetLayout(TTextLayout v) { FLayout = v; Invalidate(); }
  bool ShowAccelChar() const { return FShowAccelChar; }
  void SetShowAccelChar(bool v) { FShowAccelChar = v; Invalidate(); }
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool v) { FTransparent = v; Invalidate(); }
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool v);

  void Paint(TCanvas& canvas) override;
  void Loaded() override;

 protected:
  void TextChanged() override;
  void FontChanged() override;

 private:
  UINT DrawFlags() const;
  void AdjustBounds();
  TAlignment FAlignment = taLeftJustify;
  bool FAutoSize = true;
  TTextLayout FLayout = tlTop;
  bool FShowAccelChar = true;
  bool FTransparent = false;
  bool FWordWrap = false;
};

class TButton : public TWinControl {
  VCL_CLASS(TButton)
 public:
  explicit TButton(TComponent* owner);

  bool Default() const { return FDefault; }
  void SetDefault(bool v);
  bool Cancel() const { return FCancel; }
  void SetCancel(bool v) { FCancel = v; }
  TModalResult ModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult v) { FModalResult = v; }

  // Sets the form's modal result (when it has one), then runs OnClick.
  void Click() override;
  bool IsButton() const override { return true; }
  bool IsDefaultButton() const override { return FDefault; }
  bool IsCancelButton() const override { return FCancel; }

 protected:
  void CreateParams(TCreateParams& p) override;
  bool CommandNotify(WORD code) override;

 private:
  bool FDefault = false;
  bool FCancel = false;
  TModalResult FModalResult = mrNone;
};

// Sets the modal result of the control's form, if the control sits on one.
void SetFormModalResult(TControl* control, TModalResult result);
