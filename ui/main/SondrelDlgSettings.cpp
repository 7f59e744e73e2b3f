// The main dialog's controls that stand for settings, and its small commands: each writes
// its setting at once; the recorder is configured only when a recording starts.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>

#include "app/ModuleDirectory.h"
#include "app/SettingsStore.h"
#include "framework/FileDialog.h"
#include "recorder/CaptureDevices.h"
#include "res/resource.h"
#include "ui/dialogs/AudioSettings.h"
#include "ui/main/PathParts.h"
#include "ui/main/SondrelDlg.h"
#include "ui/main/WindowUtilities.h"

namespace {
void OpenWithShell(HWND owner, const std::string& target) {
  ::ShellExecuteA(owner, nullptr, target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
}  // namespace

// Also with the name edit emptied (Delete and cut work in it): the format always takes
// effect, and the edit shows the current name again.
void CSondrelDlg::OnFormatChanged() {
  const int format = m_formatCombo.GetCurSel();
  m_outputFileName.SetExtension(format != 0 ? ".wav" : ".mp3");
  UpdateFileName(false);
  Settings().SetUInt(FileFormat, static_cast<uint32_t>(format));
}

void CSondrelDlg::OnDeviceChanged() {
  const std::string device = m_deviceCombo.GetLBText(m_deviceCombo.GetCurSel());
  Settings().SetString(AudioDevice, device);
  m_inputCombo.ResetContent();
  int enabledIndex = 0;
  FillInputCombo(device.c_str(), m_inputCombo, enabledIndex);
  SelectComboByText(m_inputCombo, Settings().GetString(AudioInput));
  OnInputChanged();
}

void CSondrelDlg::OnInputChanged() { Settings().SetString(AudioInput, m_inputCombo.GetLBText(m_inputCombo.GetCurSel())); }

// Every scroll code counts, thumb tracking included. The slider's top is 100 percent.
void CSondrelDlg::OnVScroll(UINT, UINT, HWND scrollBar) {
  if (scrollBar == nullptr || scrollBar != m_volumeSlider.m_hWnd) return;
  const int volume = 100 - m_volumeSlider.GetPos();
  Settings().SetUInt(AudioVolume, static_cast<uint32_t>(volume));
  char percent[16];
  std::snprintf(percent, sizeof percent, "%d%%", volume);
  SetDlgItemText(IDC_VOLUME_LABEL, percent);
}

void CSondrelDlg::OnAddSeqNumClicked() {
  UpdateData(true);
  Settings().SetBool(AddSeqNum, m_addNumbers != FALSE);
  UpdateFileName(false);
}

void CSondrelDlg::OnOverwritePromptClicked() {
  UpdateData(true);
  Settings().SetBool(OverwritePrompt, m_overwritePrompt != FALSE);
}

void CSondrelDlg::OnIconizeClicked() {
  UpdateData(true);
  Settings().SetBool(Iconize, m_iconize != FALSE);
}

void CSondrelDlg::OnReset() {
  m_outputFileName.ResetSequenceNumber();
  UpdateFileName(false);
}

void CSondrelDlg::OnPlus() { UpdateFileName(true); }

// The chosen path becomes the template and the counter starts again at 1; `FileCount`
// keeps its value until the counter next advances or is reset.
void CSondrelDlg::OnBrowse() {
  const bool mp3 = m_formatCombo.GetCurSel() == 0;
  CFileDialog chooser(FALSE, mp3 ? "mp3" : "wav", nullptr, OFN_EXPLORER | OFN_OVERWRITEPROMPT,
                      mp3 ? "*.mp3|*.mp3|" : "*.wav|*.wav|");
  const std::string current = m_fileNameEdit.GetWindowText();
  const std::string folder = GetFolderPart(current);
  if (!current.empty()) chooser.m_ofn.lpstrInitialDir = folder.c_str();
  if (chooser.DoModal() != IDOK) return;
  m_outputFileName.SetTemplate(chooser.GetPathName(), 1);
  UpdateFileName(false);
}

void CSondrelDlg::OnBannerClicked() { OpenWithShell(m_hWnd, LoadProgramString(IDS_PRODUCT_URL)); }

void CSondrelDlg::OnHelpButton() { OpenWithShell(m_hWnd, GetModuleDirectory() + "\\Help\\index.html"); }

// The dialog writes the settings itself; the recorder reads them at the next start.
void CSondrelDlg::OnAudioSettings() {
  CAudioSettings settings(this);
  settings.DoModal();
}
