// The update program's entry point: the three windows in their order, the
// message loop until the main window closes, and exit code 0 in every case.
#include <windows.h>

#include "forms.h"
#include "updatefrm.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  try {
    Application->Initialize();
    Application->CreateForm(UpdateForm);
    Application->Run();
  } catch (...) {
    Application->HandleException();
  }
  // The application object destroys the windows it owns.
  delete Application;
  UpdateListText.clear();
  return 0;
}
