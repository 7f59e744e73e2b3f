#pragma once
// The MP3 encoder filter's property interface. Its method order is a binary contract: the
// program also drives an encoder registered system-wide under the same class identifier,
// so no method may move. Methods Sondrel never calls may answer E_NOTIMPL.
#include <unknwn.h>

// {CA7E9EF0-1CBE-11D3-8D29-00A0C94BBFEE}
DEFINE_GUID(IID_IAudioEncoderProperties, 0xCA7E9EF0, 0x1CBE, 0x11D3, 0x8D, 0x29, 0x00, 0xA0, 0xC9, 0x4B, 0xBF,
            0xEE);

struct IAudioEncoderProperties : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_PESOutputEnabled(DWORD* enabled) = 0;
  virtual HRESULT STDMETHODCALLTYPE set_PESOutputEnabled(DWORD enabled) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Bitrate(DWORD* bitrate) = 0;
  virtual HRESULT STDMETHODCALLTYPE set_Bitrate(DWORD bitrate) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Variable(DWORD* variable) = 0;
  virtual HRESULT STDMETHODCALLTYPE set_Variable(DWORD variable) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_VariableMin(DWORD* minimum) = 0;
  virtual HRESULT STDMETHODCALLTYPE set_VariableMin(DWORD minimum) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_VariableMax(DWORD* maximum) = 0;
  virtual HRESULT STDMETHODCALLTYPE set_VariableMax(DWORD maximum) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Quality(DWORD* quality) = 0;
  virtual HRESULT STDMETHODCALLTYPE set_Quality(DWORD quality) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_VariableQ(DWORD* quality) = 0;
  virtual HRESULT STDMETHODCALLTYPE set_VariableQ(DWORD quality) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_SourceSampleRate(DWORD* rate) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_SourceChannels(DWORD* channels) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_SampleRate(DWORD* rate) = 0;
  virtual HRESULT STDMETHODCALLTYPE set_SampleRate(DWORD rate) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ChannelMode(DWORD* mode) = 0;
  virtual HRESULT STDMETHODCALLTYPE set_ChannelMode(DWORD mode) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CRCFlag(DWORD* flag) = 0;
  virtual HRESULT STDMETHODCALLTYPE set_CRCFlag(DWORD flag) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ForceMono(DWORD* flag) = 0;
  virtual HRESULT STDMETHODCALLTYPE set_ForceMono(DWORD flag) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_SetDuration(DWORD* flag) = 0;
  virtual HRESULT STDMETHODCALLTYPE set_SetDuration(DWORD flag) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_OriginalFlag(DWORD* flag) = 0;
  virtual HRESULT STDMETHODCALLTYPE set_OriginalFlag(DWORD flag) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CopyrightFlag(DWORD* flag) = 0;
  virtual HRESULT STDMETHODCALLTYPE set_CopyrightFlag(DWORD flag) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_EnforceVBRmin(DWORD* flag) = 0;
  virtual HRESULT STDMETHODCALLTYPE set_EnforceVBRmin(DWORD flag) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_VoiceMode(DWORD* flag) = 0;
  virtual HRESULT STDMETHODCALLTYPE set_VoiceMode(DWORD flag) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_KeepAllFreq(DWORD* flag) = 0;
  virtual HRESULT STDMETHODCALLTYPE set_KeepAllFreq(DWORD flag) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_StrictISO(DWORD* flag) = 0;
  virtual HRESULT STDMETHODCALLTYPE set_StrictISO(DWORD flag) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_NoShortBlock(DWORD* flag) = 0;
  virtual HRESULT STDMETHODCALLTYPE set_NoShortBlock(DWORD flag) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_XingTag(DWORD* flag) = 0;
  virtual HRESULT STDMETHODCALLTYPE set_XingTag(DWORD flag) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ForceMS(DWORD* flag) = 0;
  virtual HRESULT STDMETHODCALLTYPE set_ForceMS(DWORD flag) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ModeFixed(DWORD* flag) = 0;
  virtual HRESULT STDMETHODCALLTYPE set_ModeFixed(DWORD flag) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ParameterBlockSize(BYTE* block, DWORD* size) = 0;
  virtual HRESULT STDMETHODCALLTYPE set_ParameterBlockSize(BYTE* block, DWORD size) = 0;
  virtual HRESULT STDMETHODCALLTYPE DefaultAudioEncoderProperties() = 0;
  virtual HRESULT STDMETHODCALLTYPE LoadAudioEncoderPropertiesFromRegistry() = 0;
  virtual HRESULT STDMETHODCALLTYPE SaveAudioEncoderPropertiesToRegistry() = 0;
  virtual HRESULT STDMETHODCALLTYPE InputTypeDefined() = 0;
  virtual HRESULT STDMETHODCALLTYPE ApplyChanges() = 0;
  virtual HRESULT STDMETHODCALLTYPE set_SampleOverlap(DWORD overlap) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_SampleOverlap(DWORD* overlap) = 0;
};
__CRT_UUID_DECL(IAudioEncoderProperties, 0xCA7E9EF0, 0x1CBE, 0x11D3, 0x8D, 0x29, 0x00, 0xA0, 0xC9, 0x4B, 0xBF, 0xEE)
