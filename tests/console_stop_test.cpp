// The console's handler, called as the console calls it: what it answers and
// the stop it asks for, before the watch arms it, once armed, and at a second
// press; and that it is registered with the console only while armed.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "cli/console_stop.h"

namespace {

// Whether the console would call the handler now. Taking it out fails when
// it was not there; it is put back as it was.
bool RegisteredWithTheConsole() {
  if (!SetConsoleCtrlHandler(ConsoleStopHandler, FALSE)) return false;
  SetConsoleCtrlHandler(ConsoleStopHandler, TRUE);
  return true;
}

TEST(ConsoleStop, TheFirstPressStopsAnArmedWatchAndTheNextIsLeftToEndTheProcess) {
  const struct {
    bool armed;
    std::vector<DWORD> presses;
    std::vector<BOOL> answers;  // TRUE: handled; FALSE: the default handler ends the process
    bool stopRequested;
  } cases[] = {
      {false, {CTRL_C_EVENT}, {FALSE}, false},
      {false, {CTRL_BREAK_EVENT}, {FALSE}, false},
      {true, {CTRL_C_EVENT}, {TRUE}, true},
      {true, {CTRL_BREAK_EVENT}, {TRUE}, true},
      {true, {CTRL_C_EVENT, CTRL_C_EVENT}, {TRUE, FALSE}, true},
      {true, {CTRL_BREAK_EVENT, CTRL_C_EVENT, CTRL_C_EVENT}, {TRUE, FALSE, FALSE}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.armed ? "armed, " : "not armed, ") << c.presses.size() << " presses");
    {
      ConsoleStopRequest stop;
      if (c.armed) {
        stop.Arm();
        stop.Arm();  // each machine of a watch arms it
      }
      EXPECT_EQ(RegisteredWithTheConsole(), c.armed);
      std::vector<BOOL> answers;
      for (const DWORD press : c.presses) answers.push_back(ConsoleStopHandler(press));
      EXPECT_EQ(answers, c.answers);
      EXPECT_EQ(stop.Requested(), c.stopRequested);
    }
    // Gone with its request: a press now is the default handler's.
    EXPECT_FALSE(RegisteredWithTheConsole());
    EXPECT_EQ(ConsoleStopHandler(CTRL_C_EVENT), FALSE);
  }
}

}  // namespace
