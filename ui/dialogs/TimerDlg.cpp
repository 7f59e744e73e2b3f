#include "ui/dialogs/TimerDlg.h"

#include <cstring>

#include "res/resource.h"

namespace {

bool IsAllZero(const SYSTEMTIME& time) {
  static const SYSTEMTIME kZero{};
  return ::memcmp(&time, &kZero, sizeof time) == 0;
}

}  // namespace

CTimerDlg::CTimerDlg(CWnd* parent) : CDialog(IDD_TIMER, parent) {}

void CTimerDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_TIMER_START_DATE, m_startDatePicker);
  DDX_Control(dx, IDC_TIMER_START_TIME, m_startTimePicker);
  DDX_Check(dx, IDC_TIMER_START_ENABLED, m_startEnabled);
  DDX_Control(dx, IDC_TIMER_STOP_DATE, m_stopDatePicker);
  DDX_Control(dx, IDC_TIMER_STOP_TIME, m_stopTimePicker);
  DDX_Check(dx, IDC_TIMER_STOP_ENABLED, m_stopEnabled);
}

BOOL CTimerDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  // A picker refuses an all-zero time and keeps the current one; it is not even offered.
  for (const PickerBinding& binding : Pickers()) {
    if (!IsAllZero(*binding.time)) binding.picker->SetTime(*binding.time);
  }
  return TRUE;
}

void CTimerDlg::OnOK() {
  for (const PickerBinding& binding : Pickers()) binding.picker->GetTime(*binding.time);
  CDialog::OnOK();
}

std::array<CTimerDlg::PickerBinding, 4> CTimerDlg::Pickers() {
  return {{{&m_startDatePicker, &m_startDate},
           {&m_startTimePicker, &m_startTime},
           {&m_stopDatePicker, &m_stopDate},
           {&m_stopTimePicker, &m_stopTime}}};
}
