// An in-memory WMI behind the WmiAccess seam: classes, instances and methods
// built from real VARIANT/SAFEARRAY/BSTR values. Any operation can be made to
// fail at its Nth call, or to take time, and every write is recorded. For a
// run over several machines, each machine gets a fake of its own (Machine),
// made from this one's classes, instances and methods; all of them may be
// used from several threads.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "wmi/wmi_access.h"

enum class WmiOp {
  InitializeCom, InitializeSecurity, CreateLocator, ConnectServer, SetProxyBlanket, ExecQuery, Next,
  GetNames, Get, Put, GetClass, GetMethod, SpawnInstance, ExecMethod, PutInstance, UninitializeCom,
  ArrayLowerBound, ArrayUpperBound, ArrayElement, EmbeddedObject, PropertyQualifier, BeginMethodEnumeration,
  NextMethod, EndMethodEnumeration, MethodQualifier, ObjectValue, SetEnumeratorBlanket, SetServicesUnknownBlanket,
  SetEnumeratorUnknownBlanket, ExecNotificationQuery, QueryUnknown, DeleteInstance, GetObjectText, PropertyOrigin,
  Count
};
// The interfaces a blanket is set on, as blanketsSetOn names them.
inline constexpr wchar_t kServicesInterface[] = L"IWbemServices";
inline constexpr wchar_t kEnumeratorInterface[] = L"IEnumWbemClassObject";
const wchar_t* WmiOpName(WmiOp op);
// What a blanket's identity says, the password left out. Given the password
// its connection was made with, the text also says whether the identity's
// Password and PasswordLength describe exactly that one: "password=given"
// when they do, "password=wrong" when they do not.
std::wstring IdentityText(void* identity, const wchar_t* connectedPassword = nullptr);

// A qualifier of a property or a method, such as CIMTYPE, key or static.
struct FakeQualifier {
  FakeQualifier(std::wstring qualifierName, Variant qualifierValue);
  FakeQualifier(const FakeQualifier& other);
  FakeQualifier& operator=(const FakeQualifier& other);
  FakeQualifier(FakeQualifier&&) = default;
  FakeQualifier& operator=(FakeQualifier&&) = default;
  std::wstring name;
  Variant value;
};

struct FakeProperty {
  std::wstring name;
  Variant value;
  CIMTYPE cimType = CIM_STRING;
  std::vector<FakeQualifier> qualifiers;
  std::wstring origin;  // the class that declares it; empty: the object's own
};

// An instance, a class definition or a parameter object. Names starting with
// "__" are system properties.
struct FakeObject {
  FakeObject() = default;
  // An instance of `className` whose __PATH is `path`.
  FakeObject(const std::wstring& className, const std::wstring& path);
  FakeObject(const FakeObject& other);
  FakeObject& operator=(const FakeObject& other);
  FakeObject(FakeObject&&) = default;
  FakeObject& operator=(FakeObject&&) = default;

  FakeObject& Add(const std::wstring& name, Variant value, CIMTYPE cimType = CIM_STRING);
  // Gives the property added as `property` a qualifier.
  FakeObject& Qualify(const std::wstring& property, const std::wstring& qualifier, Variant value);
  // Gives the property added as `property` the class that declares it.
  FakeObject& Origin(const std::wstring& property, const std::wstring& declaringClass);
  const FakeProperty* Find(const std::wstring& name) const;
  FakeProperty* Find(const std::wstring& name);
  std::wstring className;
  std::vector<FakeProperty> properties;
};

// An embedded-object value (VT_UNKNOWN) holding a copy of `object`, and an
// array of them, as WMI hands them out.
Variant EmbeddedValue(const FakeObject& object);
Variant EmbeddedArray(const std::vector<FakeObject>& objects);

struct FakeMethod {
  // Without an input signature GetMethod succeeds and hands out nothing.
  bool hasInputSignature = true;
  FakeObject inputs;  // the parameters in order, with their defaults
  // Given the filled in-parameters; an empty result means no out-parameters.
  std::function<std::optional<FakeObject>(const FakeObject& inputs)> run;
  // What method enumeration hands out as the output signature.
  bool hasOutputSignature = true;
  FakeObject outputs;
  std::vector<FakeQualifier> qualifiers;  // static...
};

class FakeWmiAccess final : public WmiAccess {
 public:
  FakeWmiAccess();
  ~FakeWmiAccess() override;

