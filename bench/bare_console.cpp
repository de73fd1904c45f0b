// The baseline of the guard's memory and idle CPU: a console program that
// does nothing but wait, built like the guard (static runtime, same flags).
#include <windows.h>

int main() {
    Sleep(INFINITE);
    return 0;
}
