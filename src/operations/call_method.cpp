// CALL: runs the requested method on one result object with the positional
// values of /args:, and prints what the method gives back.
#include <string>
#include <vector>

#include "base/run_settings.h"
#include "base/text.h"
#include "operations/declared_schema.h"
#include "operations/typed_values.h"
#include "operations/wmi_arguments.h"
#include "operations/wmi_query.h"
#include "render/layout.h"
#include "render/object_printer.h"

namespace {

// Puts each value, already converted by its parameter's CIM type, into the
// in-parameter of the same position.
int PutMethodValues(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const WmiObject& inParameters,
                    const std::vector<TypedValue>& values) {
  int index = 0;
  for (const TypedValue& value : values) {
    if (settings.debugDisplay) {
      PrintInfo(layout, L"INFO: Put method arg[%d], [%ls]=[%ls] \r\n", index, value.name.c_str(), value.json.c_str());
    }
    const HRESULT hr = PutTypedValue(wmi, inParameters, value);
    if (FAILED(hr)) {
      // A method is never run with a refused value: the parameter would keep
      // its default, and a registry call defaults to another hive.
      PrintError(layout, L"ERROR: Failed to put method argument [%ls]=[%ls]. Error code = 0x%x\r\n", value.name.c_str(),
                 value.json.c_str(), static_cast<unsigned>(hr));
      return 1;
    }
    ++index;
  }
  return 0;
}

// /whatif: every in-parameter as it would be sent, then the method and the
// path it would run on.
int PreviewCall(WmiAccess& wmi, Layout& layout, const WmiObject& inParameters, const wchar_t* method,
                const wchar_t* objectPath) {
  std::vector<std::wstring> names;
  if (ReadParameterNames(wmi, layout, inParameters, names) != 0) return 1;
  std::vector<Variant> values(names.size());
  std::vector<CIMTYPE> types(names.size(), CIM_EMPTY);
  Layout::Preview preview{L"CALL", method, objectPath, {}};
  for (size_t i = 0; i < names.size(); ++i) {
    const HRESULT hr = wmi.Get(inParameters, names[i].c_str(), values[i], &types[i]);
    if (FAILED(hr)) return ReportFailure(layout, L"ERROR: Failed to get. Error code = 0x%x\r\n", hr);
    preview.values.push_back({names[i].c_str(), &values[i].get(), types[i]});
  }
  const ValueStatus status = layout.WhatIf(wmi, preview);
  if (status.Failed()) return ReportFailure(layout, status.message, status.hr);
  return 0;
}

// The method as the class spells it, found without case; empty when the
// class has none of that name. A WMI that runs methods by their exact name
// (Wine's) runs `create` only as `Create`.
std::wstring SpelledMethod(WmiAccess& wmi, const WmiObject& classObject, const std::wstring& given) {
  std::wstring spelled;
  if (FAILED(wmi.BeginMethodEnumeration(classObject, kMethodEnumerationFlags))) return spelled;
  for (;;) {
    Bstr name;
    WmiObject inSignature;
    WmiObject outSignature;
    const HRESULT hr = wmi.NextMethod(classObject, name, inSignature, outSignature);
    if (FAILED(hr) || hr == static_cast<HRESULT>(WBEM_S_NO_MORE_DATA)) break;
    if (name.get() != nullptr && _wcsicmp(name.get(), given.c_str()) == 0) {
      spelled = name.get();
      break;
    }
  }
  wmi.EndMethodEnumeration(classObject);
  return spelled;
}

// Runs the method on `object`, or, without one, on the class itself: a
// static method's path is its class name.
int CallMethod(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const WmiServices& services,
               const WmiObject* object) {
  const bool debug = settings.debugDisplay != 0;
  const wchar_t* className = settings.argClassName.c_str();
  std::wstring spelledMethod = settings.argMethodName;
  const wchar_t* methodName = spelledMethod.c_str();

  if (debug) {
    PrintInfo(layout, L"INFO: Start CALL method.\r\n");
    PrintInfo(layout, L"INFO: Get object [%ls] start.\r\n", className);
  }
  WmiObject classObject;
  HRESULT hr = wmi.GetClass(services, className, classObject);
  if (FAILED(hr)) return ReportFailure(layout, L"ERROR: Failed to get object. Error code = 0x%x\r\n", hr);

  if (debug) {
    PrintInfo(layout, L"INFO: Get object [%ls] end.\r\n", className);
    PrintInfo(layout, L"INFO: Get method [%ls] start.\r\n", methodName);
  }
  WmiObject inParameters;
  {
    // A name typed in another case is taken as the class spells it.
    if (settings.textValuesGiven) {
      const std::wstring spelled = SpelledMethod(wmi, classObject, spelledMethod);
      if (!spelled.empty()) {
        spelledMethod = spelled;
        methodName = spelledMethod.c_str();
      }
    }
    WmiObject inSignature;
    hr = wmi.GetMethod(classObject, methodName, inSignature);
    if (FAILED(hr)) return ReportFailure(layout, L"ERROR: Failed to get method. Error code = 0x%x\r\n", hr);
    if (debug) PrintInfo(layout, L"INFO: Get method [%ls] end.\r\n", methodName);
    // A method without input parameters has no signature to spawn from.
    if (inSignature) {
      if (debug) PrintInfo(layout, L"INFO: Spawn Instance start.\r\n");
      hr = wmi.SpawnInstance(inSignature, inParameters);
      if (FAILED(hr)) return ReportFailure(layout, L"ERROR: Failed to Spawn Instance. Error code = 0x%x\r\n", hr);
      if (debug) PrintInfo(layout, L"INFO: Spawn Instance end.\r\n");
    }
  }

  Variant path;
  const wchar_t* objectPath = className;
  if (object == nullptr) {
    if (debug) PrintInfo(layout, L"INFO: Class path=%ls\r\n", objectPath);
  } else {
    if (debug) PrintInfo(layout, L"INFO: Get __PATH start.\r\n");
    hr = wmi.Get(*object, L"__PATH", path, nullptr);
    if (FAILED(hr)) return ReportFailure(layout, L"ERROR: Failed to get __PATH. Error code = 0x%x\r\n", hr);
    objectPath = path.type() == VT_BSTR && path.get().bstrVal ? path.get().bstrVal : L"";
    if (debug) {
      PrintInfo(layout, L"INFO: Get __PATH end.\r\n");
      PrintInfo(layout, L"INFO: __PATH=%ls\r\n", objectPath);
    }
  }
  if (debug) PrintInfo(layout, L"INFO: Put arguments [%ls] start.\r\n", settings.argArguments.c_str());

  if (settings.params) {
    // Every value is checked before the first is Put: a method run with
    // part of what was asked is not what was asked.
    std::vector<TypedValue> named;
    if (ConvertNamedValues(wmi, layout, services, *settings.params, inParameters, methodName, named) != 0) return 1;
    if (layout.OutputLost(true)) return 1;
    if (PutNamedValues(wmi, settings, layout, inParameters, named) != 0) return 1;
  } else if (settings.textValuesGiven) {
    std::vector<TypedValue> typed;
    if (!inParameters && !settings.textValues.empty()) {
      PrintError(layout, L"ERROR: Method %ls has no input parameters.\r\n", methodName);
      return 1;
    }
    if (ConvertTextValues(wmi, layout, settings.textValues, inParameters, methodName, typed) != 0) return 1;
    if (layout.OutputLost(true)) return 1;
    if (PutMethodValues(wmi, settings, layout, inParameters, typed) != 0) return 1;
  } else {
    const std::vector<std::wstring> values = SplitAtCommas(settings.argArguments);
    if (!inParameters && !values.empty()) {
      PrintError(layout, L"ERROR: Method %ls has no input parameters.\r\n", methodName);
      return 1;
    }
    // Every value is converted before the first is Put, as named ones are.
    std::vector<TypedValue> typed;
    if (ConvertPositionalValues(wmi, layout, values, inParameters, methodName, typed) != 0) return 1;
    // No change to WMI that nobody would see.
    if (layout.OutputLost(true)) return 1;
    if (PutMethodValues(wmi, settings, layout, inParameters, typed) != 0) return 1;
  }
  if (debug) PrintInfo(layout, L"INFO: Put arguments [%ls] end.\r\n", settings.argArguments.c_str());
  if (settings.whatIf) return PreviewCall(wmi, layout, inParameters, methodName, objectPath);
  if (debug) PrintInfo(layout, L"INFO: Execute method [%ls] start.\r\n", methodName);

  WmiObject outParameters;
  // Shown as typed, as wmic shows it.
  const Layout::Change change{Operation::CALL, className, settings.argMethodName.c_str(), object};
  if (!layout.Changing(wmi, change)) return 0;
  if (layout.OutputLost(true)) return 1;
  hr = wmi.ExecMethod(services, objectPath, methodName, inParameters, outParameters);
  if (FAILED(hr)) return ReportFailure(layout, L"ERROR: Failed to execute method. Error code = 0x%x\r\n", hr);
  if (debug) PrintInfo(layout, L"INFO: Execute method [%ls] end.\r\n", methodName);
  Bstr outText;
  if (outParameters && layout.ShowsObjectText()) {
    hr = wmi.GetObjectText(outParameters, kObjectTextFlags, outText);
    if (FAILED(hr)) return ReportFailure(layout, L"ERROR: Failed to get object text. Error code = 0x%x\r\n", hr);
  }
  layout.Changed(wmi, change, outText.get());

  if (!outParameters) {
    layout.NoOutputParameters();
  } else if (PrintObjectProperties(wmi, settings, layout, outParameters) != 0) {
    return 1;
  }
  PrintLine(layout, L"CALL Success.\r\n");
  return 0;
}

}  // namespace

int RefuseStaticMethodOfQuery(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const WmiServices& services) {
  WmiObject classObject;
  const HRESULT hr = wmi.GetClass(services, settings.argClassName.c_str(), classObject);
  if (FAILED(hr)) return ReportFailure(layout, L"ERROR: Failed to get object. Error code = 0x%x\r\n", hr);
  if (!MethodHas(wmi, classObject, settings.argMethodName, L"static")) return 0;
  // The class as WMI spells it: the query itself is lower-cased.
  Variant spelled;
  const wchar_t* className = settings.argClassName.c_str();
  if (SUCCEEDED(wmi.Get(classObject, L"__CLASS", spelled, nullptr)) && spelled.type() == VT_BSTR &&
      spelled.get().bstrVal != nullptr) {
    className = spelled.get().bstrVal;
  }
  PrintError(layout, L"ERROR: %ls is a static method of %ls: call it with /class:%ls.\r\n",
             settings.argMethodName.c_str(), className, className);
  return 1;
}

int CallMethodOnObject(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const WmiServices& services,
                       const WmiObject& object) {
  return CallMethod(wmi, settings, layout, services, &object);
}

int CallMethodOnClass(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const WmiServices& services) {
  return CallMethod(wmi, settings, layout, services, nullptr);
}
