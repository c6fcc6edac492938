// The layouts of wmic's output, for scripts written against it: a table, a
// value list (/value, /format:list), CSV and the XML document. Each writes its data to `out`
// and wmic's messages (node blocks, "No Instance(s) Available.", trace
// lines) to `errors`, which for wmic is standard error.
//
// They take what the query loop gives any layout. The loop's empty separator
// lines are left out: each layout makes its own blank lines. A failure the
// loop reports carries its HRESULT in "Error code = 0x..."; it becomes the
// node block with WMI's text for that code.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "render/layout.h"

class OutputSink;

enum class WmicLayoutKind {
  kTable,  // get, list, list brief, a bare alias, /format:table, /all
  kValue,  // /value, /format:list, /format:textvaluelist, list full
  kCsv,    // /format:csv
  kXml,    // /format:rawxml, /format:xml: one CIM-XML document
  kInstance,  // list instance: each object's path, one a line
  kChange,    // call, set, delete, create: a line before each change and one after
  kMethods,   // call /?: the class's methods, read from its definition
};

// One object as wmic shows it: the texts of its properties in the order they
// came, and the machine it names.
struct WmicObjectText {
  std::wstring server;
  std::vector<std::pair<std::wstring, std::wstring>> cells;
};

// What one machine of a run over several gave, held as text until every
// machine is done: wmic shows a run's results together, in the order of the
// machines, in one table whose columns fit every machine's rows.
struct WmicMachineRecord {
  std::wstring node;  // the machine as given
  std::vector<WmicObjectText> objects;
  std::wstring messages;  // its node blocks and trace lines, for standard error
  bool failed = false;
  HRESULT failure = S_OK;  // its first failure with an HRESULT; S_OK for none
};

class WmicLayout : public Layout {
 public:
  // After the last object, or after a failure: writes what was held (the
  // table needs every row for its widths) and the closing blank lines, or,
  // when no object came and nothing failed, "No Instance(s) Available.".
  virtual void Finish() = 0;
  // A WMI failure on this machine: the node block on `errors`.
  virtual void Failure(HRESULT hr) = 0;
  // A machine's objects and messages, once the machines before it are in.
  virtual void Replay(const WmicMachineRecord& record) = 0;
  // The HRESULT of the first failure that has one (a timeout has none), the
  // machines' in the order they were replayed; S_OK for none.
  virtual HRESULT FirstFailure() const = 0;
};

struct WmicLayoutOptions {
  // The machine as given, or this machine's name: named by the node block,
  // and CSV's Node field where neither the object's __SERVER nor the
  // class's names the machine.
  std::wstring node;
  // Whether "__" properties are columns (the system properties of a list
  // system); __SERVER always names the CSV node, and is a column only then.
  bool systemProperties = false;
  // Changes: the namespace in each printed path, as connected ("ROOT\CIMV2"
  // when none was named), and, with /interactive:on, what asks whether a
  // change is to be made (its question without a line end; true for yes).
  std::wstring nameSpace;
  std::function<bool(const std::wstring& question)> ask;
  // A layout that ends with its machine keeps its first failure here too,
  // as FirstFailure says it, once it fails.
  HRESULT* firstFailure = nullptr;
  // The "__" properties the get list names, which are columns in any case.
  std::vector<std::wstring> systemNames = {};
};

std::unique_ptr<WmicLayout> MakeWmicLayout(WmicLayoutKind kind, OutputSink& out, OutputSink& errors,
                                           WmicLayoutOptions options);

// A layout of `kind` that keeps one machine's objects, and its messages, in
// `record`, as the texts `kind` shows; what else the query loop prints goes
// to `out`.
std::unique_ptr<Layout> MakeWmicRecorder(WmicLayoutKind kind, OutputSink& out, WmicMachineRecord& record,
                                         WmicLayoutOptions options);

// Property names in wmic's order: alphabetical, without case.
bool WmicNameLess(const std::wstring& left, const std::wstring& right);
