// The layouts for people and for the scripts written before JSON: list (one
// name=value line per property, arrays optionally as a hex matrix) and CSV (a
// header once, then one line per object; fields are neither quoted nor
// escaped).
#include <string>
#include <utility>

#include "base/output.h"
#include "base/run_settings.h"
#include "render/class_schema.h"
#include "render/layout.h"
#include "render/value_text.h"
#include "wmi/wmi_access.h"

namespace {

class TextLayout : public Layout {
 public:
  // With `nodeLines`, a line that shows no machine of its own, such as SET's
  // new value, follows a "Node=NAME" line.
  TextLayout(const RunSettings& settings, OutputSink& sink, std::wstring node, bool nodeLines)
      : settings_(settings), sink_(sink), node_(std::move(node)), nodeLines_(nodeLines) {}

  void Line(std::wstring_view text) override { sink_.Write(text); }
  void Error(std::wstring_view text) override { sink_.Write(text); }
  void Info(std::wstring_view text) override { sink_.Write(text); }
  void NoOutputParameters() override { NodeLine(); }
  bool OutputLost(bool flush) override { return flush ? !sink_.Flush() : sink_.Failed(); }

  // One "name=value" line each; arrays in braces.
  ValueStatus NewValues(WmiAccess& wmi, const std::vector<ShownValue>& values) override {
    NodeLine();
    for (const ShownValue& shown : values) {
      valueText_.clear();
      const HRESULT hr = FormatPropertyText(wmi, settings_, *shown.value, valueText_, shown.cimType);
      if (FAILED(hr)) return {hr, kArrayReadFailed};
      Print(sink_, L"%ls=%ls\r\n", shown.name, valueText_.c_str());
    }
    return {};
  }

  // The lines the change would have printed, then what it would do.
  ValueStatus WhatIf(WmiAccess& wmi, const Preview& preview) override {
    const ValueStatus status = NewValues(wmi, preview.values);
    if (status.Failed()) return status;
    if (preview.method != nullptr) {
      Print(sink_, L"WHATIF: %ls would run %ls on %ls\r\n", preview.operation, preview.method, preview.path);
    } else {
      const std::wstring note = ReadOnlyNote(preview);
      if (note.empty()) {
        Print(sink_, L"WHATIF: %ls would write %ls\r\n", preview.operation, preview.path);
      } else {
        Print(sink_, L"WHATIF: %ls would write %ls (%ls)\r\n", preview.operation, preview.path, note.c_str());
      }
    }
    return {};
  }

  // CSV never gets here (/describe refuses it); it would get the list text.
  void Schema(const ClassSchema& schema) override {
    NodeLine();
    Print(sink_, L"Class=%ls\r\n", schema.className.c_str());
    for (const SchemaProperty& property : schema.properties) {
      Print(sink_, L"Property=%ls %ls%ls%ls%ls\r\n", property.name.c_str(), property.type.c_str(),
            property.key ? L" key" : L"", property.read ? L" read" : L"", property.write ? L" write" : L"");
    }
    for (const SchemaMethod& method : schema.methods) {
      std::wstring line = L"Method=" + method.name + L'(';
      for (size_t i = 0; i < method.in.size(); ++i) {
        if (i > 0) line += L", ";
        line += std::to_wstring(i + 1) + L' ' + method.in[i].name + L' ' + method.in[i].type;
      }
      line += L") -> (";
      for (size_t i = 0; i < method.out.size(); ++i) {
        if (i > 0) line += L", ";
        line += method.out[i].name + L' ' + method.out[i].type;
      }
      line += method.isStatic ? L") static\r\n" : L")\r\n";
      sink_.Write(line);
    }
  }

 protected:
  void NodeLine() {
    if (nodeLines_) Print(sink_, L"Node=%ls\r\n", node_.c_str());
  }

  // The text of one property value, arrays without their braces.
  ValueStatus FormatValue(WmiAccess& wmi, const VARIANT& value, CIMTYPE cimType) {
    valueText_.clear();
    if (value.vt >= kArrayTypeFlag) {
      const HRESULT hr = FormatArrayText(wmi, settings_, value, valueText_, cimType);
      if (FAILED(hr)) return {hr, kArrayReadFailed};
    } else {
      FormatValueText(value, valueText_, cimType);
    }
    return {};
  }

  // Under /watch, an embedded object of an event (TargetInstance,
  // PreviousInstance) is shown one level deep, each of its properties named
  // "Outer.Name"; everywhere else it keeps its placeholder.
  bool ShowsInside(const VARIANT& value) const {
    return settings_.watch != 0 && !inside_ && value.vt == VT_UNKNOWN && value.punkVal != nullptr;
  }

