// IAudioEncoderProperties of the encoder filter. Values are kept as they are set and made
// usable when streaming starts (see Mp3Settings.h); the getters answer with the values the
// connected input would be encoded with. Only what a recorder needs is supported: the other
// methods exist for the interface's layout and answer E_NOTIMPL.
#include <vfwmsgs.h>

#include "filters/mp3/Mp3EncoderFilter.h"

HRESULT CMp3EncoderFilter::GetSetting(DWORD* out, unsigned Mp3Settings::*field) {
  if (!out) return E_POINTER;
  *out = EffectiveSettings().*field;
  return S_OK;
}

HRESULT CMp3EncoderFilter::SetSetting(unsigned Mp3Settings::*field, DWORD value) {
  CAutoLock lock(FilterLock());
  m_requested.*field = value;
  return S_OK;
}

STDMETHODIMP CMp3EncoderFilter::get_Bitrate(DWORD* bitrate) { return GetSetting(bitrate, &Mp3Settings::bitRate); }
STDMETHODIMP CMp3EncoderFilter::set_Bitrate(DWORD bitrate) { return SetSetting(&Mp3Settings::bitRate, bitrate); }

STDMETHODIMP CMp3EncoderFilter::get_Variable(DWORD* variable) {
  if (!variable) return E_POINTER;
  *variable = EffectiveSettings().variable ? 1 : 0;
  return S_OK;
}

STDMETHODIMP CMp3EncoderFilter::set_Variable(DWORD variable) {
  CAutoLock lock(FilterLock());
  m_requested.variable = variable != 0;
  return S_OK;
}

STDMETHODIMP CMp3EncoderFilter::get_VariableMin(DWORD* minimum) { return GetSetting(minimum, &Mp3Settings::vbrMin); }
STDMETHODIMP CMp3EncoderFilter::set_VariableMin(DWORD minimum) { return SetSetting(&Mp3Settings::vbrMin, minimum); }
STDMETHODIMP CMp3EncoderFilter::get_VariableMax(DWORD* maximum) { return GetSetting(maximum, &Mp3Settings::vbrMax); }
STDMETHODIMP CMp3EncoderFilter::set_VariableMax(DWORD maximum) { return SetSetting(&Mp3Settings::vbrMax, maximum); }
STDMETHODIMP CMp3EncoderFilter::get_Quality(DWORD* quality) { return GetSetting(quality, &Mp3Settings::quality); }
STDMETHODIMP CMp3EncoderFilter::set_Quality(DWORD quality) { return SetSetting(&Mp3Settings::quality, quality); }
STDMETHODIMP CMp3EncoderFilter::get_VariableQ(DWORD* quality) { return GetSetting(quality, &Mp3Settings::vbrQuality); }
STDMETHODIMP CMp3EncoderFilter::set_VariableQ(DWORD quality) { return SetSetting(&Mp3Settings::vbrQuality, quality); }
STDMETHODIMP CMp3EncoderFilter::get_SampleRate(DWORD* rate) { return GetSetting(rate, &Mp3Settings::sampleRate); }
STDMETHODIMP CMp3EncoderFilter::set_SampleRate(DWORD rate) {
  CAutoLock lock(FilterLock());
  m_requested.sampleRate = rate;
  FollowInput();
  return S_OK;
}

STDMETHODIMP CMp3EncoderFilter::get_SourceSampleRate(DWORD* rate) {
  if (!rate) return E_POINTER;
  CAutoLock lock(FilterLock());
  if (!m_input.IsConnected()) return E_FAIL;
  *rate = m_input.Format().sampleRate;
  return S_OK;
}

STDMETHODIMP CMp3EncoderFilter::get_SourceChannels(DWORD* channels) {
  if (!channels) return E_POINTER;
  CAutoLock lock(FilterLock());
  if (!m_input.IsConnected()) return E_FAIL;
  *channels = m_input.Format().channels;
  return S_OK;
}

STDMETHODIMP CMp3EncoderFilter::DefaultAudioEncoderProperties() {
  CAutoLock lock(FilterLock());
  m_requested = Mp3Settings{};
  return S_OK;
}

STDMETHODIMP CMp3EncoderFilter::InputTypeDefined() {
  CAutoLock lock(FilterLock());
  return m_input.IsConnected() ? S_OK : E_FAIL;
}

// Changes apply when streaming next starts; there is nothing more to apply.
STDMETHODIMP CMp3EncoderFilter::ApplyChanges() { return S_OK; }

