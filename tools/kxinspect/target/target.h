// Resource and command ids of the inspection tool's test program.
#pragma once

#define IDD_MAIN 100
#define IDD_OPTIONS 101
#define IDM_MAIN 110
#define IDA_MAIN 120

#define IDC_LIST 1012
#define IDC_TABS 1020
#define IDC_COMBO 1021
#define IDC_BUTTON 1030
#define IDC_CHECK 1031
#define IDC_EDIT 1032
#define IDC_NAME 1040
#define IDC_STATUS 1100

#define ID_CHECK 1006
#define ID_ABOUT 10
#define ID_CHECK_ALL 40011
#define ID_EXIT 40013
#define ID_HEADER 40023
#define ID_DELETE_ALL 40033
#define ID_STOP 40051
#define ID_OPTIONS 40059
#define ID_SHOW_TOOLBAR 40060
#define ID_GREYED 40061
#define ID_WESTERN 40066
#define ID_AUTO_SELECT 40067
#define ID_PIN 40070
