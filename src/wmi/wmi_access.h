// The seam between Tollix and WMI. The product talks to the platform's COM
// interfaces through ComWmiAccess; tests put an in-memory WMI behind it.
#pragma once

#include <windows.h>
#include <wbemcli.h>

#include <memory>
#include <string>

#include "wmi/ole_holders.h"

class WmiAccess;

// Handles are opaque to callers: only the WmiAccess that made one knows what
// stands behind it, and gives it back when the handle goes out of scope.
struct WmiHandleRelease {
  WmiAccess* owner = nullptr;
  void operator()(void* handle) const;
};

struct WmiLocatorTag;
struct WmiServicesTag;
struct WmiEnumeratorTag;
struct WmiObjectTag;
struct WmiUnknownTag;
using WmiLocator = std::unique_ptr<WmiLocatorTag, WmiHandleRelease>;
using WmiServices = std::unique_ptr<WmiServicesTag, WmiHandleRelease>;
using WmiEnumerator = std::unique_ptr<WmiEnumeratorTag, WmiHandleRelease>;
// A class definition, a result object, or a method's parameter object.
using WmiObject = std::unique_ptr<WmiObjectTag, WmiHandleRelease>;
// The IUnknown of a proxy, which takes a blanket of its own.
using WmiUnknown = std::unique_ptr<WmiUnknownTag, WmiHandleRelease>;

// The arguments of CoInitializeSecurity that the caller chooses; the rest
// are null.
struct ComSecurityArguments {
  LONG authenticationServices;  // -1: COM chooses
  DWORD authenticationLevel;
  DWORD impersonationLevel;
  DWORD capabilities;
};

// The arguments of CoSetProxyBlanket that the caller chooses.
struct ProxyBlanketArguments {
  DWORD authenticationService;
  DWORD authorizationService;
  DWORD authenticationLevel;
  DWORD impersonationLevel;
  DWORD capabilities;
  OLECHAR* principal = nullptr;  // COLE_DEFAULT_PRINCIPAL lets COM choose
  // A COAUTHIDENTITY to call as, COLE_DEFAULT_AUTHINFO for the caller's own
  // account, or null; it must live as long as the proxy.
  void* identity = nullptr;
};

// Who a connection speaks as: null user and password for the caller's own
// account.
struct ConnectCredentials {
  const wchar_t* user = nullptr;
  const wchar_t* password = nullptr;
  // The locale WMI answers in ("MS_409"), which ConnectServer takes with the
  // account; null: the account's own.
  const wchar_t* locale = nullptr;
};

// Each operation returns the platform's HRESULT; a negative one is a failure.
// Every flag and argument is the caller's: an implementation only forwards
// them, so that what the program asks of WMI can be seen and tested.
class WmiAccess {
 public:
  virtual ~WmiAccess() = default;

