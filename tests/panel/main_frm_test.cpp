// The main settings window as a user meets it: its controls with their
// captions, places and font at two DPIs, its images and tooltip, the focus
// and the keyboard (Tab order, Alt letters, Enter).
#include <windows.h>
#include <oleacc.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "main_frm.h"
#include "panel_fixture.h"
#include "resource.h"
#include "string_table.h"
#include "window_driver.h"

namespace zendrel::test {
namespace {

// The controls as the window must show them: caption and place in twips
// from the top-left corner of the window's inner area (container offsets
// added up by hand).
struct Expected {
    int id;
    const wchar_t* windowClass;
    const wchar_t* caption;
    int left, top, width, height;
};

// clang-format off
const Expected kExpected[] = {
    {kIdFrame1,        L"Button",  L"Site Settings",                      120,   45, 6135, 4800},
    {kIdImage1,        L"Static",  L"",                                   285,  345,  480,  480},
    {kIdLabel1,        L"Static",  L"Use this tool window to edit the site and other settings for "
                                   L"Zendrel.  Click Settings Help below for more info.",
                                                                         1035,  345, 5085,  555},
    {kIdLabel2,        L"Static",  L"Address of Web site to allow:",      225,  870, 4335,  255},
    {kIdTxtAddSite,    L"Edit",    L"",                                   225, 1125, 4740,  315},
    {kIdBtnAdd,        L"Button",  L"&Add",                              5025, 1125, 1095,  330},
    {kIdLabel3,        L"Static",  L"Allowed Sites:",                     225, 1500, 1935,  255},
    {kIdListApproved,  L"ListBox", L"",                                   225, 1740, 4740, 1530},
    {kIdBtnRemove,     L"Button",  L"&Remove",                           5055, 1725, 1095,  330},
    {kIdLabel5,        L"Static",  L"Requested Sites:",                   225, 3360, 1935,  255},
    {kIdListRequested, L"ListBox", L"",                                   225, 3615, 4740, 1110},
    {kIdBtnApprove,    L"Button",  L"Approve",                           5055, 3600, 1095,  330},
    {kIdBtnDeny,       L"Button",  L"Deny",                              5055, 4380, 1095,  330},
    {kIdBtnReview,     L"Button",  L"Review",                            5055, 3990, 1095,  330},
    {kIdFrame2,        L"Button",  L"Other Settings",                     105, 4875, 6135, 2505},
    {kIdChkEnable,     L"Button",  L"Enable Zendrel for the Current User", 300, 5220, 4140,  255},
    {kIdChkLogging,    L"Button",  L"Enable Activity Logging",            300, 5595, 2325,  255},
    {kIdLinkViewLog,   L"Static",  L"View Activity Log",                 2655, 5610, 1515,  300},
    {kIdChkPwd,        L"Button",  L"Protect Zendrel Settings with a Password", 300, 6015, 4125, 255},
    {kIdLabel6,        L"Static",  L"Password:",                          315, 6435, 1005,  270},
    {kIdTxtPwd,        L"Edit",    L"",                                  1185, 6390, 1500,  315},
    {kIdLabel7,        L"Static",  L"Confirm Password:",                 2760, 6420, 1650,  270},
    {kIdTxtPwdConfirm, L"Edit",    L"",                                  4320, 6390, 1500,  315},
    {kIdLabel8,        L"Static",  L"Hint:",                              315, 6810,  990,  270},
    {kIdTxtHint,       L"Edit",    L"",                                  1185, 6795, 4620,  315},
    {kIdLblLink,       L"Static",  L"Settings Help",                      180, 7440, 1140,  300},
    {kIdBtnClose,      L"Button",  L"&Close",                            5100, 7440, 1095,  330},
};
// clang-format on

// Half a pixel rounds up.
int Px(int twips, int dpi) {
    return (twips * dpi + 720) / 1440;
}

class MainFrmTest : public PanelFixture {};

void ExpectLayout(MainFrm& window, int dpi) {
    EXPECT_EQ(window.Dpi(), dpi);
    RECT client{};
    GetClientRect(window.Hwnd(), &client);
    EXPECT_EQ(client.right, Px(6375, dpi));
    EXPECT_EQ(client.bottom, Px(7875, dpi));
    for (const Expected& e : kExpected) {
        HWND control = window.Control(e.id);
        ASSERT_NE(control, nullptr) << e.id;
        SCOPED_TRACE(testing::Message() << "control " << e.id << " at " << dpi << " dpi");
        EXPECT_EQ(GetParent(control), window.Hwnd());
        EXPECT_EQ(_wcsicmp(ClassOf(control).c_str(), e.windowClass), 0);
        EXPECT_EQ(TextOf(control), e.caption);
        EXPECT_TRUE(IsWindowVisible(control));
        RECT r = RectInParent(control);
        EXPECT_EQ(r.left, Px(e.left, dpi));
        EXPECT_EQ(r.top, Px(e.top, dpi));
        EXPECT_EQ(r.right - r.left, Px(e.width, dpi));
        EXPECT_EQ(r.bottom - r.top, Px(e.height, dpi));
        if (e.id == kIdImage1) continue;
        LOGFONTW font{};
        HFONT hfont = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
        ASSERT_NE(hfont, nullptr);
        GetObjectW(hfont, sizeof(font), &font);
        EXPECT_STREQ(font.lfFaceName, L"Tahoma");
        EXPECT_EQ(font.lfHeight, -(9 * dpi + 36) / 72);
        EXPECT_FALSE(font.lfUnderline);
    }
}

int IconSize(HICON icon) {
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) return 0;
    BITMAP bm{};
    GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bm), &bm);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    return bm.bmWidth;
}

