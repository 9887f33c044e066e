// The peer of the start-up benchmark: the least a Win32 program does to show
// a window of the same size.
#include <windows.h>

static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcA(h, m, w, l);
}

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR, int) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = inst;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = "BareWindow";
  RegisterClassA(&wc);
  HWND h = CreateWindowExA(WS_EX_DLGMODALFRAME, "BareWindow", "Bare window", WS_POPUP | WS_CAPTION | WS_SYSMENU,
                           100, 100, 586, 560, nullptr, nullptr, inst, nullptr);
  ShowWindow(h, SW_SHOW);
  UpdateWindow(h);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
