#include "support/fake_wmi_access.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cwchar>
#include <utility>

#include "support/values.h"

namespace {

const wchar_t* const kOpNames[] = {
    L"InitializeCom", L"InitializeSecurity", L"CreateLocator", L"ConnectServer", L"SetProxyBlanket",
    L"ExecQuery",     L"Next",               L"GetNames",      L"Get",           L"Put",
    L"GetClass",      L"GetMethod",          L"SpawnInstance", L"ExecMethod",    L"PutInstance",
    L"UninitializeCom", L"ArrayLowerBound",  L"ArrayUpperBound", L"ArrayElement", L"EmbeddedObject",
    L"PropertyQualifier", L"BeginMethodEnumeration", L"NextMethod", L"EndMethodEnumeration", L"MethodQualifier",
    L"ObjectValue", L"SetEnumeratorBlanket", L"SetServicesUnknownBlanket", L"SetEnumeratorUnknownBlanket",
    L"ExecNotificationQuery", L"QueryUnknown", L"DeleteInstance", L"GetObjectText", L"PropertyOrigin"};
static_assert(sizeof(kOpNames) / sizeof(kOpNames[0]) == static_cast<size_t>(WmiOp::Count));

// The VARIANT type WMI uses for a property of this CIM type.
VARTYPE StorageType(CIMTYPE cimType) {
  switch (cimType & ~CIM_FLAG_ARRAY) {
    case CIM_SINT8: case CIM_UINT16: case CIM_SINT32: case CIM_UINT32: return VT_I4;
    case CIM_UINT8: return VT_UI1;
    case CIM_SINT16: case CIM_CHAR16: return VT_I2;
    case CIM_BOOLEAN: return VT_BOOL;
    case CIM_REAL32: return VT_R4;
    case CIM_REAL64: return VT_R8;
    default: return VT_BSTR;
  }
}

// The one VARIANT type a strict WMI takes for an integer CIM type.
VARTYPE ExactIntegerType(CIMTYPE cimType) {
  switch (cimType) {
    case CIM_SINT8: return VT_I1;
    case CIM_UINT8: return VT_UI1;
    case CIM_SINT16: return VT_I2;
    case CIM_UINT16: return VT_UI2;
    case CIM_SINT32: return VT_I4;
    case CIM_UINT32: return VT_UI4;
    case CIM_SINT64: return VT_I8;
    case CIM_UINT64: return VT_UI8;
    default: return VT_EMPTY;
  }
}

// "\\HOST\root\cimv2:Win32_Disk.DeviceID="C:"" -> "Win32_Disk"
std::wstring ClassOfPath(const std::wstring& path) {
  const size_t colon = path.find(L':');
  const size_t start = colon == std::wstring::npos ? 0 : colon + 1;
  const size_t end = path.find_first_of(L".=", start);
  return path.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
}

// {00000000-0000-0000-C000-000000000046}
const IID kIUnknown = {0x00000000, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// Asked for only by this fake, to find its own embedded objects.
// {5B0E6C1D-2F4A-4E8B-9C3D-7A1E2B4C6D8F}
const IID kFakeEmbedded = {0x5b0e6c1d, 0x2f4a, 0x4e8b, {0x9c, 0x3d, 0x7a, 0x1e, 0x2b, 0x4c, 0x6d, 0x8f}};

// The COM object behind an embedded-object value: real reference counting,
// so VARIANTs and SAFEARRAYs holding it copy and free it as they would a
// WMI object.
class FakeEmbedded final : public IUnknown {
 public:
  explicit FakeEmbedded(FakeObject held) : object(std::move(held)) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, kIUnknown) && !IsEqualIID(iid, kFakeEmbedded)) return E_NOINTERFACE;
    *out = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  const FakeObject object;

 private:
  std::atomic<ULONG> references_{1};
};

// The object an embedded-object value of this fake holds, living as long as
// the value; null for any other value.
const FakeObject* FakeEmbeddedObject(const VARIANT& value) {
  if (value.vt != VT_UNKNOWN || value.punkVal == nullptr) return nullptr;
  void* raw = nullptr;
  if (FAILED(value.punkVal->QueryInterface(kFakeEmbedded, &raw))) return nullptr;
  auto* embedded = static_cast<FakeEmbedded*>(static_cast<IUnknown*>(raw));
  embedded->Release();
  return &embedded->object;
}

}  // namespace

Variant EmbeddedValue(const FakeObject& object) {
  Variant value;
  value.get().vt = VT_UNKNOWN;
  value.get().punkVal = new FakeEmbedded(object);
  return value;
}

Variant EmbeddedArray(const std::vector<FakeObject>& objects) {
  Variant array = RawArray(VT_ARRAY | VT_UNKNOWN, VT_UNKNOWN, static_cast<ULONG>(objects.size()));
  for (size_t i = 0; i < objects.size(); ++i) {
    LONG index = static_cast<LONG>(i);
    const Variant element = EmbeddedValue(objects[i]);
    SafeArrayPutElement(array.get().parray, &index, element.get().punkVal);  // takes a reference of its own
  }
  return array;
}

// "user=NAME domain=D password=given" for a COAUTHIDENTITY, "default" for
// COLE_DEFAULT_AUTHINFO, "none" for null.
std::wstring IdentityText(void* identity, const wchar_t* connectedPassword) {
  if (identity == nullptr) return L"none";
  if (identity == COLE_DEFAULT_AUTHINFO) return L"default";
  const auto* given = static_cast<const COAUTHIDENTITY*>(identity);
  const auto text = [](const USHORT* characters, ULONG length) {
    return characters ? std::wstring(reinterpret_cast<const wchar_t*>(characters), length) : std::wstring(L"(null)");
  };
  const bool empty = given->PasswordLength == 0;
  std::wstring password = empty ? L" password=empty" : L" password=given";
  if (connectedPassword != nullptr) {
    // The length is compared first, so that a wrong one is never read past.
    const size_t length = wcslen(connectedPassword);
    const bool same = given->PasswordLength == length &&
                      (empty || (given->Password != nullptr &&
                                 wmemcmp(reinterpret_cast<const wchar_t*>(given->Password), connectedPassword,
                                         length) == 0));
    if (!same) password = L" password=wrong";
  }
  return L"user=" + text(given->User, given->UserLength) + L" domain=" + text(given->Domain, given->DomainLength) +
         password + (given->Flags == SEC_WINNT_AUTH_IDENTITY_UNICODE ? L" unicode" : L" flags=?");
}

