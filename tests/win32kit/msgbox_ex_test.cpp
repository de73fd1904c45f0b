// The positioned message box on real windows: where the box appears, what it
// shows and answers, and that its hook does not outlive it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "message_boxes.h"
#include "msgbox_ex.h"
#include "program_name.h"

namespace zendrel {
namespace {

using test::BoxInfo;
using test::MessageBoxAnswerer;

// A plain top-level window to own the boxes, at a given screen rectangle.
class OwnerWindow {
  public:
    OwnerWindow(int x, int y, int width, int height) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"MsgBoxExTestOwner";
        RegisterClassW(&wc);  // fails harmlessly when already registered
        hwnd_ = CreateWindowExW(0, wc.lpszClassName, L"Owner", WS_OVERLAPPEDWINDOW, x, y, width,
                                height, nullptr, nullptr, wc.hInstance, nullptr);
        ShowWindow(hwnd_, SW_SHOW);
        test::PumpMessages();
    }
    ~OwnerWindow() { DestroyWindow(hwnd_); }
    OwnerWindow(const OwnerWindow&) = delete;
    OwnerWindow& operator=(const OwnerWindow&) = delete;

    HWND hwnd() const { return hwnd_; }
    RECT rect() const {
        RECT r{};
        GetWindowRect(hwnd_, &r);
        return r;
    }

  private:
    HWND hwnd_ = nullptr;
};

// An icon of the test's own, distinct from every system icon.
class TestIcon {
  public:
    TestIcon() {
        BYTE andMask[32 * 32 / 8];
        BYTE xorMask[32 * 32 / 8];
        for (int i = 0; i < 128; ++i) {
            andMask[i] = 0;
            xorMask[i] = static_cast<BYTE>(i % 2 ? 0xAA : 0x55);
        }
        icon_ = CreateIcon(GetModuleHandleW(nullptr), 32, 32, 1, 1, andMask, xorMask);
    }
    ~TestIcon() { DestroyIcon(icon_); }
    TestIcon(const TestIcon&) = delete;
    TestIcon& operator=(const TestIcon&) = delete;
    HICON get() const { return icon_; }

  private:
    HICON icon_ = nullptr;
};

BoxInfo OnlyBox(const MessageBoxAnswerer& answerer) {
    EXPECT_EQ(answerer.Seen().size(), 1u);
    return answerer.Seen().empty() ? BoxInfo{} : answerer.Seen().front();
}

TEST(MsgBoxEx, PlacesTheBoxAtTheGivenPointWhereverTheOwnerIs) {
    for (RECT where :
         {RECT{100, 100, 700, 500}, RECT{500, 400, 1200, 1000}, RECT{0, 0, 300, 200}}) {
        OwnerWindow owner(where.left, where.top, where.right - where.left,
                          where.bottom - where.top);
        MessageBoxAnswerer answerer({IDYES});
        EXPECT_EQ(MsgBoxEx(owner.hwnd(), L"Would you like to save your changes?", 35,
                           L"Save Changes", 50, 250, nullptr),
                  IDYES);
        BoxInfo box = OnlyBox(answerer);
        EXPECT_EQ(box.rect.left, 50);
        EXPECT_EQ(box.rect.top, 250);
        EXPECT_EQ(box.title, L"Save Changes");
        EXPECT_EQ(box.text, L"Would you like to save your changes?");
        EXPECT_EQ(box.icon, 32);
        EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO, IDCANCEL}));
        EXPECT_FALSE(MsgBoxHookInstalled());
    }
}

TEST(MsgBoxEx, PlacesTheBoxAtTheLeftEdgeOfTheScreen) {
    OwnerWindow owner(400, 300, 500, 400);
    MessageBoxAnswerer answerer({IDOK});
    EXPECT_EQ(MsgBoxEx(owner.hwnd(), L"No log yet.\r\nSecond line.", 64, L"Activity Log", 0, 250,
                       nullptr),
              IDOK);
    BoxInfo box = OnlyBox(answerer);
    EXPECT_EQ(box.rect.left, 0);
    EXPECT_EQ(box.rect.top, 250);
    EXPECT_EQ(box.text, L"No log yet.\r\nSecond line.");
    EXPECT_EQ(box.icon, 64);
    EXPECT_EQ(box.buttons, (std::vector<int>{IDOK}));
}

TEST(MsgBoxEx, CentresOverTheOwnerForMinusOne) {
    for (RECT where : {RECT{100, 100, 900, 701}, RECT{333, 222, 1100, 900}}) {
        OwnerWindow owner(where.left, where.top, where.right - where.left,
                          where.bottom - where.top);
        RECT o = owner.rect();
        MessageBoxAnswerer answerer({IDOK});
        EXPECT_EQ(MsgBoxEx(owner.hwnd(), L"centred", 0, L"Centre", -1, -1, nullptr), IDOK);
        RECT b = OnlyBox(answerer).rect;
        // The centres agree to within the rounding of the two halves.
        EXPECT_LE(std::abs((b.left + b.right) - (o.left + o.right)), 2);
        EXPECT_LE(std::abs((b.top + b.bottom) - (o.top + o.bottom)), 2);
    }
    // One coordinate centred, the other given.
    OwnerWindow owner(600, 300, 500, 500);
    RECT o = owner.rect();
    MessageBoxAnswerer answerer({IDOK});
    EXPECT_EQ(MsgBoxEx(owner.hwnd(), L"half", 0, L"Centre", 20, -1, nullptr), IDOK);
    RECT b = OnlyBox(answerer).rect;
    EXPECT_EQ(b.left, 20);
    EXPECT_LE(std::abs((b.top + b.bottom) - (o.top + o.bottom)), 2);
}

