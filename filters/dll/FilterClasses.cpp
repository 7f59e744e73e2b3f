#include "filters/dll/FilterClasses.h"

#include <uuids.h>

#include "filters/mp3/Mp3EncoderFilter.h"
#include "filters/wavein/WaveInSource.h"
#include "filters/wavdest/WaveDest.h"

// A filter joins the DLL with one row here and its sources in the sondrel_filters target.
const CFilterClass kFilterClasses[] = {
    {&CLSID_WaveDest, kWaveDestName, CreateWaveDest, &kWaveDestRegistration, &CLSID_LegacyAmFilterCategory},
    {&CLSID_LameMp3Encoder, kLameMp3Name, CreateLameMp3Encoder, &kLameMp3Registration,
     &CLSID_LegacyAmFilterCategory},
    // Created by the program for a capture device, never by a graph: no filter mapper entry.
    {&CLSID_WaveInCapture, kWaveInSourceName, CreateWaveInSource, nullptr, nullptr},
};

const size_t kFilterClassCount = sizeof(kFilterClasses) / sizeof(kFilterClasses[0]);
