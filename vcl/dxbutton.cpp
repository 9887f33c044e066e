#include "dxbutton.h"

#include "stdctrls.h"

static std::vector<TPropInfo> DxButtonProps() {
  return TPropBuilder<TdxButton>()
      .Prop("ShowFocusRect", &TdxButton::ShowFocusRect, &TdxButton::SetShowFocusRect, true)
      .Prop("ModalResult", &TdxButton::ModalResult, &TdxButton::SetModalResult, mrNone)
      .Prop("TabStop", &TdxButton::TabStop, &TdxButton::SetTabStop, true)
      .Done();
}
VCL_DEFINE_CLASS(TdxButton, TCustomControl, &CreateComponentOf<TdxButton>, &DxButtonProps)

TdxButton::TdxButton(TComponent* owner) : TCustomControl(owner) {
  FWidth = 75;
  FHeight = 25;
  FTabStop = true;
}

void TdxButton::Click() {
  SetFormModalResult(this, FModalResult);
  TCustomControl::Click();
}

void TdxButton::SetPressed(bool v) {
  if (v == FPressed) return;
  FPressed = v;
  Repaint();
}

LRESULT TdxButton::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_GETDLGCODE:
      return DLGC_BUTTON;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (!Enabled()) return 0;
      FTracking = true;
      SetCapture(FHandle);
      if (GetFocus() != FHandle) ::SetFocus(FHandle);
      SetPressed(true);
      return 0;
    case WM_MOUSEMOVE:
      if (FTracking) {
        POINT p{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
        RECT r{0, 0, FWidth, FHeight};
        SetPressed(PtInRect(&r, p) != FALSE);
      }
      return 0;
    case WM_LBUTTONUP: {
      bool wasTracking = FTracking;
      FTracking = false;
      if (GetCapture() == FHandle) ReleaseCapture();
      POINT p{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
      RECT r{0, 0, FWidth, FHeight};
      SetPressed(false);
      if (wasTracking && Enabled() && PtInRect(&r, p)) Click();
      return 0;
    }
    case WM_CAPTURECHANGED:
      FTracking = false;
      SetPressed(false);
      break;
    case BM_CLICK:
      if (Enabled()) Click();
      return 0;
    case WM_KEYDOWN:
      if (wp == VK_SPACE) {
        SetPressed(true);
        return 0;
      }
      break;
    case WM_KEYUP:
      if (wp == VK_SPACE && FPressed) {
        SetPressed(false);
        if (Enabled()) Click();
        return 0;
      }
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      Invalidate();
      break;
    case WM_ENABLE:
      Invalidate();
      break;
  }
  return TCustomControl::WndProc(msg, wp, lp);
}

void TdxButton::Paint(TCanvas& canvas) {
  HDC dc = canvas.Handle();
  RECT r{0, 0, FWidth, FHeight};
  canvas.FillRect(r, clBtnFace);
  DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (FPressed ? DFCS_PUSHED : 0));
  RECT text = r;
  if (FPressed) OffsetRect(&text, 1, 1);
  canvas.SelectFont(*Font());
  const UINT flags = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
  if (Enabled()) {
    canvas.DrawText(FCaption, text, flags);
  } else {
    RECT lit = text;
    OffsetRect(&lit, 1, 1);
    canvas.SetTextColor(clBtnHighlight);
    canvas.DrawText(FCaption, lit, flags);
    canvas.SetTextColor(clGrayText);
    canvas.DrawText(FCaption, text, flags);
  }
  if (FShowFocusRect && Focused()) {
    RECT f = r;
    InflateRect(&f, -4, -4);
    ::SetTextColor(dc, RGB(0, 0, 0));
    ::DrawFocusRect(dc, &f);
  }
}
