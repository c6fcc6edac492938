#include "render/wmic_layouts.h"

#include <algorithm>
#include <cwchar>
#include <map>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/output.h"
#include "render/class_schema.h"
#include "render/value_text.h"
#include "render/wmic_errors.h"
#include "render/wmic_method_list.h"
#include "render/wmic_value_text.h"
#include "render/wmic_xml_text.h"

namespace {

// Spaces after the longest text of a table column, the header included.
constexpr size_t kColumnGap = 2;

// Blank lines of the value layout: before each object, and after the last.
constexpr wchar_t kValueObjectOpening[] = L"\r\n\r\n";
constexpr wchar_t kValueListClosing[] = L"\r\n\r\n\r\n";

// What CSV prints when a failure left it without a single object. A capture
// comment shows an empty line and "Node," after the node block; without
// properties there is nothing more to name.
constexpr wchar_t kCsvHeaderWithoutObjects[] = L"\r\nNode,\r\n";

constexpr wchar_t kServerProperty[] = L"__SERVER";
// The XML layout takes each object's class as a cell of this name.
constexpr wchar_t kClassProperty[] = L"__CLASS";
constexpr wchar_t kPathProperty[] = L"__PATH";

WmicLayoutOptions WithSystemProperties(WmicLayoutOptions options) {
  options.systemProperties = true;
  return options;
}

bool SameName(const wchar_t* left, const wchar_t* right) {
  return CompareStringOrdinal(left, -1, right, -1, TRUE) == CSTR_EQUAL;
}

struct NameOrder {
  bool operator()(const std::wstring& left, const std::wstring& right) const { return WmicNameLess(left, right); }
};

// The HRESULT in one of the loop's failure lines, which all end
// "Error code = 0x%x".
bool FailureCode(std::wstring_view text, HRESULT& hr) {
  static constexpr std::wstring_view kCode = L"Error code = 0x";
  const size_t at = text.rfind(kCode);
  if (at == std::wstring_view::npos) return false;
  const std::wstring digits(text.substr(at + kCode.size()));
  wchar_t* end = nullptr;
  const unsigned long code = wcstoul(digits.c_str(), &end, 16);
  if (end == digits.c_str()) return false;
  hr = static_cast<HRESULT>(code);
  return true;
}

class WmicLayoutBase : public WmicLayout {
 public:
  WmicLayoutBase(OutputSink& out, OutputSink& errors, WmicLayoutOptions options, WmicValueStyle style)
      : out_(out), errors_(errors), options_(std::move(options)), style_(style) {}

  // Empty lines are the loop's separators between objects, which each
  // layout makes in its own way.
  void Line(std::wstring_view text) override {
    if (text != L"\r\n") out_.Write(text);
  }

  void Error(std::wstring_view text) override {
    HRESULT hr = S_OK;
    if (FailureCode(text, hr)) {
      Failure(hr);
      return;
    }
    // A failure without a code, such as a timeout: its own words.
    std::wstring description(text);
    if (description.rfind(L"ERROR: ", 0) == 0) description.erase(0, 7);
    while (!description.empty() && (description.back() == L'\n' || description.back() == L'\r')) {
      description.pop_back();
    }
    MarkFailed(S_OK);
    WriteWmicErrorBlock(errors_, options_.node, description);
  }

  void Failure(HRESULT hr) override {
    MarkFailed(hr);
    WriteWmicErrorBlock(errors_, options_.node, WmicErrorDescription(hr));
  }

  void Replay(const WmicMachineRecord& record) override {
    errors_.Write(record.messages);
    if (record.failed) MarkFailed(record.failure);
    for (const WmicObjectText& object : record.objects) {
      StartObject();
      server_ = object.server;
      for (const auto& cell : object.cells) Cell(cell.first.c_str(), cell.second);
      EndObject();
    }
  }

  // wmic's /trace went to standard error.
  void Info(std::wstring_view text) override { errors_.Write(text); }

  ValueStatus Property(WmiAccess& wmi, const wchar_t* name, const VARIANT& value, CIMTYPE cimType) override {
    return Shown(wmi, nullptr, name, value, cimType);
  }

  ValueStatus PropertyOf(WmiAccess& wmi, const WmiObject& object, const wchar_t* name, const VARIANT& value,
                         CIMTYPE cimType) override {
    return Shown(wmi, &object, name, value, cimType);
  }

  void BeginObject() override {
    server_.clear();
    class_.clear();
    StartObject();
  }

