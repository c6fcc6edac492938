// SET: changes one property of a result object and writes the object back.
#include <string>
#include <vector>

#include "base/run_settings.h"
#include "operations/declared_schema.h"
#include "operations/typed_values.h"
#include "operations/wmi_arguments.h"
#include "operations/wmi_query.h"
#include "render/layout.h"
#include "render/value_text.h"

namespace {

// Writes back once, after the value or values are shown.
int WriteBack(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const WmiServices& services,
              const WmiObject& object) {
  if (settings.debugDisplay) PrintInfo(layout, L"INFO: Put instance, start\r\n");
  // No change to WMI that nobody would see.
  if (layout.OutputLost(true)) return 1;
  const HRESULT hr = wmi.PutInstance(services, object, kPutInstanceFlags);
  if (FAILED(hr)) return ReportFailure(layout, L"ERROR: Failed to PutInstance. Error code = 0x%x\r\n", hr);
  if (settings.debugDisplay) PrintInfo(layout, L"INFO: Put instance, end\r\n");
  PrintLine(layout, L"SET Success.\r\n");
  return 0;
}

// The properties among `shown` that the object's class does not declare
// writable, which Windows refuses to write. A WMI whose class keeps no CIMTYPE
// qualifier keeps none at all (Wine's), and then nothing is claimed; nor when
// the class cannot be read, since a preview never fails for its note.
std::vector<std::wstring> ReadOnlyAmong(WmiAccess& wmi, const WmiServices& services, const WmiObject& object,
                                        const std::vector<Layout::ShownValue>& shown) {
  std::vector<std::wstring> readOnly;
  Variant className;
  if (FAILED(wmi.Get(object, L"__CLASS", className, nullptr)) || className.type() != VT_BSTR ||
      className.get().bstrVal == nullptr) {
    return readOnly;
  }
  WmiObject classObject;
  if (FAILED(wmi.GetClass(services, className.get().bstrVal, classObject))) return readOnly;
  for (const Layout::ShownValue& value : shown) {
    if (CimTypeQualifier(wmi, classObject, value.name).empty()) continue;
    if (!PropertyHas(wmi, classObject, value.name, L"write")) readOnly.emplace_back(value.name);
  }
  return readOnly;
}

// Shows what was Put and writes the object back, or with /whatif shows it
// as what would be written, and where.
int ShowAndWriteBack(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const WmiServices& services,
                     const WmiObject& object, const std::vector<Layout::ShownValue>& shown) {
  if (!settings.whatIf) {
    // Showing never decides the write.
    const ValueStatus status = layout.NewValues(wmi, shown);
    if (status.Failed()) ReportFailure(layout, status.message, status.hr);
    return WriteBack(wmi, settings, layout, services, object);
  }
  Variant path;
  const HRESULT hr = wmi.Get(object, L"__PATH", path, nullptr);
  if (FAILED(hr)) return ReportFailure(layout, L"ERROR: Failed to get __PATH. Error code = 0x%x\r\n", hr);
  const wchar_t* objectPath = path.type() == VT_BSTR && path.get().bstrVal ? path.get().bstrVal : L"";
  const ValueStatus status =
      layout.WhatIf(wmi, {L"SET", nullptr, objectPath, shown, ReadOnlyAmong(wmi, services, object, shown)});
  if (status.Failed()) return ReportFailure(layout, status.message, status.hr);
  return 0;
}

// The properties /params: names, all Put in the order given and written back
// in one PutInstance. Every value is checked before the first is Put.
int SetNamedProperties(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const WmiServices& services,
                       const WmiObject& object) {
  if (settings.debugDisplay) PrintInfo(layout, L"INFO: Start SET method.\r\n");
  std::vector<TypedValue> named;
  if (ConvertNamedValues(wmi, layout, services, *settings.params, object, nullptr, named) != 0) return 1;
  if (layout.OutputLost(true)) return 1;
  if (PutNamedValues(wmi, settings, layout, object, named) != 0) return 1;

  // What WMI made of each value; a failed read shows as !!CIM_EMPTY!!, and
  // showing never decides the write.
  std::vector<Variant> reread(named.size());
  std::vector<CIMTYPE> types(named.size(), CIM_EMPTY);
  std::vector<Layout::ShownValue> shown;
  for (size_t i = 0; i < named.size(); ++i) {
    wmi.Get(object, named[i].name.c_str(), reread[i], &types[i]);
    shown.push_back({named[i].name.c_str(), &reread[i].get(), types[i]});
  }
  return ShowAndWriteBack(wmi, settings, layout, services, object, shown);
}

// Values typed as text, each converted by its property's CIM type, all Put
// and then written back with one PutInstance that only updates.
int SetTextProperties(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const WmiServices& services,
                      const WmiObject& object) {
  std::vector<TypedValue> typed;
  if (ConvertTextValues(wmi, layout, settings.textValues, object, nullptr, typed) != 0) return 1;
  if (layout.OutputLost(true)) return 1;
  for (const TypedValue& value : typed) {
    HRESULT hr = PutTypedValue(wmi, object, value);
    // Wine's result objects take strings only; WMI converts a string itself.
    if (FAILED(hr) && value.value.type() != VT_BSTR) {
      const Variant text = Variant::FromString(value.json.c_str());
      hr = wmi.Put(object, value.name.c_str(), text.get());
    }
    if (FAILED(hr)) {
      PrintError(layout, L"ERROR: Failed to put value as [%ls]. Error code = 0x%x\r\n", value.name.c_str(),
                 static_cast<unsigned>(hr));
      return 1;
    }
  }
  const Layout::Change change{Operation::SET, settings.argClassName.c_str(), nullptr, &object};
  if (!layout.Changing(wmi, change)) return 0;
  if (layout.OutputLost(true)) return 1;
  const HRESULT hr = wmi.PutInstance(services, object, kUpdateOnlyFlags);
  if (FAILED(hr)) return ReportFailure(layout, L"ERROR: Failed to put instance. Error code = 0x%x\r\n", hr);
  layout.Changed(wmi, change, nullptr);
  return 0;
}

}  // namespace

