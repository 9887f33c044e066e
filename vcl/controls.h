// Visual controls: the common base, windowed controls and windowless
// (graphic) controls that their parent paints.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "classes.h"
#include "graphics.h"

class TWinControl;
class TForm;

using TNotifyEvent = TEvent<void(TObject* Sender)>;

enum TAnchorKind { akLeft, akTop, akRight, akBottom };
using TAnchors = TSet<TAnchorKind>;
enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TTextLayout { tlTop, tlCenter, tlBottom };
enum TMouseButton { mbLeft, mbRight, mbMiddle };
template <> const TEnumInfo& EnumInfoOf<TAnchorKind>();
template <> const TEnumInfo& EnumInfoOf<TAlign>();
template <> const TEnumInfo& EnumInfoOf<TAlignment>();
template <> const TEnumInfo& EnumInfoOf<TTextLayout>();

using TModalResult = int;
constexpr TModalResult mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6,
                       mrNo = 7;

class TControl : public TComponent {
  VCL_CLASS(TControl)
 public:
  explicit TControl(TComponent* owner);
  ~TControl() override;

  TWinControl* Parent() const { return FParent; }
  virtual void SetParent(TWinControl* parent);
  void SetParentComponent(TComponent* parent) override;
  // The form the control sits on (itself for a form), or null.
  TForm* ParentForm() const;

  int Left() const { return FLeft; }
  int Top() const { return FTop; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  void SetLeft(int v) { SetBounds(v, FTop, FWidth, FHeight); }
  void SetTop(int v) { SetBounds(FLeft, v, FWidth, FHeight); }
  void SetWidth(int v) { SetBounds(FLeft, FTop, v, FHeight); }
  void SetHeight(int v) { SetBounds(FLeft, FTop, FWidth, v); }
  virtual void SetBounds(int left, int top, int width, int height);
  RECT BoundsRect() const { return RECT{FLeft, FTop, FLeft + FWidth, FTop + FHeight}; }
  // Bounds in the client coordinates of the control's form.
  RECT FormBoundsRect() const;
  virtual int ClientWidth() const { return FWidth; }
  virtual int ClientHeight() const { return FHeight; }
  virtual void SetClientWidth(int v) { SetWidth(v); }
  virtual void SetClientHeight(int v) { SetHeight(v); }

  bool Visible() const { return FVisible; }
  void SetVisible(bool v);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible, and every parent visible too.
  bool Showing() const;
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool v);

  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& v);

  TFont* Font() const { return FFont.get(); }
  bool ParentFont() const { return FParentFont; }
  void SetParentFont(bool v);
  TColor Color() const { return FColor; }
  void SetColor(TColor v);
  bool ParentColor() const { return FParentColor; }
  void SetParentColor(bool v);
  TAnchors Anchors() const { return FAnchors; }
  void SetAnchors(TAnchors v) { FAnchors = v; }
  TAlign Align() const { return FAlign; }
  void SetAlign(TAlign v);
  const std::string& Hint() const { return FHint; }
  void SetHint(const std::string& v) { FHint = v; }

  TNotifyEvent OnClick;
  virtual void Click();

  // Repaint requests: Invalidate marks the control for the next paint,
  // Repaint paints it now.
  virtual void Invalidate();
  virtual void Repaint();

  // Mouse input a windowless control receives through its parent
  // (coordinates in the control's own client area).
  virtual void MouseDown(TMouseButton button, int x, int y) {}
  virtual void MouseUp(TMouseButton button, int x, int y) {}
  virtual void MouseMove(int x, int y) {}
  virtual void MouseLeave() {}
  // Paint of a windowless control into its parent's canvas, with the origin
  // moved to the control's top-left corner.
  virtual void Paint(TCanvas& canvas) {}
  virtual bool IsWindowed() const { return false; }

  // The parent's size changed by dx, dy: follow the anchors.
  void ParentResized(int dx, int dy);

 protected:
  virtual void BoundsChanged() {}
  virtual void VisibleChanged();
  virtual void EnabledChanged() { Invalidate(); }
  virtual void TextChanged() { Invalidate(); }
  virtual void FontChanged() { Invalidate(); }
  virtual void ColorChanged() { Invalidate(); }
  // The parent's font or colour changed.
  void ParentFontChanged(const TFont& f);
  void ParentColorChanged(TColor c);
  friend class TWinControl;

  TWinControl* FParent = nullptr;
  int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
  bool FVisible = true;
  bool FEnabled = true;
  std::string FCaption;
  std::unique_ptr<TFont> FFont;
  bool FParentFont = true;
  bool FApplyingParentFont = false;
  TColor FColor = clBtnFace;
  bool FParentColor = true;
  TAnchors FAnchors{akLeft, akTop};
  TAlign FAlign = alNone;
  std::string FHint;
};

