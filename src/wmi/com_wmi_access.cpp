#include "wmi/com_wmi_access.h"

#include <wrl/client.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "wmi/deadline_call.h"

using Microsoft::WRL::ComPtr;

namespace {

// {CB8555CC-9128-11D1-AD9B-00C04FD8FDFF}
const CLSID kWbemAdministrativeLocator = {0xcb8555cc, 0x9128, 0x11d1, {0xad, 0x9b, 0x00, 0xc0, 0x4f, 0xd8, 0xfd, 0xff}};
// {DC12A687-737F-11CF-884D-00AA004B2E24}
const IID kIWbemLocator = {0xdc12a687, 0x737f, 0x11cf, {0x88, 0x4d, 0x00, 0xaa, 0x00, 0x4b, 0x2e, 0x24}};
// {DC12A681-737F-11CF-884D-00AA004B2E24}
const IID kIWbemClassObject = {0xdc12a681, 0x737f, 0x11cf, {0x88, 0x4d, 0x00, 0xaa, 0x00, 0x4b, 0x2e, 0x24}};

IWbemLocator* Raw(const WmiLocator& handle) { return reinterpret_cast<IWbemLocator*>(handle.get()); }
IWbemServices* Raw(const WmiServices& handle) { return reinterpret_cast<IWbemServices*>(handle.get()); }
IEnumWbemClassObject* Raw(const WmiEnumerator& handle) {
  return reinterpret_cast<IEnumWbemClassObject*>(handle.get());
}
IWbemClassObject* Raw(const WmiObject& handle) { return reinterpret_cast<IWbemClassObject*>(handle.get()); }

}  // namespace

HRESULT ComWmiAccess::InitializeCom(DWORD concurrency) { return CoInitializeEx(nullptr, concurrency); }

HRESULT ComWmiAccess::InitializeSecurity(const ComSecurityArguments& arguments) {
  return CoInitializeSecurity(nullptr, arguments.authenticationServices, nullptr, nullptr,
                              arguments.authenticationLevel, arguments.impersonationLevel, nullptr,
                              arguments.capabilities, nullptr);
}

HRESULT ComWmiAccess::CreateLocator(WmiLocator& locator) {
  void* raw = nullptr;
  const HRESULT hr = CoCreateInstance(kWbemAdministrativeLocator, nullptr, CLSCTX_INPROC_SERVER, kIWbemLocator, &raw);
  locator = MakeHandle<WmiLocator>(raw);
  return hr;
}

namespace {

// A user name, password and locale for ConnectServer, held as the BSTRs it
// takes; the password's copy is wiped before it is freed.
class Credentials {
 public:
  explicit Credentials(const ConnectCredentials& given)
      : user_(given.user ? Bstr(given.user) : Bstr()), password_(given.password ? Bstr(given.password) : Bstr()),
        locale_(given.locale ? Bstr(given.locale) : Bstr()) {}
  ~Credentials() {
    if (password_.get()) SecureZeroMemory(password_.get(), SysStringByteLen(password_.get()));
  }
  Credentials(const Credentials&) = delete;
  Credentials& operator=(const Credentials&) = delete;
  BSTR User() const { return user_.get(); }
  BSTR Password() const { return password_.get(); }
  BSTR Locale() const { return locale_.get(); }

 private:
  Bstr user_;
  Bstr password_;
  Bstr locale_;
};

}  // namespace

HRESULT ComWmiAccess::ConnectServer(const WmiLocator& locator, const wchar_t* nameSpace,
                                    const ConnectCredentials& credentials, LONG flags, ULONG timeoutMs,
                                    WmiServices& services) {
  // One connection, bounded or not, so that both go out as the same account:
  // a bounded wait only runs it on a thread its caller may stop waiting for.
  // With WBEM_FLAG_CONNECT_USE_MAX_WAIT among the flags WMI itself gives up
  // within two minutes, and the connecting thread ends then. A connection
  // changes nothing on the machine, so one made too late is simply released.
  std::function<HRESULT(ComPtr<IWbemServices>&)> connect =
      [shared = ComPtr<IWbemLocator>(Raw(locator)), resource = std::wstring(nameSpace),
       account = std::make_shared<const Credentials>(credentials), flags](ComPtr<IWbemServices>& connected) {
        const Bstr path(resource.c_str());
        return shared->ConnectServer(path.get(), account->User(), account->Password(), account->Locale(), flags, nullptr,
                                     nullptr, connected.GetAddressOf());
      };
  ComPtr<IWbemServices> connected;
  const HRESULT hr =
      timeoutMs == WBEM_INFINITE ? connect(connected) : CallWithDeadline(timeoutMs, std::move(connect), connected);
  services = MakeHandle<WmiServices>(connected.Detach());
  return hr;
}