const wchar_t* WmiOpName(WmiOp op) { return kOpNames[static_cast<int>(op)]; }

FakeQualifier::FakeQualifier(std::wstring qualifierName, Variant qualifierValue)
    : name(std::move(qualifierName)), value(std::move(qualifierValue)) {}

FakeQualifier::FakeQualifier(const FakeQualifier& other) : name(other.name), value(Copy(other.value.get())) {}

FakeQualifier& FakeQualifier::operator=(const FakeQualifier& other) {
  if (this == &other) return *this;
  name = other.name;
  value = Copy(other.value.get());
  return *this;
}

FakeObject::FakeObject(const std::wstring& name, const std::wstring& path) : className(name) {
  Add(L"__CLASS", StringValue(name));
  Add(L"__PATH", StringValue(path));
}

FakeObject::FakeObject(const FakeObject& other) { *this = other; }

FakeObject& FakeObject::operator=(const FakeObject& other) {
  if (this == &other) return *this;
  className = other.className;
  properties.clear();
  for (const FakeProperty& property : other.properties) {
    properties.push_back({property.name, Copy(property.value.get()), property.cimType, property.qualifiers,
                          property.origin});
  }
  return *this;
}

FakeObject& FakeObject::Add(const std::wstring& name, Variant value, CIMTYPE cimType) {
  properties.push_back({name, std::move(value), cimType, {}, {}});
  return *this;
}

FakeObject& FakeObject::Qualify(const std::wstring& property, const std::wstring& qualifier, Variant value) {
  FakeProperty* qualified = Find(property);
  if (qualified == nullptr) std::abort();  // a test qualifying a property it never added
  qualified->qualifiers.emplace_back(qualifier, std::move(value));
  return *this;
}

FakeObject& FakeObject::Origin(const std::wstring& property, const std::wstring& declaringClass) {
  FakeProperty* found = Find(property);
  if (found == nullptr) std::abort();  // a test placing a property it never added
  found->origin = declaringClass;
  return *this;
}

const FakeProperty* FakeObject::Find(const std::wstring& name) const {
  for (const FakeProperty& property : properties) {
    if (_wcsicmp(property.name.c_str(), name.c_str()) == 0) return &property;
  }
  return nullptr;
}

FakeProperty* FakeObject::Find(const std::wstring& name) {
  return const_cast<FakeProperty*>(static_cast<const FakeObject*>(this)->Find(name));
}

struct FakeWmiAccess::Node {
  FakeObject object;   // objects and class definitions
  size_t position = 0; // enumerators
  bool allProperties = false;  // enumerators: a SELECT *
  void* identity = nullptr;  // enumerators: the blanket's identity
  bool events = false;       // an event query's enumerator
  ULONGLONG startedAt = 0;   // events: when the query was made
  // Class definitions: the method enumeration under way, if any.
  bool enumeratingMethods = false;
  size_t nextMethod = 0;
  // The IUnknown of a proxy: which one.
  const wchar_t* unknownOf = nullptr;
};

FakeWmiAccess::FakeWmiAccess() = default;

FakeWmiAccess::~FakeWmiAccess() = default;

FakeObject& FakeWmiAccess::AddResult(const std::wstring& className, const std::wstring& path) {
  results_.emplace_back(className, path);
  return results_.back();
}

void FakeWmiAccess::GenerateResults(size_t count, std::function<FakeObject(size_t)> make) {
  generatedCount_ = count;
  generate_ = std::move(make);
}

FakeMethod& FakeWmiAccess::AddMethod(const std::wstring& className, const std::wstring& method) {
  std::map<std::wstring, FakeMethod>& byMethod = methods_[className];
  if (byMethod.find(method) == byMethod.end()) methodOrder_[className].push_back(method);
  FakeMethod& definition = byMethod[method];
  definition.inputs.className = L"__PARAMETERS";
  definition.outputs.className = L"__PARAMETERS";
  return definition;
}

FakeObject& FakeWmiAccess::AddClass(const std::wstring& className) {
  FakeObject& definition = classes_[className];
  if (definition.className.empty()) {
    definition.className = className;
    definition.Add(L"__CLASS", StringValue(className));
  }
  return definition;
}

void FakeWmiAccess::AddEvent(unsigned long atMs, FakeObject event) { events_.emplace_back(atMs, std::move(event)); }

void FakeWmiAccess::FailAt(WmiOp op, int nthCall, unsigned long hr) {
  failures_.insert({op, {nthCall, static_cast<HRESULT>(hr)}});
}

void FakeWmiAccess::SetLatency(WmiOp op, unsigned long ms) { latencies_[op] = ms; }

void FakeWmiAccess::HoldUntil(WmiOp op, std::function<bool()> released, unsigned long giveUpMs) {
  holds_[op] = {std::move(released), giveUpMs};
}

