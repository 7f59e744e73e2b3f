#pragma once
// __uuidof for DirectShow interfaces whose mingw declarations lack it (their IIDs are in
// strmiids). Include after <strmif.h>.
#include <strmif.h>

__CRT_UUID_DECL(IAMAudioInputMixer, 0x54c39221, 0x8380, 0x11d0, 0xb3, 0xf0, 0x00, 0xaa, 0x00, 0x37, 0x61, 0xc5)
