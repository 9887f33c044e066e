// Forms, the application object and the screen.
#pragma once

#include <windows.h>

#include <any>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "controls.h"

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TPosition {
  poDesigned,
  poDefault,
  poDefaultPosOnly,
  poDefaultSizeOnly,
  poScreenCenter,
  poDesktopCenter,
  poMainFormCenter,
  poOwnerFormCenter
};
enum TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = TSet<TBorderIcon>;
enum TCloseAction { caNone, caHide, caFree, caMinimize };
template <> const TEnumInfo& EnumInfoOf<TFormBorderStyle>();
template <> const TEnumInfo& EnumInfoOf<TPosition>();
template <> const TEnumInfo& EnumInfoOf<TBorderIcon>();

using TCloseEvent = TEvent<void(TObject* Sender, TCloseAction& Action)>;

class TForm : public TWinControl {
  VCL_CLASS(TForm)
 public:
  explicit TForm(TComponent* owner);
  ~TForm() override;

  // Second construction step, run by TApplication::CreateForm once the
  // derived class has declared its fields and handlers: loads the class's
  // window template, creates the window (hidden) and runs OnCreate, whose
  // errors go to the standard exception display.
  virtual void AfterConstruction();

  void Show();
  void Hide() { SetVisible(false); }
  // Closes the form: a modal form ends with mrCancel, the main form ends the
  // application, any other form hides.
  void Close();
  // Shows the form modally; returns its modal result (mrCancel when closed
  // from the title bar).
  TModalResult ShowModal();
  TModalResult ModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult v) { FModalResult = v; }
  bool Modal() const { return FModal; }

  TFormBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TFormBorderStyle v) { FBorderStyle = v; }
  TBorderIcons BorderIcons() const { return FBorderIcons; }
  void SetBorderIcons(TBorderIcons v) { FBorderIcons = v; }
  TPosition Position() const { return FPosition; }
  void SetPosition(TPosition v) { FPosition = v; }
  int ClientWidth() const override;
  int ClientHeight() const override;
  void SetClientWidth(int v) override;
  void SetClientHeight(int v) override;

  TWinControl* ActiveControl() const { return FActiveControl; }
  void SetActiveControl(TWinControl* c);

  TNotifyEvent OnCreate;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnDestroy;
  TCloseEvent OnClose;

  // Handlers and fields a template can name.
  const std::any* FindMethod(std::string_view name) const override;
  bool BindField(const std::string& name, TComponent* component) override;

  // Enter, Escape and Tab as a dialog handles them; true when used.
  bool DialogKey(WORD vk);

  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 protected:
  // Declares a handler a template may bind an event to by name.
  template <class C, class R, class... A>
  void Method(const char* name, R (C::*m)(A...)) {
    C* self = static_cast<C*>(this);
    FMethods[name] = std::function<R(A...)>([self, m](A... a) { return (self->*m)(std::forward<A>(a)...); });
  }
  // Declares a field that receives the template's component of that name.
  template <class T>
  void Field(const char* name, T*& ref) {
    vcl::RegisterClassInfo(T::StaticClass());
    FFields[name] = [&ref, name](TComponent* c) {
      ref = dynamic_cast<T*>(c);
      if (!ref) throw EPropertyError(Format("Field %s is not a %s", name, T::StaticClass().Name));
    };
  }

  void CreateParams(TCreateParams& p) override;
  void CreateWnd() override;
  void VisibleChanged() override;
  void TextChanged() override;
  // The template's name in the resources: the class name.
  virtual std::string TemplateName() const { return ClassName(); }

 private:
  void PlaceOnShow();
  void FocusFirst();
  void AnswerQuery(HWND driver, const std::string& query);
  std::string QueryText(const std::string& query);

  std::map<std::string, std::any, std::less<>> FMethods;
  std::map<std::string, std::function<void(TComponent*)>, std::less<>> FFields;
  TFormBorderStyle FBorderStyle = bsSizeable;
  TBorderIcons FBorderIcons{biSystemMenu, biMinimize, biMaximize};
  TPosition FPosition = poDesigned;
  TModalResult FModalResult = mrNone;
  bool FModal = false;
  bool FPlaced = false;
  TWinControl* FActiveControl = nullptr;
  int FClientWidth = -1, FClientHeight = -1;
};

class TApplication : public TComponent {
  VCL_CLASS(TApplication)
 public:
  explicit TApplication(TComponent* owner);
  ~TApplication() override;

  void Initialize();
  // Creates a form owned by the application; the first one becomes the main form.
  template <class T>
  void CreateForm(T*& ref) {
    T* f = new T(this);
    ref = f;
    if (!FMainForm) FMainForm = f;
    f->AfterConstruction();
  }
  // Shows the main form and processes messages until the application ends.
  void Run();
  // Processes every pending message, then returns.
  void ProcessMessages();
  // Waits for and processes one message.
  void HandleMessage();
  void Terminate();
  bool Terminated() const { return FTerminated; }

  TForm* MainForm() const { return FMainForm; }
  const std::string& Title() const;
  void SetTitle(const std::string& t);
  std::string ExeName() const;

  // The standard exception display: stop icon, OK, the title, the message.
  void ShowException(const std::string& message);
  // Shows the exception in flight (call from a catch block).
  void HandleException();

  // A message box with the title as caption.
  int MessageBox(const std::string& text, const std::string& caption, UINT flags);

  void RemoveForm(TForm* f);

 private:
  bool ProcessMessage(MSG& msg);
  TForm* FMainForm = nullptr;
  bool FTerminated = false;
  bool FShowingException = false;
};

class TScreen : public TComponent {
  VCL_CLASS(TScreen)
 public:
  explicit TScreen(TComponent* owner) : TComponent(owner) {}
  // The forms that exist, in creation order.
  int FormCount() const { return static_cast<int>(FForms.size()); }
  TForm* Forms(int i) const { return FForms.at(static_cast<size_t>(i)); }
  TForm* ActiveForm() const;
  int Width() const { return GetSystemMetrics(SM_CXSCREEN); }
  int Height() const { return GetSystemMetrics(SM_CYSCREEN); }

 private:
  friend class TForm;
  std::vector<TForm*> FForms;
};

extern TApplication* Application;
extern TScreen* Screen;

namespace vcl {
// The module window templates and translated texts come from: a resource
// module picked at start-up, or the program itself.
void SetResourceModule(HMODULE module);
HMODULE ResourceModule();
// The text of an RCDATA resource, from the resource module first, then the program.
bool LoadResourceText(const std::string& name, std::string& text);

// The automation interface's message ids.
constexpr ULONG_PTR kQueryMagic = 0x43505251;   // "QRPC"
constexpr ULONG_PTR kAnswerMagic = 0x43505241;  // "ARPC"
}  // namespace vcl