  // --- what the fake serves
  // Every query returns these, in order.
  FakeObject& AddResult(const std::wstring& className, const std::wstring& path);
  // For large runs: `count` results made on demand, one at a time.
  void GenerateResults(size_t count, std::function<FakeObject(size_t index)> make);
  // Method enumeration hands a class's methods out in the order first added.
  FakeMethod& AddMethod(const std::wstring& className, const std::wstring& method);
  // A class definition GetClass hands out: its properties with their types
  // and defaults. A class known only by its methods has no properties.
  FakeObject& AddClass(const std::wstring& className);
  // Every event query hands out these, each `atMs` after the query was made
  // (in the order added, so at rising times); a Next that no event is due
  // within answers WBEM_S_TIMEDOUT at the end of its timeout.
  void AddEvent(unsigned long atMs, FakeObject event);
  // Once its last event is handed out, an event enumerator reports its end
  // (WBEM_S_FALSE, nothing returned) at every Next, without waiting.
  void EndEvents() { eventsEnd_ = true; }
  // The Nth call (1-based) of `op` fails with `hr` and does nothing else.
  void FailAt(WmiOp op, int nthCall, unsigned long hr);  // an HRESULT or a WBEMSTATUS
  // Every call of `op` takes `ms` first. A ConnectServer or Next whose wait
  // is bounded by less gives up at the bound, as WMI does.
  void SetLatency(WmiOp op, unsigned long ms);
  // Every call of `op` waits until `released` says so, as a machine that
  // does not answer; after `giveUpMs` it goes on anyway and counts the hold
  // as given up.
  void HoldUntil(WmiOp op, std::function<bool()> released, unsigned long giveUpMs = 30000);
  int HoldsGivenUp() const { return holdsGivenUp_; }

  // --- machines of a run over several
  // The fake of machine `name`, made on first use from this one's classes,
  // instances, methods and latencies (failures are each machine's own).
  FakeWmiAccess& Machine(const std::wstring& name) override;
  // The most machines that were between their InitializeCom and their
  // UninitializeCom at the same time.
  long MostMachinesAtWork() const { return mostAtWork_; }
  // How many machines have ended their work (called UninitializeCom).
  long MachinesDone() const { return machinesDone_; }

  // --- what happened
  struct PutRecord { std::wstring path; std::wstring name; Variant value; };
  struct ExecRecord { std::wstring path; std::wstring method; std::optional<FakeObject> inputs; };
  std::vector<PutRecord> puts;            // Put on result objects and parameter objects
  std::vector<ExecRecord> executed;       // ExecMethod that ran
  std::vector<FakeObject> written;        // PutInstance that succeeded
  std::vector<std::wstring> deleted;      // DeleteInstance's paths that succeeded
  LONG deleteInstanceFlags = -1;
  std::vector<WmiOp> log;                 // every operation, in call order
  bool keepLog = true;                    // off for runs too large to log
  // Put takes an integer only as the VARIANT type that matches its CIM type
  // exactly (uint32 as VT_UI4), as Wine's method parameters do; otherwise
  // it converts what it is given, as Windows does.
  bool exactIntegerTypes = false;
  // The machine's NetBIOS name, upper case, which WMI gives as __SERVER: on
  // the class GetClass hands out, and on each result of a SELECT * that was
  // not given one of its own. A query for some properties gives __SERVER
  // NULL, as WMI does where they leave out the keys (Wine even where not).
  // A machine of a run takes the name it was reached by in upper case, or
  // for "localhost" and "." this one's. Empty: no __SERVER is added.
  std::wstring serverName;
  std::wstring connectedNamespace;
  std::wstring executedQuery;
  // The arguments of the latest call of each, as the program passed them.
  DWORD comConcurrency = 0xFFFFFFFF;
  ComSecurityArguments comSecurity = {};
  LONG connectFlags = -1;
  ULONG connectTimeoutMs = 0;
  ULONG nextTimeoutMs = 0;
  ProxyBlanketArguments proxyBlanket = {};
  // Who each call went out as, in a form a test can print, the password
  // never: "user=NAME password=given", "own account". ConnectServer's, and
  // the identity of each blanket: the services proxy's, every enumerator's
  // (set before its first Next), and the one an enumerator held at its last
  // Next, each checked against the password ConnectServer was given.
  std::wstring connectedAs;
  std::wstring servicesBlanketAs;
  std::vector<ProxyBlanketArguments> enumeratorBlankets;
  std::vector<std::wstring> enumeratorBlanketsAs;
  std::wstring lastNextAs;
  // The identities set on the IUnknown of the services proxy and of each
  // enumerator, as the text above gives them.
  std::wstring servicesUnknownBlanketAs;
  std::vector<std::wstring> enumeratorUnknownBlanketsAs;
  // Every interface a blanket was set on, in order: "IWbemServices",
  // "IEnumWbemClassObject", or "IUnknown of " either.
  std::vector<std::wstring> blanketsSetOn;
  std::wstring queryLanguage;
  LONG queryFlags = -1;
  std::wstring notificationQueryLanguage;
  LONG notificationQueryFlags = -1;
  std::wstring executedNotificationQuery;
  std::vector<ULONG> eventNextTimeouts;  // each Next on an event enumerator
  LONG putInstanceFlags = -1;
  LONG methodEnumerationFlags = -1;
  int Calls(WmiOp op) const { return calls_[static_cast<int>(op)]; }
  long LiveHandles() const { return liveHandles_; }
  // The machines whose connection succeeded, in the order it did (kept only
  // with the log).
  std::vector<std::wstring> connectedMachines;
  // The locale the latest ConnectServer asked for; empty for none.
  std::wstring connectedLocale;

