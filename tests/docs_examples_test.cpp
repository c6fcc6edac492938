// The manual's JSON Lines examples against the program's own output. Each
// object an example shows is built as Windows would hand it over, from the
// values shown and the CIM type Windows declares for each property, so a
// value shown with another JSON type than Tollix gives that CIM type cannot
// come out the same. Where the example gives its command line, that command
// runs and must print the example.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/text.h"
#include "render/json_text.h"
#include "support/fake_wmi_access.h"
#include "support/json_lines.h"
#include "support/run_capture.h"
#include "support/values.h"

namespace {

using json = nlohmann::ordered_json;

// The CIM type Windows declares for every property an example shows.
const std::map<std::string, CIMTYPE> kCimTypes = {
    {"Caption", CIM_STRING}, {"CommandLine", CIM_STRING}, {"CurrentDirectory", CIM_STRING},
    {"DNSServerSearchOrder", CIM_STRING | CIM_FLAG_ARRAY}, {"Domain", CIM_STRING}, {"DriveName", CIM_STRING},
    {"EventType", CIM_UINT16}, {"FreeSpace", CIM_UINT64}, {"Name", CIM_STRING}, {"ParentProcessID", CIM_UINT32},
    {"PreviousInstance", CIM_OBJECT}, {"ProcessID", CIM_UINT32}, {"ProcessId", CIM_UINT32},
    {"ProcessName", CIM_STRING}, {"ProcessStartupInformation", CIM_OBJECT}, {"ReturnValue", CIM_UINT32},
    {"SECURITY_DESCRIPTOR", CIM_UINT8 | CIM_FLAG_ARRAY}, {"SessionID", CIM_UINT32}, {"Size", CIM_UINT64},
    {"State", CIM_STRING}, {"TargetInstance", CIM_OBJECT}, {"TIME_CREATED", CIM_UINT64}, {"User", CIM_STRING},
    {"Version", CIM_STRING}, {"VolumeName", CIM_STRING}};

// What the layout writes around the properties (of a preview, a class
// description, a message); "Name" is a property's as well.
const std::set<std::string> kLayoutMembers = {"Node", "error", "info", "WhatIf", "Method", "Path", "Set", "In",
                                              "Out", "Class", "Properties", "Methods", "Type", "Key", "Read",
                                              "Write", "Static"};

struct Example {
  std::string where;    // page:line
  std::string command;  // what follows the program's name; empty when not shown
  std::vector<std::string> lines;
};

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// A parameter file's JSON is what the user writes, not what Tollix prints.
bool IsOutputLine(const std::string& text) {
  return std::regex_search(text, std::regex(R"re(^\{"(Node|error|info)")re"));
}

// The line without the "..." that stands for members left out.
std::string WithoutElision(const std::string& line) {
  return std::regex_replace(line, std::regex(R"(,\.\.\.(?=[}\]]))"), "");
}

// The tree the test was built from. Built on Linux, the test runs under
// Wine, which shows the Linux root as drive Z:.
std::filesystem::path SourceRoot() {
  std::string root = TOLLIX_SOURCE_ROOT;
  if (StartsWith(root, "/") && !StartsWith(root, "//")) root = "Z:" + root;
  return std::filesystem::path(FromUtf8(root));
}

const std::regex kInline("`([^`]*)`");
const std::regex kCommand(R"((?:Tollix\.exe|\$ scripts/run\.sh) (.*))");

// Output lines of code blocks, each run with the command line right above it,
// and inline ones; a template with a value left out ("Node":...) is prose.
std::vector<Example> ReadExamples() {
  std::vector<std::filesystem::path> pages = {SourceRoot() / "README.md"};
  for (const auto& entry : std::filesystem::directory_iterator(SourceRoot() / "docs")) {
    if (entry.path().extension() == ".md") pages.push_back(entry.path());
  }
  std::vector<Example> examples;
  for (const std::filesystem::path& page : pages) {
    std::ifstream in(page, std::ios::binary);
    EXPECT_TRUE(in.is_open()) << Utf8(page.wstring());
    std::string line;
    bool inBlock = false;
    bool open = false;  // the previous line was a command or output of the same example
    for (int number = 1; std::getline(in, line); ++number) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const std::string text = line.substr(std::min(line.find_first_not_of(' '), line.size()));
      const std::string where = Utf8(page.filename().wstring()) + ":" + std::to_string(number);
      if (StartsWith(text, "```")) {
        inBlock = !inBlock;
        open = false;
      } else if (!inBlock) {
        for (std::sregex_iterator code(text.begin(), text.end(), kInline), end; code != end; ++code) {
          const std::string span = (*code)[1];
          if (IsOutputLine(span) && span.find("\":...") == std::string::npos) examples.push_back({where, "", {span}});
        }
      } else if (std::smatch command; std::regex_match(text, command, kCommand)) {
        examples.push_back({where, command[1].str(), {}});
        open = true;
      } else if (IsOutputLine(text)) {
        if (!open) examples.push_back({where, "", {}});
        examples.back().lines.push_back(text);
        open = true;
      } else {
        open = false;
      }
    }
  }
  std::erase_if(examples, [](const Example& example) { return example.lines.empty(); });
  return examples;
}

