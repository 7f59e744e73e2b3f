#pragma once
// The audio settings dialog: the capture format (bits per sample, samples per second, mono
// or stereo) and the MP3 encoder's options. It starts from the stored settings and writes
// them back on OK only; the recording graph reads them when a recording starts.

#include <cstdint>

#include "framework/Controls.h"
#include "framework/Dialog.h"

class CAudioSettings : public CDialog {
 public:
  explicit CAudioSettings(CWnd* parent = nullptr);

  const MessageMap* GetMessageMap() const override;

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
  void OnOK() override;

 private:
  // The three bit-rate lists from the table of the selected rate, each at its stored value,
  // and the VBR quality list.
  void FillEncoderLists();
  void FillBitRateList(CComboBox& combo, uint32_t stored);
  void ShowQualityLabel(int64_t quality);

  void OnRateChanged();
  // Constant bit rate enables its own combo, variable the minimum, maximum and VBR quality.
  void ApplyEnablingRule();
  void OnHScroll(UINT code, UINT position, HWND from);

  CComboBox m_bitsCombo;
  CComboBox m_rateCombo;
  int m_channelChoice = 0;  // 0 mono, 1 stereo
  int m_bitRateMode = 0;    // 0 constant, 1 variable
  CComboBox m_constBitRateCombo;
  CComboBox m_minBitRateCombo;
  CComboBox m_maxBitRateCombo;
  CComboBox m_vbrQualityCombo;
  CSliderCtrl m_qualitySlider;
};