FakeWmiAccess& FakeWmiAccess::Machine(const std::wstring& name) {
  const std::lock_guard<std::recursive_mutex> hold(mutex_);
  std::unique_ptr<FakeWmiAccess>& machine = machines_[name];
  if (!machine) {
    machine = std::make_unique<FakeWmiAccess>();
    machine->parent_ = this;
    machine->keepLog = keepLog;
    machine->exactIntegerTypes = exactIntegerTypes;
    if (!serverName.empty()) {
      const bool local = name == L"." || _wcsicmp(name.c_str(), L"localhost") == 0;
      machine->serverName = local ? serverName : name;
      CharUpperBuffW(machine->serverName.data(), static_cast<DWORD>(machine->serverName.size()));
    }
    machine->results_ = results_;
    machine->events_ = events_;
    machine->eventsEnd_ = eventsEnd_;
    machine->generatedCount_ = generatedCount_;
    machine->generate_ = generate_;
    machine->methods_ = methods_;
    machine->methodOrder_ = methodOrder_;
    machine->classes_ = classes_;
    machine->latencies_ = latencies_;
  }
  return *machine;
}

bool FakeWmiAccess::ShouldFail(WmiOp op, HRESULT& hr, ULONG timeoutMs, bool* timedOut) {
  const auto latency = latencies_.find(op);
  if (latency != latencies_.end()) {
    const bool givesUp = timeoutMs != WBEM_INFINITE && latency->second > timeoutMs;
    // The operation holds the lock once; other threads on the same machine
    // go on meanwhile, as they would against WMI.
    mutex_.unlock();
    Sleep(givesUp ? timeoutMs : latency->second);
    mutex_.lock();
    if (givesUp && timedOut != nullptr) *timedOut = true;
  }
  const auto held = holds_.find(op);
  if (held != holds_.end()) {
    mutex_.unlock();
    const DWORD start = GetTickCount();
    while (!held->second.first()) {
      if (GetTickCount() - start > held->second.second) {
        ++holdsGivenUp_;
        break;
      }
      Sleep(2);
    }
    mutex_.lock();
  }
  if (keepLog) log.push_back(op);
  const int call = ++calls_[static_cast<int>(op)];
  auto [first, last] = failures_.equal_range(op);
  for (auto it = first; it != last; ++it) {
    if (it->second.first == call) {
      hr = it->second.second;
      return true;
    }
  }
  return false;
}

template <class Handle>
Handle FakeWmiAccess::Hand(std::unique_ptr<Node> node) {
  ++liveHandles_;
  return MakeHandle<Handle>(node.release());
}

FakeWmiAccess::Node& FakeWmiAccess::NodeOf(const void* handle) {
  if (handle == nullptr) std::abort();  // the program used a handle it never got
  return *static_cast<Node*>(const_cast<void*>(handle));
}

void FakeWmiAccess::ReleaseHandle(void* handle) {
  const std::lock_guard<std::recursive_mutex> hold(mutex_);
  --liveHandles_;
  delete static_cast<Node*>(handle);
}

const FakeMethod* FakeWmiAccess::FindMethod(const std::wstring& className, const std::wstring& method) const {
  for (const auto& [name, byMethod] : methods_) {
    if (_wcsicmp(name.c_str(), className.c_str()) != 0) continue;
    for (const auto& [methodName, definition] : byMethod) {
      if (_wcsicmp(methodName.c_str(), method.c_str()) == 0) return &definition;
    }
  }
  return nullptr;
}

HRESULT FakeWmiAccess::InitializeCom(DWORD concurrency) {
  const std::lock_guard<std::recursive_mutex> hold(mutex_);
  comConcurrency = concurrency;
  HRESULT hr = S_OK;
  if (ShouldFail(WmiOp::InitializeCom, hr)) return hr;
  if (parent_ != nullptr) {
    const long atWork = ++parent_->atWork_;
    long most = parent_->mostAtWork_;
    while (atWork > most && !parent_->mostAtWork_.compare_exchange_weak(most, atWork)) {
    }
  }
  return hr;
}

HRESULT FakeWmiAccess::InitializeSecurity(const ComSecurityArguments& arguments) {
  const std::lock_guard<std::recursive_mutex> hold(mutex_);
  comSecurity = arguments;
  HRESULT hr = S_OK;
  ShouldFail(WmiOp::InitializeSecurity, hr);
  return hr;
}

HRESULT FakeWmiAccess::CreateLocator(WmiLocator& locator) {
  const std::lock_guard<std::recursive_mutex> hold(mutex_);
  HRESULT hr = S_OK;
  if (ShouldFail(WmiOp::CreateLocator, hr)) return hr;
  locator = Hand<WmiLocator>(std::make_unique<Node>());
  return S_OK;
}

HRESULT FakeWmiAccess::ConnectServer(const WmiLocator& locator, const wchar_t* nameSpace,
                                     const ConnectCredentials& credentials, LONG flags, ULONG timeoutMs,
                                     WmiServices& services) {
  const std::lock_guard<std::recursive_mutex> hold(mutex_);
  connectFlags = flags;
  connectTimeoutMs = timeoutMs;
  connectedAs = credentials.user == nullptr && credentials.password == nullptr
                    ? L"own account"
                    : std::wstring(L"user=") + (credentials.user ? credentials.user : L"(null)") +
                          (credentials.password ? L" password=given" : L" password=none");
  SecureZeroMemory(connectedPassword_.data(), connectedPassword_.size() * sizeof(wchar_t));
  connectedPassword_ = credentials.password ? credentials.password : L"";
  connectedLocale = credentials.locale ? credentials.locale : L"";
  HRESULT hr = S_OK;
  bool timedOut = false;
  if (ShouldFail(WmiOp::ConnectServer, hr, timeoutMs, &timedOut)) return hr;
  if (timedOut) return static_cast<HRESULT>(WBEM_E_TIMED_OUT);
  NodeOf(locator.get());
  connectedNamespace = nameSpace;
  if (parent_ != nullptr && keepLog) {
    const std::lock_guard<std::recursive_mutex> parentHold(parent_->mutex_);
    for (const auto& [name, machine] : parent_->machines_) {
      if (machine.get() == this) parent_->connectedMachines.push_back(name);
    }
  }
  services = Hand<WmiServices>(std::make_unique<Node>());
  return S_OK;
}

