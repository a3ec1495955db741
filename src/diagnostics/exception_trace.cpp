// The throws are seen by wrapping the C++ runtime's __cxa_throw at link time (-Wl,--wrap), the
// one place every C++ throw of a GCC-built program passes, the runtime's own included. Another
// compiler's build would see them through a vectored exception handler instead.
#include "diagnostics/exception_trace.h"

#include <windows.h>
#include <dbghelp.h>

#include <cxxabi.h>

#include <atomic>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <typeinfo>
#include <utility>

#include "diagnostics/log_format.h"
#include "diagnostics/logger.h"

namespace {

constexpr ULONG kMaxFrames = 62;
// Socket errors of the mail client are part of trying to send a report, not faults.
constexpr const wchar_t* kUnrecorded[] = {L"EIdNotASocket", L"EIdConnectTimeout", L"EIdSocketError"};

std::atomic<bool> recording{false};
thread_local std::vector<void*> lastThrowStack;
thread_local bool tracing = false;  // a throw inside the handler itself is not traced again

// dbghelp serves one caller at a time, and loads the program's symbols on first use.
std::mutex& SymbolLock() {
  static std::mutex lock;
  return lock;
}

// The shipped program is stripped: its symbols are in "<program>.debug" beside it. dbghelp is
// told to take them from there for the program's own addresses.
void UseSeparateSymbols(HMODULE module) {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH - 6) return;
  const std::wstring symbols = std::wstring(path, length) + L".debug";
  if (::GetFileAttributesW(symbols.c_str()) == INVALID_FILE_ATTRIBUTES) return;
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(reinterpret_cast<const BYTE*>(module) + dos->e_lfanew);
  const auto base = reinterpret_cast<DWORD64>(module);
  ::SymUnloadModule64(::GetCurrentProcess(), base);
  ::SymLoadModuleExW(::GetCurrentProcess(), nullptr, symbols.c_str(), nullptr, base, nt->OptionalHeader.SizeOfImage,
                     nullptr, 0);
}

bool SymbolsReady() {
  static const bool ready = [] {
    ::SymSetOptions(SYMOPT_UNDNAME | SYMOPT_LOAD_LINES | SYMOPT_DEFERRED_LOADS | SYMOPT_FAIL_CRITICAL_ERRORS);
    if (!::SymInitializeW(::GetCurrentProcess(), nullptr, TRUE)) return false;
    UseSeparateSymbols(::GetModuleHandleW(nullptr));
    return true;
  }();
  return ready;
}

struct TResolved {
  std::wstring procedure;
  std::wstring file;
  unsigned line = 0;
};

TResolved Resolve(void* address) {
  TResolved resolved;
  const std::lock_guard<std::mutex> lock(SymbolLock());
  if (!SymbolsReady()) return resolved;
  // A return address points after its call: one byte back is still the calling line.
  const DWORD64 at = reinterpret_cast<DWORD64>(address) - 1;
  alignas(SYMBOL_INFOW) unsigned char buffer[sizeof(SYMBOL_INFOW) + MAX_SYM_NAME * sizeof(wchar_t)] = {};
  auto* symbol = reinterpret_cast<SYMBOL_INFOW*>(buffer);
  symbol->SizeOfStruct = sizeof(SYMBOL_INFOW);
  symbol->MaxNameLen = MAX_SYM_NAME;
  DWORD64 displacement = 0;
  if (::SymFromAddrW(::GetCurrentProcess(), at, &displacement, symbol))
    resolved.procedure.assign(symbol->Name, symbol->NameLen);
  IMAGEHLP_LINEW64 line{};
  line.SizeOfStruct = sizeof line;
  DWORD lineDisplacement = 0;
  if (::SymGetLineFromAddrW64(::GetCurrentProcess(), at, &lineDisplacement, &line)) {
    resolved.file = line.FileName != nullptr ? line.FileName : L"";
    resolved.line = line.LineNumber;
  }
  return resolved;
}

