#include "render/wmic_errors.h"

#include <wbemcli.h>

#include <cwchar>

#include "base/output.h"

namespace {

// WMI's own texts for its codes, as its status-code text object gives them.
// Seen in captures: "Invalid query". The rest follow WMI's documented
// names; a code missing here falls through to the system's message table.
struct WbemText {
  HRESULT hr;
  const wchar_t* text;
};
constexpr WbemText kWbemTexts[] = {
    {static_cast<HRESULT>(WBEM_E_FAILED), L"Generic failure"},
    {static_cast<HRESULT>(WBEM_E_NOT_FOUND), L"Not found"},
    {static_cast<HRESULT>(WBEM_E_ACCESS_DENIED), L"Access denied"},
    {static_cast<HRESULT>(WBEM_E_PROVIDER_FAILURE), L"Provider failure"},
    {static_cast<HRESULT>(WBEM_E_TYPE_MISMATCH), L"Type mismatch"},
    {static_cast<HRESULT>(WBEM_E_OUT_OF_MEMORY), L"Out of memory"},
    {static_cast<HRESULT>(WBEM_E_INVALID_CONTEXT), L"Invalid context"},
    {static_cast<HRESULT>(WBEM_E_INVALID_PARAMETER), L"Invalid parameter"},
    {static_cast<HRESULT>(WBEM_E_NOT_AVAILABLE), L"Not available"},
    {static_cast<HRESULT>(WBEM_E_CRITICAL_ERROR), L"Critical error"},
    {static_cast<HRESULT>(WBEM_E_NOT_SUPPORTED), L"Not supported"},
    {static_cast<HRESULT>(WBEM_E_INVALID_NAMESPACE), L"Invalid namespace"},
    {static_cast<HRESULT>(WBEM_E_INVALID_OBJECT), L"Invalid object"},
    {static_cast<HRESULT>(WBEM_E_INVALID_CLASS), L"Invalid class"},
    {static_cast<HRESULT>(WBEM_E_PROVIDER_NOT_FOUND), L"Provider not found"},
    {static_cast<HRESULT>(WBEM_E_PROVIDER_LOAD_FAILURE), L"Provider load failure"},
    {static_cast<HRESULT>(WBEM_E_INITIALIZATION_FAILURE), L"Initialization failure"},
    {static_cast<HRESULT>(WBEM_E_TRANSPORT_FAILURE), L"Transport failure"},
    {static_cast<HRESULT>(WBEM_E_INVALID_OPERATION), L"Invalid operation"},
    {static_cast<HRESULT>(WBEM_E_INVALID_QUERY), L"Invalid query"},
    {static_cast<HRESULT>(WBEM_E_INVALID_QUERY_TYPE), L"Invalid query type"},
    {static_cast<HRESULT>(WBEM_E_ALREADY_EXISTS), L"Already exists"},
    {static_cast<HRESULT>(WBEM_E_INVALID_PROPERTY), L"Invalid property"},
    {static_cast<HRESULT>(WBEM_E_INVALID_METHOD), L"Invalid method"},
    {static_cast<HRESULT>(WBEM_E_INVALID_METHOD_PARAMETERS), L"Invalid method Parameter(s)"},
    {static_cast<HRESULT>(WBEM_E_CALL_CANCELLED), L"Call cancelled"},
    {static_cast<HRESULT>(WBEM_E_SHUTTING_DOWN), L"Shutting down"},
    {static_cast<HRESULT>(WBEM_E_QUOTA_VIOLATION), L"Quota violation"},
    {static_cast<HRESULT>(WBEM_E_TIMED_OUT), L"Timed out"},
};

// For a code that neither WMI's table nor the system knows.
constexpr wchar_t kUnknownCode[] = L"Error code = 0x%x";

}  // namespace

std::wstring WmicErrorDescription(HRESULT hr) {
  for (const WbemText& known : kWbemTexts) {
    if (known.hr == hr) return known.text;
  }
  wchar_t* message = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
  std::wstring text;
  if (length > 0 && message != nullptr) text.assign(message, length);
  if (message != nullptr) LocalFree(message);
  // The message table ends each message with its own line end.
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
  if (text.empty()) {
    wchar_t code[64];
    swprintf(code, 64, kUnknownCode, static_cast<unsigned>(hr));
    text = code;
  }
  return text;
}

void WriteWmicErrorBlock(OutputSink& errors, const std::wstring& node, const std::wstring& description) {
  errors.Write(L"Node - " + node + L"\r\nERROR:\r\nDescription = " + description + L"\r\n");
}

void WriteWmicNoInstances(OutputSink& errors) { errors.Write(L"No Instance(s) Available.\r\n"); }