  // --- WmiAccess
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
  HRESULT ExecNotificationQuery(const WmiServices& services, const wchar_t* language, const wchar_t* query,
                                LONG flags, WmiEnumerator& events) override;
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
  // As Windows writes it: a line end, "instance of CLASS", "{", each property
  // that is not NULL in alphabetical order as a TAB and "Name = value;",
  // then "};" and a line end; strings quoted with MOF's escapes, embedded
  // objects written the same way a level deeper.
  HRESULT GetObjectText(const WmiObject& object, LONG flags, Bstr& text) override;
  void UninitializeCom() override;
  HRESULT ArrayLowerBound(SAFEARRAY* array, LONG& bound) override;
  HRESULT ArrayUpperBound(SAFEARRAY* array, LONG& bound) override;
  HRESULT ArrayElement(SAFEARRAY* array, LONG index, void* element, size_t elementSize) override;
  HRESULT EmbeddedObject(const VARIANT& value, WmiObject& object) override;
  HRESULT PropertyQualifier(const WmiObject& object, const wchar_t* property, const wchar_t* qualifier,
                            Variant& value) override;
  // A system property's origin is "___SYSTEM", as Windows gives it.
  HRESULT PropertyOrigin(const WmiObject& object, const wchar_t* property, Bstr& className) override;
  HRESULT BeginMethodEnumeration(const WmiObject& classObject, LONG flags) override;
  HRESULT NextMethod(const WmiObject& classObject, Bstr& name, WmiObject& inSignature,
                     WmiObject& outSignature) override;
  HRESULT EndMethodEnumeration(const WmiObject& classObject) override;
  HRESULT MethodQualifier(const WmiObject& classObject, const wchar_t* method, const wchar_t* qualifier,
                          Variant& value) override;
  HRESULT ObjectValue(const WmiObject& object, Variant& value) override;

 protected:
  void ReleaseHandle(void* handle) override;

 private:
  struct Node;
  // Counts the call, takes its latency, and says whether it was chosen to
  // fail; `timedOut` is set when the latency is longer than `timeoutMs`.
  // Called with the lock held exactly once.
  bool ShouldFail(WmiOp op, HRESULT& hr, ULONG timeoutMs = WBEM_INFINITE, bool* timedOut = nullptr);
  template <class Handle>
  Handle Hand(std::unique_ptr<Node> node);
  HRESULT NextEvent(Node& enumerator, WmiObject& object, ULONG& returned, ULONG timeoutMs);
  static Node& NodeOf(const void* handle);
  const FakeMethod* FindMethod(const std::wstring& className, const std::wstring& method) const;
  const FakeObject* FindResultByPath(const std::wstring& path);

  std::vector<FakeObject> results_;
  std::vector<std::pair<unsigned long, FakeObject>> events_;
  bool eventsEnd_ = false;
  size_t generatedCount_ = 0;
  std::function<FakeObject(size_t)> generate_;
  std::map<std::wstring, std::map<std::wstring, FakeMethod>> methods_;  // class -> method -> definition
  std::map<std::wstring, std::vector<std::wstring>> methodOrder_;       // class -> methods as added
  std::map<std::wstring, FakeObject> classes_;
  int calls_[static_cast<int>(WmiOp::Count)] = {};
  std::multimap<WmiOp, std::pair<int, HRESULT>> failures_;
  std::map<WmiOp, unsigned long> latencies_;
  std::map<WmiOp, std::pair<std::function<bool()>, unsigned long>> holds_;
  std::atomic<int> holdsGivenUp_{0};
  long liveHandles_ = 0;
  // Held by every operation, so that one machine named twice can be worked
  // on from two threads.
  std::recursive_mutex mutex_;
  FakeWmiAccess* parent_ = nullptr;
  std::map<std::wstring, std::unique_ptr<FakeWmiAccess>> machines_;
  std::atomic<long> atWork_{0};
  std::atomic<long> mostAtWork_{0};
  std::atomic<long> machinesDone_{0};
  // What the latest ConnectServer was given, for the identities to be
  // checked against; never shown.
  std::wstring connectedPassword_;
};