HRESULT FakeWmiAccess::SetProxyBlanket(const WmiServices& services, const ProxyBlanketArguments& arguments) {
  const std::lock_guard<std::recursive_mutex> hold(mutex_);
  proxyBlanket = arguments;
  servicesBlanketAs = IdentityText(arguments.identity, connectedPassword_.c_str());
  HRESULT hr = S_OK;
  if (ShouldFail(WmiOp::SetProxyBlanket, hr)) return hr;
  NodeOf(services.get());
  blanketsSetOn.push_back(kServicesInterface);
  return S_OK;
}

HRESULT FakeWmiAccess::SetEnumeratorBlanket(const WmiEnumerator& results, const ProxyBlanketArguments& arguments) {
  const std::lock_guard<std::recursive_mutex> hold(mutex_);
  HRESULT hr = S_OK;
  if (ShouldFail(WmiOp::SetEnumeratorBlanket, hr)) return hr;
  NodeOf(results.get()).identity = arguments.identity;
  enumeratorBlankets.push_back(arguments);
  enumeratorBlanketsAs.push_back(IdentityText(arguments.identity, connectedPassword_.c_str()));
  blanketsSetOn.push_back(kEnumeratorInterface);
  return S_OK;
}

HRESULT FakeWmiAccess::QueryUnknown(const WmiServices& services, WmiUnknown& unknown) {
  const std::lock_guard<std::recursive_mutex> hold(mutex_);
  HRESULT hr = S_OK;
  if (ShouldFail(WmiOp::QueryUnknown, hr)) return hr;
  NodeOf(services.get());
  auto node = std::make_unique<Node>();
  node->unknownOf = kServicesInterface;
  unknown = Hand<WmiUnknown>(std::move(node));
  return S_OK;
}

HRESULT FakeWmiAccess::QueryUnknown(const WmiEnumerator& results, WmiUnknown& unknown) {
  const std::lock_guard<std::recursive_mutex> hold(mutex_);
  HRESULT hr = S_OK;
  if (ShouldFail(WmiOp::QueryUnknown, hr)) return hr;
  NodeOf(results.get());
  auto node = std::make_unique<Node>();
  node->unknownOf = kEnumeratorInterface;
  unknown = Hand<WmiUnknown>(std::move(node));
  return S_OK;
}

HRESULT FakeWmiAccess::SetUnknownBlanket(const WmiUnknown& unknown, const ProxyBlanketArguments& arguments) {
  const std::lock_guard<std::recursive_mutex> hold(mutex_);
  const Node& node = NodeOf(unknown.get());
  // A proxy given where its IUnknown belongs is no IUnknown.
  if (node.unknownOf == nullptr) return E_NOINTERFACE;
  const bool ofServices = node.unknownOf == kServicesInterface;
  HRESULT hr = S_OK;
  if (ShouldFail(ofServices ? WmiOp::SetServicesUnknownBlanket : WmiOp::SetEnumeratorUnknownBlanket, hr)) return hr;
  if (ofServices) {
    servicesUnknownBlanketAs = IdentityText(arguments.identity);
  } else {
    enumeratorUnknownBlanketsAs.push_back(IdentityText(arguments.identity));
  }
  blanketsSetOn.push_back(std::wstring(L"IUnknown of ") + node.unknownOf);
  return S_OK;
}

HRESULT FakeWmiAccess::ExecQuery(const WmiServices& services, const wchar_t* language, const wchar_t* query,
                                 LONG flags, WmiEnumerator& results) {
  const std::lock_guard<std::recursive_mutex> hold(mutex_);
  queryLanguage = language;
  queryFlags = flags;
  HRESULT hr = S_OK;
  if (ShouldFail(WmiOp::ExecQuery, hr)) return hr;
  NodeOf(services.get());
  executedQuery = query;
  auto node = std::make_unique<Node>();
  const std::wstring text(query);
  const size_t first = text.find_first_not_of(L" \t", text.find_first_of(L" \t"));
  node->allProperties = first != std::wstring::npos && text[first] == L'*';
  results = Hand<WmiEnumerator>(std::move(node));
  return S_OK;
}

HRESULT FakeWmiAccess::ExecNotificationQuery(const WmiServices& services, const wchar_t* language,
                                             const wchar_t* query, LONG flags, WmiEnumerator& events) {
  const std::lock_guard<std::recursive_mutex> hold(mutex_);
  notificationQueryLanguage = language;
  notificationQueryFlags = flags;
  HRESULT hr = S_OK;
  if (ShouldFail(WmiOp::ExecNotificationQuery, hr)) return hr;
  NodeOf(services.get());
  // Windows refuses an event query that would block, or whose enumerator
  // could be rewound.
  const LONG required = WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY;
  if ((flags & required) != required) return static_cast<HRESULT>(WBEM_E_INVALID_PARAMETER);
  executedNotificationQuery = query;
  auto node = std::make_unique<Node>();
  node->events = true;
  node->startedAt = GetTickCount64();
  events = Hand<WmiEnumerator>(std::move(node));
  return S_OK;
}

// Called with the lock held once; it is let go while waiting, as WMI lets
// other calls through meanwhile.
HRESULT FakeWmiAccess::NextEvent(Node& enumerator, WmiObject& object, ULONG& returned, ULONG timeoutMs) {
  eventNextTimeouts.push_back(timeoutMs);
  const bool due = enumerator.position < events_.size();
  if (!due && eventsEnd_) return WBEM_S_FALSE;
  const ULONGLONG now = GetTickCount64();
  const ULONGLONG dueAt = due ? enumerator.startedAt + events_[enumerator.position].first : 0;
  // A test that waits without limit for an event that never comes would
  // hang: it is given up after 30 seconds.
  const ULONGLONG limit = timeoutMs == WBEM_INFINITE ? 30000 : timeoutMs;
  // Decided before the wait: a clock read after it may lag behind the sleep.
  const bool arrives = due && dueAt <= now + limit;
  const ULONGLONG until = arrives ? dueAt : now + limit;
  if (until > now) {
    mutex_.unlock();
    Sleep(static_cast<DWORD>(until - now));
    mutex_.lock();
  }
  if (!arrives) return static_cast<HRESULT>(WBEM_S_TIMEDOUT);
  auto node = std::make_unique<Node>();
  node->object = events_[enumerator.position++].second;
  object = Hand<WmiObject>(std::move(node));
  returned = 1;
  return S_OK;
}

