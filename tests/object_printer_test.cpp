#include <gtest/gtest.h>

#include <string>

#include "base/output.h"
#include "base/run_settings.h"
#include "render/layout.h"
#include "render/object_printer.h"
#include "support/fake_wmi_access.h"
#include "support/values.h"

namespace {

struct Printed {
  int result = -1;
  std::wstring output;
};

// Prints every result the fake serves, as GET does, through `layout`.
Printed PrintAll(FakeWmiAccess& wmi, const RunSettings& settings, Layout& layout, BufferSink& out) {
  WmiLocator locator;
  WmiServices services;
  WmiEnumerator results;
  WmiObject object;
  ULONG returned = 0;
  Printed printed;
  wmi.CreateLocator(locator);
  wmi.ConnectServer(locator, L"root\\x", {}, 0, WBEM_INFINITE, services);
  wmi.ExecQuery(services, L"WQL", L"select * from x", 0, results);
  out.Clear();
  while (SUCCEEDED(wmi.Next(results, object, returned, WBEM_INFINITE)) && returned == 1) {
    printed.result = PrintObjectProperties(wmi, settings, layout, object);
    if (printed.result != 0) break;
  }
  printed.output = out.Text();
  return printed;
}

class ObjectPrinter : public ::testing::Test {
 protected:
  // A layout for the settings as they are now, kept for the rest of the test
  // so that state such as the CSV header carries over, as in one run.
  Printed PrintAll(FakeWmiAccess& fake) {
    if (!layout || layoutIsCsv != settings.formatCsv) {
      layout = MakeLayout(settings, out);
      layoutIsCsv = settings.formatCsv;
    }
    return ::PrintAll(fake, settings, *layout, out);
  }
  Printed PrintAll() { return PrintAll(wmi); }

