// WmiAccess over the platform's COM runtime and WMI.
#pragma once

#include "wmi/wmi_access.h"

class ComWmiAccess final : public WmiAccess {
 public:
  HRESULT InitializeCom(DWORD concurrency) override;
  HRESULT InitializeSecurity(const ComSecurityArguments& arguments) override;
  HRESULT CreateLocator(WmiLocator& locator) override;
  HRESULT ConnectServer(const WmiLocator& locator, const wchar_t* nameSpace, const ConnectCredentials& credentials,
                        LONG flags, ULONG timeoutMs, WmiServices& services) override;
  HRESULT SetProxyBlanket(const WmiServices& services, const ProxyBlanketArguments& arguments) override;
  HRESULT SetEnumeratorBlanket(const WmiEnumerator& results, const ProxyBlanketArguments& arguments) override;
  HRESULT QueryUnknown(const WmiServices& services, WmiUnknown& unknown) override;
  HRESULT QueryUnknown(const WmiEnumerator& results, WmiUnknown& unknown) override;
  HRESULT SetUnknownBlanket(const WmiUnknown& unknown, const ProxyBlanketArguments& arguments) override;
  HRESULT ExecQuery(const WmiServices& services, const wchar_t* language, const wchar_t* query, LONG flags,
                    WmiEnumerator& results) override;
  HRESULT ExecNotificationQuery(const WmiServices& services, const wchar_t* language, const wchar_t* query, LONG flags,
                                WmiEnumerator& events) override;
  HRESULT Next(const WmiEnumerator& results, WmiObject& object, ULONG& returned, ULONG timeoutMs) override;
  HRESULT GetNames(const WmiObject& object, LONG flags, SafeArray& names) override;
  HRESULT Get(const WmiObject& object, const wchar_t* name, Variant& value, CIMTYPE* cimType) override;
  HRESULT Put(const WmiObject& object, const wchar_t* name, const VARIANT& value) override;
  HRESULT GetClass(const WmiServices& services, const wchar_t* className, WmiObject& classObject) override;
  HRESULT GetMethod(const WmiObject& classObject, const wchar_t* method, WmiObject& inSignature) override;
  HRESULT SpawnInstance(const WmiObject& classObject, WmiObject& instance) override;
  HRESULT ExecMethod(const WmiServices& services, const wchar_t* objectPath, const wchar_t* method,
                     const WmiObject& inParameters, WmiObject& outParameters) override;
  HRESULT PutInstance(const WmiServices& services, const WmiObject& object, LONG flags) override;
  HRESULT DeleteInstance(const WmiServices& services, const wchar_t* objectPath, LONG flags) override;
  HRESULT GetObjectText(const WmiObject& object, LONG flags, Bstr& text) override;
  void UninitializeCom() override;
  HRESULT EmbeddedObject(const VARIANT& value, WmiObject& object) override;
  HRESULT PropertyQualifier(const WmiObject& object, const wchar_t* property, const wchar_t* qualifier,
                            Variant& value) override;
  HRESULT PropertyOrigin(const WmiObject& object, const wchar_t* property, Bstr& className) override;
  HRESULT BeginMethodEnumeration(const WmiObject& classObject, LONG flags) override;
  HRESULT NextMethod(const WmiObject& classObject, Bstr& name, WmiObject& inSignature,
                     WmiObject& outSignature) override;
  HRESULT EndMethodEnumeration(const WmiObject& classObject) override;
  HRESULT MethodQualifier(const WmiObject& classObject, const wchar_t* method, const wchar_t* qualifier,
                          Variant& value) override;
  HRESULT ObjectValue(const WmiObject& object, Variant& value) override;
  HRESULT ArrayLowerBound(SAFEARRAY* array, LONG& bound) override;
  HRESULT ArrayUpperBound(SAFEARRAY* array, LONG& bound) override;
  HRESULT ArrayElement(SAFEARRAY* array, LONG index, void* element, size_t elementSize) override;

 protected:
  void ReleaseHandle(void* handle) override;
};
