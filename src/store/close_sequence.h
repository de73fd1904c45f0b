// How an open settings window closes, as one state machine: one close at a
// time, the question, the save, then the end or the window stays. The window
// tells it what happened (events) and does what it answers (actions). It also
// keeps what must wait while a close is under way (the news of outside
// changes) and what happens once per save (the permissions message).
// Portable: no window code.
#pragma once

#include <cstdint>

namespace zendrel {

enum class CloseState {
    Open,     // nothing under way: the window takes news and requests
    Gated,    // the password dialog is up, before the settings show
    Asking,   // the "Save Changes" question is up
    Saving,   // Yes: every setting is being written
    Ended,    // the program has ended: the window is gone, or going
};

enum class CloseEvent {
    PasswordAsked,    // the password dialog opens
    PasswordGiven,    // the right password: the settings show
    CloseAsked,       // the close box, Close, Unload
    SessionEndAsked,  // Windows asks whether the session may end
    AnsweredYes,      // to the question: save, then end
    AnsweredNo,       // end without saving
    AnsweredCancel,   // stay open
    EntryRefused,     // Yes, but a box holds what cannot be saved: stay
    Saved,            // the save ran to its end: end
    SaveFailed,       // the save's own failure report ran: stay
    EndAsked,         // the end without a question (no password, unreadable settings)
    Interrupted,      // the dialog, the question or the save stopped with a failure:
                      // the window stays, and news waits for the next close
};

enum class CloseAction {
    None,    // nothing to do: the event changes nothing
    Ask,     // put the question
    Save,    // write every setting
    End,     // end the program: the window goes
    Stay,    // the window stays open; news that waited is shown now
    NotNow,  // a close is under way: this request is answered "not now"
};

struct CloseStep {
    CloseState next;
    CloseAction action;
};

class CloseSequence {
  public:
    // What the event does in the state the sequence is in; an event that
    // has no meaning there changes nothing (None, or NotNow for a close
    // asked while another is under way).
    static CloseStep Next(CloseState state, CloseEvent event);

    // Takes the event: the state moves, and the answer is what to do.
    CloseAction On(CloseEvent event);

    CloseState State() const { return state_; }
    // The question, a save or the password dialog is under way.
    bool Busy() const;
    bool Ended() const { return state_ == CloseState::Ended; }

    // Whether the end of the program ends the thread's message loop too.
    void SetEndsLoop(bool ends) { endsLoop_ = ends; }
    bool EndsLoop() const { return endsLoop_; }

    // News of outside changes (bits of the watcher's places): while busy it
    // waits and nothing is returned; otherwise it is returned to be shown.
    unsigned ChangesArrived(unsigned changes);
    // The news that waited, once the window is open again (0 otherwise).
    unsigned TakeWaitingChanges();

    // The permissions message is shown at most once per save: a save starts,
    // then RefusalShown says whether it was shown in this save.
    void BeginSave() { refusalShown_ = false; }
    void NoteRefusalShown() { refusalShown_ = true; }
    bool RefusalShown() const { return refusalShown_; }

  private:
    CloseState state_ = CloseState::Open;
    unsigned waiting_ = 0;
    bool endsLoop_ = false;
    bool refusalShown_ = false;
};

}  // namespace zendrel