HRESULT FakeWmiAccess::Next(const WmiEnumerator& results, WmiObject& object, ULONG& returned, ULONG timeoutMs) {
  const std::lock_guard<std::recursive_mutex> hold(mutex_);
  returned = 0;
  object.reset();
  nextTimeoutMs = timeoutMs;
  HRESULT hr = S_OK;
  bool timedOut = false;
  if (ShouldFail(WmiOp::Next, hr, timeoutMs, &timedOut)) return hr;
  if (timedOut) return static_cast<HRESULT>(WBEM_S_TIMEDOUT);
  Node& enumerator = NodeOf(results.get());
  // Read through the pointer the proxy holds: an identity released too soon
  // shows here.
  lastNextAs = IdentityText(enumerator.identity, connectedPassword_.c_str());
  if (enumerator.events) return NextEvent(enumerator, object, returned, timeoutMs);
  const size_t total = generate_ ? generatedCount_ : results_.size();
  if (enumerator.position >= total) return WBEM_S_FALSE;
  auto node = std::make_unique<Node>();
  node->object = generate_ ? generate_(enumerator.position) : results_[enumerator.position];
  ++enumerator.position;
  if (!serverName.empty() && node->object.Find(L"__SERVER") == nullptr) {
    node->object.Add(L"__SERVER", enumerator.allProperties ? StringValue(serverName) : NullValue());
  }
  object = Hand<WmiObject>(std::move(node));
  returned = 1;
  return S_OK;
}

HRESULT FakeWmiAccess::GetNames(const WmiObject& object, LONG flags, SafeArray& names) {
  const std::lock_guard<std::recursive_mutex> hold(mutex_);
  HRESULT hr = S_OK;
  if (ShouldFail(WmiOp::GetNames, hr)) return hr;
  std::vector<std::wstring> shown;
  for (const FakeProperty& property : NodeOf(object.get()).object.properties) {
    const bool system = property.name.rfind(L"__", 0) == 0;
    if (system && (flags & WBEM_FLAG_NONSYSTEM_ONLY)) continue;
    shown.push_back(property.name);
  }
  if (NodeOf(object.get()).object.className == L"__PARAMETERS") {
    std::sort(shown.begin(), shown.end(), [](const std::wstring& left, const std::wstring& right) {
      return CompareStringOrdinal(left.c_str(), -1, right.c_str(), -1, TRUE) == CSTR_LESS_THAN;
    });
  }
  Variant list = StringArray(shown);
  names = SafeArray(list.get().parray);
  list.get().vt = VT_EMPTY;  // the SafeArray holder owns it now
  return S_OK;
}

HRESULT FakeWmiAccess::Get(const WmiObject& object, const wchar_t* name, Variant& value, CIMTYPE* cimType) {
  const std::lock_guard<std::recursive_mutex> hold(mutex_);
  HRESULT hr = S_OK;
  if (ShouldFail(WmiOp::Get, hr)) return hr;
  const FakeProperty* property = NodeOf(object.get()).object.Find(name);
  if (property == nullptr) return static_cast<HRESULT>(WBEM_E_NOT_FOUND);
  value = Copy(property->value.get());
  if (cimType) *cimType = property->cimType;
  return S_OK;
}

HRESULT FakeWmiAccess::Put(const WmiObject& object, const wchar_t* name, const VARIANT& value) {
  const std::lock_guard<std::recursive_mutex> hold(mutex_);
  HRESULT hr = S_OK;
  if (ShouldFail(WmiOp::Put, hr)) return hr;
  FakeObject& target = NodeOf(object.get()).object;
  FakeProperty* property = target.Find(name);
  if (property == nullptr) return static_cast<HRESULT>(WBEM_E_NOT_FOUND);
  if (exactIntegerTypes && value.vt != VT_NULL) {
    const VARTYPE exact = ExactIntegerType(property->cimType & ~CIM_FLAG_ARRAY);
    if (exact != VT_EMPTY && (value.vt & ~VT_ARRAY) != exact) return static_cast<HRESULT>(WBEM_E_TYPE_MISMATCH);
  }
  // WMI converts what it is given to the property's own type; a single value
  // put into an array property becomes its one element. Nulls, arrays and
  // objects are kept as given.
  Variant stored;
  const VARTYPE type = StorageType(property->cimType);
  if (value.vt == VT_NULL || (value.vt & VT_ARRAY) || value.vt == VT_UNKNOWN) {
    stored = Copy(value);
  } else if ((property->cimType & ~CIM_FLAG_ARRAY) == CIM_UINT32 && value.vt != VT_I4 && value.vt != VT_BSTR) {
    // A uint32 given as a number is taken by its own range and kept in a
    // VT_I4's bits. A string is read as the VT_I4 it travels as, below: past
    // 2147483647 it does not fit, and Windows refuses it.
    if (FAILED(VariantChangeType(stored.put(), const_cast<VARIANT*>(&value), 0, VT_UI4))) {
      return static_cast<HRESULT>(WBEM_E_TYPE_MISMATCH);
    }
    stored = IntegerValue(VT_I4, static_cast<LONG>(stored.get().ulVal));
  } else if (FAILED(VariantChangeType(stored.put(), const_cast<VARIANT*>(&value), 0, type))) {
    return static_cast<HRESULT>(WBEM_E_TYPE_MISMATCH);
  }
  if (!(value.vt == VT_NULL || (value.vt & VT_ARRAY) || value.vt == VT_UNKNOWN) &&
      (property->cimType & CIM_FLAG_ARRAY)) {
    Variant array = RawArray(VT_ARRAY | type, type, 1);
    LONG first = 0;
    void* element = type == VT_BSTR ? static_cast<void*>(stored.get().bstrVal) : static_cast<void*>(&stored.get().lVal);
    SafeArrayPutElement(array.get().parray, &first, element);
    stored = std::move(array);
  }
  property->value = std::move(stored);
  const FakeProperty* path = target.Find(L"__PATH");
  puts.push_back({path ? path->value.get().bstrVal : L"", name, Copy(value)});
  return S_OK;
}

