#pragma once
#include <strmif.h>

#include "filters/kit/ComObject.h"
#include "filters/kit/ComPtr.h"

class CBaseFilter;
class CBasePin;

// The pins of a filter, in its fixed order. Holds a reference on the filter.
class CEnumPins : public CComObjectBase<IEnumPins> {
 public:
  CEnumPins(CBaseFilter* filter, int position);

  STDMETHODIMP Next(ULONG count, IPin** pins, ULONG* fetched) override;
  STDMETHODIMP Skip(ULONG count) override;
  STDMETHODIMP Reset() override;
  STDMETHODIMP Clone(IEnumPins** clone) override;

 private:
  CComPtr<IBaseFilter> m_filterRef;
  CBaseFilter* m_filter;
  int m_position;
};

// The preferred media types of a pin (its GetMediaType). Holds a reference on the pin.
class CEnumMediaTypes : public CComObjectBase<IEnumMediaTypes> {
 public:
  CEnumMediaTypes(CBasePin* pin, int position);

  STDMETHODIMP Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
  STDMETHODIMP Skip(ULONG count) override;
  STDMETHODIMP Reset() override;
  STDMETHODIMP Clone(IEnumMediaTypes** clone) override;

 private:
  int Count() const;

  CComPtr<IPin> m_pinRef;
  CBasePin* m_pin;
  int m_position;
};