std::wstring Widened(const char* text) {
  std::wstring wide;
  for (const char* c = text; *c != '\0'; ++c) wide += static_cast<wchar_t>(static_cast<unsigned char>(*c));
  return wide;
}

std::wstring ClassName(const std::type_info* type) {
  int status = 0;
  char* demangled = abi::__cxa_demangle(type->name(), nullptr, nullptr, &status);
  std::wstring name = Widened(status == 0 && demangled != nullptr ? demangled : type->name());
  std::free(demangled);
  return name;
}

void WriteBlock(const std::wstring& className, const std::wstring* message, const std::vector<void*>& stack) {
  std::wstring location;
  std::vector<std::wstring> frames;
  if (!stack.empty()) {
    const TResolved where = Resolve(stack.front());
    location = where.procedure.empty() || where.file.empty()
                   ? logformat::TraceAddress(reinterpret_cast<std::uintptr_t>(stack.front()))
                   : logformat::TraceLocation(where.procedure, where.line, where.file);
    for (void* frame : stack) frames.push_back(DescribeFrame(frame));
  }
  // The whole run log: the block takes its tail, the newest line included.
  auto block = logformat::TraceBlock(LogDateTimeText(), className, location, message, RunLogForBlock(), frames);
  if (!LogFolder.empty()) SaveLogToFile(LogFolder + logformat::kErrorLogName, block);
}

void Record(void* object, const std::type_info* type, const std::vector<void*>& stack) {
  const std::wstring className = ClassName(type);
  for (const wchar_t* skipped : kUnrecorded)
    if (className == skipped) return;
  // The message of anything that is a std::exception, found the way a catch clause finds it.
  std::wstring message;
  bool hasMessage = false;
  void* adjusted = object;
  if (typeid(std::exception).__do_catch(type, &adjusted, 1)) {
    message = ExceptionText(*static_cast<const std::exception*>(adjusted));
    hasMessage = true;
  }
  WriteBlock(className, hasMessage ? &message : nullptr, stack);
}

}  // namespace

void StartExceptionTrace() { recording = true; }

void TraceStructuredException(const std::wstring& className, const std::wstring& message,
                              const std::vector<void*>& stack) {
  if (TraceSuppressed.exchange(true)) return;
  struct TClear {
    ~TClear() { TraceSuppressed = false; }
  } clear;
  WriteBlock(className, &message, stack);
}

std::vector<void*> TakeThrowStack() { return std::exchange(lastThrowStack, {}); }

std::wstring DescribeFrame(void* address, bool procedureOnly) {
  const TResolved where = Resolve(address);
  const std::wstring hex = logformat::HexText(reinterpret_cast<std::uintptr_t>(address), 2 * sizeof(void*));
  if (procedureOnly) return where.procedure.empty() ? hex : where.procedure;
  std::wstring text = L"[" + hex + L"] " + (where.procedure.empty() ? L"?" : where.procedure);
  if (!where.file.empty()) text += L" (" + where.file + L":" + std::to_wstring(where.line) + L")";
  return text;
}

extern "C" {

[[noreturn]] void __real___cxa_throw(void* object, std::type_info* type, void (*destructor)(void*));

[[noreturn]] void __wrap___cxa_throw(void* object, std::type_info* type, void (*destructor)(void*)) {
  if (!tracing) {
    tracing = true;
    try {
      void* frames[kMaxFrames];
      // Leaves this wrapper out: the first frame is where the throw was written.
      const USHORT count = ::RtlCaptureStackBackTrace(1, kMaxFrames, frames, nullptr);
      lastThrowStack.assign(frames, frames + count);
      if (recording && !TraceSuppressed.exchange(true)) {
        struct TClear {
          ~TClear() { TraceSuppressed = false; }
        } clear;
        Record(object, type, lastThrowStack);
      }
    } catch (...) {
      // Tracing never changes what is thrown.
    }
    tracing = false;
  }
  __real___cxa_throw(object, type, destructor);
}

}  // extern "C"
