// Resource identifiers of ZendrelPanel (used by zendrel.rc and the code).
#pragma once

#define IDI_APP 1             // window icon, 16 and 32 pixels
#define IDI_SITE_PICTURE 101  // Image1 of the main window, 32 by 32
#define IDI_KEY_PICTURE 102   // Image1 of the password dialog, 36 by 36, transparent background
#define IDC_LINK_HAND 103     // pointing-hand cursor of the two link labels, hot spot (12, 2)