HRESULT FakeWmiAccess::GetClass(const WmiServices& services, const wchar_t* className, WmiObject& classObject) {
  const std::lock_guard<std::recursive_mutex> hold(mutex_);
  HRESULT hr = S_OK;
  if (ShouldFail(WmiOp::GetClass, hr)) return hr;
  NodeOf(services.get());
  auto node = std::make_unique<Node>();
  for (const auto& [name, definition] : classes_) {
    if (_wcsicmp(name.c_str(), className) == 0) node->object = definition;
  }
  if (node->object.className.empty()) {
    bool known = false;
    for (const auto& [name, byMethod] : methods_) known = known || _wcsicmp(name.c_str(), className) == 0;
    if (!known) return static_cast<HRESULT>(WBEM_E_NOT_FOUND);
    node->object.className = className;
  }
  if (!serverName.empty() && node->object.Find(L"__SERVER") == nullptr) {
    node->object.Add(L"__SERVER", StringValue(serverName));
  }
  classObject = Hand<WmiObject>(std::move(node));
  return S_OK;
}

HRESULT FakeWmiAccess::GetMethod(const WmiObject& classObject, const wchar_t* method, WmiObject& inSignature) {
  const std::lock_guard<std::recursive_mutex> hold(mutex_);
  HRESULT hr = S_OK;
  if (ShouldFail(WmiOp::GetMethod, hr)) return hr;
  const FakeMethod* definition = FindMethod(NodeOf(classObject.get()).object.className, method);
  if (definition == nullptr) return static_cast<HRESULT>(WBEM_E_NOT_FOUND);
  if (!definition->hasInputSignature) return S_OK;
  auto node = std::make_unique<Node>();
  node->object = definition->inputs;
  // A method's parameters are a __PARAMETERS object, whose names Windows
  // gives in alphabetical order, not in the order they are declared.
  if (node->object.className.empty()) node->object.className = L"__PARAMETERS";
  inSignature = Hand<WmiObject>(std::move(node));
  return S_OK;
}

HRESULT FakeWmiAccess::SpawnInstance(const WmiObject& classObject, WmiObject& instance) {
  const std::lock_guard<std::recursive_mutex> hold(mutex_);
  HRESULT hr = S_OK;
  if (ShouldFail(WmiOp::SpawnInstance, hr)) return hr;
  auto node = std::make_unique<Node>();
  node->object = NodeOf(classObject.get()).object;
  instance = Hand<WmiObject>(std::move(node));
  return S_OK;
}

HRESULT FakeWmiAccess::ExecMethod(const WmiServices& services, const wchar_t* objectPath, const wchar_t* method,
                                  const WmiObject& inParameters, WmiObject& outParameters) {
  const std::lock_guard<std::recursive_mutex> hold(mutex_);
  HRESULT hr = S_OK;
  if (ShouldFail(WmiOp::ExecMethod, hr)) return hr;
  NodeOf(services.get());
  const FakeMethod* definition = FindMethod(ClassOfPath(objectPath), method);
  if (definition == nullptr) return static_cast<HRESULT>(WBEM_E_INVALID_METHOD);
  std::optional<FakeObject> inputs;
  if (inParameters) inputs = NodeOf(inParameters.get()).object;
  executed.push_back({objectPath, method, inputs});
  if (!definition->run) return S_OK;
  std::optional<FakeObject> outputs = definition->run(inputs ? *inputs : FakeObject{});
  if (outputs) {
    auto node = std::make_unique<Node>();
    node->object = std::move(*outputs);
    // What a method gives back is a __PARAMETERS object.
    if (node->object.className.empty()) node->object.className = L"__PARAMETERS";
    outParameters = Hand<WmiObject>(std::move(node));
  }
  return S_OK;
}

HRESULT FakeWmiAccess::PutInstance(const WmiServices& services, const WmiObject& object, LONG flags) {
  const std::lock_guard<std::recursive_mutex> hold(mutex_);
  putInstanceFlags = flags;
  HRESULT hr = S_OK;
  if (ShouldFail(WmiOp::PutInstance, hr)) return hr;
  NodeOf(services.get());
  written.push_back(NodeOf(object.get()).object);
  return S_OK;
}

HRESULT FakeWmiAccess::DeleteInstance(const WmiServices& services, const wchar_t* objectPath, LONG flags) {
  const std::lock_guard<std::recursive_mutex> hold(mutex_);
  deleteInstanceFlags = flags;
  HRESULT hr = S_OK;
  if (ShouldFail(WmiOp::DeleteInstance, hr)) return hr;
  NodeOf(services.get());
  deleted.emplace_back(objectPath);
  return S_OK;
}

