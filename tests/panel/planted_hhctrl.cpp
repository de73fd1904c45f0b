// A stand-in for a help control that a user planted beside the program: it
// has the name and the entry point of the real one and does nothing. The
// links test puts it beside the test program and checks that the window
// never loads it.
#include <windows.h>

extern "C" __declspec(dllexport) HWND WINAPI HtmlHelpW(HWND, LPCWSTR, UINT, DWORD_PTR) {
    return nullptr;
}