  // What a change read back: one "Name=value" line each.
  ValueStatus NewValues(WmiAccess& wmi, const std::vector<ShownValue>& values) override {
    for (const ShownValue& shown : values) {
      text_.clear();
      const HRESULT hr = AppendWmicValueText(wmi, *shown.value, shown.cimType, WmicValueStyle::kText, text_);
      if (FAILED(hr)) return {hr, kArrayReadFailed};
      out_.Write(std::wstring(shown.name) + L'=' + text_ + L"\r\n");
    }
    return {};
  }

  ValueStatus WhatIf(WmiAccess& wmi, const Preview& preview) override {
    const ValueStatus status = NewValues(wmi, preview.values);
    if (status.Failed()) return status;
    out_.Write(std::wstring(L"WHATIF: ") + preview.operation + L' ' + preview.path + L"\r\n");
    return {};
  }

  void Schema(const ClassSchema& schema) override {
    out_.Write(L"Class=" + schema.className + L"\r\n");
    for (const SchemaProperty& property : schema.properties) {
      out_.Write(L"Property=" + property.name + L' ' + property.type + L"\r\n");
    }
  }

  void NoOutputParameters() override {}
  bool OutputLost(bool flush) override { return flush ? !out_.Flush() : out_.Failed(); }

  void MachineServer(std::wstring_view server) override { machineServer_.assign(server); }

 protected:
  virtual void StartObject() = 0;
  virtual void Cell(const wchar_t* name, const std::wstring& text) = 0;

  HRESULT FirstFailure() const override { return firstFailure_; }

  // Only the first failure with an HRESULT names the run's exit code.
  virtual void MarkFailed(HRESULT hr) {
    failed_ = true;
    if (!FAILED(hr) || FAILED(firstFailure_)) return;
    firstFailure_ = hr;
    if (options_.firstFailure != nullptr) *options_.firstFailure = hr;
  }

  // Nothing came, and nothing failed.
  void NoInstances() {
    if (!failed_) WriteWmicNoInstances(errors_);
  }

  bool Asked(const wchar_t* name) const {
    for (const std::wstring& asked : options_.systemNames) {
      if (SameName(asked.c_str(), name)) return true;
    }
    return false;
  }

  // The object's machine: its own __SERVER, else the machine's as the class
  // gave it, else the name as given.
  const std::wstring& ObjectServer() const {
    if (!server_.empty()) return server_;
    return machineServer_.empty() ? options_.node : machineServer_;
  }

  // `object`, when known, says where each property comes from in XML.
  ValueStatus Shown(WmiAccess& wmi, const WmiObject* object, const wchar_t* name, const VARIANT& value,
                    CIMTYPE cimType) {
    const bool system = name[0] == L'_' && name[1] == L'_';
    const bool text = value.vt == VT_BSTR && value.bstrVal != nullptr;
    if (system && SameName(name, kServerProperty) && text) server_ = value.bstrVal;
    if (system && style_ == WmicValueStyle::kXml && SameName(name, kClassProperty) && text) {
      class_ = value.bstrVal;
      Cell(kClassProperty, class_);
    }
    if (system && !options_.systemProperties && !Asked(name)) return {};
    text_.clear();
    HRESULT hr = S_OK;
    if (style_ == WmicValueStyle::kXml) {
      const std::wstring* origin = object != nullptr ? OriginOf(wmi, *object, name) : nullptr;
      hr = AppendWmicXmlProperty(wmi, name, origin != nullptr ? origin->c_str() : nullptr, value, cimType, text_);
    } else {
      hr = AppendWmicValueText(wmi, value, cimType, style_, text_);
    }
    if (FAILED(hr)) return {hr, kArrayReadFailed};
    Cell(name, text_);
    return {};
  }

  // The class that declares a property of an object of class_, asked of
  // WMI once for each class and name. Where a property comes from is no
  // part of its value: a WMI that cannot say (Wine's has no
  // GetPropertyOrigin) leaves it out, and the value is still shown.
  const std::wstring* OriginOf(WmiAccess& wmi, const WmiObject& object, const wchar_t* name) {
    // Before its class is known, an object's answer is its own.
    key_.assign(class_).append(1, L'.').append(name);
    auto found = class_.empty() ? origins_.end() : origins_.find(key_);
    if (found == origins_.end()) {
      Bstr origin;
      const bool known = SUCCEEDED(wmi.PropertyOrigin(object, name, origin));
      if (class_.empty()) origins_.erase(key_);
      found = origins_.emplace(key_, known ? std::optional<std::wstring>(origin.c_str()) : std::nullopt).first;
    }
    return found->second ? &*found->second : nullptr;
  }

