// JSON Lines: every line one complete JSON object ending in CR LF. Results
// are {"Node":..., then each property}; errors and trace lines become
// {"error":...} and {"info":...}; the lines meant for people are left out.
#include <string>
#include <utility>
#include <vector>

#include "base/output.h"
#include "base/run_settings.h"
#include "render/class_schema.h"
#include "render/json_text.h"
#include "render/layout.h"

namespace {

std::wstring_view WithoutPrefix(std::wstring_view text, std::wstring_view prefix) {
  if (text.substr(0, prefix.size()) == prefix) text.remove_prefix(prefix.size());
  return text;
}

std::wstring_view WithoutLineEnds(std::wstring_view text) {
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n')) text.remove_suffix(1);
  return text;
}

class JsonLayout final : public Layout {
 public:
  JsonLayout(const RunSettings& settings, OutputSink& sink, std::wstring node, bool nodeInMessages)
      : settings_(settings), sink_(sink), node_(std::move(node)), nodeInMessages_(nodeInMessages) {}

  void Line(std::wstring_view) override {}
  void Error(std::wstring_view text) override { Message(L"error", WithoutPrefix(text, L"ERROR: ")); }
  void Info(std::wstring_view text) override { Message(L"info", WithoutPrefix(text, L"INFO: ")); }

  void BeginObject() override {
    line_.assign(L"{\"Node\":");
    AppendJsonString(node_, line_);
  }

  ValueStatus Property(WmiAccess& wmi, const wchar_t* name, const VARIANT& value, CIMTYPE cimType) override {
    line_ += L',';
    AppendJsonString(name, line_);
    line_ += L':';
    return AppendJsonValue(wmi, value, cimType, settings_.showAllProperties ? 0 : WBEM_FLAG_NONSYSTEM_ONLY, line_);
  }

  void EndObject() override {
    line_ += L"}\r\n";
    sink_.Write(line_);
  }

  bool OutputLost(bool flush) override { return flush ? !sink_.Flush() : sink_.Failed(); }

  // Still one line per result, so a script can count the calls.
  void NoOutputParameters() override {
    BeginObject();
    EndObject();
  }

  // One line holding all of them.
  ValueStatus NewValues(WmiAccess& wmi, const std::vector<ShownValue>& values) override {
    BeginObject();
    for (const ShownValue& shown : values) {
      const ValueStatus status = Property(wmi, shown.name, *shown.value, shown.cimType);
      if (status.Failed()) return status;
    }
    EndObject();
    return {};
  }

  // {"Node":...,"WhatIf":"CALL","Method":...,"Path":...,"In":{...}}, or
  // "WhatIf":"SET" with "Set":{...}.
  ValueStatus WhatIf(WmiAccess& wmi, const Preview& preview) override {
    BeginObject();
    line_ += L",\"WhatIf\":";
    AppendJsonString(preview.operation, line_);
    if (preview.method != nullptr) {
      line_ += L",\"Method\":";
      AppendJsonString(preview.method, line_);
    }
    line_ += L",\"Path\":";
    AppendJsonString(preview.path, line_);
    const std::wstring note = ReadOnlyNote(preview);
    if (!note.empty()) {
      line_ += L",\"Note\":";
      AppendJsonString(note, line_);
    }
    line_ += preview.method != nullptr ? L",\"In\":{" : L",\"Set\":{";
    bool first = true;
    for (const ShownValue& shown : preview.values) {
      if (!first) line_ += L',';
      first = false;
      AppendJsonString(shown.name, line_);
      line_ += L':';
      const ValueStatus status = AppendJsonValue(wmi, *shown.value, shown.cimType,
                                                 settings_.showAllProperties ? 0 : WBEM_FLAG_NONSYSTEM_ONLY, line_);
      if (status.Failed()) return status;
    }
    line_ += L'}';
    EndObject();
    return {};
  }

  void Schema(const ClassSchema& schema) override {
    BeginObject();
    line_ += L",\"Class\":";
    AppendJsonString(schema.className, line_);
    line_ += L",\"Properties\":[";
    for (size_t i = 0; i < schema.properties.size(); ++i) {
      const SchemaProperty& property = schema.properties[i];
      if (i > 0) line_ += L',';
      AppendNameAndType(property.name, property.type);
      line_ += property.key ? L",\"Key\":true" : L",\"Key\":false";
      line_ += property.read ? L",\"Read\":true" : L",\"Read\":false";
      line_ += property.write ? L",\"Write\":true}" : L",\"Write\":false}";
    }
    line_ += L"],\"Methods\":[";
    for (size_t i = 0; i < schema.methods.size(); ++i) {
      const SchemaMethod& method = schema.methods[i];
      if (i > 0) line_ += L',';
      line_ += L"{\"Name\":";
      AppendJsonString(method.name, line_);
      line_ += method.isStatic ? L",\"Static\":true" : L",\"Static\":false";
      line_ += L",\"In\":";
      AppendParameters(method.in);
      line_ += L",\"Out\":";
      AppendParameters(method.out);
      line_ += L'}';
    }
    line_ += L']';
    EndObject();
  }

 private:
  // Opens an object with its "Name" and "Type" members, left open for more.
  void AppendNameAndType(const std::wstring& name, const std::wstring& type) {
    line_ += L"{\"Name\":";
    AppendJsonString(name, line_);
    line_ += L",\"Type\":";
    AppendJsonString(type, line_);
  }

  void AppendParameters(const std::vector<SchemaParameter>& parameters) {
    line_ += L'[';
    for (size_t i = 0; i < parameters.size(); ++i) {
      if (i > 0) line_ += L',';
      AppendNameAndType(parameters[i].name, parameters[i].type);
      line_ += L'}';
    }
    line_ += L']';
  }

  // Among the lines of many machines, each message says whose it is.
  void Message(const wchar_t* key, std::wstring_view text) {
    std::wstring line = L"{";
    if (nodeInMessages_) {
      line += L"\"Node\":";
      AppendJsonString(node_, line);
      line += L',';
    }
    line += L'"';
    line += key;
    line += L"\":";
    AppendJsonString(WithoutLineEnds(text), line);
    line += L"}\r\n";
    sink_.Write(line);
  }

  const RunSettings& settings_;
  OutputSink& sink_;
  std::wstring node_;
  bool nodeInMessages_;
  std::wstring line_;
};

}  // namespace

std::unique_ptr<Layout> MakeJsonLayout(const RunSettings& settings, OutputSink& sink, std::wstring node,
                                       bool nodeInMessages) {
  return std::make_unique<JsonLayout>(settings, sink, std::move(node), nodeInMessages);
}
