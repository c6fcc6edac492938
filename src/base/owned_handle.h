// A kernel handle this program opened, closed when it goes.
#pragma once

#include <windows.h>

class OwnedHandle {
 public:
  OwnedHandle() = default;
  explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
  ~OwnedHandle() {
    if (Valid()) CloseHandle(handle_);
  }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;

  // CreateFileW fails with INVALID_HANDLE_VALUE, OpenProcessToken and most
  // other openers with null: neither is a handle to close.
  bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }
  // For openers that hand the handle back through a pointer. Whatever was
  // held is closed first, so that the opener cannot overwrite an open handle.
  HANDLE* Receive() {
    if (Valid()) CloseHandle(handle_);
    handle_ = nullptr;
    return &handle_;
  }

 private:
  HANDLE handle_ = nullptr;
};
