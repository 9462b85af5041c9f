// Resource and control ids of MarrowgateImporter.exe.
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_MARROWGATEIMPORTER_DIALOG 102
#define IDR_MAINFRAME 128

#define IDC_HEADLINE 1000
#define IDC_INSTALL_GOG 1002
#define IDC_INSTALL_STEAM 1004
#define IDC_INSTALL_DISC 1006
#define IDC_PROGRESS_GOG 1007
#define IDC_PROGRESS_STEAM 1008
#define IDC_PROGRESS_DISC 1009

// The About entry of the system menu: a multiple of 16 below 0xF000.
#define IDM_ABOUTBOX 0x0010
