// mainFrm, the one main window of ZendrelPanel ("Zendrel Settings"): a view
// of the settings store. When it opens it asks for the password (when one is
// set) and loads the settings into its controls; whenever it is about to
// close it asks whether to save them; it shows every outcome of the store as
// the message a user sees.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <memory>
#include <optional>
#include <string>

#include "close_sequence.h"
#include "controls.h"
#include "handles.h"
#include "held_store.h"
#include "main_layout.h"
#include "messages.h"
#include "password_rules.h"
#include "settings.h"
#include "settings_store.h"
#include "settings_watcher.h"
#include "window_base.h"

namespace zendrel {

class MainFrm final : public WindowBase {
  public:
    // The link to the Filtered Accounts dialog (outside the control table).
    static constexpr int kIdLinkAccounts = 1101;
    // The notice of what the guard put back, or that it does not run, shown
    // once the window shows (when there is something to say).
    static constexpr int kIdGuardNotice = 1102;

    // programFolder: the folder of the running program, where urls.txt lies,
    // without a trailing separator. dpi: the DPI to lay the window out at;
    // 0 takes the screen's. Creates the window and all its controls, hidden.
    explicit MainFrm(std::wstring programFolder, int dpi = 0);
    ~MainFrm() override;

    // Asks for the password and loads the settings, then makes the window
    // visible, centred on the screen, with the focus in txtAddSite. The
    // program may end instead (no password, unreadable settings): Ended().
    void Show();

    // Gives the window's keyboard interface (Tab, Alt+letter, Enter) a message
    // of the thread's loop; true when the message was handled and must not be
    // dispatched again.
    bool PreTranslateMessage(MSG& msg);

    // When set, the end of the program posts WM_QUIT, ending the message loop.
    void SetQuitOnDestroy(bool quit) { close_.SetEndsLoop(quit); }

    // The program has ended: the window is gone, or going, and nothing more
    // of it runs.
    bool Ended() const { return close_.Ended(); }

    // How often the window has re-read settings that another program changed
    // while it was open.
    int LiveRefreshes() const { return liveRefreshes_; }

    int Dpi() const { return dpi_; }
    // The window of a control of the table; null for a picture box (a
    // container without a window of its own).
    HWND Control(int id) const;
    HWND Tooltip() const { return tooltip_; }

    // Writes every setting the window holds, as Yes to the close question
    // does (without closing), and tells the user of each failure. Throws
    // Failure when the controls cannot be read.
    void SaveSettings();

  private:
    std::optional<LRESULT> HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnDestroyed() noexcept override;
    static LRESULT CALLBACK AddSiteSubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR,
                                                DWORD_PTR) noexcept;
    void OnCommand(int id, int code);

    // --- building (main_frm.cpp) ---
    void CreateControls();
    // The tooltip window with the Close button's tip, made the first time.
    void EnsureTooltip();
    // Fonts, pictures, positions and the window's size at the given DPI; the
    // window goes to `placement` when given, else to the centre of the screen.
    void ApplyDpi(int dpi, const RECT* placement);
    // The window's size for its design client area, at `placement` or
    // centred in the work area.
    void PlaceWindow(const RECT* placement);
    // The site picture at the window's DPI.
    void ShowSitePicture();

    // --- opening and closing (lifecycle.cpp) ---
    void Form_Load();
    // Asks whether to save; false when the window must stay open.
    bool Form_QueryUnload();
    void btnClose_Click();
    // Closes the window as the close box does: the question first. A close
    // asked for while another is in progress (or while the password dialog
    // is open) asks nothing.
    void Unload();
    // Whether the window may end with the session: the question, unless a
    // close is in progress (then "not now").
    bool QueryEndSession();
    // The question of a close the sequence let begin; a failure in it
    // leaves the window open.
    bool AskToClose();
    // Saves every setting in order, each outcome reported, then ends the
    // program; returns early only when its own failure handler ran.
    void SaveAllSettings();
    // Does what the close sequence answers to an event: ends the program or
    // shows the news that waited.
    void CloseStep(CloseEvent event);
    Outcome SaveApprovedSites() const;
    // Ends the program without a question: the window goes and the message
    // loop ends.
    void EndProgram();

    // --- settings <-> controls (main_frm_settings.cpp) ---
    // Shows the settings that loaded; the controls of those that did not
    // are disabled for good, since an edit of them could never be saved.
    // The rows of the two lists move into the list boxes: `settings` keeps
    // them present but empty.
    void ShowSettings(Settings& settings);
    void ShowPassword(const PasswordSetting& password);
    // The settings as the controls hold them: only those that loaded (and
    // "mode" once chosen) are present, the password only when it changed.
    // The two lists are present but empty: see SaveSettings.
    Settings CurrentSettings() const;
    PasswordFields CurrentPasswordFields() const;
    void chkEnable_Click();
    // Shows what became of saving one setting: the permissions message (once
    // per save) for a refusal, the failure report for a failure.
    void ReportOutcome(Setting setting, const Outcome& outcome);
    void ShowPermissionsMessage();
    // Text that cannot be taken (a site to add, a password or hint to save):
    // the message, then the focus and selection in the box at fault.
    // Returns false.
    bool RefuseEntry(TextBox& box, const wchar_t* text, const wchar_t* title);