  ValueStatus Inside(WmiAccess& wmi, const wchar_t* outer, const VARIANT& value) {
    WmiObject object;
    HRESULT hr = wmi.EmbeddedObject(value, object);
    if (FAILED(hr)) return {hr, L"ERROR: Failed to read embedded object. Error code = 0x%x\r\n"};
    SafeArray names;
    hr = wmi.GetNames(object, settings_.showAllProperties ? 0 : WBEM_FLAG_NONSYSTEM_ONLY, names);
    if (FAILED(hr)) return {hr, L"ERROR: Failed to get names. Error code = 0x%x\r\n"};
    LONG lower = 0;
    LONG upper = -1;
    hr = wmi.ArrayLowerBound(names.get(), lower);
    if (SUCCEEDED(hr)) hr = wmi.ArrayUpperBound(names.get(), upper);
    if (FAILED(hr)) return {hr, kArrayReadFailed};
    inside_ = true;
    ValueStatus status;
    for (long long i = lower; i <= upper && !status.Failed(); ++i) {
      Bstr name;
      hr = wmi.ArrayElement(names.get(), static_cast<LONG>(i), name.put(), sizeof(BSTR));
      if (FAILED(hr)) {
        status = {hr, kArrayReadFailed};
        break;
      }
      Variant inner;
      CIMTYPE cimType = 0;
      hr = wmi.Get(object, name.c_str(), inner, &cimType);
      if (FAILED(hr)) {
        status = {hr, L"ERROR: Failed to get. Error code = 0x%x\r\n"};
        break;
      }
      status = Property(wmi, (std::wstring(outer) + L'.' + name.c_str()).c_str(), inner.get(), cimType);
    }
    inside_ = false;
    return status;
  }

  const RunSettings& settings_;
  OutputSink& sink_;
  const std::wstring node_;
  const bool nodeLines_;
  std::wstring valueText_;
  bool inside_ = false;
};

class ListLayout final : public TextLayout {
 public:
  // The node, when given, opens every object: "Node=NAME".
  ListLayout(const RunSettings& settings, OutputSink& sink, std::wstring node)
      : TextLayout(settings, sink, node, !node.empty()) {}

  void BeginObject() override { NodeLine(); }
  void EndObject() override {}

  // Each property is printed as soon as it is read, so what was printed
  // stays printed when a later property fails.
  ValueStatus Property(WmiAccess& wmi, const wchar_t* name, const VARIANT& value, CIMTYPE cimType) override {
    if (ShowsInside(value)) return Inside(wmi, name, value);
    const ValueStatus status = FormatValue(wmi, value, cimType);
    if (status.Failed()) return status;
    if (value.vt >= kArrayTypeFlag) {
      Print(sink_, L"%ls={%ls}\r\n", name, valueText_.c_str());
    } else {
      Print(sink_, L"%ls=%ls\r\n", name, valueText_.c_str());
    }
    return {};
  }
};

// The node names the machine in the first column of each data line.
class CsvLayout final : public TextLayout {
 public:
  using TextLayout::TextLayout;

  void BeginObject() override {
    headerLine_.clear();
    dataLine_.clear();
    firstProperty_ = true;
  }

  ValueStatus Property(WmiAccess& wmi, const wchar_t* name, const VARIANT& value, CIMTYPE cimType) override {
    if (ShowsInside(value)) return Inside(wmi, name, value);
    if (!firstProperty_) {
      headerLine_ += L',';
      dataLine_ += L',';
    }
    firstProperty_ = false;
    headerLine_ += name;
    const ValueStatus status = FormatValue(wmi, value, cimType);
    if (status.Failed()) return status;
    if (value.vt >= kArrayTypeFlag) {
      dataLine_ += L'{';
      dataLine_ += valueText_;
      dataLine_ += L'}';
    } else {
      dataLine_ += valueText_;
    }
    return {};
  }

  // One data line an object: what would be done, where, and with which
  // values, behind a header of its own.
  ValueStatus WhatIf(WmiAccess& wmi, const Preview& preview) override {
    BeginObject();
    headerLine_ = preview.method != nullptr ? L"WhatIf,Method,Path" : L"WhatIf,Path";
    dataLine_ = preview.operation;
    // In the field that says what would be done, so that the columns stay
    // those of the header.
    const std::wstring note = ReadOnlyNote(preview);
    if (!note.empty()) dataLine_ += L" (" + note + L")";
    if (preview.method != nullptr) {
      dataLine_ += L',';
      dataLine_ += preview.method;
    }
    dataLine_ += L',';
    dataLine_ += preview.path;
    firstProperty_ = false;
    for (const ShownValue& shown : preview.values) {
      const ValueStatus status = Property(wmi, shown.name, *shown.value, shown.cimType);
      if (status.Failed()) return status;
    }
    EndObject();
    return {};
  }

  // The header comes from the first object printed in the run; later objects
  // print only their data lines, even if their properties differ.
  void EndObject() override {
    if (!headerShown_) {
      sink_.WriteHeader(L"Node," + headerLine_ + L"\r\n");
      headerShown_ = true;
    }
    Print(sink_, L"%ls,%ls\r\n", node_.c_str(), dataLine_.c_str());
  }

 private:
  std::wstring headerLine_;
  std::wstring dataLine_;
  bool firstProperty_ = true;
  bool headerShown_ = false;
};

}  // namespace

std::unique_ptr<Layout> MakeListLayout(const RunSettings& settings, OutputSink& sink, std::wstring node) {
  return std::make_unique<ListLayout>(settings, sink, std::move(node));
}

std::unique_ptr<Layout> MakeCsvLayout(const RunSettings& settings, OutputSink& sink, std::wstring node,
                                      bool nodeLines) {
  return std::make_unique<CsvLayout>(settings, sink, std::move(node), nodeLines);
}
