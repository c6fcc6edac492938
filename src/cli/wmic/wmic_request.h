// What a wmic command line asks for, as plain data: no WMI, no output.
#pragma once

#include <string>
#include <vector>

struct WmicAlias;

// Why a command line cannot run. `text` is the message as wmic prints it.
enum class WmicProblemKind {
  None,
  AliasNotFound,         // NAME - Alias not found.
  InvalidAliasVerb,      // Invalid alias verb.
  InvalidGlobalSwitch,   // Invalid Global Switch.
  InvalidVerbSwitch,     // Invalid Verb Switch.
  InvalidGetExpression,  // Invalid GET Expression.
  InvalidAssignment,     // a SET or CREATE value that is not NAME=VALUE
  InvalidXslFormat,      // Invalid XSL format (or) file name.
  MissingClass,          // PATH or CLASS without a class name
  MissingWhere,          // WHERE without a clause
  NotSupported,          // understood, and refused by this program
};

struct WmicProblem {
  WmicProblemKind kind = WmicProblemKind::None;
  std::wstring text;
};

enum class WmicOnOff { Off, On };

// /implevel: and /authlevel:, in WMI's own order; Tollix's connection
// defaults are Impersonate and PacketPrivacy.
enum class WmicImpersonation { Anonymous, Identify, Impersonate, Delegate };
enum class WmicAuthentication { Default, None, Connect, Call, Packet, PacketIntegrity, PacketPrivacy };

// /output: and /append:.
struct WmicDestination {
  bool toFile = false;  // false: standard output
  bool append = false;
  std::wstring path;
};

struct WmicGlobals {
  bool namespaceGiven = false;
  std::wstring nameSpace = L"root\\cimv2";  // without leading backslashes
  bool nodeGiven = false;
  std::wstring nodes;  // as typed, quotes removed: names with commas, or @file
  bool userGiven = false;
  std::wstring user;
  bool passwordGiven = false;
  std::wstring password;
  WmicDestination destination;
  std::wstring locale;  // empty: the connection's default
  bool failFastGiven = false;
  WmicOnOff failFast = WmicOnOff::Off;
  unsigned failFastMilliseconds = 0;  // 0: no time given
  WmicImpersonation impersonation = WmicImpersonation::Impersonate;
  WmicAuthentication authentication = WmicAuthentication::PacketPrivacy;
  WmicOnOff privileges = WmicOnOff::On;
  WmicOnOff trace = WmicOnOff::Off;
  bool interactiveGiven = false;
  WmicOnOff interactive = WmicOnOff::Off;  // not given: on at the prompt (see wmic_choices.h)
  WmicOnOff aggregate = WmicOnOff::On;
};

enum class WmicTargetKind { None, Alias, Path, Class };

struct WmicTarget {
  WmicTargetKind kind = WmicTargetKind::None;
  const WmicAlias* alias = nullptr;  // for an alias
  std::wstring className;            // the alias's class, or the one named
  bool whereGiven = false;
  std::wstring where;     // the clause as WQL is to see it, without WHERE
  bool keyGiven = false;  // a key value after the alias
  std::wstring keyValue;
};

enum class WmicVerb { List, Get, Call, Set, Delete, Create };

enum class WmicListAdverb { Default, Brief, Full, Instance, Status, System, Writeable };

// A value of call, set or create: NAME=value, or a value by position.
struct WmicValue {
  std::wstring name;  // empty: by position
  std::wstring text;  // quotes removed; &H80000002 and the like kept as typed
  bool quoted = false;
  bool list = false;                   // a call's ("a","b"): `elements`, not `text`
  std::vector<std::wstring> elements;  // each with its quotes removed
};

enum class WmicFormat { Default, Table, List, Csv, RawXml, Xml, Json };

struct WmicVerbSwitches {
  WmicFormat format = WmicFormat::Default;  // /value is List, /all is Table
  bool noInteractive = false;
  unsigned everySeconds = 0;  // /every:; 0 runs once
  unsigned repeatCount = 0;   // /repeat:, with /every:; 0 runs until stopped
};

enum class WmicHelp { None, General, Alias, Verb };

struct WmicRequest {
  WmicProblem problem;     // kind None: the request can run
  bool interactive = false;  // no arguments: the wmic:root\cli> prompt
  WmicHelp help = WmicHelp::None;  // /? after the switches, the target or the verb
  WmicGlobals globals;
  WmicTarget target;
  WmicVerb verb = WmicVerb::List;
  WmicListAdverb listAdverb = WmicListAdverb::Default;
  std::vector<std::wstring> properties;  // get: empty means every property (as does *)
  std::wstring method;                    // call, as printed (see WmicPrintedMethod)
  std::vector<WmicValue> values;          // call, set, create
  WmicVerbSwitches switches;
};
