#include "controls.h"

#include <algorithm>
#include <set>

#include "forms.h"

template <>
const TEnumInfo& EnumInfoOf<TAnchorKind>() {
  static const TEnumInfo info{"TAnchorKind", {"akLeft", "akTop", "akRight", "akBottom"}};
  return info;
}
template <>
const TEnumInfo& EnumInfoOf<TAlign>() {
  static const TEnumInfo info{"TAlign", {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"}};
  return info;
}
template <>
const TEnumInfo& EnumInfoOf<TAlignment>() {
  static const TEnumInfo info{"TAlignment", {"taLeftJustify", "taRightJustify", "taCenter"}};
  return info;
}
template <>
const TEnumInfo& EnumInfoOf<TTextLayout>() {
  static const TEnumInfo info{"TTextLayout", {"tlTop", "tlCenter", "tlBottom"}};
  return info;
}

namespace {
constexpr const char* kObjectProp = "CorvalloVclObject";

std::string RectText(const RECT& r) { return Format("%ld,%ld,%ld,%ld", r.left, r.top, r.right, r.bottom); }
}  // namespace

// ---- TControl -------------------------------------------------------------

static std::vector<TPropInfo> ControlProps() {
  TPropInfo bounds;
  bounds.Name = "BoundsRect";
  bounds.Kind = TPropKind::String;
  bounds.Stored = false;
  bounds.Get = [](const TObject& o) { return TValue::Str(RectText(static_cast<const TControl&>(o).FormBoundsRect())); };
  return TPropBuilder<TControl>()
      .Prop("Left", &TControl::Left, &TControl::SetLeft)
      .Prop("Top", &TControl::Top, &TControl::SetTop)
      .Prop("Width", &TControl::Width, &TControl::SetWidth)
      .Prop("Height", &TControl::Height, &TControl::SetHeight)
      .Prop("Align", &TControl::Align, &TControl::SetAlign, alNone)
      .Prop("Anchors", &TControl::Anchors, &TControl::SetAnchors, TAnchors{akLeft, akTop})
      .Prop("Caption", &TControl::Caption, &TControl::SetCaption)
      .Color("Color", &TControl::Color, &TControl::SetColor)
      .Prop("Enabled", &TControl::Enabled, &TControl::SetEnabled, true)
      .Object("Font", [](const TControl& c) { return c.Font(); })
      .Prop("ParentColor", &TControl::ParentColor, &TControl::SetParentColor, true)
      .Prop("ParentFont", &TControl::ParentFont, &TControl::SetParentFont, true)
      .Prop("Hint", &TControl::Hint, &TControl::SetHint)
      .Prop("Visible", &TControl::Visible, &TControl::SetVisible, true)
      .Event("OnClick", &TControl::OnClick)
      .Prop("ClientWidth", &TControl::ClientWidth, [](TControl& c, int v) { c.SetClientWidth(v); })
      .NotStored()
      .Prop("ClientHeight", &TControl::ClientHeight, [](TControl& c, int v) { c.SetClientHeight(v); })
      .NotStored()
      .Add(std::move(bounds))
      .Done();
}
VCL_DEFINE_CLASS(TControl, TComponent, nullptr, &ControlProps)

TControl::TControl(TComponent* owner) : TComponent(owner), FFont(std::make_unique<TFont>()) {
  FFont->OnChange = [this] {
    if (!FApplyingParentFont) FParentFont = false;
    FontChanged();
  };
}

TControl::~TControl() {
  if (FParent) FParent->RemoveControl(this);
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == FParent) return;
  if (FParent) FParent->RemoveControl(this);
  if (parent) parent->InsertControl(this);
}

void TControl::SetParentComponent(TComponent* parent) {
  if (auto* w = dynamic_cast<TWinControl*>(parent)) SetParent(w);
}

TForm* TControl::ParentForm() const {
  const TControl* c = this;
  while (c->FParent) c = c->FParent;
  return dynamic_cast<TForm*>(const_cast<TControl*>(c));
}

RECT TControl::FormBoundsRect() const {
  RECT r = BoundsRect();
  for (const TWinControl* p = FParent; p && p->FParent; p = p->FParent)
    OffsetRect(&r, p->FLeft, p->FTop);
  return r;
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (left == FLeft && top == FTop && width == FWidth && height == FHeight) return;
  if (!IsWindowed()) Invalidate();
  FLeft = left;
  FTop = top;
  FWidth = width;
  FHeight = height;
  BoundsChanged();
  if (!IsWindowed()) Invalidate();
}

void TControl::SetVisible(bool v) {
  if (v == FVisible) return;
  FVisible = v;
  VisibleChanged();
}

void TControl::VisibleChanged() {
  if (FParent && FParent->HandleAllocated()) {
    RECT r = BoundsRect();
    InvalidateRect(FParent->FHandle, &r, FALSE);
  }
}

bool TControl::Showing() const {
  for (const TControl* c = this; c; c = c->FParent)
    if (!c->FVisible) return false;
  return true;
}

void TControl::SetEnabled(bool v) {
  if (v == FEnabled) return;
  FEnabled = v;
  EnabledChanged();
}

void TControl::SetCaption(const std::string& v) {
  if (v == FCaption) return;
  FCaption = v;
  TextChanged();
}

void TControl::SetParentFont(bool v) {
  FParentFont = v;
  if (v && FParent) ParentFontChanged(*FParent->Font());
}

void TControl::SetColor(TColor v) {
  FParentColor = false;
  if (v == FColor) return;
  FColor = v;
  ColorChanged();
}

void TControl::SetParentColor(bool v) {
  FParentColor = v;
  if (v && FParent) ParentColorChanged(FParent->FColor);
}

void TControl::SetAlign(TAlign v) { FAlign = v; }

void TControl::ParentFontChanged(const TFont& f) {
  if (!FParentFont) return;
  FApplyingParentFont = true;
  FFont->Assign(&f);
  FApplyingParentFont = false;
}

void TControl::ParentColorChanged(TColor c) {
  if (!FParentColor || c == FColor) return;
  FColor = c;
  ColorChanged();
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}

void TControl::Invalidate() {
  if (FParent && FParent->HandleAllocated() && Showing()) {
    RECT r = BoundsRect();
    InvalidateRect(FParent->FHandle, &r, FALSE);
  }
}

void TControl::Repaint() {
  Invalidate();
  if (FParent && FParent->HandleAllocated()) UpdateWindow(FParent->FHandle);
}

void TControl::ParentResized(int dx, int dy) {
  int l = FLeft, t = FTop, w = FWidth, h = FHeight;
  if (FAnchors.Contains(akRight)) {
    if (FAnchors.Contains(akLeft)) w += dx;
    else l += dx;
  }
  if (FAnchors.Contains(akBottom)) {
    if (FAnchors.Contains(akTop)) h += dy;
    else t += dy;
  }
  SetBounds(l, t, w, h);
}

// ---- TWinControl ----------------------------------------------------------

static std::vector<TPropInfo> WinControlProps() {
  return TPropBuilder<TWinControl>()
      .Prop("TabOrder", &TWinControl::TabOrder, &TWinControl::SetTabOrder, -1)
      .Prop("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop)
      .Done();
}
VCL_DEFINE_CLASS(TWinControl, TControl, nullptr, &WinControlProps)

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
  // Children outlive their parent only as objects; they forget it first.
  for (TControl* c : FControls) c->FParent = nullptr;
  FControls.clear();
  DestroyHandle();
}

TWinControl* TWinControl::FromHandle(HWND h) {
  return h ? static_cast<TWinControl*>(GetPropA(h, kObjectProp)) : nullptr;
}

void TWinControl::InsertControl(TControl* c) {
  FControls.push_back(c);
  c->FParent = this;
  if (c->FParentFont) c->ParentFontChanged(*Font());
  if (c->FParentColor) c->ParentColorChanged(FColor);
  if (HandleAllocated()) {
    if (auto* w = dynamic_cast<TWinControl*>(c)) w->HandleNeeded();
    else c->Invalidate();
  }
}

void TWinControl::RemoveControl(TControl* c) {
  auto it = std::find(FControls.begin(), FControls.end(), c);
  if (it == FControls.end()) return;
  c->Invalidate();
  FControls.erase(it);
  c->FParent = nullptr;
  if (FMouseControl == c) FMouseControl = nullptr;
  if (FCaptureControl == c) FCaptureControl = nullptr;
  if (auto* w = dynamic_cast<TWinControl*>(c)) w->DestroyHandle();
}

void TWinControl::SetTabOrder(int v) {
  FTabOrder = v;
  if (HandleAllocated() && FParent) FParent->UpdateZOrder();
}

void TWinControl::SetTabStop(bool v) {
  FTabStop = v;
  if (FHandle) {
    LONG s = GetWindowLongA(FHandle, GWL_STYLE);
    SetWindowLongA(FHandle, GWL_STYLE, v ? (s | WS_TABSTOP) : (s & ~WS_TABSTOP));
  }
}

bool TWinControl::CanFocus() const {
  for (const TControl* c = this; c; c = c->FParent)
    if (!c->Visible() || !c->Enabled()) return false;
  return true;
}

bool TWinControl::Focused() const { return FHandle && GetFocus() == FHandle; }

void TWinControl::SetFocus() { ::SetFocus(Handle()); }

int TWinControl::ClientWidth() const {
  if (FHandle) {
    RECT r;
    GetClientRect(FHandle, &r);
    return r.right;
  }
  return FWidth;
}

int TWinControl::ClientHeight() const {
  if (FHandle) {
    RECT r;
    GetClientRect(FHandle, &r);
    return r.bottom;
  }
  return FHeight;
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  int dx = width - FWidth, dy = height - FHeight;
  bool sized = dx || dy;
  TControl::SetBounds(left, top, width, height);
  if (sized && !FHandle)
    for (TControl* c : std::vector<TControl*>(FControls)) c->ParentResized(dx, dy);
}

void TWinControl::BoundsChanged() {
  if (FHandle)
    SetWindowPos(FHandle, nullptr, FLeft, FTop, FWidth, FHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWinControl::Invalidate() {
  if (FHandle) InvalidateRect(FHandle, nullptr, FALSE);
}

void TWinControl::Repaint() {
  if (FHandle) {
    InvalidateRect(FHandle, nullptr, FALSE);
    UpdateWindow(FHandle);
  }
}

void TWinControl::VisibleChanged() {
  if (FHandle) ShowWindow(FHandle, FVisible ? SW_SHOWNOACTIVATE : SW_HIDE);
}

void TWinControl::EnabledChanged() {
  if (FHandle) {
    EnableWindow(FHandle, FEnabled);
    InvalidateRect(FHandle, nullptr, FALSE);
  }
}

void TWinControl::TextChanged() {
  if (FHandle) {
    if (FDefWndProc) SetWindowTextA(FHandle, FCaption.c_str());
    InvalidateRect(FHandle, nullptr, FALSE);
  }
}

void TWinControl::FontChanged() {
  for (TControl* c : FControls) c->ParentFontChanged(*Font());
  if (FHandle) {
    SendMessageA(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(Font()->Handle()), TRUE);
    InvalidateRect(FHandle, nullptr, FALSE);
  }
}

void TWinControl::ColorChanged() {
  for (TControl* c : FControls) c->ParentColorChanged(FColor);
  if (FHandle) InvalidateRect(FHandle, nullptr, FALSE);
}

HWND TWinControl::Handle() {
  if (!FHandle && !FCreating) {
    FCreating = true;
    try {
      CreateWnd();
    } catch (...) {
      FCreating = false;
      throw;
    }
    FCreating = false;
    InitWnd();
  }
  return FHandle;
}

void TWinControl::CreateParams(TCreateParams& p) {
  p.WinClassName = ClassName();
  p.Style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  if (FVisible) p.Style |= WS_VISIBLE;
  if (FTabStop) p.Style |= WS_TABSTOP;
  if (!FEnabled) p.Style |= WS_DISABLED;
  p.Cursor = LoadCursor(nullptr, IDC_ARROW);
}

void TWinControl::CreateWnd() {
  TCreateParams p;
  CreateParams(p);
  HWND parent = nullptr;
  if (p.Style & WS_CHILD) {
    if (!FParent) throw EInvalidOperation(Format("Control '%s' has no parent window", Name().c_str()));
    parent = FParent->Handle();
  } else if (FParent) {
    parent = FParent->Handle();
  }
  HINSTANCE inst = GetModuleHandleA(nullptr);
  if (!p.SubclassOf.empty()) {
    HWND h = CreateWindowExA(p.ExStyle, p.SubclassOf.c_str(), FCaption.c_str(), p.Style, FLeft, FTop, FWidth,
                             FHeight, parent, nullptr, inst, nullptr);
    if (!h) throw EOSError(Format("Cannot create a %s window (error %lu)", p.SubclassOf.c_str(), GetLastError()));
    FHandle = h;
    SetPropA(h, kObjectProp, this);
    FDefWndProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TWinControl::StdWndProc)));
    return;
  }
  static std::set<std::string> registered;
  if (!registered.count(p.WinClassName)) {
    WNDCLASSA wc{};
    wc.style = p.ClassStyle;
    wc.lpfnWndProc = &TWinControl::StdWndProc;
    wc.hInstance = inst;
    wc.hCursor = p.Cursor;
    wc.hIcon = (p.Style & WS_CHILD) ? nullptr : LoadIconA(inst, "MAINICON");
    wc.lpszClassName = p.WinClassName.c_str();
    if (!RegisterClassA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
      throw EOSError(Format("Cannot register window class %s", p.WinClassName.c_str()));
    registered.insert(p.WinClassName);
  }
  HWND h = CreateWindowExA(p.ExStyle, p.WinClassName.c_str(), FCaption.c_str(), p.Style, FLeft, FTop, FWidth,
                           FHeight, parent, nullptr, inst, this);
  if (!h) throw EOSError(Format("Cannot create a %s window (error %lu)", p.WinClassName.c_str(), GetLastError()));
}

void TWinControl::InitWnd() {
  SendMessageA(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(Font()->Handle()), FALSE);
  for (TControl* c : std::vector<TControl*>(FControls))
    if (auto* w = dynamic_cast<TWinControl*>(c)) w->HandleNeeded();
  UpdateZOrder();
}

void TWinControl::UpdateZOrder() {
  // Windows follow the tab order, so that the system's own navigation agrees.
  std::vector<TWinControl*> wins;
  for (TControl* c : FControls)
    if (auto* w = dynamic_cast<TWinControl*>(c); w && w->FHandle) wins.push_back(w);
  std::stable_sort(wins.begin(), wins.end(), [](TWinControl* a, TWinControl* b) {
    int ta = a->FTabOrder < 0 ? 1 << 30 : a->FTabOrder, tb = b->FTabOrder < 0 ? 1 << 30 : b->FTabOrder;
    return ta < tb;
  });
  HWND after = HWND_TOP;
  for (TWinControl* w : wins) {
    SetWindowPos(w->FHandle, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    after = w->FHandle;
  }
}

void TWinControl::TabList(std::vector<TWinControl*>& out) {
  std::vector<TWinControl*> wins;
  for (TControl* c : FControls)
    if (auto* w = dynamic_cast<TWinControl*>(c)) wins.push_back(w);
  std::stable_sort(wins.begin(), wins.end(), [](TWinControl* a, TWinControl* b) {
    int ta = a->FTabOrder < 0 ? 1 << 30 : a->FTabOrder, tb = b->FTabOrder < 0 ? 1 << 30 : b->FTabOrder;
    return ta < tb;
  });
  for (TWinControl* w : wins) {
    out.push_back(w);
    w->TabList(out);
  }
}

void TWinControl::DestroyHandle() {
  if (FHandle) DestroyWindow(FHandle);
  FHandle = nullptr;
}

TControl* TWinControl::ControlAtPos(int x, int y) const {
  for (auto it = FControls.rbegin(); it != FControls.rend(); ++it) {
    TControl* c = *it;
    if (c->IsWindowed() || !c->Visible()) continue;
    if (x >= c->FLeft && x < c->FLeft + c->FWidth && y >= c->FTop && y < c->FTop + c->FHeight) return c;
  }
  return nullptr;
}

void TWinControl::PaintControls(TCanvas& canvas, const RECT& dirty) {
  for (TControl* c : FControls) {
    if (c->IsWindowed() || !c->Visible()) continue;
    RECT r = c->BoundsRect(), x;
    if (!IntersectRect(&x, &r, &dirty)) continue;
    HDC dc = canvas.Handle();
    int saved = SaveDC(dc);
    POINT old;
    OffsetViewportOrgEx(dc, c->FLeft, c->FTop, &old);
    IntersectClipRect(dc, 0, 0, c->FWidth, c->FHeight);
    {
      TCanvas inner(dc);
      c->Paint(inner);
    }
    RestoreDC(dc, saved);
  }
}

void TWinControl::RouteMouse(UINT msg, WPARAM wp, LPARAM lp) {
  int x = static_cast<short>(LOWORD(lp)), y = static_cast<short>(HIWORD(lp));
  TControl* c = FCaptureControl ? FCaptureControl : ControlAtPos(x, y);
  if (msg == WM_MOUSEMOVE) {
    if (c != FMouseControl) {
      if (FMouseControl) FMouseControl->MouseLeave();
      FMouseControl = c;
      if (c) {
        TRACKMOUSEEVENT t{sizeof t, TME_LEAVE, FHandle, 0};
        TrackMouseEvent(&t);
      }
    }
    if (c && c->Enabled()) c->MouseMove(x - c->FLeft, y - c->FTop);
    return;
  }
  if (!c || !c->Enabled()) return;
  TMouseButton b = (msg == WM_RBUTTONDOWN || msg == WM_RBUTTONUP) ? mbRight : mbLeft;
  if (msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_LBUTTONDBLCLK) {
    FCaptureControl = c;
    SetCapture(FHandle);
    c->MouseDown(b, x - c->FLeft, y - c->FTop);
  } else {
    FCaptureControl = nullptr;
    if (GetCapture() == FHandle) ReleaseCapture();
    c->MouseUp(b, x - c->FLeft, y - c->FTop);
  }
}

LRESULT TWinControl::DefaultHandler(UINT msg, WPARAM wp, LPARAM lp) {
  return FDefWndProc ? CallWindowProcA(FDefWndProc, FHandle, msg, wp, lp) : DefWindowProcA(FHandle, msg, wp, lp);
}

LRESULT TWinControl::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      if (lp) {
        if (TWinControl* child = FromHandle(reinterpret_cast<HWND>(lp)); child && child->CommandNotify(HIWORD(wp)))
          return 0;
      }
      break;
    case WM_PAINT:
      if (!FDefWndProc) {
        TBufferedPaint paint(FHandle);
        paint.Canvas().FillRect(paint.Client(), FColor);
        PaintControls(paint.Canvas(), paint.Dirty());
        return 0;
      }
      break;
    case WM_ERASEBKGND:
      if (!FDefWndProc) return 1;
      break;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC: {
      // Standard children draw on this control's colour.
      static HBRUSH brush = nullptr;
      static COLORREF brushColor = 0;
      COLORREF want = ColorToRGB(FColor);
      if (!brush || brushColor != want) {
        if (brush) DeleteObject(brush);
        brush = CreateSolidBrush(want);
        brushColor = want;
      }
      SetBkColor(reinterpret_cast<HDC>(wp), want);
      return reinterpret_cast<LRESULT>(brush);
    }
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      if (!FDefWndProc && (!FControls.empty() || FCaptureControl)) RouteMouse(msg, wp, lp);
      break;
    case WM_MOUSELEAVE:
      if (FMouseControl) {
        FMouseControl->MouseLeave();
        FMouseControl = nullptr;
      }
      break;
    case WM_CAPTURECHANGED:
      FCaptureControl = nullptr;
      break;
    case WM_WINDOWPOSCHANGED: {
      auto* wpos = reinterpret_cast<const WINDOWPOS*>(lp);
      if (!(wpos->flags & SWP_NOSIZE) || !(wpos->flags & SWP_NOMOVE)) {
        RECT r;
        GetWindowRect(FHandle, &r);
        if (HWND parent = GetParent(FHandle); parent && (GetWindowLongA(FHandle, GWL_STYLE) & WS_CHILD))
          MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
        int dx = (r.right - r.left) - FWidth, dy = (r.bottom - r.top) - FHeight;
        FLeft = r.left;
        FTop = r.top;
        FWidth = r.right - r.left;
        FHeight = r.bottom - r.top;
        if (dx || dy)
          for (TControl* c : std::vector<TControl*>(FControls)) c->ParentResized(dx, dy);
      }
      break;
    }
    case WM_NCDESTROY: {
      LRESULT r = DefaultHandler(msg, wp, lp);
      RemovePropA(FHandle, kObjectProp);
      if (FDefWndProc) SetWindowLongPtrA(FHandle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FDefWndProc));
      FDefWndProc = nullptr;
      FHandle = nullptr;
      return r;
    }
  }
  return DefaultHandler(msg, wp, lp);
}

