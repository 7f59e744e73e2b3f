#pragma once
// The class identifiers of the filters Sondrel ships in SondrelFilters.dll. The program
// creates the filters by these identifiers, so a filter registered system-wide under one of
// them is used in its place.
#include <guiddef.h>

// "Lame MP3", the MP3 encoder.
inline const CLSID CLSID_LameMp3Encoder = {0xB8D27088, 0xFF5F, 0x4B7C, {0x98, 0xDC, 0x0E, 0x91, 0xA1, 0x69, 0x62, 0x86}};
// "Wave Dest", the WAV writer.
inline const CLSID CLSID_WaveDest = {0x3C78B8E2, 0x6C4D, 0x11D1, {0xAD, 0xE2, 0x00, 0x00, 0xF8, 0x75, 0x4B, 0x99}};
// "Sondrel Audio Capture", the capture source over waveIn, for capture devices whose own
// filter cannot capture.
inline const CLSID CLSID_WaveInCapture = {0xDD6563C1, 0x4AB8, 0x4D70, {0xAA, 0xDD, 0x8E, 0x28, 0xF2, 0xF1, 0x30, 0x82}};
