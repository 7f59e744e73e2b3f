#include "recorder/CaptureDevices.h"

#include <functional>
#include <string>

#include "filters/FilterClassIds.h"
#include "framework/Controls.h"
#include "recorder/TextConversion.h"

namespace {

// Creates the enumerator of the audio capture category. `monikers` stays null when the
// category is empty (the class enumerator then reports S_FALSE).
struct CaptureCategory {
  HRESULT systemEnumeratorResult = S_OK;
  HRESULT classEnumeratorResult = S_OK;
  CComPtr<IEnumMoniker> monikers;

  CaptureCategory() {
    CComPtr<ICreateDevEnum> devices;
    systemEnumeratorResult = ::CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                                IID_ICreateDevEnum, devices.PutVoid());
    if (FAILED(systemEnumeratorResult)) return;
    classEnumeratorResult = devices->CreateClassEnumerator(CLSID_AudioInputDeviceCategory, monikers.Put(), 0);
  }
  // The enumerators' failure to return, or S_OK when the walk can begin or the category is empty.
  HRESULT Failure() const {
    if (FAILED(systemEnumeratorResult)) return systemEnumeratorResult;
    return FAILED(classEnumeratorResult) ? classEnumeratorResult : S_OK;
  }
};

std::string FriendlyName(IPropertyBag* bag, bool& readable) {
  readable = false;
  VARIANT name;
  ::VariantInit(&name);
  std::string result;
  if (SUCCEEDED(bag->Read(L"FriendlyName", &name, nullptr)) && name.vt == VT_BSTR) {
    result = ToAnsi(name.bstrVal);
    readable = true;
  }
  ::VariantClear(&name);
  return result;
}

using DeviceVisitor = std::function<bool(const std::string& name, IMoniker* moniker, IPropertyBag* bag)>;

// Calls `visit` with each device whose friendly name can be read, until it returns true.
void ForEachNamedDevice(IEnumMoniker* monikers, const DeviceVisitor& visit) {
  CComPtr<IMoniker> moniker;
  while (monikers->Next(1, moniker.Put(), nullptr) == S_OK) {
    CComPtr<IPropertyBag> bag;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid())) || !bag) continue;
    bool readable = false;
    const std::string name = FriendlyName(bag.Get(), readable);
    if (readable && visit(name, moniker.Get(), bag.Get())) return;
  }
}

// Finds the named device (the first when `deviceName` is null) and binds its capture filter.
struct CaptureFilterBinding {
  HRESULT enumeration = S_OK;  // the enumerators' failure
  HRESULT bind = E_FAIL;       // BindToObject's result; E_FAIL when no device matched
};

CaptureFilterBinding BindCaptureFilter(const char* deviceName, CComPtr<IBaseFilter>& filter) {
  CaptureFilterBinding result;
  filter.Reset();
  const CaptureCategory category;
  result.enumeration = category.Failure();
  if (FAILED(result.enumeration) || !category.monikers) return result;
  ForEachNamedDevice(category.monikers.Get(), [&](const std::string& name, IMoniker* moniker, IPropertyBag* bag) {
    if (deviceName != nullptr && name != deviceName) return false;
    result.bind = moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.PutVoid());
    if (filter) SubstituteCaptureSource(bag, filter);
    return true;
  });
  return result;
}

struct PinInfo {
  PIN_INFO info{};
  bool valid = false;
  explicit PinInfo(IPin* pin) { valid = SUCCEEDED(pin->QueryPinInfo(&info)); }
  ~PinInfo() {
    if (valid && info.pFilter) info.pFilter->Release();
  }
  PinInfo(const PinInfo&) = delete;
  PinInfo& operator=(const PinInfo&) = delete;
  std::string Name() const { return ToAnsi(info.achName); }
};

// mingw declares no __uuidof for this interface: its IID is named.
CComPtr<IAMAudioInputMixer> MixerOf(IPin* pin) {
  CComPtr<IAMAudioInputMixer> mixer;
  pin->QueryInterface(IID_IAMAudioInputMixer, mixer.PutVoid());
  return mixer;
}

PIN_DIRECTION DirectionOf(IPin* pin) {
  PIN_DIRECTION direction = PINDIR_OUTPUT;
  if (FAILED(pin->QueryDirection(&direction))) return static_cast<PIN_DIRECTION>(-1);
  return direction;
}