TEST_F(MainFrmTest, ShowsEveryControlInPlaceAt96And144Dpi) {
    MessageBoxAnswerer boxes;
    for (int dpi : {96, 144}) {
        auto window = OpenWindow(dpi);
        EXPECT_EQ(TextOf(window->Hwnd()), L"Zendrel Settings");
        ExpectLayout(*window, dpi);
        // Image1 shows its picture at the size of its box.
        HICON picture = reinterpret_cast<HICON>(
            SendMessageW(window->Control(kIdImage1), STM_GETIMAGE, IMAGE_ICON, 0));
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(IconSize(picture), Px(480, dpi));
    }
    EXPECT_TRUE(boxes.Seen().empty());
}

// The ids come without gaps: an id with no text in the table is found here,
// not when a rare message is shown.
TEST(StringTable, HoldsATextForEveryId) {
    for (unsigned id = IDS_FIRST_TEXT; id <= IDS_LAST_TEXT; ++id) {
        const wchar_t* text = nullptr;
        EXPECT_GT(LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0), 0)
            << id;
    }
    // The kit's own text is worded in the table too; an id it lacks falls back or throws.
    EXPECT_EQ(LoadTextOr(kEventFailureTextId, L""),
              L"Error occurred trying to handle a window event: ");
    EXPECT_EQ(LoadTextOr(IDS_LAST_TEXT + 1, L"fallback"), L"fallback");
    EXPECT_THROW(LoadText(IDS_LAST_TEXT + 1), Failure);
}

TEST_F(MainFrmTest, FollowsAChangeOfDpi) {
    MessageBoxAnswerer boxes;
    auto window = OpenWindow(96);
    RECT suggested{40, 30, 700, 900};
    SendMessageW(window->Hwnd(), 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(144, 144),
                 reinterpret_cast<LPARAM>(&suggested));
    ExpectLayout(*window, 144);
    RECT placed{};
    GetWindowRect(window->Hwnd(), &placed);
    EXPECT_EQ(placed.left, 40);
    EXPECT_EQ(placed.top, 30);
}