    // --- site lists (site_lists.cpp) ---
    void btnAdd_Click();
    void txtAddSite_KeyPress(int KeyAscii);
    void btnRemove_Click();
    void listApproved_DblClick();
    void btnReview_Click();
    void btnApprove_Click();
    void btnDeny_Click();

    // --- keyboard shortcuts, the approved list's menu, paste (main_frm_commands.cpp) ---
    // The shortcuts and the Delete key of the approved list; true when msg was one.
    bool TranslateShortcut(MSG& msg);
    // A command of a shortcut or of the context menu; false for another id.
    bool OnShortcutCommand(int id);
    void ShowApprovedListMenu(LPARAM screenPoint);
    // Text with several lines pasted into txtAddSite: each non-empty line is
    // added as Add adds a site; refused lines are listed in one message.
    void PasteSites(const std::wstring& text);
    void FindSite();
    void FindNextSite();
    void OnFindDialog(const FINDREPLACEW& find);
    // The message the Find dialog sends its owner.
    static UINT FindDialogMessage();
    void SortSites();
    void RemoveDuplicateSites();
    void ImportSites();
    void ExportSites();

    // --- settings changed by other programs while open (main_frm_live.cpp) ---
    void StartWatching();
    // The watcher's message; nullopt for any other message.
    std::optional<LRESULT> HandleLiveMessage(UINT msg, WPARAM wParam);
    void OnSettingsChanged(unsigned changes);
    // Changes that came while a close was under way, handled after it.
    void HandlePendingChanges();
    void RefreshApprovedSites();
    void RefreshRequestedSites();
    void RefreshActivityLogging();
    void RefreshMode();

    // --- held settings (main_frm_held.cpp) ---
    // The link in "Other Settings" and the item of the window menu.
    void AddAccountsEntry();
    void PlaceAccountsLink();
    // The messages of the held settings; nullopt lets the window handle one.
    std::optional<LRESULT> HandleHeldMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    // Who holds what, read when the window opens and after Filtered Accounts.
    void LoadHeldState();
    // Held switches show their held values, disabled, with the reason as tip.
    void ShowHeldState();
    void AddHeldTip(HWND control, const std::wstring& text);
    // Takes out of `current` what may not be written here, telling an
    // account without the rights which of its changes are not kept.
    void KeepHeldSettings(Settings& current);
    // The guard's new records, and a guard that does not run, in the notice.
    void ShowGuardNotice();
    // The notice's details: the records as sentences, the guard's state.
    void ShowGuardDetails();
    void OpenFilteredAccounts();
    struct HeldState {
        std::optional<Effective<bool>> logging;   // held by policy or the administrator
        std::optional<PasswordSetting> password;  // the administrator's held copy
        Effective<bool> mode;                     // this account's switch in effect
        bool anything = false;                    // something at all is held
    };

    // --- password fields (main_frm_settings.cpp) ---
    void chkPwd_Click();
    void txtPwd_GotFocus();
    void txtPwdConfirm_GotFocus();
    static void SelectAll(TextBox& box);

    // --- activity log and help links (links.cpp) ---
    void linkViewLog_Click();
    void lblLink_Click();
    void linkViewLog_MouseMove();
    void lblLink_MouseMove();
    void Form_MouseMove();
    // A mouse movement that reached the window itself, at a point of its
    // client area: a move over a bare frame or the bare window.
    void MouseMovedOverForm(POINT point);
    // How a link label is drawn: its text colour and whether it is underlined.
    struct LinkLook {
        COLORREF color = RGB(0, 0, 192);
        bool underline = false;
    };
    const LinkLook& GetLinkLook(int id) const;
    void SetLinkLook(int id, LinkLook look);

    SettingsStore store_;
    // What loaded when the window opened: a setting absent here is never
    // written. "mode" becomes present when the user changes chkEnable.
    Settings loaded_;
    PasswordSetting storedPassword_;
    // The requests approved or denied in this window, one entry per row.
    std::vector<std::wstring> removedRequests_;
    int dpi_ = 96;
    HWND tooltip_ = nullptr;  // owned by the window
    TextBox txtAddSite, txtPwd, txtPwdConfirm, txtHint;
    ListBox listApproved, listRequested;
    CheckBox chkEnable, chkLogging, chkPwd;
    FontHandle font_, underlineFont_;
    IconHandle sitePicture_;
    HCURSOR linkCursor_ = nullptr;  // shared resource: not freed
    LinkLook viewLogLook_, helpLinkLook_;
    HWND focusBeforeDeactivation_ = nullptr;
    AcceleratorHandle shortcuts_;
    // The Find dialog (modeless) and what it searches for.
    FINDREPLACEW find_{};
    wchar_t findText_[256] = {};
    HWND findDialog_ = nullptr;
    // The close under way, and the news of outside changes that waits for it
    // (bits of SettingsWatcher::Change).
    CloseSequence close_;
    std::unique_ptr<SettingsWatcher> watcher_;
    int liveRefreshes_ = 0;
    HeldState held_;
    std::wstring guardDetails_;
    UINT guardDetailsIcon_ = MB_ICONINFORMATION;
};

}  // namespace zendrel
