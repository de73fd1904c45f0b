// mainFrm, the one main window of ZendrelPanel ("Zendrel Settings"): a view
// of the settings store. When it opens it asks for the password (when one is
// set) and loads the settings into its panes; whenever it is about to close
// it asks whether to save them; it shows every outcome of the store as the
// message a user sees. The window makes the controls, lays them out at its
// DPI, keeps the keyboard working and routes messages to its three panes.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "approved_pane.h"
#include "handles.h"
#include "main_layout.h"
#include "messages.h"
#include "other_pane.h"
#include "pane_host.h"
#include "requests_pane.h"
#include "settings.h"
#include "settings_session.h"
#include "settings_store.h"
#include "settings_watcher.h"
#include "window_base.h"

namespace zendrel {

class MainFrm final : public WindowBase, private PaneHost {
  public:
    static constexpr int kIdLinkAccounts = OtherPane::kIdLinkAccounts;
    static constexpr int kIdGuardNotice = OtherPane::kIdGuardNotice;

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
    void SetQuitOnDestroy(bool quit) { session_.Close().SetEndsLoop(quit); }

    // The program has ended: the window is gone, or going, and nothing more
    // of it runs.
    bool Ended() const { return session_.Close().Ended(); }

    // How often the window has re-read settings that another program changed
    // while it was open.
    int LiveRefreshes() const { return liveRefreshes_; }

    HWND Hwnd() const override { return WindowBase::Hwnd(); }
    int Dpi() const override { return dpi_; }
    // The window of a control of the table; null for a picture box (a
    // container without a window of its own).
    HWND Control(int id) const override;
    HWND Tooltip() const override { return tooltip_; }

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

    // --- what the panes ask of the window ---
    HFONT WindowFont(bool underline) const override;
    HWND EnsureTooltip() override;
    SettingsStore& Store() override { return store_; }
    SettingsSession& Session() override { return session_; }
    bool Busy() const override { return session_.Close().Busy(); }
    void ShowPermissionsMessage() override;
    void SaveModeNow(bool on) override;

    // --- building (main_frm.cpp) ---
    void CreateControls();
    // Fonts, pictures, positions and the window's size at the given DPI; the
    // window goes to `placement` when given, else to the centre of the screen.
    void ApplyDpi(int dpi, const RECT* placement);
    // The window's size for its design client area, at `placement` or
    // centred in the work area.
    void PlaceWindow(const RECT* placement);
    // The site picture at the window's DPI.
    void ShowSitePicture();
    // The shortcuts (F1, Ctrl+L, Ctrl+F, F3) and the panes' own keys; true
    // when msg was one.
    bool TranslateShortcut(MSG& msg);
    // A mouse movement that reached the window itself, at a point of its
    // client area: a move over a bare frame or the bare window.
    void MouseMovedOverForm(POINT point);

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
    // Ends the program without a question: the window goes and the message
    // loop ends.
    void EndProgram();

    // --- settings <-> panes (main_frm_settings.cpp) ---
    // Shows the settings that loaded; the controls of those that did not
    // are disabled for good, since an edit of them could never be saved.
    // The rows of the two lists move into the list boxes.
    void ShowSettings();
    // The settings as the panes hold them: only those that loaded (and
    // "mode" once chosen) are present, the password only when it changed.
    // The two lists are present but empty: see SaveSettings.
    Settings CurrentSettings() const;
    // Shows what became of saving one setting: the permissions message (once
    // per save) for a refusal, the failure report for a failure.
    void ReportOutcome(Setting setting, const Outcome& outcome);

    // --- settings changed by other programs while open (main_frm_settings.cpp) ---
    void StartWatching();
    // The watcher's message; nullopt for any other message.
    std::optional<LRESULT> HandleLiveMessage(UINT msg, WPARAM wParam);
    void OnSettingsChanged(unsigned changes);
    // Changes that came while a close was under way, handled after it.
    void HandlePendingChanges();

    SettingsStore store_;
    // What loaded when the window opened (a setting absent there is never
    // written), the edits the controls do not show, and the close under way
    // with the news of outside changes that waits for it.
    SettingsSession session_;
    PasswordSetting storedPassword_;
    int dpi_ = 96;
    HWND tooltip_ = nullptr;  // owned by the window
    FontHandle font_, underlineFont_;
    IconHandle sitePicture_;
    AcceleratorHandle shortcuts_;
    std::unique_ptr<SettingsWatcher> watcher_;
    int liveRefreshes_ = 0;
    ApprovedPane approved_{*this};
    RequestsPane requests_{*this, approved_};
    OtherPane other_{*this};
};

}  // namespace zendrel
