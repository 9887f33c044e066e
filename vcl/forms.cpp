#include "forms.h"

#include <algorithm>

#include "dialogs.h"
#include "msgpump.h"
#include "persist.h"
#include "thread.h"

template <>
const TEnumInfo& EnumInfoOf<TFormBorderStyle>() {
  static const TEnumInfo info{"TFormBorderStyle",
                              {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"}};
  return info;
}
template <>
const TEnumInfo& EnumInfoOf<TPosition>() {
  static const TEnumInfo info{"TPosition",
                              {"poDesigned", "poDefault", "poDefaultPosOnly", "poDefaultSizeOnly", "poScreenCenter",
                               "poDesktopCenter", "poMainFormCenter", "poOwnerFormCenter"}};
  return info;
}
template <>
const TEnumInfo& EnumInfoOf<TBorderIcon>() {
  static const TEnumInfo info{"TBorderIcon", {"biSystemMenu", "biMinimize", "biMaximize", "biHelp"}};
  return info;
}

TApplication* Application = nullptr;
TScreen* Screen = nullptr;

namespace {
// The framework's globals exist before any program code runs.
struct GlobalsInit {
  GlobalsInit() {
    if (!Application) new TApplication(nullptr);
  }
} gGlobalsInit;

HMODULE gResourceModule = nullptr;

void PumpThunk() {
  if (Application) Application->ProcessMessages();
}
}  // namespace

namespace vcl {
void SetResourceModule(HMODULE module) { gResourceModule = module; }
HMODULE ResourceModule() { return gResourceModule; }

bool LoadResourceText(const std::string& name, std::string& text) {
  for (HMODULE m : {gResourceModule, GetModuleHandleA(nullptr)}) {
    if (!m) continue;
    HRSRC r = FindResourceA(m, name.c_str(), MAKEINTRESOURCEA(10) /* RT_RCDATA */);
    if (!r) continue;
    HGLOBAL g = LoadResource(m, r);
    const void* p = g ? LockResource(g) : nullptr;
    if (!p) continue;
    text.assign(static_cast<const char*>(p), SizeofResource(m, r));
    return true;
  }
  return false;
}

void HandleCurrentException() {
  if (Application) {
    Application->HandleException();
    return;
  }
  try {
    throw;
  } catch (const std::exception& e) {
    ::MessageBoxA(nullptr, e.what(), ApplicationTitle().c_str(), MB_OK | MB_ICONSTOP);
  } catch (...) {
  }
}
}  // namespace vcl

// ---- TForm -----------------------------------------------------------------

static std::vector<TPropInfo> FormProps() {
  return TPropBuilder<TForm>()
      .Prop("BorderIcons", &TForm::BorderIcons, &TForm::SetBorderIcons,
            TBorderIcons{biSystemMenu, biMinimize, biMaximize})
      .Prop("BorderStyle", &TForm::BorderStyle, &TForm::SetBorderStyle, bsSizeable)
      .Prop("Position", &TForm::Position, &TForm::SetPosition, poDesigned)
      .Prop("ModalResult", &TForm::ModalResult, &TForm::SetModalResult, mrNone)
      .NotStored()
      .Event("OnCreate", &TForm::OnCreate)
      .Event("OnShow", &TForm::OnShow)
      .Event("OnHide", &TForm::OnHide)
      .Event("OnClose", &TForm::OnClose)
      .Event("OnDestroy", &TForm::OnDestroy)
      .Done();
}
VCL_DEFINE_CLASS(TForm, TWinControl, nullptr, &FormProps)

TForm::TForm(TComponent* owner) : TWinControl(owner) {
  FVisible = false;
  FParentFont = false;
  FParentColor = false;
  FColor = clBtnFace;
  if (Screen) Screen->FForms.push_back(this);
}

TForm::~TForm() {
  if (OnDestroy) vcl::Guarded([&] { OnDestroy(this); });
  if (Screen) {
    auto& v = Screen->FForms;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
  }
  if (Application) Application->RemoveForm(this);
  // Owned controls go first, while this window object is still whole.
  DestroyComponents();
  DestroyHandle();
}

void TForm::AfterConstruction() {
  std::string text;
  if (!vcl::LoadResourceText(AsciiUpper(TemplateName()), text))
    throw EInvalidOperation(Format("Resource %s not found", TemplateName().c_str()));
  SetState(TComponentStateItem::csLoading, true);
  vcl::LoadTemplate(*this, ParseTemplate(text));
  HandleNeeded();
  vcl::Guarded([&] {
    if (OnCreate) OnCreate(this);
  });
}

const std::any* TForm::FindMethod(std::string_view name) const {
  auto it = FMethods.find(name);
  return it == FMethods.end() ? nullptr : &it->second;
}

bool TForm::BindField(const std::string& name, TComponent* component) {
  auto it = FFields.find(name);
  if (it == FFields.end()) return false;
  it->second(component);
  return true;
}

void TForm::CreateParams(TCreateParams& p) {
  p.WinClassName = ClassName();
  p.Cursor = LoadCursor(nullptr, IDC_ARROW);
  DWORD style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  DWORD ex = 0;
  switch (FBorderStyle) {
    case bsNone: style |= WS_POPUP; break;
    case bsSingle:
    case bsToolWindow: style |= WS_POPUP | WS_CAPTION | WS_BORDER; break;
    case bsSizeable:
    case bsSizeToolWin: style |= WS_POPUP | WS_CAPTION | WS_THICKFRAME; break;
    case bsDialog:
      style |= WS_POPUP | WS_CAPTION | DS_MODALFRAME;
      ex |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
      break;
  }
  if (FBorderStyle != bsNone && FBorderIcons.Contains(biSystemMenu)) {
    style |= WS_SYSMENU;
    if (FBorderStyle != bsDialog && FBorderStyle != bsToolWindow && FBorderStyle != bsSizeToolWin) {
      if (FBorderIcons.Contains(biMinimize)) style |= WS_MINIMIZEBOX;
      if (FBorderIcons.Contains(biMaximize)) style |= WS_MAXIMIZEBOX;
    }
  }
  if (FBorderStyle == bsToolWindow || FBorderStyle == bsSizeToolWin) ex |= WS_EX_TOOLWINDOW;
  if (Application && Application->MainForm() == this) ex |= WS_EX_APPWINDOW;
  if (!FEnabled) style |= WS_DISABLED;
  p.Style = style;
  p.ExStyle = ex;
}

int TForm::ClientWidth() const {
  if (FHandle) return TWinControl::ClientWidth();
  return FClientWidth >= 0 ? FClientWidth : FWidth;
}

int TForm::ClientHeight() const {
  if (FHandle) return TWinControl::ClientHeight();
  return FClientHeight >= 0 ? FClientHeight : FHeight;
}

void TForm::SetClientWidth(int v) {
  if (FHandle) {
    SetWidth(FWidth + v - ClientWidth());
    return;
  }
  FClientWidth = v;
}

void TForm::SetClientHeight(int v) {
  if (FHandle) {
    SetHeight(FHeight + v - ClientHeight());
    return;
  }
  FClientHeight = v;
}

void TForm::CreateWnd() {
  // The outer size follows from the client size the template asked for, as
  // the system measures the frame of this kind of window.
  TCreateParams p;
  CreateParams(p);
  if (FClientWidth >= 0 || FClientHeight >= 0) {
    RECT r{0, 0, FClientWidth >= 0 ? FClientWidth : FWidth, FClientHeight >= 0 ? FClientHeight : FHeight};
    AdjustWindowRectEx(&r, p.Style, FALSE, p.ExStyle);
    if (FClientWidth >= 0) FWidth = r.right - r.left;
    if (FClientHeight >= 0) FHeight = r.bottom - r.top;
  }
  TWinControl::CreateWnd();
  if (FClientWidth >= 0 || FClientHeight >= 0) {
    RECT c;
    GetClientRect(FHandle, &c);
    int w = FWidth + (FClientWidth >= 0 ? FClientWidth - c.right : 0);
    int h = FHeight + (FClientHeight >= 0 ? FClientHeight - c.bottom : 0);
    if (w != FWidth || h != FHeight)
      SetWindowPos(FHandle, nullptr, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void TForm::TextChanged() {
  if (FHandle) SetWindowTextA(FHandle, FCaption.c_str());
}

void TForm::SetActiveControl(TWinControl* c) {
  FActiveControl = c;
  if (c && FVisible && c->CanFocus()) c->SetFocus();
}

void TForm::PlaceOnShow() {
  if (FPlaced) return;
  FPlaced = true;
  RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (FPosition == poMainFormCenter || FPosition == poOwnerFormCenter) {
    TForm* main = Application ? Application->MainForm() : nullptr;
    if (main && main != this && main->HandleAllocated() && IsWindowVisible(main->FHandle))
      GetWindowRect(main->FHandle, &area);
  }
  if (FPosition == poScreenCenter || FPosition == poDesktopCenter || FPosition == poMainFormCenter ||
      FPosition == poOwnerFormCenter) {
    int x = area.left + (area.right - area.left - FWidth) / 2;
    int y = area.top + (area.bottom - area.top - FHeight) / 2;
    SetWindowPos(FHandle, nullptr, std::max(0, x), std::max(0, y), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void TForm::FocusFirst() {
  if (FActiveControl && FActiveControl->CanFocus()) {
    FActiveControl->SetFocus();
    return;
  }
  std::vector<TWinControl*> list;
  TabList(list);
  for (TWinControl* w : list)
    if (w->TabStop() && w->CanFocus()) {
      w->SetFocus();
      return;
    }
  ::SetFocus(FHandle);
}

void TForm::VisibleChanged() {
  HandleNeeded();
  if (FVisible) {
    if (OnShow) OnShow(this);
    PlaceOnShow();
    ShowWindow(FHandle, SW_SHOW);
    SetForegroundWindow(FHandle);
    UpdateWindow(FHandle);
    FocusFirst();
  } else {
    if (OnHide) OnHide(this);
    ShowWindow(FHandle, SW_HIDE);
  }
}

void TForm::Show() {
  if (FVisible) {
    SetForegroundWindow(Handle());
    return;
  }
  SetVisible(true);
}

void TForm::Close() {
  TCloseAction action = caHide;
  if (OnClose) OnClose(this, action);
  if (action == caNone) return;
  if (FModal) {
    FModalResult = mrCancel;
    return;
  }
  Hide();
  if (Application && Application->MainForm() == this) Application->Terminate();
}

TModalResult TForm::ShowModal() {
  if (FVisible || FModal) throw EInvalidOperation("Cannot make a visible window modal");
  HandleNeeded();
  // The other windows of the thread wait while this one is open.
  struct Ctx {
    HWND self;
    std::vector<HWND> disabled;
  } ctx{FHandle, {}};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND h, LPARAM lp) WINAPI -> BOOL {
        auto* c = reinterpret_cast<Ctx*>(lp);
        if (h != c->self && IsWindowVisible(h) && IsWindowEnabled(h)) {
          EnableWindow(h, FALSE);
          c->disabled.push_back(h);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&ctx));
  HWND previous = GetActiveWindow();
  FModal = true;
  FModalResult = mrNone;
  auto restore = [&] {
    for (HWND h : ctx.disabled) EnableWindow(h, TRUE);
    if (FHandle) ShowWindow(FHandle, SW_HIDE);
    FVisible = false;
    FModal = false;
    if (previous && IsWindow(previous)) SetActiveWindow(previous);
  };
  try {
    Show();
    while (FModalResult == mrNone) {
      Application->HandleMessage();
      if (Application->Terminated()) FModalResult = mrCancel;
    }
  } catch (...) {
    restore();
    throw;
  }
  TModalResult result = FModalResult;
  if (OnHide) vcl::Guarded([&] { OnHide(this); });
  restore();
  return result;
}

bool TForm::DialogKey(WORD vk) {
  bool shift = GetKeyState(VK_SHIFT) < 0;
  if (vk == VK_TAB) {
    std::vector<TWinControl*> list, stops;
    TabList(list);
    for (TWinControl* w : list)
      if (w->TabStop() && w->CanFocus()) stops.push_back(w);
    if (stops.empty()) return false;
    HWND focus = GetFocus();
    size_t i = 0;
    while (i < stops.size() && stops[i]->Handle() != focus) ++i;
    size_t next = i >= stops.size() ? 0 : (shift ? (i + stops.size() - 1) : (i + 1)) % stops.size();
    stops[next]->SetFocus();
    return true;
  }
  if (vk == VK_RETURN || vk == VK_ESCAPE) {
    TWinControl* focused = TWinControl::FromHandle(GetFocus());
    if (vk == VK_RETURN && focused && focused->ParentForm() == this && focused->IsButton()) {
      focused->Click();
      return true;
    }
    for (int i = 0; i < ComponentCount(); ++i) {
      auto* w = dynamic_cast<TWinControl*>(Components(i));
      if (!w || !w->CanFocus()) continue;
      if ((vk == VK_RETURN && w->IsDefaultButton()) || (vk == VK_ESCAPE && w->IsCancelButton())) {
        w->Click();
        return true;
      }
    }
  }
  return false;
}

LRESULT TForm::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CLOSE:
      Close();
      return 0;
    case WM_COPYDATA: {
      auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lp);
      if (cds && cds->dwData == vcl::kQueryMagic) {
        AnswerQuery(reinterpret_cast<HWND>(wp),
                    std::string(static_cast<const char*>(cds->lpData), cds->cbData));
        return TRUE;
      }
      break;
    }
    case WM_ACTIVATE:
      if (LOWORD(wp) != WA_INACTIVE && FActiveControl && FActiveControl->CanFocus()) FActiveControl->SetFocus();
      break;
  }
  return TWinControl::WndProc(msg, wp, lp);
}

std::string TForm::QueryText(const std::string& query) {
  if (query == "LIST") {
    std::string out;
    for (int i = 0; i < ComponentCount(); ++i) {
      TComponent* c = Components(i);
      auto* w = dynamic_cast<TWinControl*>(c);
      out += Format("%s %s %lx\r\n", c->Name().c_str(), c->ClassName().c_str(),
                    static_cast<unsigned long>(reinterpret_cast<uintptr_t>(w && w->HandleAllocated() ? w->Handle() : nullptr)));
    }
    return out;
  }
  if (query.rfind("GET ", 0) != 0) throw EInvalidOperation("unknown query");
  std::string path = query.substr(4);
  size_t end = path.find_first_of(".[");
  std::string name = path.substr(0, end);
  std::string rest = end == std::string::npos ? std::string() : path.substr(end + (path[end] == '.' ? 1 : 0));
  const TObject* obj = nullptr;
  if (name == "Self") obj = this;
  else obj = FindComponent(name);
  if (!obj) throw EInvalidOperation("no component " + name);
  if (rest.empty()) throw EInvalidOperation("no property");
  return vcl::GetPropertyText(*obj, rest);
}

void TForm::AnswerQuery(HWND driver, const std::string& query) {
  std::string reply;
  try {
    reply = "OK " + QueryText(query);
  } catch (const std::exception& e) {
    reply = std::string("ERR ") + e.what();
  }
  COPYDATASTRUCT cds{};
  cds.dwData = vcl::kAnswerMagic;
  cds.cbData = static_cast<DWORD>(reply.size());
  cds.lpData = reply.data();
  DWORD_PTR result = 0;
  SendMessageTimeoutA(driver, WM_COPYDATA, reinterpret_cast<WPARAM>(FHandle), reinterpret_cast<LPARAM>(&cds),
                      SMTO_ABORTIFHUNG, 5000, &result);
}

// ---- TApplication -------------------------------------------------------------

VCL_DEFINE_CLASS(TApplication, TComponent, nullptr, nullptr)
VCL_DEFINE_CLASS(TScreen, TComponent, nullptr, nullptr)

TApplication::TApplication(TComponent* owner) : TComponent(owner) {
  Application = this;
  Screen = new TScreen(nullptr);
}

TApplication::~TApplication() {
  DestroyComponents();
  delete Screen;
  Screen = nullptr;
  if (Application == this) Application = nullptr;
}

void TApplication::Initialize() {
  vcl::SetMessagePump(&PumpThunk, GetCurrentThreadId());
  vcl::InitSynchronize();
}

void TApplication::RemoveForm(TForm* f) {
  if (FMainForm == f) FMainForm = nullptr;
}

const std::string& TApplication::Title() const { return vcl::ApplicationTitle(); }
void TApplication::SetTitle(const std::string& t) { vcl::SetApplicationTitle(t); }

std::string TApplication::ExeName() const {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return path;
}

bool TApplication::ProcessMessage(MSG& msg) {
  if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    FTerminated = true;
    return true;
  }
  try {
    if (msg.message == WM_KEYDOWN &&
        (msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE || msg.wParam == VK_TAB)) {
      HWND root = GetAncestor(msg.hwnd, GA_ROOT);
      if (auto* form = dynamic_cast<TForm*>(TWinControl::FromHandle(root));
          form && form->DialogKey(static_cast<WORD>(msg.wParam)))
        return true;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  } catch (...) {
    HandleException();
  }
  return true;
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (ProcessMessage(msg)) {
  }
}

void TApplication::HandleMessage() {
  MSG msg;
  if (!ProcessMessage(msg)) WaitMessage();
}

void TApplication::Run() {
  vcl::SetMessagePump(&PumpThunk, GetCurrentThreadId());
  if (FMainForm) FMainForm->Show();
  while (!FTerminated) HandleMessage();
}

void TApplication::Terminate() {
  if (!FTerminated) PostQuitMessage(0);
  FTerminated = true;
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, UINT flags) {
  HWND owner = GetActiveWindow();
  if (!owner && FMainForm && FMainForm->HandleAllocated() && IsWindowVisible(FMainForm->Handle()))
    owner = FMainForm->Handle();
  return ::MessageBoxA(owner, text.c_str(), caption.c_str(), flags | (owner ? 0 : MB_TASKMODAL));
}

void TApplication::ShowException(const std::string& message) {
  // An error raised while an error is on screen is not shown on top of it.
  if (FShowingException) return;
  FShowingException = true;
  MessageBox(message, Title(), MB_OK | MB_ICONSTOP);
  FShowingException = false;
}

void TApplication::HandleException() {
  try {
    throw;
  } catch (const Exception& e) {
    ShowException(e.Message());
  } catch (const std::exception& e) {
    ShowException(e.what());
  } catch (...) {
    ShowException("Unknown error");
  }
}

TForm* TScreen::ActiveForm() const {
  HWND a = GetActiveWindow();
  for (TForm* f : FForms)
    if (f->HandleAllocated() && f->Handle() == a) return f;
  return nullptr;
}
