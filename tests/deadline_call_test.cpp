// The wait that bounds a connection to a machine that does not answer.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>

#include "wmi/deadline_call.h"

namespace {

TEST(CallWithDeadline, GivesUpAtItsDeadlineInMillisecondsAndPassesOnWhatCameInTime) {
  int result = 0;
  EXPECT_EQ(CallWithDeadline<int>(60000, [](int& produced) { produced = 7; return S_FALSE; }, result), S_FALSE);
  EXPECT_EQ(result, 7);

  // Work that answers only when released, or on its own after 20 seconds: a
  // deadline of 200 ms read as seconds would wait for that answer instead.
  const std::shared_ptr<void> released(CreateEventW(nullptr, TRUE, FALSE, nullptr), CloseHandle);
  result = 0;
  const HRESULT hr = CallWithDeadline<int>(
      200,
      [released](int& produced) {
        produced = 1;
        return WaitForSingleObject(released.get(), 20000) == WAIT_OBJECT_0 ? S_OK : E_ABORT;
      },
      result);
  EXPECT_EQ(hr, static_cast<HRESULT>(WBEM_E_TIMED_OUT));
  EXPECT_EQ(result, 0) << "a result that came too late was handed out";
  SetEvent(released.get());
}

}  // namespace