namespace {

HRESULT SetBlanket(IUnknown* proxy, const ProxyBlanketArguments& arguments) {
  return CoSetProxyBlanket(proxy, arguments.authenticationService, arguments.authorizationService,
                           arguments.principal, arguments.authenticationLevel, arguments.impersonationLevel,
                           arguments.identity, arguments.capabilities);
}

}  // namespace

HRESULT ComWmiAccess::SetProxyBlanket(const WmiServices& services, const ProxyBlanketArguments& arguments) {
  return SetBlanket(Raw(services), arguments);
}

HRESULT ComWmiAccess::SetEnumeratorBlanket(const WmiEnumerator& results, const ProxyBlanketArguments& arguments) {
  return SetBlanket(Raw(results), arguments);
}

namespace {

HRESULT UnknownOf(IUnknown* proxy, void*& unknown) {
  unknown = nullptr;
  return proxy->QueryInterface(IID_IUnknown, &unknown);
}

}  // namespace

HRESULT ComWmiAccess::QueryUnknown(const WmiServices& services, WmiUnknown& unknown) {
  void* raw = nullptr;
  const HRESULT hr = UnknownOf(Raw(services), raw);
  unknown = MakeHandle<WmiUnknown>(raw);
  return hr;
}

HRESULT ComWmiAccess::QueryUnknown(const WmiEnumerator& results, WmiUnknown& unknown) {
  void* raw = nullptr;
  const HRESULT hr = UnknownOf(Raw(results), raw);
  unknown = MakeHandle<WmiUnknown>(raw);
  return hr;
}

HRESULT ComWmiAccess::SetUnknownBlanket(const WmiUnknown& unknown, const ProxyBlanketArguments& arguments) {
  return SetBlanket(reinterpret_cast<IUnknown*>(unknown.get()), arguments);
}

HRESULT ComWmiAccess::ExecQuery(const WmiServices& services, const wchar_t* language, const wchar_t* query,
                                LONG flags, WmiEnumerator& results) {
  IEnumWbemClassObject* raw = nullptr;
  const Bstr languageText(language);
  const Bstr text(query);
  const HRESULT hr = Raw(services)->ExecQuery(languageText.get(), text.get(), flags, nullptr, &raw);
  results = MakeHandle<WmiEnumerator>(raw);
  return hr;
}

HRESULT ComWmiAccess::ExecNotificationQuery(const WmiServices& services, const wchar_t* language,
                                            const wchar_t* query, LONG flags, WmiEnumerator& events) {
  IEnumWbemClassObject* raw = nullptr;
  const Bstr languageText(language);
  const Bstr text(query);
  const HRESULT hr = Raw(services)->ExecNotificationQuery(languageText.get(), text.get(), flags, nullptr, &raw);
  events = MakeHandle<WmiEnumerator>(raw);
  return hr;
}

HRESULT ComWmiAccess::Next(const WmiEnumerator& results, WmiObject& object, ULONG& returned, ULONG timeoutMs) {
  IWbemClassObject* raw = nullptr;
  returned = 0;
  const HRESULT hr = Raw(results)->Next(static_cast<LONG>(timeoutMs), 1, &raw, &returned);
  object = MakeHandle<WmiObject>(raw);
  return hr;
}

HRESULT ComWmiAccess::GetNames(const WmiObject& object, LONG flags, SafeArray& names) {
  return Raw(object)->GetNames(nullptr, flags, nullptr, names.put());
}

HRESULT ComWmiAccess::Get(const WmiObject& object, const wchar_t* name, Variant& value, CIMTYPE* cimType) {
  const Bstr property(name);
  return Raw(object)->Get(property.get(), 0, value.put(), cimType, nullptr);
}

HRESULT ComWmiAccess::Put(const WmiObject& object, const wchar_t* name, const VARIANT& value) {
  const Bstr property(name);
  return Raw(object)->Put(property.get(), 0, const_cast<VARIANT*>(&value), 0);
}

HRESULT ComWmiAccess::GetClass(const WmiServices& services, const wchar_t* className, WmiObject& classObject) {
  IWbemClassObject* raw = nullptr;
  const Bstr path(className);
  const HRESULT hr = Raw(services)->GetObject(path.get(), 0, nullptr, &raw, nullptr);
  classObject = MakeHandle<WmiObject>(raw);
  return hr;
}

HRESULT ComWmiAccess::GetMethod(const WmiObject& classObject, const wchar_t* method, WmiObject& inSignature) {
  IWbemClassObject* raw = nullptr;
  const HRESULT hr = Raw(classObject)->GetMethod(method, 0, &raw, nullptr);
  inSignature = MakeHandle<WmiObject>(raw);
  return hr;
}

HRESULT ComWmiAccess::SpawnInstance(const WmiObject& classObject, WmiObject& instance) {
  IWbemClassObject* raw = nullptr;
  const HRESULT hr = Raw(classObject)->SpawnInstance(0, &raw);
  instance = MakeHandle<WmiObject>(raw);
  return hr;
}

