#include "filters/kit/Enumerators.h"

#include <vfwmsgs.h>

#include "filters/kit/BasePin.h"

namespace {

// Moves an enumerator's position on by count, at most to the end.
HRESULT SkipPositions(int& position, int total, ULONG count) {
  ULONG left = position < total ? static_cast<ULONG>(total - position) : 0;
  if (left < count) {
    position += static_cast<int>(left);
    return S_FALSE;
  }
  position += static_cast<int>(count);
  return S_OK;
}

}  // namespace

CEnumPins::CEnumPins(CBaseFilter* filter, int position)
    : m_filterRef(filter), m_filter(filter), m_position(position) {}

STDMETHODIMP CEnumPins::Next(ULONG count, IPin** pins, ULONG* fetched) {
  if (!pins) return E_POINTER;
  if (count != 1 && !fetched) return E_POINTER;
  ULONG taken = 0;
  while (taken < count && m_position < m_filter->GetPinCount()) {
    CBasePin* pin = m_filter->GetPin(m_position++);
    pin->AddRef();
    pins[taken++] = pin;
  }
  if (fetched) *fetched = taken;
  return taken == count ? S_OK : S_FALSE;
}

STDMETHODIMP CEnumPins::Skip(ULONG count) { return SkipPositions(m_position, m_filter->GetPinCount(), count); }

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
  if (!types) return E_POINTER;
  if (count != 1 && !fetched) return E_POINTER;
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

STDMETHODIMP CEnumMediaTypes::Skip(ULONG count) { return SkipPositions(m_position, Count(), count); }

STDMETHODIMP CEnumMediaTypes::Reset() {
  m_position = 0;
  return S_OK;
}

STDMETHODIMP CEnumMediaTypes::Clone(IEnumMediaTypes** clone) {
  if (!clone) return E_POINTER;
  return CreateComObject<CEnumMediaTypes>(IID_IEnumMediaTypes, reinterpret_cast<void**>(clone), m_pin, m_position);
}
