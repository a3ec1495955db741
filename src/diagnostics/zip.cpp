#include "diagnostics/zip.h"

#include <atomic>
#include <optional>
#include <thread>

#include "win/text.h"

namespace {

constexpr DWORD kWorkerPollMs = 10;  // how often the caller looks whether the worker is done

std::string Utf8(const std::wstring& text) { return win::FromWide(text, CP_UTF8); }

[[noreturn]] void Fail(int reason) { throw EZipError(ZipReasonText(reason), kZipOperation | (reason & 0xFFF)); }

class TFileSource : public IZipSource {
 public:
  explicit TFileSource(HANDLE file) : file_(file) {}
  long long Read(void* buffer, std::size_t length) override {
    DWORD got = 0;
    if (!::ReadFile(file_, buffer, static_cast<DWORD>(length), &got, nullptr)) return -1;
    return got;
  }
  std::uint64_t Size() override {
    LARGE_INTEGER size{};
    return ::GetFileSizeEx(file_, &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
  }

 private:
  HANDLE file_;
};

// The worker: opens the source (others may go on reading and writing it) and deflates it into
// the archive at its current position; `finished` is its last word.
TDeflated ZipThread(const std::wstring& path, IZipOutput& output, std::size_t bufferSize) {
  const win::TFileHandle source(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!source) {
    TDeflated failed;
    failed.reason = kZipOperation | zrOpen;
    return failed;
  }
  TFileSource reader(source.get());
  return DeflateInto(reader, output, bufferSize);
}

}  // namespace

class TZip::TFileOutput : public IZipOutput {
 public:
  explicit TFileOutput(HANDLE file) : file_(file) {}
  bool Write(const void* data, std::size_t length) override {
    DWORD written = 0;
    return ::WriteFile(file_.get(), data, static_cast<DWORD>(length), &written, nullptr) && written == length;
  }
  std::uint64_t Position() override {
    LARGE_INTEGER zero{}, at{};
    return ::SetFilePointerEx(file_.get(), zero, &at, FILE_CURRENT) ? static_cast<std::uint64_t>(at.QuadPart) : 0;
  }
  bool Seek(std::uint64_t position) override {
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(position);
    return ::SetFilePointerEx(file_.get(), to, nullptr, FILE_BEGIN) != FALSE;
  }
  std::uint64_t Size() override {
    LARGE_INTEGER size{};
    return ::GetFileSizeEx(file_.get(), &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
  }

 private:
  win::TFileHandle file_;
};

TZip::TZip(const std::wstring& path, std::size_t bufferSize, const std::wstring& baseFolder)
    : path_(path), bufferSize_(bufferSize), baseFolder_(baseFolder) {
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw EZipError("Error creating " + Utf8(path), kZipOperation | zrCreate);
  output_ = std::make_unique<TFileOutput>(file);
  writer_ = std::make_unique<TZipWriter>(*output_);
}

TZip::~TZip() {
  try {
    Close();
  } catch (const EZipError&) {
  }
}

std::wstring TZip::EntryName(const std::wstring& path) const { return ZipEntryName(path, baseFolder_); }

bool TZip::AddFile(const std::wstring& path) {
  if (!output_) Fail(zrWrite);
  if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
  std::string name = win::FromWide(EntryName(path), CP_ACP);
  if (name.size() > 255) name.resize(255);
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    Fail(zrRead);
  const std::uint64_t size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  if (size > kLargestFile) return false;
  FILETIME local{};
  WORD date = 0, time = 0;
  ::FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
  ::FileTimeToDosDateTime(&local, &date, &time);
  const std::uint32_t dateTime = (static_cast<std::uint32_t>(date) << 16) | time;

  std::uint64_t offset = 0;
  if (!writer_->BeginEntry(name, dateTime, offset)) Fail(zrWrite);
  // The worker owns the archive stream until it is done; meanwhile this thread answers its
  // windows (the error dialog stays alive while a report is packed).
  std::atomic<bool> finished{false};
  TDeflated deflated;
  std::thread worker([&] {
    deflated = ZipThread(path, *output_, bufferSize_);
    finished = true;
  });
  std::optional<WPARAM> quit;
  while (!finished) {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      // A quit (the tray's "Exit") is the main loop's to see: it is posted again once packed.
      if (message.message == WM_QUIT) {
        quit = message.wParam;
        continue;
      }
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    ::Sleep(kWorkerPollMs);
  }
  worker.join();
  if (quit) ::PostQuitMessage(static_cast<int>(*quit));
  if (!writer_->FinishEntry(name, offset, dateTime, static_cast<std::uint16_t>(data.dwFileAttributes), deflated))
    Fail(zrWrite);
  if ((deflated.reason & 0xFFF) != zrNone) Fail(deflated.reason);
  return true;
}

void TZip::Close() {
  if (!output_) return;
  const bool written = writer_->Finish();
  writer_.reset();
  output_.reset();
  if (!written) throw EZipError("Error writing " + Utf8(path_), kZipOperation | zrWrite);
}
