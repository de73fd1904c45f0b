// The password fields of the main window and the stored digest and hint.
#include "main_frm.h"

namespace zendrel {

bool MainFrm::LoadPasswordSettings() {
    return false;
}

void MainFrm::SavePasswordSettings() {}

void MainFrm::chkPwd_Click() {}

void MainFrm::txtPwd_GotFocus() {}

void MainFrm::txtPwdConfirm_GotFocus() {}

}  // namespace zendrel