LRESULT CALLBACK TWinControl::StdWndProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  TWinControl* c;
  if (msg == WM_NCCREATE) {
    c = static_cast<TWinControl*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
    if (c) {
      c->FHandle = h;
      SetPropA(h, kObjectProp, c);
    }
  } else {
    c = FromHandle(h);
  }
  if (!c) return DefWindowProcA(h, msg, wp, lp);
  // Exceptions never cross the system's frames: they end here, in the
  // application's standard display.
  try {
    return c->WndProc(msg, wp, lp);
  } catch (...) {
    vcl::HandleCurrentException();
    return 0;
  }
}

VCL_DEFINE_CLASS(TGraphicControl, TControl, nullptr, nullptr)

// ---- TCustomControl ---------------------------------------------------------

VCL_DEFINE_CLASS(TCustomControl, TWinControl, nullptr, nullptr)

void TCustomControl::CreateParams(TCreateParams& p) { TWinControl::CreateParams(p); }

LRESULT TCustomControl::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT: {
      TBufferedPaint paint(FHandle);
      paint.Canvas().FillRect(paint.Client(), FColor);
      Paint(paint.Canvas());
      PaintControls(paint.Canvas(), paint.Dirty());
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
  }
  return TWinControl::WndProc(msg, wp, lp);
}
