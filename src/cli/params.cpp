#include "cli/params.h"

#include <memory>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/run_settings.h"
#include "base/text.h"
#include "base/text_file.h"
#include "cli/unreadable_file.h"
#include "operations/typed_values.h"
#include "render/layout.h"

namespace {

using Json = nlohmann::ordered_json;

// Builds the value as the parser reads it, so that a name given twice is
// caught (a plain parse keeps the last silently) and a parse error arrives as
// a message, not as an exception.
class ParamsReader final : public nlohmann::json_sax<Json> {
 public:
  bool null() override { return Add(Json(nullptr)); }
  bool boolean(bool value) override { return Add(Json(value)); }
  bool number_integer(number_integer_t value) override { return Add(Json(value)); }
  bool number_unsigned(number_unsigned_t value) override { return Add(Json(value)); }
  bool number_float(number_float_t value, const string_t&) override { return Add(Json(value)); }
  bool string(string_t& value) override { return Add(Json(std::move(value))); }
  bool binary(binary_t&) override { return false; }

  bool start_object(std::size_t) override {
    if (!Open(Json::object())) return false;
    keys_.emplace_back();
    return true;
  }
  bool key(string_t& name) override {
    std::wstring folded = RestoreLoneSurrogates(FromUtf8(name));
    LowerCase(folded);
    if (!keys_.back().insert(std::move(folded)).second) {
      error_ = L"names " + RestoreLoneSurrogates(FromUtf8(name)) + L" twice";
      duplicate_ = true;
      return false;
    }
    key_ = name;
    return true;
  }
  bool end_object() override {
    keys_.pop_back();
    open_.pop_back();
    return true;
  }
  bool start_array(std::size_t) override { return Open(Json::array()); }
  bool end_array() override {
    open_.pop_back();
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& problem) override {
    // "[json.exception.parse_error.101] parse error at line 1, column 2: ..."
    std::string text = problem.what();
    const size_t tag = text.find("] ");
    if (text.rfind("[json.exception.", 0) == 0 && tag != std::string::npos) text.erase(0, tag + 2);
    error_ = FromUtf8(text);
    return false;
  }

  Json& Root() { return root_; }
  const std::wstring& Error() const { return error_; }
  bool Duplicate() const { return duplicate_; }

 private:
  bool Open(Json value) {
    if (open_.size() >= static_cast<size_t>(kMaxParamsNesting)) {
      error_ = L"objects and arrays nest more than " + std::to_wstring(kMaxParamsNesting) + L" deep";
      return false;
    }
    Json* opened = Place(std::move(value));
    open_.push_back(opened);
    return true;
  }
  bool Add(Json value) {
    Place(std::move(value));
    return true;
  }
  Json* Place(Json value) {
    if (open_.empty()) {
      root_ = std::move(value);
      return &root_;
    }
    Json& parent = *open_.back();
    if (parent.is_array()) {
      parent.push_back(std::move(value));
      return &parent.back();
    }
    Json& member = parent[key_];
    member = std::move(value);
    return &member;
  }

  Json root_;
  std::vector<Json*> open_;
  std::vector<std::unordered_set<std::wstring>> keys_;
  std::string key_;
  std::wstring error_;
  bool duplicate_ = false;
};

}  // namespace

bool ReadParams(RunSettings& settings, Layout& layout) {
  std::wstring text = settings.argParams;
  if (!text.empty() && text[0] == L'@') {
    const std::wstring path = text.substr(1);
    TextFileRead read = ReadTextFile(path);
    if (read.problem != TextFileProblem::None) {
      ReportUnreadableFile(layout, read, L"parameter file", path);
      return false;
    }
    text = std::move(read.text);
  }
  std::string utf8;
  if (!ToUtf8(ProtectLoneSurrogates(text), utf8)) {
    PrintError(layout, L"ERROR: /params: is not a JSON object: it is not UTF-16 text\r\n");
    return false;
  }
  ParamsReader reader;
  const bool parsed = Json::sax_parse(utf8, &reader);
  if (!parsed && reader.Duplicate()) {
    PrintError(layout, L"ERROR: /params: %ls\r\n", reader.Error().c_str());
    return false;
  }
  if (!parsed) {
    PrintError(layout, L"ERROR: /params: is not a JSON object: %ls\r\n", reader.Error().c_str());
    return false;
  }
  if (!reader.Root().is_object()) {
    PrintError(layout, L"ERROR: /params: is not a JSON object: it is %ls\r\n", JsonKind(reader.Root()));
    return false;
  }
  settings.params = std::make_shared<const Json>(std::move(reader.Root()));
  return true;
}
