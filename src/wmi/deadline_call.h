// A COM call that its caller may stop waiting for.
#pragma once

#include <windows.h>
#include <wbemcli.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

// Runs `work` on a thread of its own, in the multithreaded apartment, and
// waits at most `timeoutMs` milliseconds for it. Returns what `work`
// returned, with what it produced moved into `result`, or WBEM_E_TIMED_OUT
// when the deadline came first. The thread is not stopped: it ends when the
// work does, and what the work produces after the caller has gone is released
// there, unused. Only work that changes nothing, such as a connection, may be
// left behind like that.
template <class Result>
HRESULT CallWithDeadline(ULONG timeoutMs, std::function<HRESULT(Result&)> work, Result& result) {
  // Whoever comes last, the work or its caller, is left holding it.
  struct Pending {
    std::mutex lock;
    std::condition_variable finished;
    bool done = false;
    bool abandoned = false;
    HRESULT hr = E_FAIL;
    Result result{};
  };
  auto pending = std::make_shared<Pending>();
  std::thread([work = std::move(work), pending]() mutable {
    const HRESULT started = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    {
      Result produced{};
      const HRESULT hr = FAILED(started) ? started : work(produced);
      const std::lock_guard<std::mutex> hold(pending->lock);
      pending->hr = hr;
      if (!pending->abandoned) pending->result = std::move(produced);
      pending->done = true;
      pending->finished.notify_all();
    }
    // COM objects the work holds go while COM is still up on this thread.
    work = nullptr;
    pending.reset();
    if (SUCCEEDED(started)) CoUninitialize();
  }).detach();

  std::unique_lock<std::mutex> hold(pending->lock);
  if (!pending->finished.wait_for(hold, std::chrono::milliseconds(timeoutMs), [&] { return pending->done; })) {
    pending->abandoned = true;
    return static_cast<HRESULT>(WBEM_E_TIMED_OUT);
  }
  result = std::move(pending->result);
  return pending->hr;
}