  RunSettings settings;
  FakeWmiAccess wmi;
  BufferSink out;
  std::unique_ptr<Layout> layout;
  int layoutIsCsv = 0;
};

TEST_F(ObjectPrinter, ListLayoutOneLinePerPropertyInNameOrder) {
  wmi.AddResult(L"Thing", L"\\\\.\\root\\x:Thing=1")
      .Add(L"Caption", StringValue(L"x"))
      .Add(L"Status", NullValue())
      .Add(L"Codes", IntegerArray(VT_I4, {1, 2}), CIM_SINT32 | CIM_FLAG_ARRAY)
      .Add(L"Count", IntegerValue(VT_I4, -5), CIM_SINT32);
  const Printed printed = PrintAll();
  EXPECT_EQ(printed.result, 0);
  EXPECT_EQ(printed.output, L"Caption=x\r\nStatus=\r\nCodes={1,2}\r\nCount=-5\r\n");
}

TEST_F(ObjectPrinter, CsvHeaderComesOnceFromTheFirstObject) {
  settings.formatCsv = 1;
  wmi.AddResult(L"T", L"p1").Add(L"A", StringValue(L"a,1")).Add(L"B", IntegerArray(VT_I4, {1, 2}));
  wmi.AddResult(L"T", L"p2").Add(L"A", StringValue(L"a2")).Add(L"B", IntegerArray(VT_I4, {}));
  wmi.AddResult(L"T", L"p3").Add(L"Other", StringValue(L"o"));
  const Printed printed = PrintAll();
  EXPECT_EQ(printed.output, L"Node,A,B\r\nLOCALHOST,a,1,{1;2}\r\nLOCALHOST,a2,{}\r\nLOCALHOST,o\r\n");
  // The layout remembers that the header is out.
  EXPECT_EQ(PrintAll().output, L"LOCALHOST,a,1,{1;2}\r\nLOCALHOST,a2,{}\r\nLOCALHOST,o\r\n");
}

TEST_F(ObjectPrinter, SystemPropertiesOnlyOnRequest) {
  wmi.AddResult(L"Thing", L"\\\\.\\root\\x:Thing=1").Add(L"Name", StringValue(L"n"));
  EXPECT_EQ(PrintAll().output, L"Name=n\r\n");
  settings.showAllProperties = 1;
  EXPECT_EQ(PrintAll().output, L"__CLASS=Thing\r\n__PATH=\\\\.\\root\\x:Thing=1\r\nName=n\r\n");
}

TEST_F(ObjectPrinter, AnObjectWithoutPropertiesStillGetsItsCsvLines) {
  wmi.AddResult(L"Empty", L"p");
  EXPECT_EQ(PrintAll().output, L"");
  settings.formatCsv = 1;
  EXPECT_EQ(PrintAll().output, L"Node,\r\nLOCALHOST,\r\n");
}

TEST_F(ObjectPrinter, DebugLinesTraceEachProperty) {
  settings.debugDisplay = 1;
  wmi.AddResult(L"T", L"p").Add(L"Name", StringValue(L"n")).Add(L"Bytes", ByteArray({1}), CIM_UINT8 | CIM_FLAG_ARRAY);
  EXPECT_EQ(PrintAll().output,
            L"INFO: Get name list [0]: [Name]\r\n"
            L"INFO: Data type of [Name] : [8]/[8]\r\n"
            L"INFO: It's a non-array type\r\n"
            L"Name=n\r\n"
            L"INFO: Get name list [1]: [Bytes]\r\n"
            L"INFO: Data type of [Bytes] : [8209]/[8209]\r\n"
            L"INFO: It's an array type\r\n"
            L"Bytes={1}\r\n");
}

TEST_F(ObjectPrinter, AFailedReadEndsTheObjectAndKeepsWhatWasPrinted) {
  wmi.AddResult(L"T", L"p").Add(L"A", StringValue(L"a")).Add(L"B", StringValue(L"b"));
  wmi.FailAt(WmiOp::Get, 2, WBEM_E_ACCESS_DENIED);
  Printed printed = PrintAll();
  EXPECT_EQ(printed.result, 1);
  EXPECT_EQ(printed.output, L"A=a\r\nERROR: Failed to get. Error code = 0x80041003\r\n");

  // In CSV nothing of the object appears.
  settings.formatCsv = 1;
  wmi.FailAt(WmiOp::Get, 4, WBEM_E_ACCESS_DENIED);
  printed = PrintAll();
  EXPECT_EQ(printed.output, L"ERROR: Failed to get. Error code = 0x80041003\r\n");
  // So the header is still to come with the next object.
  EXPECT_EQ(PrintAll().output, L"Node,A,B\r\nLOCALHOST,a,b\r\n");
}

TEST_F(ObjectPrinter, NameListAndArrayFailuresEndTheObject) {
  struct Case {
    WmiOp op;
    int call;
    const wchar_t* output;
  };
  const Case cases[] = {
      {WmiOp::GetNames, 1, L"ERROR: Failed to get names. Error code = 0x80041001\r\n"},
      {WmiOp::ArrayLowerBound, 1, L"ERROR: Failed to read array. Error code = 0x80041001\r\n"},
      {WmiOp::ArrayUpperBound, 1, L"ERROR: Failed to read array. Error code = 0x80041001\r\n"},
      {WmiOp::ArrayElement, 1, L"ERROR: Failed to read array. Error code = 0x80041001\r\n"},
      // The second array read is the Bytes value itself.
      {WmiOp::ArrayLowerBound, 2, L"Name=n\r\nERROR: Failed to read array. Error code = 0x80041001\r\n"},
      {WmiOp::ArrayElement, 4, L"Name=n\r\nERROR: Failed to read array. Error code = 0x80041001\r\n"},
  };
  for (const Case& c : cases) {
    FakeWmiAccess fake;
    fake.AddResult(L"T", L"p").Add(L"Name", StringValue(L"n")).Add(L"Bytes", ByteArray({1, 2}));
    fake.FailAt(c.op, c.call, WBEM_E_FAILED);
    const Printed printed = PrintAll(fake);
    EXPECT_EQ(printed.result, 1) << WmiOpName(c.op) << c.call;
    EXPECT_EQ(printed.output, c.output) << WmiOpName(c.op) << c.call;
  }
}

}  // namespace
