#pragma once
// The fixed lists of the audio settings dialog and the choices it makes from stored values.
// Nothing here needs Windows.

#include <array>
#include <cstdint>
#include <string>

// The bit rates a combo offers, in kbit/s, ascending.
using BitRateTable = std::array<uint32_t, 14>;

// The rates of the samples-per-second combo, in list order.
constexpr std::array<uint32_t, 4> kListedSampleRates = {44100, 22050, 11025, 8000};

// The table for the rate combo's selection: the 44100 table for index 0, the table of the
// lower rates for any other index (also -1, nothing selected).
const BitRateTable& BitRatesForRateIndex(int rateIndex);
// "128 kbps".
std::string BitRateText(uint32_t kbps);
// The largest entry not above `stored`; the first entry for anything below the table.
int BitRateIndexFor(const BitRateTable& table, uint32_t stored);

// The list position of a stored rate: 22050, 11025 and 8000 have their own, anything else
// shows as 44100.
int SampleRateIndexFor(uint32_t stored);
// The rate of a list position: 44100 for 0 and for anything that is not a position.
uint32_t SampleRateForIndex(int index);

// "0 - ~1:4" to "9 - ~1:14": the VBR quality list, whose position is the stored value.
extern const std::array<const char*, 10> kVbrQualityTexts;
// The label of an encoding quality from 0 ("High") to 9 ("Fast mode"); empty for any other.
std::string EncodingQualityLabel(int64_t quality);

// The number an entry starts with ("160 kbps" is 160); 0 for none.
uint32_t LeadingNumber(const std::string& text);