  OutputSink& out_;
  OutputSink& errors_;
  const WmicLayoutOptions options_;
  const WmicValueStyle style_;
  std::wstring server_;  // the object's __SERVER, when it came
  std::wstring class_;   // the object's __CLASS, when it came
  bool failed_ = false;

 private:
  HRESULT firstFailure_ = S_OK;
  std::wstring machineServer_;
  std::wstring text_;
  std::wstring key_;
  std::unordered_map<std::wstring, std::optional<std::wstring>> origins_;
};

// Every row is held as text until Finish, because a column is as wide as
// its longest text in any row.
class TableLayout final : public WmicLayoutBase {
 public:
  TableLayout(OutputSink& out, OutputSink& errors, WmicLayoutOptions options)
      : WmicLayoutBase(out, errors, std::move(options), WmicValueStyle::kText) {}

  void StartObject() override { row_.clear(); }

  void Cell(const wchar_t* name, const std::wstring& text) override {
    auto found = columnOf_.find(name);
    if (found == columnOf_.end()) {
      found = columnOf_.emplace(name, columns_.size()).first;
      columns_.push_back({name, wcslen(name)});
    }
    if (row_.size() <= found->second) row_.resize(found->second + 1);
    row_[found->second] = text;
  }

  // Only a whole object widens the columns: one that failed part way is
  // never shown.
  void EndObject() override {
    for (size_t i = 0; i < row_.size(); ++i) columns_[i].width = std::max(columns_[i].width, row_[i].size());
    rows_.push_back(std::move(row_));
    row_.clear();
  }

  void Finish() override {
    if (rows_.empty()) {
      NoInstances();
      return;
    }
    // columnOf_ holds the names in wmic's order.
    std::vector<size_t> order;
    order.reserve(columns_.size());
    for (const auto& column : columnOf_) order.push_back(column.second);
    std::wstring line;
    for (size_t index : order) Pad(columns_[index].name, columns_[index].width, line);
    WriteLine(line);
    for (std::vector<std::wstring>& row : rows_) {
      for (size_t index : order) Pad(index < row.size() ? row[index] : std::wstring(), columns_[index].width, line);
      WriteLine(line);
      // What is out is no longer needed.
      std::vector<std::wstring>().swap(row);
    }
    out_.Write(L"\r\n");
    rows_.clear();
  }

 private:
  struct Column {
    std::wstring name;
    size_t width;  // of the longest text, the header included
  };

  static void Pad(const std::wstring& text, size_t width, std::wstring& line) {
    line += text;
    line.append(width + kColumnGap - text.size(), L' ');
  }

  void WriteLine(std::wstring& line) {
    line += L"\r\n";
    out_.Write(line);
    line.clear();
  }

  std::vector<Column> columns_;  // in the order first seen
  std::map<std::wstring, size_t, NameOrder> columnOf_;
  std::vector<std::vector<std::wstring>> rows_;  // cells by column
  std::vector<std::wstring> row_;                // the object being read
};

// An object is held until it is whole, to put its properties in wmic's
// order; the objects stream.
class SortedObjectLayout : public WmicLayoutBase {
 public:
  using WmicLayoutBase::WmicLayoutBase;

  void StartObject() override { fields_.clear(); }
  void Cell(const wchar_t* name, const std::wstring& text) override { fields_.emplace_back(name, text); }

 protected:
  void SortFields() {
    std::stable_sort(fields_.begin(), fields_.end(),
                     [](const auto& left, const auto& right) { return WmicNameLess(left.first, right.first); });
  }

  std::vector<std::pair<std::wstring, std::wstring>> fields_;
  size_t objects_ = 0;
};

class ValueLayout final : public SortedObjectLayout {
 public:
  ValueLayout(OutputSink& out, OutputSink& errors, WmicLayoutOptions options)
      : SortedObjectLayout(out, errors, std::move(options), WmicValueStyle::kText) {}

  void EndObject() override {
    SortFields();
    std::wstring text = kValueObjectOpening;
    for (const auto& field : fields_) text += field.first + L'=' + field.second + L"\r\n";
    out_.Write(text);
    ++objects_;
  }

