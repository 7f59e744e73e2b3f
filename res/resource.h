// Resource ids. The numbers are part of the program's design: tests and other code
// refer to them by these names.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Icons and bitmaps
#define IDR_MAINFRAME 128          // program icon, also the tray icon while recording
#define IDI_STATE_RECORDING 134
#define IDI_STATE_PAUSED 138
#define IDI_STATE_PLAYING 139
#define IDI_STATE_IDLE 142
#define IDI_TRAY_IDLE 156          // tray icon while not recording
#define IDB_BANNER 158

// Tray menu
#define IDR_TRAY_MENU 157
#define ID_TRAY_STOP 32772
#define ID_TRAY_PAUSE 32773
#define ID_TRAY_START 32774
#define ID_TRAY_RESUME 32775
#define ID_TRAY_EXIT 32776
#define ID_TRAY_RESTORE 32777

// System menu of the main dialog
#define IDM_ABOUTBOX 0x0010

// String table
#define IDS_ABOUTBOX 101
#define IDS_NO_AUDIO_DEVICES 102
#define IDS_PAUSE 103
#define IDS_RESUME 104
#define IDS_START 105
#define IDS_STOP 106
#define IDS_QUIT_WHILE_RECORDING 107
#define IDS_START_FAILED 108
#define IDS_STOP_FAILED 109
#define IDS_PRODUCT_URL 112
#define IDS_APP_TITLE 113
#define IDS_NO_FILE 114
#define IDS_OVERWRITE_FILE 115
#define IDS_PLAY_FAILED 116
#define IDS_INVALID_TIMER 117
#define IDS_RECORDING_FAILED 118

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

// Timer dialog
#define IDD_TIMER 148
#define IDC_TIMER_START_TIME 1000
#define IDC_TIMER_START_DATE 1001
#define IDC_TIMER_STOP_DATE 1002
#define IDC_TIMER_STOP_TIME 1003
#define IDC_TIMER_START_ENABLED 1018
#define IDC_TIMER_STOP_ENABLED 1019

// About box
#define IDD_ABOUTBOX 100
#define IDC_ABOUT_NAME 1043
#define IDC_ABOUT_NOTICE 1044

// Audio settings dialog
#define IDD_AUDIO_SETTINGS 129
#define IDB_ENCODER_PICTURE 130
#define IDC_BITS_PER_SAMPLE 1014
#define IDC_SAMPLE_RATE 1015
#define IDC_MONO 1016
#define IDC_STEREO 1017
#define IDC_CONST_BIT_RATE_LIST 1018
#define IDC_MIN_BIT_RATE_LIST 1019
#define IDC_CONSTANT_BIT_RATE 1020
#define IDC_VARIABLE_BIT_RATE 1021
#define IDC_MAX_BIT_RATE_LIST 1022
#define IDC_VBR_QUALITY_LIST 1023
#define IDC_ENCODING_QUALITY 1024
#define IDC_ENCODING_QUALITY_LABEL 1029

// Player
#define IDD_PLAYER 143
#define IDI_STOP 144
#define IDI_PLAY 145
#define IDI_SPEAKER 147
#define IDC_PLAY_BUTTON 1032
#define IDC_POSITION 1033
#define IDC_PLAY_TIME 1034
#define IDC_VOLUME_FRAME 1036
#define IDC_FILE_LIST 1039
