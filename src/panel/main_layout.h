// The controls of the main settings window as data (see control_table.h).
// Needs no Windows.
#pragma once

#include <span>

#include "control_table.h"

namespace zendrel {

// Control identifiers (WM_COMMAND ids). They start above IDOK and IDCANCEL,
// which the dialog manager sends for Enter and Esc.
enum ControlId : int {
    kIdFrame1 = 1001,
    kIdImage1,
    kIdLabel1,
    kIdLabel2,
    kIdTxtAddSite,
    kIdPicture1,
    kIdBtnAdd,
    kIdLabel3,
    kIdListApproved,
    kIdPicture2,
    kIdBtnRemove,
    kIdLabel5,
    kIdListRequested,
    kIdPicture4,
    kIdBtnApprove,
    kIdPicture3,
    kIdBtnDeny,
    kIdPicture5,
    kIdBtnReview,
    kIdFrame2,
    kIdChkEnable,
    kIdChkLogging,
    kIdLinkViewLog,
    kIdChkPwd,
    kIdLabel6,
    kIdTxtPwd,
    kIdLabel7,
    kIdTxtPwdConfirm,
    kIdLabel8,
    kIdTxtHint,
    kIdLblLink,
    kIdBtnClose,
};

// Commands of the keyboard shortcuts and of the approved list's context menu
// (WM_COMMAND ids, apart from the controls').
enum CommandId : int {
    kCmdHelp = 2001,  // F1
    kCmdViewLog,      // Ctrl+L
    kCmdFind,         // Ctrl+F
    kCmdFindNext,     // F3
    kCmdImport,
    kCmdExport,
    kCmdSort,
    kCmdRemoveDuplicates,
};

// The buttons of Import's question, besides Cancel (IDCANCEL).
enum ImportButton : int {
    kIdImportAdd = 2101,
    kIdImportReplace,
};

// Inner (client) area of the window, in twips.
constexpr int kMainClientWidthTwips = 6375;
constexpr int kMainClientHeightTwips = 7875;

// Every control of the window, sorted by tab index (the creation order); the
// one control without a tab index (Image1) comes last.
std::span<const ControlSpec> MainControls();

// The row of a control; throws std::out_of_range for an unknown id.
const ControlSpec& MainControl(int id);

// WindowTwips in the main window's table.
TwipsRect WindowTwips(const ControlSpec& row);

}  // namespace zendrel