  void Finish() override {
    if (objects_ == 0) {
      NoInstances();
      return;
    }
    out_.Write(kValueListClosing);
  }
};

class CsvLayout final : public SortedObjectLayout {
 public:
  CsvLayout(OutputSink& out, OutputSink& errors, WmicLayoutOptions options)
      : SortedObjectLayout(out, errors, std::move(options), WmicValueStyle::kCsv) {}

  bool NamesObjectsByServer() const override { return true; }

  // The header comes from the first object; the output carries it once,
  // whatever the number of machines.
  void EndObject() override {
    SortFields();
    if (objects_ == 0) {
      std::wstring header = L"\r\nNode";
      for (const auto& field : fields_) header += L',' + field.first;
      out_.WriteHeader(header + L"\r\n");
    }
    std::wstring line = ObjectServer();
    for (const auto& field : fields_) line += L',' + field.second;
    out_.Write(line + L"\r\n");
    ++objects_;
  }

  void Finish() override {
    if (objects_ > 0) return;
    if (failed_) {
      out_.WriteHeader(kCsvHeaderWithoutObjects);
    } else {
      NoInstances();
    }
  }
};

// One document for the whole run, written as the objects come: the root,
// a RESULTS for each machine, in it a CIM holding an INSTANCE for each of
// its objects (no CIM for a machine that gave none), on one line with one
// line end after it. Each object is held until it is whole, so that one
// that fails part way leaves no half-made element behind.
class XmlLayout final : public SortedObjectLayout {
 public:
  XmlLayout(OutputSink& out, OutputSink& errors, WmicLayoutOptions options)
      : SortedObjectLayout(out, errors, std::move(options), WmicValueStyle::kXml) {}

  void StartObject() override {
    fields_.clear();
    className_.clear();
  }

  void Cell(const wchar_t* name, const std::wstring& text) override {
    if (name[0] == L'_' && SameName(name, kClassProperty)) {
      className_ = text;
    } else {
      fields_.emplace_back(name, text);
    }
  }

  void EndObject() override {
    SortFields();
    std::wstring text;
    Open(options_.node, text);
    if (!inCim_) {
      text += kWmicXmlCimOpen;
      inCim_ = true;
    }
    text += WmicXmlInstanceOpen(className_);
    for (const auto& field : fields_) text += field.second;
    text += kWmicXmlInstanceClose;
    out_.Write(text);
    ++objects_;
  }

  // Each machine's objects in a RESULTS of its own, closed by the next
  // machine's or by Finish.
  void Replay(const WmicMachineRecord& record) override {
    std::wstring text;
    CloseResults(text);
    Open(record.node.empty() ? options_.node : record.node, text);
    out_.Write(text);
    SortedObjectLayout::Replay(record);
  }

  void Finish() override {
    std::wstring text;
    if (!opened_) Open(options_.node, text);
    CloseResults(text);
    text += kWmicXmlCommandClose;
    text += L"\r\n";
    out_.Write(text);
    if (objects_ == 0) NoInstances();
  }

 private:
  // The root once, and a RESULTS for `node` unless one is open.
  void Open(const std::wstring& node, std::wstring& text) {
    if (!opened_) {
      text += kWmicXmlCommandOpen;
      opened_ = true;
    }
    if (inResults_) return;
    text += WmicXmlResultsOpen(node);
    inResults_ = true;
  }

  void CloseResults(std::wstring& text) {
    if (inCim_) text += kWmicXmlCimClose;
    if (inResults_) text += kWmicXmlResultsClose;
    inCim_ = false;
    inResults_ = false;
  }

  std::wstring className_;
  bool opened_ = false;
  bool inResults_ = false;
  bool inCim_ = false;
};

// Scripts take the first word of each line: the object's __PATH, which no
// other property's text can stand in for, so nothing else is shown.
class InstanceLayout final : public WmicLayoutBase {
 public:
  InstanceLayout(OutputSink& out, OutputSink& errors, WmicLayoutOptions options)
      : WmicLayoutBase(out, errors, WithSystemProperties(std::move(options)), WmicValueStyle::kText) {}

  ValueStatus Property(WmiAccess& wmi, const wchar_t* name, const VARIANT& value, CIMTYPE cimType) override {
    if (!SameName(name, kPathProperty)) return {};
    return WmicLayoutBase::Property(wmi, name, value, cimType);
  }

