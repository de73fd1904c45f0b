// mainFrm, the one main window of ZendrelPanel ("Zendrel Settings"): its
// controls hold every setting while the program runs. The window keeps
// `this` in GWLP_USERDATA; its static window procedure forwards to
// WindowProc, and no exception gets past that boundary into user32.
//
// The settings store (settings_store.cpp) and the site-list handlers
// (site_lists.cpp) are member functions of this class as well.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>

#include "controls.h"
#include "failure.h"
#include "main_layout.h"

namespace zendrel {

class RegistryWrapper;

// How the closing of the window was asked for, as Form_QueryUnload receives it.
constexpr std::int16_t kUnloadFromControlMenu = 0;  // close box, Alt+F4, system menu
constexpr std::int16_t kUnloadFromCode = 1;         // btnClose
constexpr std::int16_t kUnloadFromWindows = 2;      // the session is ending

// Owns one GDI or user object handle and frees it with Free.
template <typename Handle, BOOL(WINAPI* Free)(Handle)>
class OwnedHandle {
  public:
    OwnedHandle() = default;
    explicit OwnedHandle(Handle handle) : handle_(handle) {}
    ~OwnedHandle() { Reset(); }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    OwnedHandle(OwnedHandle&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
    OwnedHandle& operator=(OwnedHandle&& other) noexcept {
        if (this != &other) {
            Reset();
            handle_ = other.handle_;
            other.handle_ = nullptr;
        }
        return *this;
    }
    Handle Get() const { return handle_; }
    void Reset() {
        if (handle_) Free(handle_);
        handle_ = nullptr;
    }

  private:
    Handle handle_ = nullptr;
};

inline BOOL WINAPI DeleteFontObject(HFONT font) {
    return DeleteObject(font);
}
using FontHandle = OwnedHandle<HFONT, DeleteFontObject>;
using IconHandle = OwnedHandle<HICON, DestroyIcon>;

class MainFrm {
  public:
    // programFolder: the folder of the running program, where urls.txt lies,
    // without a trailing separator. dpi: the DPI to lay the window out at;
    // 0 takes the screen's. Creates the window and all its controls, hidden.
    explicit MainFrm(std::wstring programFolder, int dpi = 0);
    ~MainFrm();
    MainFrm(const MainFrm&) = delete;
    MainFrm& operator=(const MainFrm&) = delete;

    // Raises Form_Load, then makes the window visible, centred on the screen,
    // with the focus in txtAddSite.
    void Show();

    // Gives the window's keyboard interface (Tab, Alt+letter, Enter) a message
    // of the thread's loop; true when the message was handled and must not be
    // dispatched again.
    bool PreTranslateMessage(MSG& msg);

    // When set, the window's destruction ends the thread's message loop.
    void SetQuitOnDestroy(bool quit) { quitOnDestroy_ = quit; }

    HWND Hwnd() const { return hwnd_; }
    int Dpi() const { return dpi_; }
    const std::wstring& ProgramFolder() const { return programFolder_; }
    // The window of a control of the table; null for a picture box (a
    // container without a window of its own).
    HWND Control(int id) const;
    HWND Tooltip() const { return tooltip_; }

    // --- controls ---
    TextBox txtAddSite, txtPwd, txtPwdConfirm, txtHint;
    ListBox listApproved, listRequested;
    CheckBox chkEnable, chkLogging, chkPwd;

    // The stored password digest and hint, filled when the window loads.
    std::wstring savedDigest, savedHint;

    // --- opening and closing ---
    void Form_Load();
    // Runs whenever the window is about to close; a non-zero Cancel keeps it open.
    void Form_QueryUnload(std::int16_t& Cancel, std::int16_t UnloadMode);
    void btnClose_Click();
    // Closes the window as btnClose does: Form_QueryUnload first, then, unless
    // cancelled, the window goes.
    void Unload(std::int16_t unloadMode);
    // Saves every setting in order, each saver reporting its own failure, and
    // ends the program; returns only when its own failure handler has run.
    void SaveAllSettings();
    // Whether the program has been ended at once (seen only by in-process tests,
    // whose hook keeps the process alive).
    bool ProgramEnded() const { return programEnded_; }

