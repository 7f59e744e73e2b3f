#pragma once
// "Timer Settings": the scheduled start and stop, each a date picker, a time picker and an
// Enabled check box. The caller fills the members before the run and reads them after OK;
// the dialog itself validates nothing.
#include <windows.h>

#include <array>

#include "framework/Controls.h"
#include "framework/Dialog.h"

class CTimerDlg : public CDialog {
 public:
  explicit CTimerDlg(CWnd* parent = nullptr);

  // An all-zero member leaves its picker showing the current date and time.
  SYSTEMTIME m_startDate{};
  SYSTEMTIME m_startTime{};
  SYSTEMTIME m_stopDate{};
  SYSTEMTIME m_stopTime{};
  CDateTimeCtrl m_startDatePicker;
  CDateTimeCtrl m_startTimePicker;
  int m_startEnabled = 0;
  CDateTimeCtrl m_stopDatePicker;
  CDateTimeCtrl m_stopTimePicker;
  int m_stopEnabled = 0;

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
  void OnOK() override;

 private:
  struct PickerBinding {
    CDateTimeCtrl* picker;
    SYSTEMTIME* time;
  };
  std::array<PickerBinding, 4> Pickers();
};
