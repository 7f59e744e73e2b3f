#include "ui/dialogs/AudioSettings.h"

#include "app/SettingsStore.h"
#include "res/resource.h"
#include "ui/dialogs/AudioSettingsLists.h"

namespace {

constexpr int kLowestQuality = 0;
constexpr int kHighestQualityPosition = 9;

uint32_t SelectedNumber(const CComboBox& combo) { return LeadingNumber(combo.GetLBText(combo.GetCurSel())); }

}  // namespace

CAudioSettings::CAudioSettings(CWnd* parent) : CDialog(IDD_AUDIO_SETTINGS, parent) {}

const MessageMap* CAudioSettings::GetMessageMap() const {
  using D = CAudioSettings;
  static constexpr MessageEntry entries[] = {
      OnCommandFrom<&D::OnRateChanged>(IDC_SAMPLE_RATE, CBN_SELCHANGE),
      OnClicked<&D::ApplyEnablingRule>(IDC_CONSTANT_BIT_RATE),
      OnClicked<&D::ApplyEnablingRule>(IDC_VARIABLE_BIT_RATE),
      On<WM_HSCROLL, &D::OnHScroll>(),
  };
  static constexpr MessageMap map{&CDialog::ThisMessageMap, entries};
  return &map;
}

void CAudioSettings::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_BITS_PER_SAMPLE, m_bitsCombo);
  DDX_Control(dx, IDC_SAMPLE_RATE, m_rateCombo);
  DDX_Radio(dx, IDC_MONO, m_channelChoice);
  DDX_Radio(dx, IDC_CONSTANT_BIT_RATE, m_bitRateMode);
  DDX_Control(dx, IDC_CONST_BIT_RATE_LIST, m_constBitRateCombo);
  DDX_Control(dx, IDC_MIN_BIT_RATE_LIST, m_minBitRateCombo);
  DDX_Control(dx, IDC_MAX_BIT_RATE_LIST, m_maxBitRateCombo);
  DDX_Control(dx, IDC_VBR_QUALITY_LIST, m_vbrQualityCombo);
  DDX_Control(dx, IDC_ENCODING_QUALITY, m_qualitySlider);
}

BOOL CAudioSettings::OnInitDialog() {
  CDialog::OnInitDialog();
  const CSettingsStore& settings = Settings();

  m_bitsCombo.AddString("8");
  m_bitsCombo.AddString("16");
  m_bitsCombo.SetCurSel(settings.GetUInt(BytesPerSample) == 1 ? 0 : 1);
  for (const uint32_t rate : kListedSampleRates) m_rateCombo.AddString(std::to_string(rate));
  m_rateCombo.SetCurSel(SampleRateIndexFor(settings.GetUInt(SamplesPerSecond)));

  m_channelChoice = settings.GetUInt(Channels) == 2 ? 1 : 0;
  m_bitRateMode = static_cast<int>(settings.GetUInt(Mp3BitRateType));
  UpdateData(false);
  UpdateData(true);

  FillEncoderLists();

  // The slider clamps a stored quality outside its range; the label then stays empty.
  const uint32_t quality = settings.GetUInt(Mp3EncQuality);
  m_qualitySlider.SetRange(kLowestQuality, kHighestQualityPosition, FALSE);
  m_qualitySlider.SetPos(quality > kHighestQualityPosition ? kHighestQualityPosition : static_cast<int>(quality));
  ShowQualityLabel(quality);

  ApplyEnablingRule();
  return TRUE;
}

void CAudioSettings::FillEncoderLists() {
  const CSettingsStore& settings = Settings();
  FillBitRateList(m_constBitRateCombo, settings.GetUInt(Mp3ConstBitRate));
  FillBitRateList(m_minBitRateCombo, settings.GetUInt(Mp3MinBitRate));
  FillBitRateList(m_maxBitRateCombo, settings.GetUInt(Mp3MaxBitRate));
  m_vbrQualityCombo.ResetContent();
  for (const char* text : kVbrQualityTexts) m_vbrQualityCombo.AddString(text);
  m_vbrQualityCombo.SetCurSel(static_cast<int>(settings.GetUInt(Mp3VbrQuality)));  // no selection when out of range
}

void CAudioSettings::FillBitRateList(CComboBox& combo, uint32_t stored) {
  const BitRateTable& table = BitRatesForRateIndex(m_rateCombo.GetCurSel());
  combo.ResetContent();
  for (const uint32_t kbps : table) combo.AddString(BitRateText(kbps));
  combo.SetCurSel(BitRateIndexFor(table, stored));
}

void CAudioSettings::ShowQualityLabel(int64_t quality) {
  const std::string label = EncodingQualityLabel(quality);
  if (!label.empty()) SetDlgItemText(IDC_ENCODING_QUALITY_LABEL, label);
}

// The selections come from the stored values again, not from what was selected before.
void CAudioSettings::OnRateChanged() {
  UpdateData(true);
  FillEncoderLists();
}

void CAudioSettings::ApplyEnablingRule() {
  UpdateData(true);
  const bool constant = m_bitRateMode == 0;
  m_constBitRateCombo.EnableWindow(constant);
  m_minBitRateCombo.EnableWindow(!constant);
  m_maxBitRateCombo.EnableWindow(!constant);
  m_vbrQualityCombo.EnableWindow(!constant);
}

void CAudioSettings::OnHScroll(UINT, UINT, HWND from) {
  if (from == m_qualitySlider.m_hWnd) ShowQualityLabel(m_qualitySlider.GetPos());
}

// Writes exactly the dialog's settings, without checking one against another (a minimum
// above the maximum is stored as it is).
void CAudioSettings::OnOK() {
  UpdateData(true);
  CSettingsStore& settings = Settings();
  settings.SetUInt(BytesPerSample, m_bitsCombo.GetCurSel() == 0 ? 1 : 2);
  settings.SetUInt(SamplesPerSecond, SampleRateForIndex(m_rateCombo.GetCurSel()));
  settings.SetUInt(Channels, m_channelChoice == 1 ? 2 : 1);
  settings.SetUInt(Mp3BitRateType, static_cast<uint32_t>(m_bitRateMode));
  settings.SetUInt(Mp3ConstBitRate, SelectedNumber(m_constBitRateCombo));
  settings.SetUInt(Mp3MinBitRate, SelectedNumber(m_minBitRateCombo));
  settings.SetUInt(Mp3MaxBitRate, SelectedNumber(m_maxBitRateCombo));
  settings.SetUInt(Mp3VbrQuality, SelectedNumber(m_vbrQualityCombo));
  settings.SetUInt(Mp3EncQuality, static_cast<uint32_t>(m_qualitySlider.GetPos()));
  CDialog::OnOK();
}
