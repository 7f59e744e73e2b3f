#pragma once
// A dialog of the framework tests' own.
#define IDD_FRAMEWORK_TEST 300
#define IDC_TEST_CHECK 301
#define IDC_TEST_GO 302
#define IDC_TEST_EDIT 303
#define IDC_TEST_OTHER 304
#define IDC_TEST_RADIO_ONE 305
#define IDC_TEST_RADIO_TWO 306
#define IDC_TEST_RADIO_THREE 307
#define IDC_TEST_RADIO_OTHER 308
#define IDC_TEST_LIST 309
#define IDC_TEST_ICON_BUTTON 310