namespace {

std::wstring MofString(const wchar_t* text, size_t length) {
  std::wstring quoted = L"\"";
  for (size_t i = 0; i < length; ++i) {
    switch (text[i]) {
      case L'"': quoted += L"\\\""; break;
      case L'\\': quoted += L"\\\\"; break;
      case L'\n': quoted += L"\\n"; break;
      case L'\t': quoted += L"\\t"; break;
      case L'\r': quoted += L"\\r"; break;
      default: quoted += text[i];
    }
  }
  return quoted + L"\"";
}

void AppendMofObject(const FakeObject& object, const std::wstring& indent, std::wstring& text);

// One element of a value, by its VARIANT type; a uint32 travels in a VT_I4's
// bits, and is written as the unsigned number it is.
std::wstring MofScalar(const VARIANT& value, CIMTYPE cimType, const std::wstring& indent) {
  switch (value.vt) {
    case VT_BSTR: return MofString(value.bstrVal, SysStringLen(value.bstrVal));
    case VT_BOOL: return value.boolVal ? L"TRUE" : L"FALSE";
    case VT_I1: return std::to_wstring(value.cVal);
    case VT_UI1: return std::to_wstring(value.bVal);
    case VT_I2: return std::to_wstring(value.iVal);
    case VT_UI2: return std::to_wstring(value.uiVal);
    case VT_I4:
      if (cimType == CIM_UINT32) return std::to_wstring(static_cast<ULONG>(value.lVal));
      return std::to_wstring(value.lVal);
    case VT_UI4: return std::to_wstring(value.ulVal);
    case VT_I8: return std::to_wstring(value.llVal);
    case VT_UI8: return std::to_wstring(value.ullVal);
    case VT_R4: return std::to_wstring(value.fltVal);
    case VT_R8: return std::to_wstring(value.dblVal);
    case VT_UNKNOWN: {
      const FakeObject* embedded = FakeEmbeddedObject(value);
      if (embedded == nullptr) return L"NULL";
      std::wstring text;
      AppendMofObject(*embedded, indent + L"\t", text);
      return text;
    }
    default: return L"NULL";
  }
}

std::wstring MofValue(const VARIANT& value, CIMTYPE cimType, const std::wstring& indent) {
  cimType &= ~CIM_FLAG_ARRAY;
  if (!(value.vt & VT_ARRAY)) return MofScalar(value, cimType, indent);
  SAFEARRAY* array = value.parray;
  LONG lower = 0;
  LONG upper = -1;
  SafeArrayGetLBound(array, 1, &lower);
  SafeArrayGetUBound(array, 1, &upper);
  std::wstring text = L"{";
  for (LONG i = lower; i <= upper; ++i) {
    VARIANT element;
    VariantInit(&element);
    element.vt = static_cast<VARTYPE>(value.vt & ~VT_ARRAY);
    if (element.vt == VT_BSTR) {
      BSTR item = nullptr;
      SafeArrayGetElement(array, &i, &item);
      element.bstrVal = item;
    } else {
      SafeArrayGetElement(array, &i, &element.llVal);
    }
    if (i > lower) text += L", ";
    text += MofScalar(element, cimType, indent);
    VariantClear(&element);
  }
  return text + L"}";
}

void AppendMofObject(const FakeObject& object, const std::wstring& indent, std::wstring& text) {
  std::vector<const FakeProperty*> shown;
  for (const FakeProperty& property : object.properties) {
    const VARTYPE type = property.value.type();
    if (property.name.rfind(L"__", 0) == 0 || type == VT_NULL || type == VT_EMPTY) continue;
    shown.push_back(&property);
  }
  std::sort(shown.begin(), shown.end(), [](const FakeProperty* left, const FakeProperty* right) {
    return CompareStringOrdinal(left->name.c_str(), -1, right->name.c_str(), -1, TRUE) == CSTR_LESS_THAN;
  });
  text += L"\ninstance of " + object.className + L"\n" + indent.substr(1) + L"{\n";
  for (const FakeProperty* property : shown) {
    text += indent + property->name + L" = " + MofValue(property->value.get(), property->cimType, indent) + L";\n";
  }
  text += indent.substr(1) + L"}";
}

}  // namespace

HRESULT FakeWmiAccess::GetObjectText(const WmiObject& object, LONG flags, Bstr& text) {
  const std::lock_guard<std::recursive_mutex> hold(mutex_);
  HRESULT hr = S_OK;
  if (ShouldFail(WmiOp::GetObjectText, hr)) return hr;
  if (flags != 0) return static_cast<HRESULT>(WBEM_E_INVALID_PARAMETER);
  std::wstring mof;
  AppendMofObject(NodeOf(object.get()).object, L"\t", mof);
  mof += L";\n";
  text = Bstr(mof.c_str());
  return S_OK;
}

void FakeWmiAccess::UninitializeCom() {
  const std::lock_guard<std::recursive_mutex> hold(mutex_);
  HRESULT ignored = S_OK;
  ShouldFail(WmiOp::UninitializeCom, ignored);
  if (parent_ != nullptr) {
    --parent_->atWork_;
    ++parent_->machinesDone_;
  }
}

HRESULT FakeWmiAccess::ArrayLowerBound(SAFEARRAY* array, LONG& bound) {
  const std::lock_guard<std::recursive_mutex> hold(mutex_);
  HRESULT hr = S_OK;
  if (ShouldFail(WmiOp::ArrayLowerBound, hr)) return hr;
  return SafeArrayGetLBound(array, 1, &bound);
}

HRESULT FakeWmiAccess::ArrayUpperBound(SAFEARRAY* array, LONG& bound) {
  const std::lock_guard<std::recursive_mutex> hold(mutex_);
  HRESULT hr = S_OK;
  if (ShouldFail(WmiOp::ArrayUpperBound, hr)) return hr;
  return SafeArrayGetUBound(array, 1, &bound);
}

HRESULT FakeWmiAccess::ArrayElement(SAFEARRAY* array, LONG index, void* element, size_t elementSize) {
  const std::lock_guard<std::recursive_mutex> hold(mutex_);
  HRESULT hr = S_OK;
  if (ShouldFail(WmiOp::ArrayElement, hr)) return hr;
  return ReadArrayElement(array, index, element, elementSize);
}