TEST_F(MainFrmTest, IsAFixedWindowCentredOnTheScreenWithItsIcon) {
    MessageBoxAnswerer boxes;
    auto window = OpenWindow();
    LONG style = GetWindowLongW(window->Hwnd(), GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_TRUE(IsWindowVisible(window->Hwnd()));

    RECT work{}, placed{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(window->Hwnd(), &placed);
    EXPECT_LE(std::abs((placed.left + placed.right) - (work.left + work.right)), 1);
    EXPECT_LE(std::abs((placed.top + placed.bottom) - (work.top + work.bottom)), 1);

    HICON big = reinterpret_cast<HICON>(GetClassLongPtrW(window->Hwnd(), GCLP_HICON));
    HICON small = reinterpret_cast<HICON>(GetClassLongPtrW(window->Hwnd(), GCLP_HICONSM));
    EXPECT_EQ(IconSize(big), GetSystemMetrics(SM_CXICON));
    EXPECT_EQ(IconSize(small), GetSystemMetrics(SM_CXSMICON));
}

TEST_F(MainFrmTest, ControlsHaveTheirKinds) {
    MessageBoxAnswerer boxes;
    auto window = OpenWindow();
    for (int id : {kIdTxtPwd, kIdTxtPwdConfirm}) {
        HWND box = window->Control(id);
        EXPECT_TRUE(GetWindowLongW(box, GWL_STYLE) & ES_PASSWORD);
        EXPECT_EQ(SendMessageW(box, EM_GETPASSWORDCHAR, 0, 0), L'*');
        EXPECT_EQ(SendMessageW(box, EM_GETLIMITTEXT, 0, 0), 10);
    }
    for (int id : {kIdChkEnable, kIdChkLogging, kIdChkPwd})
        EXPECT_EQ(GetWindowLongW(window->Control(id), GWL_STYLE) & BS_TYPEMASK, BS_AUTOCHECKBOX);
    for (int id : {kIdFrame1, kIdFrame2})
        EXPECT_EQ(GetWindowLongW(window->Control(id), GWL_STYLE) & BS_TYPEMASK, BS_GROUPBOX);
    // The frames lie beneath every other control, so they never paint over one.
    HWND last = GetWindow(window->Control(kIdTxtAddSite), GW_HWNDLAST);
    HWND beforeLast = GetWindow(last, GW_HWNDPREV);
    EXPECT_TRUE((last == window->Control(kIdFrame1) && beforeLast == window->Control(kIdFrame2)) ||
                (last == window->Control(kIdFrame2) && beforeLast == window->Control(kIdFrame1)));
    // "Password:", "Confirm Password:" and "Hint:" reach under their text
    // boxes: each label lies beneath its box and clips it out of its painting.
    auto below = [](HWND lower, HWND upper) {
        for (HWND w = GetWindow(upper, GW_HWNDNEXT); w; w = GetWindow(w, GW_HWNDNEXT))
            if (w == lower) return true;
        return false;
    };
    for (auto [label, box] :
         {std::pair{kIdLabel6, kIdTxtPwd}, std::pair{kIdLabel7, kIdTxtPwdConfirm},
          std::pair{kIdLabel8, kIdTxtHint}}) {
        EXPECT_TRUE(below(window->Control(label), window->Control(box))) << label;
        EXPECT_TRUE(GetWindowLongW(window->Control(label), GWL_STYLE) & WS_CLIPSIBLINGS) << label;
    }
    // No button is the window's default.
    for (int id : {kIdBtnAdd, kIdBtnRemove, kIdBtnApprove, kIdBtnDeny, kIdBtnReview, kIdBtnClose})
        EXPECT_EQ(GetWindowLongW(window->Control(id), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
    for (int id : {kIdListApproved, kIdListRequested}) {
        LONG style = GetWindowLongW(window->Control(id), GWL_STYLE);
        EXPECT_FALSE(style & (LBS_SORT | LBS_MULTIPLESEL | LBS_EXTENDEDSEL));
        EXPECT_TRUE(style & LBS_NOTIFY);
    }
}

TEST_F(MainFrmTest, LinksAreDarkBlueWithTheHandPointer) {
    MessageBoxAnswerer boxes;
    auto window = OpenWindow();
    HDC dc = CreateCompatibleDC(nullptr);
    for (int id : {kIdLinkViewLog, kIdLblLink}) {
        HWND link = window->Control(id);
        EXPECT_TRUE(GetWindowLongW(link, GWL_STYLE) & SS_NOTIFY);
        SetTextColor(dc, RGB(1, 2, 3));
        SendMessageW(window->Hwnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(link));
        EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 192));
    }
    SetTextColor(dc, RGB(1, 2, 3));
    SendMessageW(window->Hwnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(window->Control(kIdLabel1)));
    EXPECT_EQ(GetTextColor(dc), RGB(1, 2, 3));
    DeleteDC(dc);

    HCURSOR hand = LoadCursorW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_LINK_HAND));
    ASSERT_NE(hand, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(hand, &info));
    EXPECT_FALSE(info.fIcon);
    EXPECT_EQ(info.xHotspot, 12u);
    EXPECT_EQ(info.yHotspot, 2u);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);

    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    SendMessageW(window->Hwnd(), WM_SETCURSOR,
                 reinterpret_cast<WPARAM>(window->Control(kIdLblLink)),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), hand);
}

TEST_F(MainFrmTest, ScreenReadersNameEachInputControl) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    MessageBoxAnswerer boxes;
    auto window = OpenWindow();
    const std::pair<int, const wchar_t*> names[] = {
        {kIdTxtAddSite, L"Address of Web site to allow"},
        {kIdListApproved, L"Allowed Sites"},
        {kIdListRequested, L"Requested Sites"},
        {kIdChkEnable, L"Enable Zendrel for the Current User"},
        {kIdChkLogging, L"Enable Activity Logging"},
        {kIdChkPwd, L"Protect Zendrel Settings with a Password"},
        {kIdTxtPwd, L"Password"},
        {kIdTxtPwdConfirm, L"Confirm Password"},
        {kIdTxtHint, L"Password hint"},
    };
    for (auto [id, name] : names) {
        IAccessible* accessible = nullptr;
        ASSERT_EQ(AccessibleObjectFromWindow(window->Control(id), OBJID_CLIENT, IID_IAccessible,
                                             reinterpret_cast<void**>(&accessible)),
                  S_OK);
        VARIANT self{};
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        BSTR read = nullptr;
        EXPECT_EQ(accessible->get_accName(self, &read), S_OK);
        EXPECT_EQ(std::wstring(read ? read : L""), name);
        SysFreeString(read);
        accessible->Release();
    }
    CoUninitialize();
}