Variant WindowsValue(CIMTYPE type, const json& shown);

void AddMembers(FakeObject& object, const json& shown) {
  if (!shown.is_object()) {
    ADD_FAILURE() << shown.dump() << " shown for an object";
    return;
  }
  for (const auto& member : shown.items()) {
    if (member.key() == "Node") continue;
    const auto type = kCimTypes.find(member.key());
    if (type == kCimTypes.end()) ADD_FAILURE() << member.key() << " has no CIM type in kCimTypes";
    else object.Add(FromUtf8(member.key()), WindowsValue(type->second, member.value()), type->second);
  }
}

long long Integer(const json& shown) {
  EXPECT_TRUE(shown.is_number_integer()) << shown.dump() << " shown for an integer";
  return shown.is_number_integer() ? shown.get<long long>() : 0;
}

std::wstring Text(const json& shown) { return FromUtf8(shown.is_string() ? shown.get<std::string>() : shown.dump()); }

// What Windows hands over for a property of `type` holding what is shown.
Variant WindowsValue(CIMTYPE type, const json& shown) {
  const CIMTYPE base = type & ~CIM_FLAG_ARRAY;
  if (shown.is_null()) return NullValue();
  if ((type & CIM_FLAG_ARRAY) != 0) {
    std::vector<unsigned char> bytes;
    std::vector<std::wstring> texts;
    std::vector<FakeObject> objects(shown.size());
    if (!shown.is_array() || (base != CIM_UINT8 && base != CIM_STRING && base != CIM_OBJECT)) {
      ADD_FAILURE() << shown.dump() << " shown for CIM type " << type;
      return NullValue();
    }
    for (size_t i = 0; i < shown.size(); ++i) {
      if (base == CIM_UINT8) bytes.push_back(static_cast<unsigned char>(Integer(shown[i])));
      if (base == CIM_STRING) texts.push_back(Text(shown[i]));
      if (base == CIM_OBJECT) AddMembers(objects[i], shown[i]);
    }
    return base == CIM_UINT8 ? ByteArray(bytes) : base == CIM_OBJECT ? EmbeddedArray(objects) : StringArray(texts);
  }
  switch (base) {
    case CIM_STRING:
    case CIM_SINT64:
    case CIM_UINT64: return StringValue(Text(shown));
    case CIM_UINT8: return IntegerValue(VT_UI1, Integer(shown));
    case CIM_UINT16:
    case CIM_SINT32:
    case CIM_UINT32: return IntegerValue(VT_I4, Integer(shown));
    case CIM_OBJECT: {
      FakeObject object;
      AddMembers(object, shown);
      return EmbeddedValue(object);
    }
    default: ADD_FAILURE() << "no Windows value for CIM type " << type; return NullValue();
  }
}

// Each property's value as Tollix writes one of its CIM type; the layout's
// own members hold properties or lists of them.
void ExpectTyped(const json& object) {
  for (const auto& member : object.items()) {
    const auto type = kCimTypes.find(member.key());
    if (type != kCimTypes.end()) {
      FakeWmiAccess wmi;
      std::wstring text;
      const Variant value = WindowsValue(type->second, member.value());
      EXPECT_FALSE(AppendJsonValue(wmi, value.get(), type->second, WBEM_FLAG_NONSYSTEM_ONLY, text).Failed());
      EXPECT_EQ(member.value().dump(), Utf8(text)) << member.key() << " as Tollix writes its CIM type";
    } else if (kLayoutMembers.count(member.key()) == 0) {
      ADD_FAILURE() << member.key() << " has no CIM type in kCimTypes";
    } else {
      for (const json& inner : member.value().is_array() ? member.value() : json::array({member.value()})) {
        if (inner.is_object()) ExpectTyped(inner);
      }
    }
  }
}

TEST(DocsExamples, EveryOutputLineParsesAndShowsEachValueAsItsCimTypeIsWritten) {
  const std::vector<Example> examples = ReadExamples();
  EXPECT_FALSE(examples.empty());
  for (const Example& example : examples) {
    for (const std::string& line : example.lines) {
      SCOPED_TRACE(example.where + ": " + line);
      const json object = json::parse(WithoutElision(line), nullptr, false);
      ASSERT_TRUE(object.is_object());
      ExpectTyped(object);
    }
  }
}

