// Reading and answering the standard message boxes that the program shows,
// in this process (a thread timer runs inside the box's modal loop) or in a
// child process (polled from the test).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace zendrel::test {

struct BoxInfo {
    HWND hwnd = nullptr;
    std::wstring title;
    std::wstring text;  // a task dialog's texts joined by CR LF
    RECT rect{};  // screen rectangle of the box
    // 0 none, 16 stop, 32 question, 48 exclamation, 64 information; -1 another
    // icon, or any icon of a box of another process (Wine gives no access to
    // another process's icon handles).
    int icon = 0;
    std::vector<int> buttons;  // IDOK, IDCANCEL, IDYES, IDNO ... in creation order
    int pressed = 0;           // the button the answerer pressed
};

// True for a visible standard message box (a dialog with the message text
// control), or a visible task dialog as Wine draws it (a dialog of buttons and
// texts only; on Windows a task dialog's buttons are no windows of their own).
bool IsMessageBox(HWND hwnd);
BoxInfo ReadBox(HWND box);
// Presses a button of the box as a click does.
void PressButton(HWND box, int id);

// The first top-level window of the process that match accepts, or null.
HWND FindProcessWindow(DWORD processId, const std::function<bool(HWND)>& match);

// The first visible message box of the process, or null.
HWND FindMessageBox(DWORD processId);
// Waits up to timeoutMs for one; null when none came.
HWND WaitForMessageBox(DWORD processId, DWORD timeoutMs);

// While it lives, answers every message box shown on this thread with the
// scripted buttons, in order, and records what it saw. Each scripted answer
// is a box the test expects: a box beyond the script fails the test (and is
// answered with Cancel, or OK, or No, whichever it has, so that the test goes
// on), and so does a script left with answers no box took when the answerer
// goes.
class MessageBoxAnswerer {
  public:
    explicit MessageBoxAnswerer(std::vector<int> answers = {});
    ~MessageBoxAnswerer();
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

    void Then(int answer) { answers_.push_back(answer); }
    const std::vector<BoxInfo>& Seen() const { return seen_; }

  private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
    void Poll();

    std::vector<int> answers_;
    std::vector<BoxInfo> seen_;
    UINT_PTR timer_ = 0;
};

// Lets every pending message of this thread be handled.
void PumpMessages();

}  // namespace zendrel::test