HRESULT ComWmiAccess::ExecMethod(const WmiServices& services, const wchar_t* objectPath, const wchar_t* method,
                                 const WmiObject& inParameters, WmiObject& outParameters) {
  IWbemClassObject* raw = nullptr;
  const Bstr path(objectPath);
  const Bstr name(method);
  const HRESULT hr = Raw(services)->ExecMethod(path.get(), name.get(), 0, nullptr, Raw(inParameters), &raw, nullptr);
  outParameters = MakeHandle<WmiObject>(raw);
  return hr;
}

HRESULT ComWmiAccess::PutInstance(const WmiServices& services, const WmiObject& object, LONG flags) {
  return Raw(services)->PutInstance(Raw(object), flags, nullptr, nullptr);
}

HRESULT ComWmiAccess::DeleteInstance(const WmiServices& services, const wchar_t* objectPath, LONG flags) {
  const Bstr path(objectPath);
  return Raw(services)->DeleteInstance(path.get(), flags, nullptr, nullptr);
}

HRESULT ComWmiAccess::GetObjectText(const WmiObject& object, LONG flags, Bstr& text) {
  return Raw(object)->GetObjectText(flags, text.put());
}

void ComWmiAccess::UninitializeCom() { CoUninitialize(); }

HRESULT ComWmiAccess::EmbeddedObject(const VARIANT& value, WmiObject& object) {
  if (value.vt != VT_UNKNOWN || value.punkVal == nullptr) return DISP_E_TYPEMISMATCH;
  void* raw = nullptr;
  const HRESULT hr = value.punkVal->QueryInterface(kIWbemClassObject, &raw);
  object = MakeHandle<WmiObject>(raw);
  return hr;
}

HRESULT ComWmiAccess::PropertyQualifier(const WmiObject& object, const wchar_t* property, const wchar_t* qualifier,
                                        Variant& value) {
  ComPtr<IWbemQualifierSet> qualifiers;
  const Bstr propertyName(property);
  HRESULT hr = Raw(object)->GetPropertyQualifierSet(propertyName.get(), qualifiers.GetAddressOf());
  if (FAILED(hr)) return hr;
  return qualifiers->Get(qualifier, 0, value.put(), nullptr);
}

HRESULT ComWmiAccess::PropertyOrigin(const WmiObject& object, const wchar_t* property, Bstr& className) {
  return Raw(object)->GetPropertyOrigin(property, className.put());
}

HRESULT ComWmiAccess::BeginMethodEnumeration(const WmiObject& classObject, LONG flags) {
  return Raw(classObject)->BeginMethodEnumeration(flags);
}

HRESULT ComWmiAccess::NextMethod(const WmiObject& classObject, Bstr& name, WmiObject& inSignature,
                                 WmiObject& outSignature) {
  IWbemClassObject* in = nullptr;
  IWbemClassObject* out = nullptr;
  const HRESULT hr = Raw(classObject)->NextMethod(0, name.put(), &in, &out);
  inSignature = MakeHandle<WmiObject>(in);
  outSignature = MakeHandle<WmiObject>(out);
  return hr;
}

HRESULT ComWmiAccess::EndMethodEnumeration(const WmiObject& classObject) {
  return Raw(classObject)->EndMethodEnumeration();
}

HRESULT ComWmiAccess::MethodQualifier(const WmiObject& classObject, const wchar_t* method, const wchar_t* qualifier,
                                      Variant& value) {
  ComPtr<IWbemQualifierSet> qualifiers;
  HRESULT hr = Raw(classObject)->GetMethodQualifierSet(method, qualifiers.GetAddressOf());
  if (FAILED(hr)) return hr;
  return qualifiers->Get(qualifier, 0, value.put(), nullptr);
}

HRESULT ComWmiAccess::ObjectValue(const WmiObject& object, Variant& value) {
  if (!object) return E_POINTER;
  IUnknown* held = Raw(object);
  held->AddRef();
  VARIANT& slot = *value.put();
  slot.vt = VT_UNKNOWN;
  slot.punkVal = held;
  return S_OK;
}

HRESULT ComWmiAccess::ArrayLowerBound(SAFEARRAY* array, LONG& bound) { return SafeArrayGetLBound(array, 1, &bound); }

HRESULT ComWmiAccess::ArrayUpperBound(SAFEARRAY* array, LONG& bound) { return SafeArrayGetUBound(array, 1, &bound); }

HRESULT ComWmiAccess::ArrayElement(SAFEARRAY* array, LONG index, void* element, size_t elementSize) {
  return ReadArrayElement(array, index, element, elementSize);
}

void ComWmiAccess::ReleaseHandle(void* handle) { static_cast<IUnknown*>(handle)->Release(); }
