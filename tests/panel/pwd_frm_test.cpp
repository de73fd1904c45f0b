// The password dialog, shown for real and driven as a user drives it: typing
// into the entry, clicking, Enter, Esc, Tab and the close box.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "cmd5.h"
#include "message_boxes.h"
#include "pwd_frm.h"
#include "resource.h"
#include "twips.h"

namespace zendrel {
namespace {

using test::MessageBoxAnswerer;

constexpr wchar_t kCaption[] = L"Enter Password to Access Zendrel Settings";
// Digest texts of "secret" and of the empty text.
constexpr wchar_t kSecretDigest[] = L"5ebe2294ecd0e0f08eab7690d2a6ee69";
constexpr wchar_t kEmptyDigest[] = L"d41d8cd98f00b204e9800998ecf8427e";

// Drives the dialog from a thread timer, which runs inside its modal loop.
// Each tick runs the current step while the dialog is up, no message box is
// (the answerer deals with those) and the dialog is not handling a command
// (its handlers let pending messages run, timer ticks included); a step
// returns false to be tried again at the next tick. A step that never
// succeeds, or a script that ends with the dialog still open, closes the
// dialog so that no test hangs.
class DialogDriver {
  public:
    using Step = std::function<bool(HWND dialog)>;

    explicit DialogDriver(std::vector<Step> steps) : steps_(std::move(steps)) {
        active_ = this;
        DWORD thread = GetCurrentThreadId();
        callHook_ = SetWindowsHookExW(WH_CALLWNDPROC, OnCall, nullptr, thread);
        returnHook_ = SetWindowsHookExW(WH_CALLWNDPROCRET, OnReturn, nullptr, thread);
        timer_ = SetTimer(nullptr, 0, 20, OnTimer);
    }
    ~DialogDriver() {
        KillTimer(nullptr, timer_);
        UnhookWindowsHookEx(callHook_);
        UnhookWindowsHookEx(returnHook_);
        active_ = nullptr;
    }
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    // Steps that ran to success.
    size_t Done() const { return next_; }
    // The dialog as last seen.
    HWND Dialog() const { return dialog_; }
    // Every dialog (message boxes included) initialised meanwhile -> its owner.
    const std::map<HWND, HWND>& Owners() const { return owners_; }

  private:
    static constexpr int kTriesPerStep = 100;

