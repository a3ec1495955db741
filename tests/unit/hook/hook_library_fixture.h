// What the hook's tests share: qf.dll loaded from the tests' own folder like the agent loads it,
// installed with chosen flags and removed after each test, and the queue drained for checking.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "hook/hook_contract.h"
#include "hook/qf.h"
#include "win/handles.h"

namespace hooktest {

inline std::wstring TestFolder() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

// A window handle as the queue carries it.
inline std::uint32_t HandleValue(HWND window) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(window));
}

inline std::vector<hook::TQueueSlot> Drain(hook::THookShare& share) {
  std::vector<hook::TQueueSlot> slots;
  hook::DrainQueue(share, [&](const hook::TQueueSlot& slot) { slots.push_back(slot); });
  return slots;
}

class THookLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    library_.reset(::LoadLibraryW((TestFolder() + hook::kLibraryName).c_str()));
    ASSERT_TRUE(library_) << "qf.dll next to the tests, error " << ::GetLastError();
    setHook_ = win::ProcAddress<hook::TSetHook>(library_.get(), "SetHook");
    removeHook_ = win::ProcAddress<hook::TRemoveHook>(library_.get(), "RemoveHook");
    ASSERT_NE(setHook_, nullptr);
    ASSERT_NE(removeHook_, nullptr);
  }
  void TearDown() override {
    if (removeHook_) removeHook_();
  }

  // The flags in SetHook's order: MouseWheel, Help, RExplorer, MExplorer, MIExplorer, MDesktop,
  // MouseMButton; the agent is this thread.
  hook::THookShare* Install(DWORD mouseWheel, DWORD help, DWORD rExplorer, DWORD mExplorer, DWORD mIExplorer,
                            DWORD mDesktop, DWORD mouseMButton) {
    return setHook_(::GetCurrentThreadId(), 0, mouseWheel, 0, help, rExplorer, mExplorer, mIExplorer, mDesktop,
                    mouseMButton);
  }
  void Remove() { removeHook_(); }
  // The list of the user's own dialogs as the agent fills it.
  hook::TDialogList* DialogList() {
    const auto dialogList = win::ProcAddress<hook::TDialogListFn>(library_.get(), "DialogList");
    return dialogList != nullptr ? dialogList() : nullptr;
  }

 private:
  win::TModuleHandle library_;
  hook::TSetHook setHook_ = nullptr;
  hook::TRemoveHook removeHook_ = nullptr;
};

}  // namespace hooktest