STDMETHODIMP CMp3EncoderFilter::get_PESOutputEnabled(DWORD*) { return E_NOTIMPL; }
STDMETHODIMP CMp3EncoderFilter::set_PESOutputEnabled(DWORD) { return E_NOTIMPL; }
STDMETHODIMP CMp3EncoderFilter::get_ChannelMode(DWORD*) { return E_NOTIMPL; }
STDMETHODIMP CMp3EncoderFilter::set_ChannelMode(DWORD) { return E_NOTIMPL; }
STDMETHODIMP CMp3EncoderFilter::get_CRCFlag(DWORD*) { return E_NOTIMPL; }
STDMETHODIMP CMp3EncoderFilter::set_CRCFlag(DWORD) { return E_NOTIMPL; }
STDMETHODIMP CMp3EncoderFilter::get_ForceMono(DWORD*) { return E_NOTIMPL; }
STDMETHODIMP CMp3EncoderFilter::set_ForceMono(DWORD) { return E_NOTIMPL; }
STDMETHODIMP CMp3EncoderFilter::get_SetDuration(DWORD*) { return E_NOTIMPL; }
STDMETHODIMP CMp3EncoderFilter::set_SetDuration(DWORD) { return E_NOTIMPL; }
STDMETHODIMP CMp3EncoderFilter::get_OriginalFlag(DWORD*) { return E_NOTIMPL; }
STDMETHODIMP CMp3EncoderFilter::set_OriginalFlag(DWORD) { return E_NOTIMPL; }
STDMETHODIMP CMp3EncoderFilter::get_CopyrightFlag(DWORD*) { return E_NOTIMPL; }
STDMETHODIMP CMp3EncoderFilter::set_CopyrightFlag(DWORD) { return E_NOTIMPL; }
STDMETHODIMP CMp3EncoderFilter::get_EnforceVBRmin(DWORD*) { return E_NOTIMPL; }
STDMETHODIMP CMp3EncoderFilter::set_EnforceVBRmin(DWORD) { return E_NOTIMPL; }
STDMETHODIMP CMp3EncoderFilter::get_VoiceMode(DWORD*) { return E_NOTIMPL; }
STDMETHODIMP CMp3EncoderFilter::set_VoiceMode(DWORD) { return E_NOTIMPL; }
STDMETHODIMP CMp3EncoderFilter::get_KeepAllFreq(DWORD*) { return E_NOTIMPL; }
STDMETHODIMP CMp3EncoderFilter::set_KeepAllFreq(DWORD) { return E_NOTIMPL; }
STDMETHODIMP CMp3EncoderFilter::get_StrictISO(DWORD*) { return E_NOTIMPL; }
STDMETHODIMP CMp3EncoderFilter::set_StrictISO(DWORD) { return E_NOTIMPL; }
STDMETHODIMP CMp3EncoderFilter::get_NoShortBlock(DWORD*) { return E_NOTIMPL; }
STDMETHODIMP CMp3EncoderFilter::set_NoShortBlock(DWORD) { return E_NOTIMPL; }
STDMETHODIMP CMp3EncoderFilter::get_XingTag(DWORD*) { return E_NOTIMPL; }
STDMETHODIMP CMp3EncoderFilter::set_XingTag(DWORD) { return E_NOTIMPL; }
STDMETHODIMP CMp3EncoderFilter::get_ForceMS(DWORD*) { return E_NOTIMPL; }
STDMETHODIMP CMp3EncoderFilter::set_ForceMS(DWORD) { return E_NOTIMPL; }
STDMETHODIMP CMp3EncoderFilter::get_ModeFixed(DWORD*) { return E_NOTIMPL; }
STDMETHODIMP CMp3EncoderFilter::set_ModeFixed(DWORD) { return E_NOTIMPL; }
STDMETHODIMP CMp3EncoderFilter::get_ParameterBlockSize(BYTE*, DWORD*) { return E_NOTIMPL; }
STDMETHODIMP CMp3EncoderFilter::set_ParameterBlockSize(BYTE*, DWORD) { return E_NOTIMPL; }
STDMETHODIMP CMp3EncoderFilter::LoadAudioEncoderPropertiesFromRegistry() { return E_NOTIMPL; }
STDMETHODIMP CMp3EncoderFilter::SaveAudioEncoderPropertiesToRegistry() { return E_NOTIMPL; }
STDMETHODIMP CMp3EncoderFilter::set_SampleOverlap(DWORD) { return E_NOTIMPL; }
STDMETHODIMP CMp3EncoderFilter::get_SampleOverlap(DWORD*) { return E_NOTIMPL; }
