#pragma once
// A host dialog of the control tests' own.
#define IDD_CONTROL_HOST 400
#define IDC_HOST_SLIDER 401
#define IDC_HOST_EDIT 402