    // --- settings store ---
    void LoadApprovedSites();
    void LoadRequestedSites();
    void LoadActivityLogging();
    void LoadMode();
    void SaveApprovedSites();
    void SaveRequestedSites();
    void SaveActivityLogging();
    void SaveMode();
    void chkEnable_Click();
    void ShowPermissionsMessage();
    // Starts one save of settings: the permissions message may show once more.
    void BeginSave() { permissionsShownThisSave_ = false; }

    // Which settings the window holds: set by a loader that ran to its end
    // (and for "mode" also by a change of chkEnable). A saver writes only a
    // setting the window holds, so a load that stopped part-way never lets a
    // save overwrite the stored values it did not read.
    struct HeldSettings {
        bool approvedSites = false;
        bool requestedSites = false;
        bool activityLogging = false;
        bool mode = false;
    };
    const HeldSettings& Held() const { return held_; }

    // --- site lists ---
    void btnAdd_Click();
    void txtAddSite_KeyPress(int KeyAscii);
    void btnRemove_Click();
    void listApproved_DblClick();
    void btnReview_Click();
    void btnApprove_Click();
    void btnDeny_Click();
    // Hands Target to the shell's default action; returns what ShellExecuteA returns.
    static std::int32_t ShellOpen(const std::wstring& Target);

    // --- password (password_settings.cpp) ---
    bool LoadPasswordSettings();
    void SavePasswordSettings();
    void chkPwd_Click();
    void txtPwd_GotFocus();
    void txtPwdConfirm_GotFocus();
    // txtPwd still holds the placeholder the window loaded for the stored password.
    bool PasswordUnchanged() const;
    // A new password is to be saved that txtPwdConfirm does not repeat.
    bool NewPasswordUnconfirmed() const;

    // --- activity log and help links (links.cpp) ---
    void linkViewLog_Click();
    void lblLink_Click();
    void linkViewLog_MouseMove();
    void lblLink_MouseMove();
    void Form_MouseMove();
    void Frame1_MouseMove();
    void Frame2_MouseMove();
    // A mouse movement that reached the window itself, at a point of its
    // client area: raises the MouseMove of the frame there, or of the form.
    void MouseMovedOverForm(POINT point);

    // How a link label is drawn: its text colour and whether it is underlined.
    struct LinkLook {
        COLORREF color = RGB(0, 0, 192);
        bool underline = false;
    };
    const LinkLook& GetLinkLook(int id) const;
    void SetLinkLook(int id, LinkLook look);

  private:
    static void SelectAll(TextBox& box);
    // Ends the program at once, through EndProgramNow.
    void EndProgram();

    static LRESULT CALLBACK StaticWindowProc(HWND, UINT, WPARAM, LPARAM) noexcept;
    static LRESULT CALLBACK AddSiteSubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR,
                                                DWORD_PTR) noexcept;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    void OnCommand(int id, int code);
    // Reports a failure that reached the window procedure without a handler of its own.
    void ReportUnhandled(const Failure& failure) noexcept;

    void CreateControls();
    // Fonts, pictures, positions and the window's size at the given DPI; the
    // window goes to `placement` when given, else to the centre of the screen.
    void ApplyDpi(int dpi, const RECT* placement);
    void ApplyFonts();

    RegistryWrapper SettingsKey(std::int32_t root) const;
    // Report of a saver's failure: 70 gives the permissions message, any
    // other number the failure report under "Save Settings Error".
    void ReportSaveFailure(const Failure& failure, const wchar_t* introduction);
    // A registry write that Windows refused: the permissions message, once per save.
    void ReportRefusedWrite();

    std::wstring programFolder_;
    int dpi_ = 96;
    HWND hwnd_ = nullptr;
    HWND tooltip_ = nullptr;
    std::array<HWND, kIdBtnClose - kIdFrame1 + 1> controls_{};
    FontHandle font_, underlineFont_;
    IconHandle bigIcon_, smallIcon_, sitePicture_;
    HCURSOR linkCursor_ = nullptr;  // shared resource: not freed
    LinkLook viewLogLook_, helpLinkLook_;
    HWND focusBeforeDeactivation_ = nullptr;
    HeldSettings held_;
    bool permissionsShownThisSave_ = false;
    bool quitOnDestroy_ = false;
    bool programEnded_ = false;
};

}  // namespace zendrel