TEST_F(MainFrmTest, CloseButtonHasItsTooltip) {
    MessageBoxAnswerer boxes;
    auto window = OpenWindow();
    HWND tips = window->Tooltip();
    ASSERT_NE(tips, nullptr);
    EXPECT_EQ(ClassOf(tips), TOOLTIPS_CLASSW);
    ASSERT_EQ(SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0), 1);
    wchar_t text[128] = {};
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.lpszText = text;
    ASSERT_TRUE(SendMessageW(tips, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&tool)));
    EXPECT_EQ(reinterpret_cast<HWND>(tool.uId), window->Control(kIdBtnClose));
    EXPECT_STREQ(text, L"Close window and save settings");
}

TEST_F(MainFrmTest, OpensWithTheFocusInTheAddressBox) {
    MessageBoxAnswerer boxes({IDOK});
    auto window = OpenWindow();
    EXPECT_EQ(GetFocus(), window->Control(kIdTxtAddSite));
    // Focus comes back to where it was after the window was inactive.
    SetFocus(window->Control(kIdListRequested));
    MessageBoxW(window->Hwnd(), L"a box", L"Box", MB_OK);
    Pump(*window);
    EXPECT_EQ(GetFocus(), window->Control(kIdListRequested));
}

TEST_F(MainFrmTest, TabWalksTheControlsInTabIndexOrder) {
    MessageBoxAnswerer boxes;
    auto window = OpenWindow();
    const int order[] = {kIdTxtAddSite,    kIdChkLogging, kIdBtnClose,      kIdListApproved,
                         kIdBtnAdd,        kIdBtnRemove,  kIdListRequested, kIdBtnDeny,
                         kIdBtnApprove,    kIdChkEnable,  kIdChkPwd,        kIdTxtPwd,
                         kIdTxtPwdConfirm, kIdTxtHint,    kIdBtnReview,     kIdTxtAddSite};
    ASSERT_EQ(GetFocus(), window->Control(order[0]));
    for (std::size_t i = 1; i < std::size(order); ++i) {
        PostKeyPress(VK_TAB);
        Pump(*window);
        EXPECT_EQ(GetDlgCtrlID(GetFocus()), order[i]) << "after " << i << " presses of Tab";
    }
}

TEST_F(MainFrmTest, AltLettersPressTheButtons) {
    MessageBoxAnswerer boxes({IDCANCEL});
    auto window = OpenWindow();
    TypeChars(window->Control(kIdTxtAddSite), L"alt.example");
    PostKeyPress('A', true);
    Pump(*window);
    EXPECT_EQ(ListRows(window->Control(kIdListApproved)),
              std::vector<std::wstring>{L"alt.example"});

    SelectRow(window->Control(kIdListApproved), 0);
    PostKeyPress('R', true);
    Pump(*window);
    EXPECT_TRUE(ListRows(window->Control(kIdListApproved)).empty());

    PostKeyPress('C', true);  // Close asks first; Cancel keeps the window
    Pump(*window);
    ASSERT_EQ(boxes.Seen().size(), 1u);
    EXPECT_EQ(boxes.Seen()[0].title, L"Save Changes");
}

TEST_F(MainFrmTest, EnterInTheAddressBoxAddsTheSite) {
    MessageBoxAnswerer boxes;
    auto window = OpenWindow();
    TypeChars(window->Control(kIdTxtAddSite), L"enter.example");
    PostKeyPress(VK_RETURN);
    Pump(*window);
    EXPECT_EQ(ListRows(window->Control(kIdListApproved)),
              std::vector<std::wstring>{L"enter.example"});
    EXPECT_EQ(TextOf(window->Control(kIdTxtAddSite)), L"");
    // Enter anywhere else presses nothing: no button is the default.
    TypeChars(window->Control(kIdTxtAddSite), L"other.example");
    SetFocus(window->Control(kIdTxtHint));
    PostKeyPress(VK_RETURN);
    Pump(*window);
    EXPECT_EQ(ListRows(window->Control(kIdListApproved)).size(), 1u);
    EXPECT_TRUE(IsWindow(window->Hwnd()));
}

}  // namespace
}  // namespace zendrel::test
