// Resource identifiers shared by the programs and their .rc files.
#pragma once

#define IDI_INSTALLER 128
#define IDD_PROGRESS 101
#define IDC_PROGRESS_MESSAGE 200
#define IDC_PROGRESS_BAR 202
#define IDC_PROGRESS_CLOSE 1019