TEST(MsgBoxEx, CentresOnTheWorkAreaWithoutAnOwner) {
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    MessageBoxAnswerer answerer({IDOK});
    EXPECT_EQ(MsgBoxEx(nullptr, L"no owner", 0, L"Centre", -1, 40, nullptr), IDOK);
    RECT b = OnlyBox(answerer).rect;
    EXPECT_EQ(b.top, 40);
    EXPECT_LE(std::abs((b.left + b.right) - (work.left + work.right)), 2);
}

TEST(MsgBoxEx, ReturnsTheCodeOfTheButtonPressed) {
    OwnerWindow owner(100, 100, 400, 300);
    for (int answer : {IDYES, IDNO, IDCANCEL}) {
        MessageBoxAnswerer answerer({answer});
        EXPECT_EQ(MsgBoxEx(owner.hwnd(), L"Would you like to save your changes?", 35,
                           L"Save Changes", 50, 250, nullptr),
                  answer);
        EXPECT_EQ(OnlyBox(answerer).pressed, answer);
    }
}

TEST(MsgBoxEx, StandsTheProgramNameForTheExactPlaceholderOnly) {
    OwnerWindow owner(100, 100, 400, 300);
    MessageBoxAnswerer answerer({IDOK, IDOK, IDOK, IDOK});
    // Until the program names itself, its name is its file's.
    MsgBoxEx(owner.hwnd(), L"a", 0, L"SWVB_DEFAULT_TO_APP_TITLE", 50, 250, nullptr);
    SetProgramName(L"Kit Program");
    MsgBoxEx(owner.hwnd(), L"b", 0, L"SWVB_DEFAULT_TO_APP_TITLE", 50, 250, nullptr);
    MsgBoxEx(owner.hwnd(), L"c", 0, L"swvb_default_to_app_title", 50, 250, nullptr);
    MsgBoxEx(owner.hwnd(), L"d", 0, L"SWVB_DEFAULT_TO_APP_TITLE ", 50, 250, nullptr);
    ASSERT_EQ(answerer.Seen().size(), 4u);
    EXPECT_EQ(answerer.Seen()[0].title, L"msgbox_ex_tests");
    EXPECT_EQ(answerer.Seen()[1].title, L"Kit Program");
    EXPECT_EQ(answerer.Seen()[2].title, L"swvb_default_to_app_title");
    EXPECT_EQ(answerer.Seen()[3].title, L"SWVB_DEFAULT_TO_APP_TITLE ");
}

// Reads the icon control of the box that is up, then presses OK: the icon
// must be read while the box still exists.
struct IconReader {
    static inline HICON shown = nullptr;
    static inline LONG_PTR iconStyle = 0;
    static inline bool visible = false;
    static inline LONG textLeft = 0;  // of the message text, in the box's client area
    static inline bool found = false;

    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
        HWND box = test::FindMessageBox(GetCurrentProcessId());
        if (!box || found) return;
        found = true;
        HWND first = FindWindowExW(box, nullptr, L"Static", nullptr);
        if (first) {
            shown = reinterpret_cast<HICON>(SendMessageW(first, STM_GETICON, 0, 0));
            iconStyle = GetWindowLongPtrW(first, GWL_STYLE) & SS_TYPEMASK;
            visible = IsWindowVisible(first);
        }
        RECT text{};
        GetWindowRect(GetDlgItem(box, 0xFFFF), &text);
        MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&text), 2);
        textLeft = text.left;
        test::PressButton(box, IDOK);
    }

    static void Show(HWND owner, int buttons, HICON icon) {
        shown = nullptr;
        iconStyle = 0;
        visible = false;
        textLeft = 0;
        found = false;
        UINT_PTR timer = SetTimer(nullptr, 0, 20, OnTimer);
        MsgBoxEx(owner, L"icon", buttons, L"Icon", 50, 250, icon);
        KillTimer(nullptr, timer);
    }
};

