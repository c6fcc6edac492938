// How one run shows what it finds: result objects, the value SET reads back,
// its own lines for people, errors and trace lines. There are three layouts:
// list (with the hex matrix), CSV and JSON Lines. State that changes during a
// run, such as whether the CSV header is out, lives in the run's layout.
#pragma once

#include <windows.h>
#include <wbemcli.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/run_settings.h"
#include "render/value_text.h"
#include "wmi/wmi_access.h"

class OutputSink;
class WmiAccess;
struct ClassSchema;
struct RunSettings;

class Layout {
 public:
  virtual ~Layout() = default;

  // A line for people: the banner, the empty line before each result, the
  // success lines.
  virtual void Line(std::wstring_view text) = 0;
  // A whole "ERROR: ...\r\n" line.
  virtual void Error(std::wstring_view text) = 0;
  // A whole trace line, "INFO: ...\r\n" as a rule.
  virtual void Info(std::wstring_view text) = 0;

  // One object, a property at a time: a GET result or a method's output
  // parameters. An object that fails part way is left unfinished; the next
  // BeginObject starts afresh.
  virtual void BeginObject() = 0;
  virtual ValueStatus Property(WmiAccess& wmi, const wchar_t* name, const VARIANT& value, CIMTYPE cimType) = 0;
  // The same, with the object the value was read from, for a layout that
  // shows where a property comes from as well as its value.
  virtual ValueStatus PropertyOf(WmiAccess& wmi, const WmiObject& object, const wchar_t* name, const VARIANT& value,
                                 CIMTYPE cimType) {
    (void)object;
    return Property(wmi, name, value, cimType);
  }
  virtual void EndObject() = 0;
  // A method that gave back no output parameters.
  virtual void NoOutputParameters() = 0;

  // The values SET reads back after its Puts, in the order they were Put.
  struct ShownValue {
    const wchar_t* name;
    const VARIANT* value;
    CIMTYPE cimType;
  };
  virtual ValueStatus NewValues(WmiAccess& wmi, const std::vector<ShownValue>& values) = 0;
  ValueStatus NewValue(WmiAccess& wmi, const wchar_t* name, const VARIANT& value, CIMTYPE cimType) {
    return NewValues(wmi, {{name, &value, cimType}});
  }

  // What /whatif shows in place of a change and its success line: the values
  // a SET has Put into its copy of the object, or the in-parameters a CALL
  // would send, and where the change would go.
  struct Preview {
    const wchar_t* operation;  // "SET" or "CALL"
    const wchar_t* method;     // CALL only
    const wchar_t* path;       // the object's __PATH, or the class called
    std::vector<ShownValue> values;
    // SET only: the properties given that the class does not declare
    // writable, which Windows will likely refuse to write.
    std::vector<std::wstring> readOnly = {};
  };
  // What a preview says of its read-only properties, or nothing.
  static std::wstring ReadOnlyNote(const Preview& preview);
  virtual ValueStatus WhatIf(WmiAccess& wmi, const Preview& preview) = 0;

  // What /describe read of a class, as one object of the run.
  virtual void Schema(const ClassSchema& schema) = 0;

  // Whether the layout names each object's machine by its __SERVER. A query
  // for some of a class's properties gives objects whose __SERVER is NULL,
  // so the run reads the machine's own name from the class first and hands
  // it to MachineServer, for the objects that do not carry one.
  virtual bool NamesObjectsByServer() const { return false; }
  virtual void MachineServer(std::wstring_view /*server*/) {}

  // A change about to go to WMI, and one WMI has taken: CALL's ExecMethod,
  // SET's and CREATE's PutInstance, DELETE's DeleteInstance. `object` is the
  // result changed, or null for the class. A layout that asks first may
  // answer false to leave this one unchanged. Tollix's own layouts show a
  // change by its values and success line, and leave these be.
  struct Change {
    Operation operation;
    const wchar_t* className;
    const wchar_t* method;    // CALL only
    const WmiObject* object;  // null: the class
  };
  virtual bool Changing(WmiAccess& /*wmi*/, const Change& /*change*/) { return true; }
  // Whether Changed is to be given CALL's output parameters as MOF text.
  virtual bool ShowsObjectText() const { return false; }
  // `outParametersText` is CALL's output parameters as WMI writes them in
  // MOF, when the layout shows them so and there are any; otherwise null.
  virtual void Changed(WmiAccess& /*wmi*/, const Change& /*change*/, const wchar_t* /*outParametersText*/) {}

  // Whether the output has failed, so that the run must stop; with `flush`,
  // what is held back is pushed out first, as before a change to WMI that
  // must not happen unseen.
  virtual bool OutputLost(bool flush) = 0;
};

// The layout the settings ask for, writing to `sink`, for a run on this
// machine: CSV and JSON name it LOCALHOST.
std::unique_ptr<Layout> MakeLayout(const RunSettings& settings, OutputSink& sink);
// The same for machine `node` of a run over several: CSV and JSON name it as
// given, the list layout opens each object with "Node=NAME", the list and CSV
// layouts put that line before SET's value and a CALL that gave back nothing,
// and JSON names the machine in its error and info lines too.
std::unique_ptr<Layout> MakeMachineLayout(const RunSettings& settings, OutputSink& sink, const std::wstring& node);

// `node` empty: no "Node=" line.
std::unique_ptr<Layout> MakeListLayout(const RunSettings& settings, OutputSink& sink, std::wstring node);
// `nodeLines`: "Node=NAME" before the lines that are not data lines.
std::unique_ptr<Layout> MakeCsvLayout(const RunSettings& settings, OutputSink& sink, std::wstring node,
                                      bool nodeLines);
std::unique_ptr<Layout> MakeJsonLayout(const RunSettings& settings, OutputSink& sink, std::wstring node,
                                       bool nodeInMessages);

// printf-style messages through a layout; each format carries its own
// "ERROR: " or "INFO: " and its "\r\n".
void PrintLine(Layout& layout, const wchar_t* format, ...);
void PrintError(Layout& layout, const wchar_t* format, ...);
void PrintInfo(Layout& layout, const wchar_t* format, ...);

// Prints an error whose one conversion is an HRESULT's "0x%x", and returns 1
// so a failing step can report and fail in one statement.
int ReportFailure(Layout& layout, const wchar_t* format, HRESULT hr);
