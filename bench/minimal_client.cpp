// The floor Tollix is measured against: a WMI client that does only what a
// query needs and nothing more. It connects, runs the query given as its
// first argument (in root\cimv2), and prints every non-system property of
// every result as name=value, arrays as {a,b,...}, in UTF-8 with CR LF line
// ends.
//
//   minimal_client.exe "select * from win32_bios" [csv]
//
// With "csv" as second argument each object is one comma-separated line
// (a header line first), as a CSV layout would print it.
#include <windows.h>
#include <oleauto.h>
#include <wbemcli.h>

#include <cwchar>
#include <string>

namespace {

// {CB8555CC-9128-11D1-AD9B-00C04FD8FDFF}
const CLSID kAdministrativeLocator = {0xcb8555cc, 0x9128, 0x11d1, {0xad, 0x9b, 0x00, 0xc0, 0x4f, 0xd8, 0xfd, 0xff}};
// {DC12A687-737F-11CF-884D-00AA004B2E24}
const IID kIWbemLocator = {0xdc12a687, 0x737f, 0x11cf, {0x88, 0x4d, 0x00, 0xaa, 0x00, 0x4b, 0x2e, 0x24}};

std::wstring g_out;

// The whole output leaves in one write at the end, straight to the handle:
// no C runtime stream, no per-line cost.
void Flush() {
  if (g_out.empty()) return;
  const int wide = static_cast<int>(g_out.size());
  const int needed = WideCharToMultiByte(CP_UTF8, 0, g_out.data(), wide, nullptr, 0, nullptr, nullptr);
  if (needed > 0) {
    std::string bytes(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(CP_UTF8, 0, g_out.data(), wide, &bytes[0], needed, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  }
  g_out.clear();
}

// Scalars through the platform's own conversion; what cannot be converted
// prints as nothing.
void AppendScalar(VARIANT& value) {
  if (value.vt == VT_BSTR) {
    if (value.bstrVal) g_out += value.bstrVal;
    return;
  }
  if (value.vt == VT_NULL || value.vt == VT_EMPTY) return;
  VARIANT text;
  VariantInit(&text);
  if (SUCCEEDED(VariantChangeType(&text, &value, VARIANT_ALPHABOOL, VT_BSTR)) && text.bstrVal) {
    g_out += text.bstrVal;
  }
  VariantClear(&text);
}

void AppendValue(VARIANT& value, wchar_t separator) {
  if (!(value.vt & VT_ARRAY)) {
    AppendScalar(value);
    return;
  }
  SAFEARRAY* array = value.parray;
  LONG lower = 0;
  LONG upper = -1;
  SafeArrayGetLBound(array, 1, &lower);
  SafeArrayGetUBound(array, 1, &upper);
  const VARTYPE elementType = static_cast<VARTYPE>(value.vt & ~VT_ARRAY);
  g_out += L'{';
  for (LONG i = lower; i <= upper; ++i) {
    if (i != lower) g_out += separator;
    VARIANT element;
    VariantInit(&element);
    element.vt = elementType;
    // SafeArrayGetElement writes the element's own bytes (a BSTR copy for
    // strings) into the VARIANT's value slot.
    if (SUCCEEDED(SafeArrayGetElement(array, &i, &element.llVal))) {
      AppendScalar(element);
      VariantClear(&element);
    }
  }
  g_out += L'}';
}

int Fail(const char* step, HRESULT hr) {
  wchar_t message[96];
  swprintf(message, 96, L"%hs failed: 0x%lx\r\n", step, static_cast<unsigned long>(hr));
  g_out += message;
  Flush();
  return 1;
}

int Query(const wchar_t* query, bool csv) {
  HRESULT hr = CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_CONNECT,
                                    RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
  if (FAILED(hr)) return Fail("CoInitializeSecurity", hr);

  IWbemLocator* locator = nullptr;
  hr = CoCreateInstance(kAdministrativeLocator, nullptr, CLSCTX_INPROC_SERVER, kIWbemLocator,
                        reinterpret_cast<void**>(&locator));
  if (FAILED(hr)) return Fail("CoCreateInstance", hr);

  IWbemServices* services = nullptr;
  BSTR nameSpace = SysAllocString(L"root\\cimv2");
  hr = locator->ConnectServer(nameSpace, nullptr, nullptr, nullptr, 0, nullptr, nullptr, &services);
  SysFreeString(nameSpace);
  locator->Release();
  if (FAILED(hr)) return Fail("ConnectServer", hr);

  hr = CoSetProxyBlanket(services, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                         RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
  if (FAILED(hr)) {
    services->Release();
    return Fail("CoSetProxyBlanket", hr);
  }

  IEnumWbemClassObject* results = nullptr;
  BSTR language = SysAllocString(L"WQL");
  BSTR text = SysAllocString(query);
  hr = services->ExecQuery(language, text, WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr, &results);
  SysFreeString(language);
  SysFreeString(text);
  if (FAILED(hr)) {
    services->Release();
    return Fail("ExecQuery", hr);
  }

  int status = 0;
  bool headerShown = false;
  for (;;) {
    IWbemClassObject* object = nullptr;
    ULONG returned = 0;
    hr = results->Next(static_cast<LONG>(WBEM_INFINITE), 1, &object, &returned);
    if (FAILED(hr)) {
      status = Fail("Next", hr);
      break;
    }
    if (returned == 0 || object == nullptr) break;

    SAFEARRAY* names = nullptr;
    hr = object->GetNames(nullptr, WBEM_FLAG_NONSYSTEM_ONLY, nullptr, &names);
    if (FAILED(hr)) {
      object->Release();
      status = Fail("GetNames", hr);
      break;
    }
    LONG lower = 0;
    LONG upper = -1;
    SafeArrayGetLBound(names, 1, &lower);
    SafeArrayGetUBound(names, 1, &upper);
    std::wstring header = L"Node";
    std::wstring line = L"LOCALHOST";
    if (!csv) g_out += L"\r\n";
    for (LONG i = lower; i <= upper; ++i) {
      BSTR name = nullptr;
      if (FAILED(SafeArrayGetElement(names, &i, &name))) continue;
      VARIANT value;
      VariantInit(&value);
      hr = object->Get(name, 0, &value, nullptr, nullptr);
      if (SUCCEEDED(hr)) {
        if (csv) {
          header += L',';
          header += name;
          std::wstring saved;
          saved.swap(g_out);
          AppendValue(value, L';');
          line += L',';
          line += g_out;
          g_out.swap(saved);
        } else {
          g_out += name;
          g_out += L'=';
          AppendValue(value, L',');
          g_out += L"\r\n";
        }
      }
      VariantClear(&value);
      SysFreeString(name);
    }
    SafeArrayDestroy(names);
    object->Release();
    if (csv) {
      if (!headerShown) {
        g_out += header;
        g_out += L"\r\n";
        headerShown = true;
      }
      g_out += line;
      g_out += L"\r\n";
    }
  }
  results->Release();
  services->Release();
  return status;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    g_out = L"usage: minimal_client \"select ...\" [csv]\r\n";
    Flush();
    return 2;
  }
  const bool csv = argc > 2 && wcscmp(argv[2], L"csv") == 0;
  HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  if (FAILED(hr)) return Fail("CoInitializeEx", hr);
  const int status = Query(argv[1], csv);
  CoUninitialize();
  Flush();
  return status;
}