    static bool IsDialogCommand(HWND hwnd, UINT message) {
        return message == WM_COMMAND && active_ && hwnd == active_->dialog_;
    }
    static LRESULT CALLBACK OnCall(int code, WPARAM wParam, LPARAM lParam) {
        auto* call = reinterpret_cast<CWPSTRUCT*>(lParam);
        if (code == HC_ACTION && active_ && call->message == WM_INITDIALOG)
            active_->owners_[call->hwnd] = GetWindow(call->hwnd, GW_OWNER);
        if (code == HC_ACTION && IsDialogCommand(call->hwnd, call->message)) ++active_->inCommand_;
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    static LRESULT CALLBACK OnReturn(int code, WPARAM wParam, LPARAM lParam) {
        auto* ret = reinterpret_cast<CWPRETSTRUCT*>(lParam);
        if (code == HC_ACTION && IsDialogCommand(ret->hwnd, ret->message)) --active_->inCommand_;
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
        if (active_ && !active_->busy_) active_->Tick();
    }

    void Tick() {
        if (test::FindMessageBox(GetCurrentProcessId())) return;
        HWND dialog = FindWindowW(L"#32770", kCaption);
        if (!dialog || !IsWindowVisible(dialog)) return;
        dialog_ = dialog;
        if (inCommand_ > 0) return;
        busy_ = true;
        if (next_ < steps_.size()) {
            if (steps_[next_](dialog)) {
                ++next_;
                tries_ = 0;
            } else if (++tries_ > kTriesPerStep) {
                ADD_FAILURE() << "step " << next_ << " never succeeded";
                next_ = steps_.size();
            }
        } else {
            PostMessageW(dialog, WM_CLOSE, 0, 0);  // the script is over
        }
        busy_ = false;
    }

    static inline DialogDriver* active_ = nullptr;
    std::vector<Step> steps_;
    size_t next_ = 0;
    int tries_ = 0;
    int inCommand_ = 0;
    bool busy_ = false;
    HWND dialog_ = nullptr;
    std::map<HWND, HWND> owners_;
    HHOOK callHook_ = nullptr;
    HHOOK returnHook_ = nullptr;
    UINT_PTR timer_ = 0;
};

HWND Entry(HWND dialog) {
    return GetDlgItem(dialog, pwdFrm::kIdTxtPwd);
}

std::wstring TextOf(HWND hwnd) {
    wchar_t buffer[512] = {};
    GetWindowTextW(hwnd, buffer, 512);
    return buffer;
}

// Steps. Typing goes character by character to the entry, as the keyboard does.
DialogDriver::Step Type(std::wstring text) {
    return [text](HWND dialog) {
        for (wchar_t c : text) SendMessageW(Entry(dialog), WM_CHAR, c, 1);
        return true;
    };
}
DialogDriver::Step Click(int id) {
    return [id](HWND dialog) {
        PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
        return true;
    };
}
// A key pressed in the control that has the focus.
DialogDriver::Step Press(WPARAM key) {
    return [key](HWND) {
        PostMessageW(GetFocus(), WM_KEYDOWN, key, 1);
        PostMessageW(GetFocus(), WM_KEYUP, key, 0xC0000001);
        return true;
    };
}
DialogDriver::Step Post(UINT message, WPARAM wParam = 0) {
    return [message, wParam](HWND dialog) {
        PostMessageW(dialog, message, wParam, 0);
        return true;
    };
}
// Waits until the focus is in the control id.
DialogDriver::Step FocusIn(int id) {
    return [id](HWND dialog) { return GetFocus() == GetDlgItem(dialog, id); };
}
// Runs a check of the dialog once.
DialogDriver::Step Check(std::function<void(HWND)> check) {
    return [check](HWND dialog) {
        check(dialog);
        return true;
    };
}

// A plain owner window, as the main window is for the dialog.
class Owner {
  public:
    Owner() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"PwdFrmTestOwner";
        RegisterClassW(&wc);
        hwnd_ = CreateWindowExW(0, wc.lpszClassName, L"Zendrel Settings", WS_OVERLAPPEDWINDOW, 200,
                                150, 700, 500, nullptr, nullptr, wc.hInstance, nullptr);
        ShowWindow(hwnd_, SW_SHOW);
        test::PumpMessages();
    }
    ~Owner() { DestroyWindow(hwnd_); }
    Owner(const Owner&) = delete;
    Owner& operator=(const Owner&) = delete;
    HWND hwnd() const { return hwnd_; }

