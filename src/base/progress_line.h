// A line on the console, rewritten in place, that says how far a long run
// has got. It is for the person watching, never for scripts: it goes to
// standard error, and only when that is a console.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

class ProgressLine {
 public:
  virtual ~ProgressLine() = default;
  // Puts `text` (one line, no line end) in place of what the line shows.
  virtual void Show(std::wstring_view text) = 0;
  // Blanks the line and leaves the cursor at its start, so that what is
  // written next on the console starts on a clean line.
  virtual void Erase() = 0;
};

// Rewrites one console line through `write`: back to its start, the new text,
// and blanks over whatever of the old text is longer.
class ConsoleProgressLine final : public ProgressLine {
 public:
  explicit ConsoleProgressLine(std::function<void(std::wstring_view)> write) : write_(std::move(write)) {}
  void Show(std::wstring_view text) override;
  void Erase() override;

 private:
  std::function<void(std::wstring_view)> write_;
  std::wstring scratch_;  // reused for every rewrite
  size_t shown_ = 0;      // characters on the line now
};

// The progress line on standard error, or null where it would do harm: when
// standard error is not a console (a file or pipe keeps every character),
// and when standard output is the console too, where a line rewritten among
// the results would be torn apart by them.
std::unique_ptr<ProgressLine> MakeStderrProgressLine();
