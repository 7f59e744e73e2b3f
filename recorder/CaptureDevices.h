#pragma once
// The audio capture devices and their input lines, found by name: a device by the friendly
// name the system's device registry gives it, an input line by the name of one of its
// capture filter's input pins. Names are compared exactly, byte for byte, in the ANSI code
// page. Every function returns a COM result; every interface it obtains is released before
// it returns, except the filter or pin it hands back.

#include <dshow.h>

#include "filters/kit/ComPtr.h"

class CComboBox;

// Adds every capture device's friendly name to the end of `list`, in the system's order.
// E_POINTER when the category holds no device or cannot be enumerated.
HRESULT FillDeviceCombo(CComboBox& list);

// Adds the names of the input pins of the device's capture filter (the one FindCaptureFilter
// gives) to the end of `list`, in pin order.
// `enabledIndex` ends as the position of the last input whose mixer reports itself enabled
// (0 when none does). E_POINTER without a name, E_FAIL when no device has that name.
HRESULT FillInputCombo(const char* deviceName, CComboBox& list, int& enabledIndex);

// Creates the capture filter of the named device (the first device when `deviceName` is
// null), through SubstituteCaptureSource. E_FAIL with a null filter when no device matches.
HRESULT FindCaptureFilter(const char* deviceName, CComPtr<IBaseFilter>& filter);

// The filter's first pin of that direction, connected or not. E_POINTER without a filter,
// E_FAIL when it has none.
HRESULT FindPin(IBaseFilter* filter, PIN_DIRECTION direction, CComPtr<IPin>& pin);

// Enables the named input line at `level` (0.0 to 1.0) and disables every other input that
// has a mixer. With no pin of that name every switchable input ends up disabled and no
// level is set. E_POINTER without a name or filter.
HRESULT SelectInputLine(double level, const char* inputName, IBaseFilter* filter);

// A device's filter that has no output pin cannot capture (Wine's audio capture filter is
// such a stub). When the device is a waveIn device ("WaveInID" in its property bag), the
// filter is replaced by Sondrel's capture source ("Sondrel Audio Capture") opened on it;
// any other filter is kept, and so is this one when the source cannot be created.
void SubstituteCaptureSource(IPropertyBag* device, CComPtr<IBaseFilter>& filter);