// Calls `visit` with each pin of the filter in order. Returns the failure of EnumPins.
HRESULT ForEachPin(IBaseFilter* filter, const std::function<bool(IPin*)>& visit) {
  CComPtr<IEnumPins> pins;
  const HRESULT hr = filter->EnumPins(pins.Put());
  if (FAILED(hr)) return hr;
  CComPtr<IPin> pin;
  while (pins->Next(1, pin.Put(), nullptr) == S_OK) {
    if (visit(pin.Get())) break;
  }
  return S_OK;
}

}  // namespace

HRESULT FillDeviceCombo(CComboBox& list) {
  const CaptureCategory category;
  if (FAILED(category.systemEnumeratorResult)) return category.systemEnumeratorResult;
  if (FAILED(category.classEnumeratorResult) || !category.monikers) return E_POINTER;
  ForEachNamedDevice(category.monikers.Get(), [&](const std::string& name, IMoniker*, IPropertyBag*) {
    list.AddString(name);
    return false;
  });
  return S_OK;
}

HRESULT FillInputCombo(const char* deviceName, CComboBox& list, int& enabledIndex) {
  enabledIndex = 0;
  if (deviceName == nullptr) return E_POINTER;
  CComPtr<IBaseFilter> filter;
  const CaptureFilterBinding binding = BindCaptureFilter(deviceName, filter);
  if (FAILED(binding.enumeration)) return binding.enumeration;
  if (FAILED(binding.bind)) return binding.bind;
  if (!filter) return E_FAIL;
  int position = 0;
  return ForEachPin(filter.Get(), [&](IPin* pin) {
    if (DirectionOf(pin) != PINDIR_INPUT) return false;
    const PinInfo info(pin);
    if (info.valid) {
      list.AddString(info.Name());
      CComPtr<IAMAudioInputMixer> mixer = MixerOf(pin);
      BOOL enabled = FALSE;
      if (mixer && SUCCEEDED(mixer->get_Enable(&enabled)) && enabled) enabledIndex = position;
    }
    ++position;  // counts every input pin, also one whose name could not be read
    return false;
  });
}

HRESULT FindCaptureFilter(const char* deviceName, CComPtr<IBaseFilter>& filter) {
  const CaptureFilterBinding binding = BindCaptureFilter(deviceName, filter);
  if (FAILED(binding.enumeration)) return binding.enumeration;
  // The binding's own result does not matter: either there is a filter or there is none.
  return filter ? S_OK : E_FAIL;
}

HRESULT FindPin(IBaseFilter* filter, PIN_DIRECTION direction, CComPtr<IPin>& pin) {
  pin.Reset();
  if (filter == nullptr) return E_POINTER;
  const HRESULT hr = ForEachPin(filter, [&](IPin* candidate) {
    if (DirectionOf(candidate) != direction) return false;
    pin = candidate;
    return true;
  });
  if (FAILED(hr)) return hr;
  return pin ? S_OK : E_FAIL;
}

void SubstituteCaptureSource(IPropertyBag* device, CComPtr<IBaseFilter>& filter) {
  CComPtr<IPin> output;
  if (!device || !filter || FindPin(filter.Get(), PINDIR_OUTPUT, output) != E_FAIL) return;
  CComPtr<IBaseFilter> source;
  if (FAILED(::CoCreateInstance(CLSID_WaveInCapture, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                source.PutVoid()))) {
    return;
  }
  CComPtr<IPersistPropertyBag> persist = ComQuery<IPersistPropertyBag>(source.Get());
  if (persist && SUCCEEDED(persist->Load(device, nullptr))) filter = source;
}

HRESULT SelectInputLine(double level, const char* inputName, IBaseFilter* filter) {
  if (inputName == nullptr || filter == nullptr) return E_POINTER;
  return ForEachPin(filter, [&](IPin* pin) {
    if (DirectionOf(pin) != PINDIR_INPUT) return false;
    const PinInfo info(pin);
    if (!info.valid) return false;
    CComPtr<IAMAudioInputMixer> mixer = MixerOf(pin);
    if (!mixer) return false;
    if (info.Name() == inputName) {
      mixer->put_Enable(TRUE);
      mixer->put_MixLevel(level);
    } else {
      mixer->put_Enable(FALSE);
    }
    return false;  // every switchable input is visited
  });
}