  void StartObject() override { path_.clear(); }
  void Cell(const wchar_t* name, const std::wstring& text) override {
    if (SameName(name, kPathProperty)) path_ = text;
  }
  void EndObject() override {
    out_.Write(path_ + L"\r\n");
    ++objects_;
  }
  void Finish() override {
    if (objects_ == 0) NoInstances();
  }

 private:
  std::wstring path_;
  size_t objects_ = 0;
};

// What wmic prints of a change: the object's path and what is done to it
// before, and that it was done once WMI has taken it, CALL's output
// parameters as MOF text. The query loop's own lines and values are not
// wmic's, and are left out.
class ChangeLayout final : public WmicLayoutBase {
 public:
  ChangeLayout(OutputSink& out, OutputSink& errors, WmicLayoutOptions options)
      : WmicLayoutBase(out, errors, std::move(options), WmicValueStyle::kText) {}

  void Line(std::wstring_view) override {}
  ValueStatus Property(WmiAccess&, const wchar_t*, const VARIANT&, CIMTYPE) override { return {}; }
  void StartObject() override {}
  void Cell(const wchar_t*, const std::wstring&) override {}
  void EndObject() override {}
  ValueStatus NewValues(WmiAccess&, const std::vector<ShownValue>&) override { return {}; }

  bool Changing(WmiAccess& wmi, const Change& change) override {
    ++changes_;
    const std::wstring path = PathOf(wmi, change);
    if (options_.ask && !options_.ask(Question(change, path))) return false;
    switch (change.operation) {
      case Operation::CALL: out_.Write(L"Executing (" + path + L")->" + change.method + L"()\r\n"); break;
      case Operation::SET: out_.Write(L"Updating property(s) of '" + path + L"'\r\n"); break;
      case Operation::DELETE_INSTANCE: out_.Write(L"Deleting instance " + path + L"\r\n"); break;
      case Operation::CREATE_INSTANCE:
      case Operation::GET: break;
    }
    return true;
  }

  bool ShowsObjectText() const override { return true; }

  void Changed(WmiAccess&, const Change& change, const wchar_t* outParametersText) override {
    switch (change.operation) {
      case Operation::CALL:
        out_.Write(L"Method execution successful.\r\n");
        if (outParametersText != nullptr) out_.Write(L"Out Parameters:\r\n" + ObjectText(outParametersText) + L"\r\n");
        break;
      case Operation::SET: out_.Write(L"Property(s) update successful.\r\n"); break;
      case Operation::DELETE_INSTANCE: out_.Write(L"Instance deletion successful.\r\n"); break;
      case Operation::CREATE_INSTANCE: out_.Write(L"Instance creation successful.\r\n"); break;
      case Operation::GET: break;
    }
  }

  void Finish() override {
    if (changes_ == 0) NoInstances();
  }

 private:
  // \\SERVER\NAMESPACE:RELPATH, the namespace as connected; a class by its
  // name alone.
  std::wstring PathOf(WmiAccess& wmi, const Change& change) const {
    if (change.object == nullptr) return change.className;
    std::wstring server = Text(wmi, *change.object, L"__SERVER");
    if (server.empty()) server = options_.node;
    return L"\\\\" + server + L"\\" + options_.nameSpace + L":" + Text(wmi, *change.object, L"__RELPATH");
  }

  static std::wstring Text(WmiAccess& wmi, const WmiObject& object, const wchar_t* name) {
    Variant value;
    if (FAILED(wmi.Get(object, name, value, nullptr)) || value.type() != VT_BSTR || value.get().bstrVal == nullptr) {
      return {};
    }
    return value.get().bstrVal;
  }

  static std::wstring Question(const Change& change, const std::wstring& path) {
    switch (change.operation) {
      case Operation::CALL: return L"Execute (" + path + L")->" + change.method + L"() (Y/N/?)?";
      case Operation::DELETE_INSTANCE: return L"Delete '" + path + L"' (Y/N/?)?";
      case Operation::SET: return L"Update '" + path + L"' (Y/N/?)?";
      case Operation::CREATE_INSTANCE:
      case Operation::GET: break;
    }
    return L"Create an instance of " + path + L" (Y/N/?)?";
  }

  // WMI's MOF opens with a line end and writes LF alone: the lines from
  // "instance of" to "};", each ending CR LF.
  static std::wstring ObjectText(const wchar_t* mof) {
    std::wstring text;
    for (const wchar_t* c = mof; *c != L'\0'; ++c) {
      if (*c == L'\r') continue;
      if (*c == L'\n') {
        if (!text.empty()) text += L"\r\n";
        continue;
      }
      text += *c;
    }
    if (text.size() < 2 || text.compare(text.size() - 2, 2, L"\r\n") != 0) text += L"\r\n";
    return text;
  }