  virtual HRESULT InitializeCom(DWORD concurrency) = 0;
  virtual HRESULT InitializeSecurity(const ComSecurityArguments& arguments) = 0;
  virtual HRESULT CreateLocator(WmiLocator& locator) = 0;
  // `timeoutMs` bounds the wait for a machine that does not answer; past it
  // the result is WBEM_E_TIMED_OUT. WBEM_INFINITE waits as long as WMI does.
  virtual HRESULT ConnectServer(const WmiLocator& locator, const wchar_t* nameSpace,
                                const ConnectCredentials& credentials, LONG flags, ULONG timeoutMs,
                                WmiServices& services) = 0;
  virtual HRESULT SetProxyBlanket(const WmiServices& services, const ProxyBlanketArguments& arguments) = 0;
  // The results enumerator's proxy does not take the services proxy's
  // blanket: a remote run sets it again before the first Next.
  virtual HRESULT SetEnumeratorBlanket(const WmiEnumerator& results, const ProxyBlanketArguments& arguments) = 0;
  // With an account of the caller's choosing, a proxy's IUnknown takes the
  // same blanket as the proxy: it is what the proxy's last Release goes
  // through, which would otherwise go out as the caller, fail, and leave the
  // remote object behind. QueryUnknown hands out that IUnknown
  // (QueryInterface), SetUnknownBlanket sets its blanket.
  virtual HRESULT QueryUnknown(const WmiServices& services, WmiUnknown& unknown) = 0;
  virtual HRESULT QueryUnknown(const WmiEnumerator& results, WmiUnknown& unknown) = 0;
  virtual HRESULT SetUnknownBlanket(const WmiUnknown& unknown, const ProxyBlanketArguments& arguments) = 0;
  virtual HRESULT ExecQuery(const WmiServices& services, const wchar_t* language, const wchar_t* query, LONG flags,
                            WmiEnumerator& results) = 0;
  // An event query: its enumerator hands out each event as it comes, and
  // never reaches an end of its own.
  virtual HRESULT ExecNotificationQuery(const WmiServices& services, const wchar_t* language, const wchar_t* query,
                                        LONG flags, WmiEnumerator& events) = 0;
  // Waits up to `timeoutMs` (WBEM_INFINITE: without limit) for one object;
  // `returned` is 1 with an object, 0 at the end or, with WBEM_S_TIMEDOUT,
  // when none arrived in time.
  virtual HRESULT Next(const WmiEnumerator& results, WmiObject& object, ULONG& returned, ULONG timeoutMs) = 0;
  // flags: 0 for every property, WBEM_FLAG_NONSYSTEM_ONLY to leave out "__" properties.
  virtual HRESULT GetNames(const WmiObject& object, LONG flags, SafeArray& names) = 0;
  // cimType may be null when the caller does not need it.
  virtual HRESULT Get(const WmiObject& object, const wchar_t* name, Variant& value, CIMTYPE* cimType) = 0;
  virtual HRESULT Put(const WmiObject& object, const wchar_t* name, const VARIANT& value) = 0;
  virtual HRESULT GetClass(const WmiServices& services, const wchar_t* className, WmiObject& classObject) = 0;
  // A method without input parameters succeeds with an empty inSignature.
  virtual HRESULT GetMethod(const WmiObject& classObject, const wchar_t* method, WmiObject& inSignature) = 0;
  virtual HRESULT SpawnInstance(const WmiObject& classObject, WmiObject& instance) = 0;
  // inParameters may be empty; outParameters may come back empty.
  virtual HRESULT ExecMethod(const WmiServices& services, const wchar_t* objectPath, const wchar_t* method,
                             const WmiObject& inParameters, WmiObject& outParameters) = 0;
  virtual HRESULT PutInstance(const WmiServices& services, const WmiObject& object, LONG flags) = 0;
  virtual HRESULT DeleteInstance(const WmiServices& services, const wchar_t* objectPath, LONG flags) = 0;
  // The object as MOF text, as WMI itself writes it.
  virtual HRESULT GetObjectText(const WmiObject& object, LONG flags, Bstr& text) = 0;
  virtual void UninitializeCom() = 0;
  // The object held by an embedded-object value (VT_UNKNOWN), to read its
  // properties like any other object's.
  virtual HRESULT EmbeddedObject(const VARIANT& value, WmiObject& object) = 0;

  // A qualifier of a property, such as CIMTYPE ("object:Win32_ProcessStartup",
  // "ref:Win32_Directory"), key, read or write: WBEM_E_NOT_FOUND when the
  // property has no qualifier of that name.
  virtual HRESULT PropertyQualifier(const WmiObject& object, const wchar_t* property, const wchar_t* qualifier,
                                    Variant& value) = 0;
  // Where a property comes from: the class that declares it ("___SYSTEM" for
  // a system property).
  virtual HRESULT PropertyOrigin(const WmiObject& object, const wchar_t* property, Bstr& className) = 0;
  // The methods of a class definition, one at a time, each with its input and
  // output signatures (either may come back empty, for a method without
  // such parameters). NextMethod answers WBEM_S_NO_MORE_DATA after the last.
  virtual HRESULT BeginMethodEnumeration(const WmiObject& classObject, LONG flags) = 0;
  virtual HRESULT NextMethod(const WmiObject& classObject, Bstr& name, WmiObject& inSignature,
                             WmiObject& outSignature) = 0;
  virtual HRESULT EndMethodEnumeration(const WmiObject& classObject) = 0;
  // A qualifier of a method, such as static: WBEM_E_NOT_FOUND when absent.
  virtual HRESULT MethodQualifier(const WmiObject& classObject, const wchar_t* method, const wchar_t* qualifier,
                                  Variant& value) = 0;
  // An embedded-object value (VT_UNKNOWN) holding `object`, to Put into a
  // property or parameter of object type.
  virtual HRESULT ObjectValue(const WmiObject& object, Variant& value) = 0;

  // The access that works on machine `name` of a run over several machines,
  // on a thread of its own. The platform's access serves them all, since the
  // machine is part of the namespace path; a stand-in may keep one each.
  virtual WmiAccess& Machine(const std::wstring& name) {
    (void)name;
    return *this;
  }

  // Reads of one-dimensional SAFEARRAYs. ArrayElement refuses an element wider
  // than elementSize bytes; a BSTR element arrives as a copy the caller owns.
  virtual HRESULT ArrayLowerBound(SAFEARRAY* array, LONG& bound) = 0;
  virtual HRESULT ArrayUpperBound(SAFEARRAY* array, LONG& bound) = 0;
  virtual HRESULT ArrayElement(SAFEARRAY* array, LONG index, void* element, size_t elementSize) = 0;

 protected:
  friend struct WmiHandleRelease;
  virtual void ReleaseHandle(void* handle) = 0;

  template <class Handle>
  Handle MakeHandle(void* raw) {
    return Handle(static_cast<typename Handle::element_type*>(raw), WmiHandleRelease{this});
  }
};
