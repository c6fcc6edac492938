// What /describe shows of a class: read once from its definition, then laid
// out whole, so that a read that fails part way prints nothing half-made.
#pragma once

#include <string>
#include <vector>

// Types are CIM type names ("uint32", "string[]"), objects and references
// with their class where WMI names it ("object:Win32_ProcessStartup",
// "ref:Win32_Directory[]").
struct SchemaProperty {
  std::wstring name;
  std::wstring type;
  bool key = false;
  bool read = false;
  bool write = false;
};

struct SchemaParameter {
  std::wstring name;
  std::wstring type;
};

struct SchemaMethod {
  std::wstring name;
  bool isStatic = false;
  std::vector<SchemaParameter> in;  // in the order /args: fills them
  std::vector<SchemaParameter> out;
};

struct ClassSchema {
  std::wstring className;
  std::vector<SchemaProperty> properties;
  std::vector<SchemaMethod> methods;
};