  size_t changes_ = 0;
};

// The class's methods, once its definition has been read whole.
class MethodsLayout final : public WmicLayoutBase {
 public:
  MethodsLayout(OutputSink& out, OutputSink& errors, WmicLayoutOptions options)
      : WmicLayoutBase(out, errors, std::move(options), WmicValueStyle::kText) {}

  void Line(std::wstring_view) override {}
  void StartObject() override {}
  void Cell(const wchar_t*, const std::wstring&) override {}
  void EndObject() override {}
  void Schema(const ClassSchema& schema) override { out_.Write(WmicMethodListText(schema)); }
  void Finish() override {}
};

// Keeps its messages in the record; the base of the recorder, so that they
// have somewhere to go from the recorder's first moment.
class RecordedMessages {
 protected:
  explicit RecordedMessages(std::wstring& text) : sink_(text) {}

  class Sink final : public OutputSink {
   public:
    explicit Sink(std::wstring& text) : text_(text) {}
    void Write(std::wstring_view text) override { text_.append(text); }

   private:
    std::wstring& text_;
  };
  Sink sink_;
};

class RecordingLayout final : private RecordedMessages, public WmicLayoutBase {
 public:
  RecordingLayout(OutputSink& out, WmicMachineRecord& record, WmicLayoutOptions options, WmicValueStyle style)
      : RecordedMessages(record.messages), WmicLayoutBase(out, sink_, std::move(options), style), record_(record) {
    record_.node = options_.node;
  }

  void StartObject() override { object_ = {}; }
  void Cell(const wchar_t* name, const std::wstring& text) override { object_.cells.emplace_back(name, text); }
  void EndObject() override {
    object_.server = ObjectServer();
    record_.objects.push_back(std::move(object_));
    object_ = {};
  }
  // The run as a whole finishes, once every machine is replayed into it.
  void Finish() override {}
  bool NamesObjectsByServer() const override { return style_ == WmicValueStyle::kCsv; }

 private:
  void MarkFailed(HRESULT hr) override {
    WmicLayoutBase::MarkFailed(hr);
    record_.failed = true;
    record_.failure = FirstFailure();
  }

  WmicMachineRecord& record_;
  WmicObjectText object_;
};

}  // namespace

bool WmicNameLess(const std::wstring& left, const std::wstring& right) {
  // Ordinal without case: "PNPDeviceID" between "Partitions" and
  // "PowerManagementCapabilities", as wmic's CSV shows.
  return CompareStringOrdinal(left.c_str(), static_cast<int>(left.size()), right.c_str(),
                              static_cast<int>(right.size()), TRUE) == CSTR_LESS_THAN;
}

std::unique_ptr<Layout> MakeWmicRecorder(WmicLayoutKind kind, OutputSink& out, WmicMachineRecord& record,
                                         WmicLayoutOptions options) {
  const WmicValueStyle style = kind == WmicLayoutKind::kCsv   ? WmicValueStyle::kCsv
                               : kind == WmicLayoutKind::kXml ? WmicValueStyle::kXml
                                                               : WmicValueStyle::kText;
  if (kind == WmicLayoutKind::kInstance) options = WithSystemProperties(std::move(options));
  return std::make_unique<RecordingLayout>(out, record, std::move(options), style);
}

std::unique_ptr<WmicLayout> MakeWmicLayout(WmicLayoutKind kind, OutputSink& out, OutputSink& errors,
                                           WmicLayoutOptions options) {
  switch (kind) {
    case WmicLayoutKind::kValue: return std::make_unique<ValueLayout>(out, errors, std::move(options));
    case WmicLayoutKind::kCsv: return std::make_unique<CsvLayout>(out, errors, std::move(options));
    case WmicLayoutKind::kXml: return std::make_unique<XmlLayout>(out, errors, std::move(options));
    case WmicLayoutKind::kInstance: return std::make_unique<InstanceLayout>(out, errors, std::move(options));
    case WmicLayoutKind::kChange: return std::make_unique<ChangeLayout>(out, errors, std::move(options));
    case WmicLayoutKind::kMethods: return std::make_unique<MethodsLayout>(out, errors, std::move(options));
    case WmicLayoutKind::kTable: break;
  }
  return std::make_unique<TableLayout>(out, errors, std::move(options));
}