  private:
    HWND hwnd_ = nullptr;
};

struct Outcome {
    int result = -1;
    size_t stepsDone = 0;
    std::vector<test::BoxInfo> boxes;
    HWND dialog = nullptr;
    std::map<HWND, HWND> owners;  // dialog shown -> its owner
};

// Shows the dialog, driven by the steps; `refusals` boxes (each answered OK)
// are expected, and any other box fails the test.
Outcome ShowDialogExpecting(std::size_t refusals, const std::wstring& digest,
                            std::vector<DialogDriver::Step> steps, std::wstring hint = L"",
                            HWND owner = nullptr) {
    Outcome outcome;
    MessageBoxAnswerer answerer(std::vector<int>(refusals, IDOK));
    DialogDriver driver(std::move(steps));
    pwdFrm dialog;
    dialog.Hint = std::move(hint);
    dialog.Digest = digest;
    outcome.result = dialog.DisplayDialog(owner);
    outcome.stepsDone = driver.Done();
    outcome.boxes = answerer.Seen();
    outcome.dialog = driver.Dialog();
    outcome.owners = driver.Owners();
    return outcome;
}

Outcome ShowDialog(const std::wstring& digest, std::vector<DialogDriver::Step> steps,
                   std::wstring hint = L"", HWND owner = nullptr) {
    return ShowDialogExpecting(0, digest, std::move(steps), std::move(hint), owner);
}

TEST(PwdFrm, AcceptsTheRightPasswordWithOkOrEnter) {
    Outcome clicked = ShowDialog(kSecretDigest, {Type(L"secret"), Click(IDOK)});
    EXPECT_EQ(clicked.result, 1);
    EXPECT_EQ(clicked.stepsDone, 2u);
    EXPECT_TRUE(clicked.boxes.empty());

    Outcome entered = ShowDialog(kSecretDigest, {Type(L"secret"), Press(VK_RETURN)});
    EXPECT_EQ(entered.result, 1);
    EXPECT_TRUE(entered.boxes.empty());
}

TEST(PwdFrm, TrimsSpacesOnlyAroundTheEntry) {
    EXPECT_EQ(ShowDialog(kSecretDigest, {Type(L"   secret  "), Press(VK_RETURN)}).result, 1);
    // A space inside, or a tab around it, is part of the password.
    Outcome inside = ShowDialogExpecting(
        1, kSecretDigest,
        {Type(L"sec ret"), Press(VK_RETURN), FocusIn(pwdFrm::kIdTxtPwd), Press(VK_ESCAPE)});
    EXPECT_EQ(inside.result, 2);
    EXPECT_EQ(inside.boxes.size(), 1u);
    Outcome tab = ShowDialogExpecting(
        1, kSecretDigest,
        {Check([](HWND d) { SetWindowTextW(Entry(d), L"\tsecret"); }), Click(IDOK),
         FocusIn(pwdFrm::kIdTxtPwd), Click(IDCANCEL)});
    EXPECT_EQ(tab.result, 2);
    EXPECT_EQ(tab.boxes.size(), 1u);
}

TEST(PwdFrm, RefusesAWrongPasswordAndOffersTheEntryAgain) {
    for (auto submit : {Click(IDOK), Press(VK_RETURN)}) {
        std::pair<DWORD, DWORD> selection{};
        bool stillOpen = false;
        Outcome o = ShowDialogExpecting(
            2, kSecretDigest, {Type(L"wrong1"), submit, FocusIn(pwdFrm::kIdTxtPwd), Check([&](HWND d) {
                                stillOpen = IsWindowVisible(d);
                                DWORD start = 0, end = 0;
                                SendMessageW(Entry(d), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                                             reinterpret_cast<LPARAM>(&end));
                                selection = {start, end};
                            }),
                            Type(L"wrong2"),  // replaces the selected entry
                            submit, FocusIn(pwdFrm::kIdTxtPwd), Type(L"secret"),
                            Press(VK_RETURN)});  // as many tries as wanted
        EXPECT_EQ(o.result, 1);
        EXPECT_EQ(o.stepsDone, 9u);
        EXPECT_TRUE(stillOpen);
        EXPECT_EQ(selection, (std::pair<DWORD, DWORD>{0, 6}));
        ASSERT_EQ(o.boxes.size(), 2u);
        EXPECT_EQ(o.boxes[0].title, L"Invalid Password");
        EXPECT_EQ(o.boxes[0].text, L"An invalid password was entered, please try again.");
        EXPECT_EQ(o.boxes[0].icon, 48);
        EXPECT_EQ(o.boxes[0].buttons, (std::vector<int>{IDOK}));
        EXPECT_NE(o.dialog, nullptr);
        EXPECT_EQ(o.owners[o.boxes[0].hwnd], o.dialog);  // the box is the dialog's
    }
}

TEST(PwdFrm, ComparesTheDigestInItsLetterCase) {
    Outcome o = ShowDialogExpecting(
        1, L"5EBE2294ECD0E0F08EAB7690D2A6EE69",
        {Type(L"secret"), Press(VK_RETURN), FocusIn(pwdFrm::kIdTxtPwd), Press(VK_ESCAPE)});
    EXPECT_EQ(o.result, 2);
    EXPECT_EQ(o.boxes.size(), 1u);
}

TEST(PwdFrm, AnEmptyDigestAcceptsAnEmptyOrBlankEntry) {
    EXPECT_EQ(ShowDialog(kEmptyDigest, {Press(VK_RETURN)}).result, 1);
    EXPECT_EQ(ShowDialog(kEmptyDigest, {Type(L"    "), Click(IDOK)}).result, 1);
    // With a real password stored, an empty entry is refused.
    Outcome o = ShowDialogExpecting(
        1, kSecretDigest, {Press(VK_RETURN), FocusIn(pwdFrm::kIdTxtPwd), Click(IDCANCEL)});
    EXPECT_EQ(o.result, 2);
    EXPECT_EQ(o.boxes.size(), 1u);
}

TEST(PwdFrm, CancelAndEscGiveTwoAndTheCloseBoxZero) {
    EXPECT_EQ(ShowDialog(kSecretDigest, {Type(L"secret"), Click(IDCANCEL)}).result, 2);
    EXPECT_EQ(ShowDialog(kSecretDigest, {Type(L"secret"), Press(VK_ESCAPE)}).result, 2);
    EXPECT_EQ(ShowDialog(kSecretDigest, {Type(L"secret"), Post(WM_SYSCOMMAND, SC_CLOSE)}).result,
              0);
    EXPECT_EQ(ShowDialog(kSecretDigest, {Post(WM_CLOSE)}).result, 0);
    // After a refused entry too.
    Outcome o = ShowDialogExpecting(1, kSecretDigest,
                                    {Type(L"x"), Click(IDOK), FocusIn(pwdFrm::kIdTxtPwd),
                                     Post(WM_SYSCOMMAND, SC_CLOSE)});
    EXPECT_EQ(o.result, 0);
    EXPECT_EQ(o.boxes.size(), 1u);
}

TEST(PwdFrm, ShowsTheHintAfterTheLabel) {
    for (const wchar_t* hint : {L"my first cat", L"", L"A & B"}) {
        std::wstring label;
        ShowDialog(kSecretDigest,
                   {Check([&](HWND d) { label = TextOf(GetDlgItem(d, pwdFrm::kIdLblHint)); }),
                    Click(IDCANCEL)},
                   hint);
        EXPECT_EQ(label, std::wstring(L"Hint: ") + hint);
    }
}

TEST(PwdFrm, TabWalksEntryOkCancel) {
    std::vector<int> focus;
    auto record = Check([&](HWND d) {
        focus.push_back(GetDlgCtrlID(GetFocus()));
        (void)d;
    });
    Outcome o = ShowDialog(kSecretDigest, {record, Press(VK_TAB), FocusIn(IDOK), record,
                                           Press(VK_TAB), FocusIn(IDCANCEL), record, Press(VK_TAB),
                                           FocusIn(pwdFrm::kIdTxtPwd), record, Click(IDCANCEL)});
    EXPECT_EQ(o.result, 2);
    EXPECT_EQ(focus, (std::vector<int>{pwdFrm::kIdTxtPwd, IDOK, IDCANCEL, pwdFrm::kIdTxtPwd}));
}

TEST(PwdFrm, IsAModalFixedDialogOverItsOwner) {
    Owner owner;
    bool ownerEnabled = true;
    HWND ownerSeen = nullptr;
    LONG_PTR style = 0;
    std::wstring caption;
    RECT dialogRect{}, ownerRect{};
    GetWindowRect(owner.hwnd(), &ownerRect);
    Outcome o = ShowDialog(kSecretDigest,
                           {Check([&](HWND d) {
                                ownerEnabled = IsWindowEnabled(owner.hwnd());
                                ownerSeen = GetWindow(d, GW_OWNER);
                                style = GetWindowLongPtrW(d, GWL_STYLE);
                                caption = TextOf(d);
                                GetWindowRect(d, &dialogRect);
                            }),
                            Type(L"secret"), Click(IDOK)},
                           L"", owner.hwnd());
    EXPECT_EQ(o.result, 1);
    EXPECT_FALSE(ownerEnabled);
    EXPECT_TRUE(IsWindowEnabled(owner.hwnd()));  // given back when the dialog ends
    EXPECT_EQ(ownerSeen, owner.hwnd());
    EXPECT_EQ(caption, kCaption);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
    EXPECT_LE(std::abs((dialogRect.left + dialogRect.right) - (ownerRect.left + ownerRect.right)),
              1);
    EXPECT_LE(std::abs((dialogRect.top + dialogRect.bottom) - (ownerRect.top + ownerRect.bottom)),
              1);
}

struct Placed {
    int id;
    int left, top, width, height;  // twips
};

TEST(PwdFrm, LaysOutTheControlsInTwipsAtTheDisplayDpi) {
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    auto px = [dpi](int twips) { return TwipsToPixels(twips, dpi); };

    const Placed layout[] = {{pwdFrm::kIdLblHint, 105, 240, 5355, 570},
                             {pwdFrm::kIdImage1, 1050, 795, 510, 465},
                             {pwdFrm::kIdLabel2, 1665, 975, 1350, 285},
                             {pwdFrm::kIdTxtPwd, 3045, 960, 1500, 315},
                             {IDOK, 1722, 1545, 1005, 360},
                             {IDCANCEL, 2854, 1545, 1005, 360}};
    RECT client{};
    std::vector<RECT> rects;
    std::vector<std::wstring> faces;
    std::vector<LONG> heights;
    std::wstring label2, ok, cancel;
    WCHAR mask = 0;
    LRESULT limit = 0;
    LONG_PTR imageStyle = 0;
    LONG_PTR okStyle = 0;
    ShowDialog(kSecretDigest,
               {Check([&](HWND d) {
                    GetClientRect(d, &client);
                    for (const Placed& p : layout) {
                        HWND c = GetDlgItem(d, p.id);
                        RECT r{};
                        GetWindowRect(c, &r);
                        MapWindowPoints(nullptr, d, reinterpret_cast<POINT*>(&r), 2);
                        rects.push_back(r);
                        LOGFONTW font{};
                        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(c, WM_GETFONT, 0, 0)),
                                   sizeof font, &font);
                        faces.push_back(font.lfFaceName);
                        heights.push_back(font.lfHeight);
                    }
                    label2 = TextOf(GetDlgItem(d, pwdFrm::kIdLabel2));
                    ok = TextOf(GetDlgItem(d, IDOK));
                    cancel = TextOf(GetDlgItem(d, IDCANCEL));
                    mask = static_cast<WCHAR>(SendMessageW(Entry(d), EM_GETPASSWORDCHAR, 0, 0));
                    limit = SendMessageW(Entry(d), EM_GETLIMITTEXT, 0, 0);
                    imageStyle = GetWindowLongPtrW(GetDlgItem(d, pwdFrm::kIdImage1), GWL_STYLE);
                    okStyle = GetWindowLongPtrW(GetDlgItem(d, IDOK), GWL_STYLE);
                }),
                Click(IDCANCEL)});
    EXPECT_EQ(client.right, px(5580));
    EXPECT_EQ(client.bottom, px(2100));
    ASSERT_EQ(rects.size(), std::size(layout));
    for (size_t i = 0; i < rects.size(); ++i) {
        SCOPED_TRACE(layout[i].id);
        EXPECT_EQ(rects[i].left, px(layout[i].left));
        EXPECT_EQ(rects[i].top, px(layout[i].top));
        EXPECT_EQ(rects[i].right - rects[i].left, px(layout[i].width));
        EXPECT_EQ(rects[i].bottom - rects[i].top, px(layout[i].height));
        if (layout[i].id == pwdFrm::kIdImage1) continue;  // a picture has no font
        EXPECT_EQ(faces[i], L"Tahoma");
        EXPECT_EQ(heights[i], PointsToFontHeight(9, dpi));
    }
    if (dpi == 96) {  // the same at the usual DPI, spelled out
        EXPECT_EQ(client.right, 372);
        EXPECT_EQ(client.bottom, 140);
        EXPECT_EQ(rects[3].left, 203);
        EXPECT_EQ(heights[0], -12);
    }
    EXPECT_EQ(label2, L"Enter Password:");
    EXPECT_EQ(ok, L"OK");
    EXPECT_EQ(cancel, L"Cancel");
    EXPECT_EQ(mask, L'*');
    EXPECT_GT(limit, 30000);  // more than an edit box's default
    EXPECT_EQ(imageStyle & SS_TYPEMASK, SS_ICON);
    EXPECT_EQ(okStyle & BS_TYPEMASK, BS_DEFPUSHBUTTON);
}

