// "Requested Sites": the sites users asked for, which the add-on writes to
// "requests". Review opens one in the browser; Approve moves it into the
// approved pane's site box, to be corrected before Add; Deny drops it.
// Nothing is stored at once: a save takes away what was approved or denied.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "approved_pane.h"
#include "controls.h"
#include "pane_host.h"
#include "settings.h"

namespace zendrel {

class RequestsPane {
  public:
    RequestsPane(PaneHost& host, ApprovedPane& approved) : host_(host), approved_(approved) {}
    void Bind();

    // Shows the loaded requests (the rows move into the list); the pane
    // stays disabled for good when they did not load.
    void ShowSettings();
    // "requests" changed outside: the stored list less what was approved
    // or denied here; the list's tooltip then tells the count.
    void Refresh();

    bool OnCommand(int id, int code);

  private:
    void btnReview_Click();
    void btnApprove_Click();
    void btnDeny_Click();

    PaneHost& host_;
    ApprovedPane& approved_;
    ListBox listRequested;
};

}  // namespace zendrel
