// Resource ids. The numbers are part of the program's design: tests and other code
// refer to them by these names.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Icons and bitmaps
#define IDR_MAINFRAME 128

// Main dialog
#define IDD_SONDREL_DIALOG 102
#define IDC_TIMER 1000
#define IDC_FILENAME 1002
#define IDC_BROWSE 1003
#define IDC_FORMAT 1004
#define IDC_VOLUME 1005
#define IDC_DEVICE 1006
#define IDC_INPUT 1007
#define IDC_AUDIO 1008
#define IDC_VOLUME_LABEL 1010
#define IDC_RECORD 1011
#define IDC_PAUSE 1012
#define IDC_ADD_SEQ_NUM 1018
#define IDC_RESET 1019
#define IDC_PLAY 1025
#define IDC_HELP_BUTTON 1026
#define IDC_BANNER 1029
#define IDC_STATE_ICON 1031
#define IDC_OVERWRITE_PROMPT 1038
#define IDC_PLUS 1040
#define IDC_CLOCK 1041
#define IDC_ICONIZE 1042
