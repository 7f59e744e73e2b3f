#include "filters/kit/Enumerators.h"

#include <vfwmsgs.h>

#include "filters/kit/BasePin.h"

namespace {

// Windows' enumerators (as Wine's conformance tests record them): a caller that asks for
// more than one item must take the count.
HRESULT CheckNextArguments(const void* items, ULONG count, const ULONG* fetched) {
  if (!items) return E_POINTER;
  return count > 1 && !fetched ? E_INVALIDARG : S_OK;
}

// The number of items left after `position` of `total`.
ULONG ItemsLeft(int position, int total) { return position < total ? static_cast<ULONG>(total - position) : 0; }

}  // namespace

CEnumPins::CEnumPins(CBaseFilter* filter, int position)
    : m_filterRef(filter), m_filter(filter), m_position(position) {}

STDMETHODIMP CEnumPins::Next(ULONG count, IPin** pins, ULONG* fetched) {
  HRESULT hr = CheckNextArguments(pins, count, fetched);
  if (FAILED(hr)) return hr;
  ULONG taken = 0;
  while (taken < count && m_position < m_filter->GetPinCount()) {
    CBasePin* pin = m_filter->GetPin(m_position++);
    pin->AddRef();
    pins[taken++] = pin;
  }
  if (fetched) *fetched = taken;
  return taken == count ? S_OK : S_FALSE;
}

// Skipping past the last pin leaves the position where it was.
STDMETHODIMP CEnumPins::Skip(ULONG count) {
  if (count > ItemsLeft(m_position, m_filter->GetPinCount())) return S_FALSE;
  m_position += static_cast<int>(count);
  return S_OK;
}

STDMETHODIMP CEnumPins::Reset() {
  m_position = 0;
  return S_OK;
}

STDMETHODIMP CEnumPins::Clone(IEnumPins** clone) {
  if (!clone) return E_POINTER;
  return CreateComObject<CEnumPins>(IID_IEnumPins, reinterpret_cast<void**>(clone), m_filter, m_position);
}

CEnumMediaTypes::CEnumMediaTypes(CBasePin* pin, int position) : m_pinRef(pin), m_pin(pin), m_position(position) {}

int CEnumMediaTypes::Count() const {
  CMediaType type;
  int count = 0;
  while (m_pin->GetMediaType(count, type) == S_OK) ++count;
  return count;
}

STDMETHODIMP CEnumMediaTypes::Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) {
  HRESULT hr = CheckNextArguments(types, count, fetched);
  if (FAILED(hr)) return hr;
  ULONG taken = 0;
  CMediaType type;
  while (taken < count && m_pin->GetMediaType(m_position, type) == S_OK) {
    AM_MEDIA_TYPE* copy = type.CreateCopy();
    if (!copy) break;
    types[taken++] = copy;
    ++m_position;
  }
  if (fetched) *fetched = taken;
  return taken == count ? S_OK : S_FALSE;
}

// Skipping past the last type moves to the end, unlike the pin enumerator.
STDMETHODIMP CEnumMediaTypes::Skip(ULONG count) {
  const ULONG left = ItemsLeft(m_position, Count());
  m_position += static_cast<int>(count < left ? count : left);
  return count > left ? S_FALSE : S_OK;
}

STDMETHODIMP CEnumMediaTypes::Reset() {
  m_position = 0;
  return S_OK;
}

STDMETHODIMP CEnumMediaTypes::Clone(IEnumMediaTypes** clone) {
  if (!clone) return E_POINTER;
  return CreateComObject<CEnumMediaTypes>(IID_IEnumMediaTypes, reinterpret_cast<void**>(clone), m_pin, m_position);
}