int SetPropertyOnObject(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const WmiServices& services,
                        const WmiObject& object) {
  if (settings.textValuesGiven) return SetTextProperties(wmi, settings, layout, services, object);
  if (settings.params) return SetNamedProperties(wmi, settings, layout, services, object);
  const bool debug = settings.debugDisplay != 0;
  const wchar_t* key = settings.argKey.c_str();

  if (debug) {
    PrintInfo(layout, L"INFO: Start SET method.\r\n");
    PrintInfo(layout, L"INFO: Get original value, start\r\n");
  }
  Variant value;
  CIMTYPE cimType = 0;
  HRESULT hr = wmi.Get(object, key, value, &cimType);
  if (FAILED(hr)) {
    PrintError(layout, L"ERROR: Failed to get original value of [%ls]. Error code = 0x%x\r\n", key, static_cast<unsigned>(hr));
    return 1;
  }
  std::wstring valueText;
  if (debug) {
    // Showing a value never decides a SET: a value that cannot be shown is
    // reported, and the write goes on.
    hr = FormatPropertyText(wmi, settings, value.get(), valueText, cimType);
    if (FAILED(hr)) {
      ReportFailure(layout, kArrayReadFailed, hr);
    } else {
      PrintInfo(layout, L"%ls=%ls, vt=%d, ct=%d\r\n", key, valueText.c_str(), static_cast<int>(value.type()),
                static_cast<int>(cimType));
    }
    PrintInfo(layout, L"INFO: Get original value, end\r\n");
    PrintInfo(layout, L"INFO: Set new value, start\r\n");
  }

  TypedValue number;
  if (ConvertPropertyNumber(layout, key, cimType, settings.argArguments, number) != 0) return 1;
  // No change to WMI that nobody would see.
  if (layout.OutputLost(true)) return 1;
  hr = number.value.type() != VT_EMPTY ? PutTypedValue(wmi, object, number) : E_FAIL;
  // Wine's result objects take strings only; WMI converts a string itself.
  if (FAILED(hr)) {
    value = Variant::FromString(settings.argArguments.c_str());
    hr = wmi.Put(object, key, value.get());
  }
  if (FAILED(hr)) {
    PrintError(layout, L"ERROR: Failed to put value as [%ls]. Error code = 0x%x\r\n", key, static_cast<unsigned>(hr));
    return 1;
  }
  if (debug) PrintInfo(layout, L"INFO: Set new value, end\r\n");

  // The re-read shows what WMI made of the string. Neither a failed read (its
  // empty value shows as !!CIM_EMPTY!!) nor a value that cannot be shown
  // stops the write.
  value = Variant();
  wmi.Get(object, key, value, &cimType);
  return ShowAndWriteBack(wmi, settings, layout, services, object, {{key, &value.get(), cimType}});
}