TEST(PwdFrm, ShowsTheKeyPictureLoadedAt36Pixels) {
    if (!FindResourceW(nullptr, MAKEINTRESOURCEW(IDI_KEY_PICTURE), RT_GROUP_ICON))
        GTEST_SKIP() << "built without the key picture";
    HICON shown = nullptr;
    SIZE size{};
    ShowDialog(kSecretDigest, {Check([&](HWND d) {
                                   shown = reinterpret_cast<HICON>(SendMessageW(
                                       GetDlgItem(d, pwdFrm::kIdImage1), STM_GETICON, 0, 0));
                                   ICONINFO info{};
                                   if (shown && GetIconInfo(shown, &info)) {
                                       BITMAP bitmap{};
                                       GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask,
                                                  sizeof bitmap, &bitmap);
                                       size = {bitmap.bmWidth, bitmap.bmHeight};
                                       DeleteObject(info.hbmColor);
                                       DeleteObject(info.hbmMask);
                                   }
                               }),
                               Click(IDCANCEL)});
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(size.cx, 36);
    EXPECT_EQ(size.cy, 36);
}

TEST(PwdFrm, TakesAPasswordLongerThanAnEditBoxUsuallyHolds) {
    std::wstring longPassword(40000, L'k');
    std::wstring digest = CMD5().MD5(longPassword);
    int length = 0;
    // Pasted: a replacement of the selection is held to the box's limit.
    Outcome o =
        ShowDialog(digest, {Check([&](HWND d) {
                                SendMessageW(Entry(d), EM_REPLACESEL, TRUE,
                                             reinterpret_cast<LPARAM>(longPassword.c_str()));
                                length = GetWindowTextLengthW(Entry(d));
                            }),
                            Click(IDOK)});
    EXPECT_EQ(length, 40000);
    EXPECT_EQ(o.result, 1);
}

}  // namespace
}  // namespace zendrel