// The words of a command line as a shell passes them: split at spaces outside
// double quotes, the quotes dropped.
std::vector<std::wstring> Arguments(const std::string& command) {
  std::vector<std::wstring> arguments;
  const std::regex word(R"((?:[^ "]|"[^"]*")+)");
  for (std::sregex_iterator at(command.begin(), command.end(), word), end; at != end; ++at) {
    arguments.push_back(FromUtf8(std::regex_replace(at->str(), std::regex("\""), "")));
  }
  return arguments;
}

// The first group of `pattern` in the command, in any case; empty if absent.
std::wstring Find(const std::string& command, const char* pattern) {
  std::smatch found;
  return std::regex_search(command, found, std::regex(pattern, std::regex::icase)) ? FromUtf8(found[1].str()) : L"";
}

// Serves what the example shows as the results, the events or a method's
// output parameters (on each machine its own), and runs its command.
void ExpectPrinted(const Example& example) {
  const std::string& command = example.command;
  const std::wstring method = Find(command, "/call:(\\w+)");
  std::wstring className = Find(command, "/class:(\\w+)");
  const bool ofClass = !className.empty();
  if (!ofClass) className = Find(command, " from (\\w+)");
  const bool watch = !Find(command, "(/watch)\\b").empty();
  const bool nodes = !Find(command, "(/node:)").empty();
  FakeWmiAccess wmi;
  std::map<std::string, std::vector<FakeObject>> outputs;
  for (const std::string& line : example.lines) {
    const json shown = json::parse(WithoutElision(line), nullptr, false);
    if (!shown.is_object()) continue;  // reported by the test of every line
    const std::string node = shown.value("Node", "");
    FakeWmiAccess& machine = nodes ? wmi.Machine(FromUtf8(node)) : wmi;
    FakeObject object(className, L"\\\\.\\root\\cimv2:" + className + L"=@");
    if (method.empty()) AddMembers(object, shown);
    if (watch) machine.AddEvent(0, object);
    else if (method.empty() || !ofClass) machine.AddResult(className, L"") = object;
    if (!method.empty()) AddMembers(outputs[node].emplace_back(), shown);
  }
  for (auto& [node, objects] : outputs) {
    FakeMethod& called = (nodes ? wmi.Machine(FromUtf8(node)) : wmi).AddMethod(className, method);
    // Room for the values of any example's /args:.
    called.inputs.Add(L"In1", NullValue()).Add(L"In2", NullValue()).Add(L"In3", NullValue());
    called.qualifiers.emplace_back(L"static", BoolValue(ofClass));
    called.run = [served = objects, next = size_t{0}](const FakeObject&) mutable {
      return std::optional<FakeObject>(served[next++ % served.size()]);
    };
  }
  // A watch ends after the events shown, and fails rather than waits when fewer come.
  std::vector<std::wstring> arguments = Arguments(command);
  if (watch) arguments.insert(arguments.end(), {L"/count:" + std::to_wstring(example.lines.size()), L"/timeout:10"});
  const RunResult run = RunTollix(wmi, arguments);
  EXPECT_EQ(run.exitCode, 0);
  std::istringstream output(Utf8(run.output));
  std::vector<std::string> printed;
  for (std::string line; std::getline(output, line);) printed.push_back(line.substr(0, line.find('\r')));
  ASSERT_EQ(printed.size(), example.lines.size()) << Utf8(run.output);
  // Byte for byte; where members are left out, those shown, in order.
  for (size_t i = 0; i < printed.size(); ++i) {
    const std::string shown = WithoutElision(example.lines[i]);
    if (shown == example.lines[i]) EXPECT_EQ(shown, printed[i]);
    else EXPECT_EQ(json::parse(shown, nullptr, false).dump(), json::parse(printed[i], nullptr, false).dump());
  }
}

// Only what the in-memory WMI can serve: not a class description, a file of
// /params: or /node:, nor what another program made of the output.
TEST(DocsExamples, EveryExampleWithItsCommandIsWhatThatCommandPrints) {
  int run = 0;
  for (const Example& example : ReadExamples()) {
    const std::string& command = example.command;
    if (command.empty() || command.find("/describe") != std::string::npos || command.find('@') != std::string::npos ||
        command.find(" | ") != std::string::npos) {
      continue;
    }
    SCOPED_TRACE(example.where + ": " + command);
    ExpectPrinted(example);
    ++run;
  }
  EXPECT_GT(run, 0);
}

}  // namespace
