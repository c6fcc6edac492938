// What the command line asks for. The argument scan returns it, and every
// part of the program reads it as a const value; nothing changes it during a
// run.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

// Text settings hold at most FIELD_CHARS - 1 characters.
inline constexpr std::size_t FIELD_CHARS = 260;

enum class Operation : int { GET = 0, SET = 1, CALL = 2, DELETE_INSTANCE = 3, CREATE_INSTANCE = 4 };

// A value typed on the command line for a method's parameter or an object's
// property, converted by its CIM type once WMI says what that is.
struct TextValue {
  std::wstring name;  // empty: by position, in the order WMI gives the parameters
  std::wstring text;
  bool list = false;                   // an array's elements, in `elements`
  std::vector<std::wstring> elements;
};

struct RunSettings {
  std::wstring argNamespace;
  std::wstring argWQL;
  std::wstring argClassName;
  std::wstring argSelectColumns;
  std::wstring argKey;
  std::wstring argMethodName;
  std::wstring argArguments;
  std::wstring argNode;      // machine names, or "@" and a file of them
  std::wstring argThrottle;  // machines worked on at once
  std::wstring argTimeout;   // seconds a connection or a Next may take
  std::wstring argUser;      // the account a /node: run reaches its machines as
  std::wstring argPassword;  // given, or asked for; wiped when the run ends
  std::wstring argParams;    // named values as one JSON object, or "@" and a file holding one
  std::wstring argClass;     // a class whose static method is called, or that is described, with no query
  std::wstring argCount;     // events a watch ends after, on each machine
  std::wstring argLocale;    // the locale each connection asks for ("MS_409"); empty: the account's own
  Operation argFUNC = Operation::GET;
  int debugDisplay = 0;
  int showAllProperties = 0;
  int hexMatrix = 0;
  int formatCsv = 0;
  int formatJson = 0;
  int describe = 0;  // the query's class, not its instances
  int whatIf = 0;    // SET and CALL show what they would change, and change nothing
  int watch = 0;     // the query is an event query, whose events are shown as they come
  // Set when the key is there at all, even with an empty value.
  int nodeGiven = 0;
  int throttleGiven = 0;
  int timeoutGiven = 0;
  int paramsGiven = 0;
  int userGiven = 0;
  int passwordGiven = 0;
  int classGiven = 0;
  int countGiven = 0;
  int passwordAsked = 0;  // read from the console or standard input, not the command line
  // RPC_C_AUTHN_LEVEL_* and RPC_C_IMP_LEVEL_* every connection's blanket asks
  // for in place of its own; none: the blanket's.
  std::optional<unsigned long> authenticationLevel;
  std::optional<unsigned long> impersonationLevel;

  // CALL, SET and CREATE with values as text (used instead of argArguments
  // and params when given); numbers may also be written &H and hex digits.
  std::vector<TextValue> textValues;
  int textValuesGiven = 0;
  // A result whose change fails is reported and the others are still
  // changed; the run fails at the end.
  int goOnAfterFailure = 0;
  // CALL without a where: a static method, or any method of a class without
  // instances, is called once on the class; CREATE always is.
  int staticOnClass = 0;
  // Property names the query selects, each checked against its class before
  // the query runs: some WMI (Wine's) drops an unknown one without a word.
  std::vector<std::wstring> selectedNames;

  // Read from argThrottle and argTimeout once they are checked.
  int throttle = 32;
  int timeoutSeconds = 0;  // 0: waits without limit
  // Read from argCount once it is checked.
  int count = 0;  // 0: a watch goes on until it is stopped
  // Read from argParams once it is checked: the named values, in the order
  // given.
  std::shared_ptr<const nlohmann::ordered_json> params;

  // What the run works on, as its messages name it: the query, or the class.
  const wchar_t* Target() const { return classGiven ? argClass.c_str() : argWQL.c_str(); }

  unsigned long TimeoutMs() const { return timeoutSeconds > 0 ? timeoutSeconds * 1000ul : 0xFFFFFFFFul; }
};