// What a windowed control asks of CreateWindowEx.
struct TCreateParams {
  std::string WinClassName;  // our own class, registered on first use, unless SubclassOf is set
  std::string SubclassOf;    // a system class ("BUTTON") to create and subclass
  DWORD Style = 0;
  DWORD ExStyle = 0;
  UINT ClassStyle = CS_DBLCLKS;
  HCURSOR Cursor = nullptr;
};

class TWinControl : public TControl {
  VCL_CLASS(TWinControl)
 public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;

  // The window, created (with the parents' windows) on first use.
  HWND Handle();
  bool HandleAllocated() const { return FHandle != nullptr; }
  void HandleNeeded() { (void)Handle(); }
  void DestroyHandle();

  int ControlCount() const { return static_cast<int>(FControls.size()); }
  TControl* Controls(int i) const { return FControls.at(static_cast<size_t>(i)); }
  void InsertControl(TControl* c);
  void RemoveControl(TControl* c);

  int TabOrder() const { return FTabOrder; }
  void SetTabOrder(int v);
  bool TabStop() const { return FTabStop; }
  void SetTabStop(bool v);
  bool CanFocus() const;
  bool Focused() const;
  virtual void SetFocus();

  int ClientWidth() const override;
  int ClientHeight() const override;
  void SetBounds(int left, int top, int width, int height) override;
  void Invalidate() override;
  void Repaint() override;
  bool IsWindowed() const override { return true; }
  // Buttons answer Enter when focused; a default button answers Enter and a
  // cancel button Escape anywhere on their form.
  virtual bool IsButton() const { return false; }
  virtual bool IsDefaultButton() const { return false; }
  virtual bool IsCancelButton() const { return false; }

  // The window procedure of the control; the default passes on to the
  // system's (or the subclassed class's) procedure.
  virtual LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp);
  LRESULT DefaultHandler(UINT msg, WPARAM wp, LPARAM lp);

  // The object behind a window of ours, or null.
  static TWinControl* FromHandle(HWND h);

  // Windowless child at a client point, topmost first (visible ones only).
  TControl* ControlAtPos(int x, int y) const;
  // Controls of this one and its descendants in tab order.
  void TabList(std::vector<TWinControl*>& out);

 protected:
  virtual void CreateParams(TCreateParams& p);
  virtual void CreateWnd();
  // After the window exists: give it font, text and state.
  virtual void InitWnd();
  // Notifications the parent reflects back to the child (WM_COMMAND codes).
  virtual bool CommandNotify(WORD code) { return false; }
  // Paints the windowless children (in z-order) into a canvas of this window.
  void PaintControls(TCanvas& canvas, const RECT& dirty);
  void VisibleChanged() override;
  void EnabledChanged() override;
  void TextChanged() override;
  void FontChanged() override;
  void ColorChanged() override;
  void BoundsChanged() override;
  void UpdateZOrder();

  HWND FHandle = nullptr;
  WNDPROC FDefWndProc = nullptr;
  std::vector<TControl*> FControls;
  int FTabOrder = -1;
  bool FTabStop = false;
  TControl* FMouseControl = nullptr;  // windowless child that has the mouse
  TControl* FCaptureControl = nullptr;
  bool FCreating = false;

 private:
  static LRESULT CALLBACK StdWndProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
  void RouteMouse(UINT msg, WPARAM wp, LPARAM lp);
  friend class TControl;
};

// A windowless control painted by its parent.
class TGraphicControl : public TControl {
  VCL_CLASS(TGraphicControl)
 public:
  using TControl::TControl;
};

// A windowed control that paints itself (double-buffered).
class TCustomControl : public TWinControl {
  VCL_CLASS(TCustomControl)
 public:
  using TWinControl::TWinControl;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 protected:
  void CreateParams(TCreateParams& p) override;
  void Paint(TCanvas& canvas) override {}
};

namespace vcl {
// Runs a handler inside the framework's exception boundary: an exception
// that escapes it is shown by the application's standard display.
template <class F>
void Guarded(F&& f);
void HandleCurrentException();
}  // namespace vcl

template <class F>
void vcl::Guarded(F&& f) {
  try {
    f();
  } catch (...) {
    HandleCurrentException();
  }
}
