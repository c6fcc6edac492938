// JSON Lines: every line one complete JSON object ending in CR LF. Results
// are {"Node":..., then each property}; errors and trace lines become
// {"error":...} and {"info":...}; the lines meant for people are left out.
#include <utility>

#include "base/output.h"
#include "base/run_settings.h"
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

  ValueStatus NewValue(WmiAccess& wmi, const wchar_t* name, const VARIANT& value, CIMTYPE cimType) override {
    BeginObject();
    const ValueStatus status = Property(wmi, name, value, cimType);
    if (status.Failed()) return status;
    EndObject();
    return {};
  }

 private:
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
