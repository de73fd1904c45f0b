#include "main_layout.h"

#include <array>

#include "resource.h"

namespace zendrel {

namespace {

using K = ControlKind;

// clang-format off
constexpr std::array<ControlSpec, 32> kControls{{
    // name             id                 kind           container     caption                left  top   width height tab
    {L"txtAddSite",     kIdTxtAddSite,     K::TextBox,     kIdFrame1,   0,                     105, 1080, 4740,  315,   0, 0, IDS_MAIN_TXTADDSITE_ACC},
    {L"Frame1",         kIdFrame1,         K::Frame,       kNoContainer, IDS_MAIN_FRAME1,      120,   45, 6135, 4800,   1},
    {L"Frame2",         kIdFrame2,         K::Frame,       kNoContainer, IDS_MAIN_FRAME2,      105, 4875, 6135, 2505,   2},
    {L"Label1",         kIdLabel1,         K::Label,       kIdFrame1,   IDS_MAIN_LABEL1,       915,  300, 5085,  555,   3},
    {L"Label3",         kIdLabel3,         K::Label,       kIdFrame1,   IDS_MAIN_LABEL3,       105, 1455, 1935,  255,   4},
    {L"chkLogging",     kIdChkLogging,     K::CheckBox,    kIdFrame2,   IDS_MAIN_CHKLOGGING,   195,  720, 2325,  255,   5, 0, IDS_MAIN_CHKLOGGING},
    {L"btnClose",       kIdBtnClose,       K::Button,      kNoContainer, IDS_MAIN_BTNCLOSE,   5100, 7440, 1095,  330,   6},
    {L"listApproved",   kIdListApproved,   K::ListBox,     kIdFrame1,   0,                     105, 1695, 4740, 1530,   7, 0, IDS_MAIN_LISTAPPROVED_ACC},
    {L"Label2",         kIdLabel2,         K::Label,       kIdFrame1,   IDS_MAIN_LABEL2,       105,  825, 4335,  255,   8},
    {L"Picture1",       kIdPicture1,       K::PictureBox,  kIdFrame1,   0,                    4890, 1035, 1185,  420,   9},
    {L"btnAdd",         kIdBtnAdd,         K::Button,      kIdPicture1, IDS_MAIN_BTNADD,        15,   45, 1095,  330,  10},
    {L"Picture2",       kIdPicture2,       K::PictureBox,  kIdFrame1,   0,                    4890, 1650, 1185,  420,  11},
    {L"btnRemove",      kIdBtnRemove,      K::Button,      kIdPicture2, IDS_MAIN_BTNREMOVE,     45,   30, 1095,  330,  12},
    {L"lblLink",        kIdLblLink,        K::Link,        kNoContainer, IDS_MAIN_LBLLINK,     180, 7440, 1140,  300,  13},
    {L"listRequested",  kIdListRequested,  K::ListBox,     kIdFrame1,   0,                     105, 3570, 4740, 1110,  14, 0, IDS_MAIN_LISTREQUESTED_ACC},
    {L"Label5",         kIdLabel5,         K::Label,       kIdFrame1,   IDS_MAIN_LABEL5,       105, 3315, 1935,  255,  15},
    {L"Picture3",       kIdPicture3,       K::PictureBox,  kIdFrame1,   0,                    4905, 4305, 1185,  420,  16},
    {L"btnDeny",        kIdBtnDeny,        K::Button,      kIdPicture3, IDS_MAIN_BTNDENY,       30,   30, 1095,  330,  17},
    {L"Picture4",       kIdPicture4,       K::PictureBox,  kIdFrame1,   0,                    4890, 3540, 1185,  420,  18},
    {L"btnApprove",     kIdBtnApprove,     K::Button,      kIdPicture4, IDS_MAIN_BTNAPPROVE,    45,   15, 1095,  330,  19},
    {L"chkEnable",      kIdChkEnable,      K::CheckBox,    kIdFrame2,   IDS_MAIN_CHKENABLE,    195,  345, 4140,  255,  20, 0, IDS_MAIN_CHKENABLE},
    {L"chkPwd",         kIdChkPwd,         K::CheckBox,    kIdFrame2,   IDS_MAIN_CHKPWD,       195, 1140, 4125, 255,  21, 0, IDS_MAIN_CHKPWD},
    {L"txtPwd",         kIdTxtPwd,         K::PasswordBox, kIdFrame2,   0,                    1080, 1515, 1500,  315,  22, 10, IDS_MAIN_TXTPWD_ACC},
    {L"txtPwdConfirm",  kIdTxtPwdConfirm,  K::PasswordBox, kIdFrame2,   0,                    4215, 1515, 1500,  315,  23, 10, IDS_MAIN_TXTPWDCONFIRM_ACC},
    {L"txtHint",        kIdTxtHint,        K::TextBox,     kIdFrame2,   0,                    1080, 1920, 4620,  315,  24, 0, IDS_MAIN_TXTHINT_ACC},
    {L"Label6",         kIdLabel6,         K::Label,       kIdFrame2,   IDS_MAIN_LABEL6,       210, 1560, 1005,  270,  25},
    {L"Label7",         kIdLabel7,         K::Label,       kIdFrame2,   IDS_MAIN_LABEL7,      2655, 1545, 1650,  270,  26},
    {L"Label8",         kIdLabel8,         K::Label,       kIdFrame2,   IDS_MAIN_LABEL8,       210, 1935,  990,  270,  27},
    {L"Picture5",       kIdPicture5,       K::PictureBox,  kNoContainer, 0,                   5025, 3960, 1185,  420,  28},
    {L"btnReview",      kIdBtnReview,      K::Button,      kIdPicture5, IDS_MAIN_BTNREVIEW,     30,   30, 1095,  330,  29},
    {L"linkViewLog",    kIdLinkViewLog,    K::Link,        kIdFrame2,   IDS_MAIN_LINKVIEWLOG, 2550,  735, 1515,  300,  30},
    {L"Image1",         kIdImage1,         K::Image,       kIdFrame1,   0,                     165,  300,  480,  480, kNoTabIndex},
}};
// clang-format on
static_assert(InTabOrder(kControls));

}  // namespace

std::span<const ControlSpec> MainControls() {
    return kControls;
}

const ControlSpec& MainControl(int id) {
    return FindControl(kControls, id);
}

TwipsRect WindowTwips(const ControlSpec& row) {
    return WindowTwips(kControls, row);
}

}  // namespace zendrel
