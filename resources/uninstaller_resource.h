// Resource identifiers of the uninstaller; the frame's controls are the
// installer's (resource.h).
#pragma once

#include "resource.h"

#define IDD_UNINSTALL_WELCOME 133
#define IDD_UNINSTALL_FINISH 136
#define IDC_UNINSTALL_FOLDER 1014
