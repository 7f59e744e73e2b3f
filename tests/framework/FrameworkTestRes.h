#pragma once
// A dialog of the framework tests' own.
#define IDD_FRAMEWORK_TEST 300
#define IDC_TEST_CHECK 301
#define IDC_TEST_GO 302
#define IDC_TEST_EDIT 303
#define IDC_TEST_OTHER 304
#define IDD_FRAMEWORK_PICKERS 310
#define IDC_TEST_DATE 311
#define IDC_TEST_SLIDER 312