HRESULT FakeWmiAccess::EmbeddedObject(const VARIANT& value, WmiObject& object) {
  const std::lock_guard<std::recursive_mutex> hold(mutex_);
  HRESULT hr = S_OK;
  if (ShouldFail(WmiOp::EmbeddedObject, hr)) return hr;
  if (value.vt != VT_UNKNOWN || value.punkVal == nullptr) return DISP_E_TYPEMISMATCH;
  void* raw = nullptr;
  hr = value.punkVal->QueryInterface(kFakeEmbedded, &raw);
  if (FAILED(hr)) return hr;
  auto* embedded = static_cast<FakeEmbedded*>(static_cast<IUnknown*>(raw));
  auto node = std::make_unique<Node>();
  node->object = embedded->object;
  embedded->Release();
  object = Hand<WmiObject>(std::move(node));
  return S_OK;
}

namespace {

HRESULT FindQualifier(const std::vector<FakeQualifier>& qualifiers, const wchar_t* name, Variant& value) {
  for (const FakeQualifier& qualifier : qualifiers) {
    if (_wcsicmp(qualifier.name.c_str(), name) != 0) continue;
    value = Copy(qualifier.value.get());
    return S_OK;
  }
  return static_cast<HRESULT>(WBEM_E_NOT_FOUND);
}

}  // namespace

HRESULT FakeWmiAccess::PropertyQualifier(const WmiObject& object, const wchar_t* property, const wchar_t* qualifier,
                                         Variant& value) {
  const std::lock_guard<std::recursive_mutex> hold(mutex_);
  HRESULT hr = S_OK;
  if (ShouldFail(WmiOp::PropertyQualifier, hr)) return hr;
  const FakeProperty* found = NodeOf(object.get()).object.Find(property);
  if (found == nullptr) return static_cast<HRESULT>(WBEM_E_NOT_FOUND);
  return FindQualifier(found->qualifiers, qualifier, value);
}

HRESULT FakeWmiAccess::PropertyOrigin(const WmiObject& object, const wchar_t* property, Bstr& className) {
  const std::lock_guard<std::recursive_mutex> hold(mutex_);
  HRESULT hr = S_OK;
  if (ShouldFail(WmiOp::PropertyOrigin, hr)) return hr;
  const FakeObject& owner = NodeOf(object.get()).object;
  const FakeProperty* found = owner.Find(property);
  if (found == nullptr) return static_cast<HRESULT>(WBEM_E_NOT_FOUND);
  if (found->name.rfind(L"__", 0) == 0) {
    className = Bstr(L"___SYSTEM");
    return S_OK;
  }
  className = Bstr(found->origin.empty() ? owner.className.c_str() : found->origin.c_str());
  return S_OK;
}

HRESULT FakeWmiAccess::BeginMethodEnumeration(const WmiObject& classObject, LONG flags) {
  const std::lock_guard<std::recursive_mutex> hold(mutex_);
  methodEnumerationFlags = flags;
  HRESULT hr = S_OK;
  if (ShouldFail(WmiOp::BeginMethodEnumeration, hr)) return hr;
  Node& node = NodeOf(classObject.get());
  node.enumeratingMethods = true;
  node.nextMethod = 0;
  return S_OK;
}

HRESULT FakeWmiAccess::NextMethod(const WmiObject& classObject, Bstr& name, WmiObject& inSignature,
                                  WmiObject& outSignature) {
  const std::lock_guard<std::recursive_mutex> hold(mutex_);
  name = Bstr();
  inSignature.reset();
  outSignature.reset();
  HRESULT hr = S_OK;
  if (ShouldFail(WmiOp::NextMethod, hr)) return hr;
  Node& node = NodeOf(classObject.get());
  if (!node.enumeratingMethods) return static_cast<HRESULT>(WBEM_E_UNEXPECTED);
  const std::vector<std::wstring>* order = nullptr;
  for (const auto& [className, methods] : methodOrder_) {
    if (_wcsicmp(className.c_str(), node.object.className.c_str()) == 0) order = &methods;
  }
  if (order == nullptr || node.nextMethod >= order->size()) return static_cast<HRESULT>(WBEM_S_NO_MORE_DATA);
  const std::wstring& method = (*order)[node.nextMethod++];
  const FakeMethod* definition = FindMethod(node.object.className, method);
  name = Bstr(method.c_str());
  if (definition->hasInputSignature) {
    auto in = std::make_unique<Node>();
    in->object = definition->inputs;
    inSignature = Hand<WmiObject>(std::move(in));
  }
  if (definition->hasOutputSignature) {
    auto out = std::make_unique<Node>();
    out->object = definition->outputs;
    outSignature = Hand<WmiObject>(std::move(out));
  }
  return S_OK;
}

HRESULT FakeWmiAccess::EndMethodEnumeration(const WmiObject& classObject) {
  const std::lock_guard<std::recursive_mutex> hold(mutex_);
  HRESULT hr = S_OK;
  if (ShouldFail(WmiOp::EndMethodEnumeration, hr)) return hr;
  NodeOf(classObject.get()).enumeratingMethods = false;
  return S_OK;
}

HRESULT FakeWmiAccess::MethodQualifier(const WmiObject& classObject, const wchar_t* method, const wchar_t* qualifier,
                                       Variant& value) {
  const std::lock_guard<std::recursive_mutex> hold(mutex_);
  HRESULT hr = S_OK;
  if (ShouldFail(WmiOp::MethodQualifier, hr)) return hr;
  const FakeMethod* definition = FindMethod(NodeOf(classObject.get()).object.className, method);
  if (definition == nullptr) return static_cast<HRESULT>(WBEM_E_NOT_FOUND);
  return FindQualifier(definition->qualifiers, qualifier, value);
}

HRESULT FakeWmiAccess::ObjectValue(const WmiObject& object, Variant& value) {
  const std::lock_guard<std::recursive_mutex> hold(mutex_);
  HRESULT hr = S_OK;
  if (ShouldFail(WmiOp::ObjectValue, hr)) return hr;
  value = EmbeddedValue(NodeOf(object.get()).object);
  return S_OK;
}
