#include "core/thread_requests.h"

#include <algorithm>
#include <utility>

#include "diagnostics/guarded.h"

namespace {

// Requests kept through one modal loop at most: a user passes a folder or two meanwhile; a flood
// another program posts is not kept past this.
constexpr std::size_t kMaxKeptRequests = 64;

}  // namespace

thread_local TThreadRequests* TThreadRequests::keeper_ = nullptr;

TThreadRequests::~TThreadRequests() {
  hook_.reset();
  if (keeper_ == this) keeper_ = nullptr;
}

bool TThreadRequests::Keep(UINT message) {
  if (message != 0) messages_.push_back(message);
  keeper_ = this;
  if (!hook_) hook_.reset(::SetWindowsHookExW(WH_MSGFILTER, FilterProc, nullptr, ::GetCurrentThreadId()));
  return static_cast<bool>(hook_);
}

std::vector<MSG> TThreadRequests::Take() { return std::exchange(kept_, {}); }

// A message that cannot be kept goes on as the loop would have had it.
LRESULT CALLBACK TThreadRequests::FilterProc(int code, WPARAM wParam, LPARAM lParam) {
  const auto* message = reinterpret_cast<const MSG*>(lParam);
  TThreadRequests* keeper = keeper_;
  if (code >= 0 && keeper != nullptr && message != nullptr && message->hwnd == nullptr &&
      std::find(keeper->messages_.begin(), keeper->messages_.end(), message->message) != keeper->messages_.end() &&
      Guarded(L"QuillFolder.KeepRequest", [&] {
        if ((!keeper->serve_ || !keeper->serve_(*message)) && keeper->kept_.size() < kMaxKeptRequests)
          keeper->kept_.push_back(*message);
      }))
    return TRUE;
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