TEST(MsgBoxEx, PutsTheCustomIconIntoTheBox) {
    OwnerWindow owner(100, 100, 400, 300);
    TestIcon icon;
    ASSERT_NE(icon.get(), nullptr);
    // A style without an icon gets the information bit, so there is a control to take it.
    IconReader::Show(owner.hwnd(), 0, icon.get());
    ASSERT_TRUE(IconReader::found);
    EXPECT_EQ(IconReader::iconStyle, SS_ICON);
    EXPECT_TRUE(IconReader::visible);
    EXPECT_EQ(IconReader::shown, icon.get());
    LONG customLeft = IconReader::textLeft;
    // A style that has an icon already.
    IconReader::Show(owner.hwnd(), 48, icon.get());
    EXPECT_EQ(IconReader::shown, icon.get());
    // The text makes room for the icon as in a box with the information icon,
    // not as in one without an icon.
    IconReader::Show(owner.hwnd(), 64, nullptr);
    EXPECT_EQ(customLeft, IconReader::textLeft);
    IconReader::Show(owner.hwnd(), 0, nullptr);
    EXPECT_GT(customLeft, IconReader::textLeft);

    // Without a custom icon the style is left as it is: no icon, or the box's own.
    MessageBoxAnswerer answerer({IDOK, IDOK});
    MsgBoxEx(owner.hwnd(), L"plain", 0, L"Plain", 50, 250, nullptr);
    MsgBoxEx(owner.hwnd(), L"stop", 16, L"Stop", 50, 250, nullptr);
    ASSERT_EQ(answerer.Seen().size(), 2u);
    EXPECT_EQ(answerer.Seen()[0].icon, 0);
    EXPECT_EQ(answerer.Seen()[1].icon, 16);
}

// A window of another class that becomes active while the hook waits: made
// visible and active by a hook of the test's own when the box is created.
struct Decoy {
    static inline HWND window = nullptr;
    static inline HHOOK hook = nullptr;
    static inline bool activated = false;
    static inline bool hookWasWaiting = false;

    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HCBT_CREATEWND && !activated) {
            auto* create = reinterpret_cast<CBT_CREATEWNDW*>(lParam);
            if (create->lpcs->lpszClass == MAKEINTATOM(32770) ||
                (!IS_INTRESOURCE(create->lpcs->lpszClass) &&
                 std::wstring(create->lpcs->lpszClass) == L"#32770")) {
                activated = true;
                SetWindowPos(window, HWND_TOP, 0, 0, 0, 0,
                             SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
                SetActiveWindow(window);
                hookWasWaiting = MsgBoxHookInstalled();
            }
        }
        return CallNextHookEx(hook, code, wParam, lParam);
    }
};

TEST(MsgBoxEx, LeavesWindowsOfOtherClassesAloneAndWaitsForTheBox) {
    OwnerWindow owner(100, 100, 400, 300);
    Decoy::window = CreateWindowExW(0, L"MsgBoxExTestOwner", L"Decoy", WS_OVERLAPPEDWINDOW, 700,
                                    600, 200, 150, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(Decoy::window, nullptr);
    Decoy::activated = false;
    Decoy::hook = SetWindowsHookExW(WH_CBT, Decoy::Hook, nullptr, GetCurrentThreadId());
    ASSERT_NE(Decoy::hook, nullptr);
    MessageBoxAnswerer answerer({IDOK});
    EXPECT_EQ(MsgBoxEx(owner.hwnd(), L"decoy", 0, L"Decoy", 50, 250, nullptr), IDOK);
    UnhookWindowsHookEx(Decoy::hook);
    RECT decoy{};
    GetWindowRect(Decoy::window, &decoy);
    DestroyWindow(Decoy::window);
    EXPECT_TRUE(Decoy::activated);
    EXPECT_TRUE(Decoy::hookWasWaiting);
    EXPECT_EQ(decoy.left, 700);
    EXPECT_EQ(decoy.top, 600);
    BoxInfo box = OnlyBox(answerer);
    EXPECT_EQ(box.rect.left, 50);
    EXPECT_EQ(box.rect.top, 250);
}

TEST(MsgBoxEx, RemovesItsHookWithTheBox) {
    OwnerWindow owner(300, 300, 600, 400);
    MessageBoxAnswerer answerer({IDOK, IDOK});
    MsgBoxEx(owner.hwnd(), L"moved", 0, L"Moved", 50, 250, nullptr);
    EXPECT_FALSE(MsgBoxHookInstalled());
    MessageBoxW(owner.hwnd(), L"not moved", L"Plain", MB_OK);
    ASSERT_EQ(answerer.Seen().size(), 2u);
    EXPECT_EQ(answerer.Seen()[0].rect.left, 50);
    EXPECT_NE(answerer.Seen()[1].rect.left, 50);
    EXPECT_NE(answerer.Seen()[1].rect.top, 250);
}

TEST(MsgBoxEx, RemovesItsHookWhenTheBoxCannotBeShown) {
    OwnerWindow owner(300, 300, 600, 400);
    HWND destroyed = CreateWindowExW(0, L"MsgBoxExTestOwner", L"Gone", WS_OVERLAPPEDWINDOW, 0, 0,
                                     100, 100, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(destroyed);
    // The box reports failure as 0 (Windows) or -1 (Wine): no button's code.
    EXPECT_LE(MsgBoxEx(destroyed, L"never shown", 0, L"Never", 50, 250, nullptr), 0);
    EXPECT_FALSE(MsgBoxHookInstalled());
    // The next ordinary box is not moved by a hook left behind.
    MessageBoxAnswerer answerer({IDOK});
    MessageBoxW(owner.hwnd(), L"not moved", L"Plain", MB_OK);
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_NE(answerer.Seen()[0].rect.left, 50);
}

}  // namespace
}  // namespace zendrel
