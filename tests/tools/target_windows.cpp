// target_windows: stand-ins for the foreign windows the agent drives that Wine does not have.
// Each mode shows one window tree with the class names, styles and layout the agent's window
// recognition and navigation rely on, and behaves as the real control does where the agent
// touches it (an address box that navigates on Enter, a dialog that puts the typed name back).
// It prints what happened to it on stdout, one line per event, flushed at once:
//   ready HWND X Y      the tree is up; X Y is the screen point to middle-click
//   address HWND X Y    (Explorer) where its address bar is
//   navigated PATH      the window now shows (or would extract to) the folder
//   address-edit        a click turned the breadcrumb bar into an address box
//   up                  WinRAR's file list went one level up, out of the archive
//   pressed CAPTION     a button without a part in navigation was pressed
//   refused TEXT        Enter on a text that names no folder
//   hung                the program stopped answering (--hang)
//   shell PID           (terminal) the command processor of its one tab
//   typed TEXT          (qf-keys) Enter ended what was typed into the window since the last Enter
//   address-key         (qf-keys) Ctrl+L, which would open its address box
//   input shared|own    (--watch-input) whether this program's input was still joined to the
//                       agent's when the first message after the mark reached a box
// usage: target_windows MODE [--folder PATH] [--back-tab PATH] [--name NAME] [--at X Y] [--hang]
//                       [--watch-input MARK]
//   MODE: explorer | breadcrumb | explorer11 | ie | vista | office | rar | rar-extract | zip-extract | ace
//         | desktop | terminal | browse | qf-dialog | qf-keys
//   --folder  the folder the window starts in (default: the current one)
//   --back-tab  (explorer11) a second tab, behind the first, showing this folder
//   --other-style  (explorer11) extended styles other than the classic frame's
//   --name    the file name already typed into a file dialog
//   --at      the screen position of the window (default 40 40)
//   --hang    the first message another program sends to the name or address box puts this
//             program to sleep for two minutes, as a hung program would
//   --watch-input  once the file MARK exists, the next message another program sends to a box
//             reports whether this thread's input is attached to the agent's thread
// Exit code 0 when the window is closed, 1 when it could not be made, 2 on bad usage.
#include <windows.h>
#include <shlobj.h>
#include <windowsx.h>

#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>

namespace {

constexpr wchar_t kTargetProp[] = L"qf.target";
constexpr wchar_t kOldProcProp[] = L"qf.oldproc";
// The id a combo box gives its edit field; the Office box uses it too, so tests find either.
constexpr int kNameBoxId = 1001;
constexpr DWORD kHangMs = 120000;
// What the shell's window list stand-in sends a tab window in a WM_COPYDATA: the folder to show.
constexpr ULONG_PTR kShellNavigateData = 0x51464E56;  // "QFNV"
// Posted to a frame to leave address-edit mode once the Enter that caused it has been handled.
constexpr UINT kDropAddressEdit = WM_APP + 1;

// The style of a shell or browser frame the user works in, exactly as the recognition wants it.
constexpr DWORD kFrameStyle =
    WS_VISIBLE | WS_CLIPSIBLINGS | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
constexpr DWORD kPopupStyle = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU;

bool hangWhenDriven = false;
std::wstring watchInputMark;

// Whether this thread shares its input state with the agent's main thread. Detaching is the one
// question the system answers for that, so a shared state is also undone here.
bool InputSharedWithAgent() {
  const HWND agent = ::FindWindowW(L"TQuillFolder", L"Quillrook Folder 1.X");
  const DWORD agentThread = agent != nullptr ? ::GetWindowThreadProcessId(agent, nullptr) : 0;
  return agentThread != 0 && ::AttachThreadInput(::GetCurrentThreadId(), agentThread, FALSE) != FALSE;
}

void Report(const char* verb, const std::wstring& text = {}) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(size > 0 ? static_cast<std::size_t>(size) : 1, '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), size, nullptr, nullptr);
  std::printf(text.empty() ? "%s\n" : "%s %s\n", verb, utf8.c_str());
  std::fflush(stdout);
}

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return !path.empty() && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring TextOf(HWND window) {
  wchar_t text[1024] = {};
  ::GetWindowTextW(window, text, 1024);
  return text;
}

// "HWND X Y": a window and the screen point at the centre of its client area.
std::wstring Where(HWND window) {
  RECT r{};
  ::GetClientRect(window, &r);
  POINT centre{r.right / 2, r.bottom / 2};
  ::ClientToScreen(window, &centre);
  wchar_t text[64] = {};
  std::swprintf(text, 64, L"%06llX %ld %ld", reinterpret_cast<unsigned long long>(window), centre.x, centre.y);
  return text;
}

std::wstring Leaf(const std::wstring& path) {
  const auto slash = path.find_last_of(L'\\', path.size() > 1 ? path.size() - 2 : 0);
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

struct TOptions {
  std::wstring folder;
  std::wstring backTab;     // explorer11: the folder of a second tab, behind the one in front
  bool otherStyle = false;  // explorer11: extended styles other than the classic frame's
  std::wstring name;
  POINT at{40, 40};
};

// One stand-in window tree. The windows of the tree call back into it; `Create` builds the
// tree and answers the window a middle click should land on.
class TTarget {
 public:
  explicit TTarget(const TOptions& options) : folder_(options.folder), name_(options.name) {}
  virtual ~TTarget() = default;
  TTarget(const TTarget&) = delete;
  TTarget& operator=(const TTarget&) = delete;

  virtual HWND Create(POINT at) = 0;
  // Enter in an address or name box.
  virtual void OnReturn(HWND) {}
  // A box's text changed through WM_SETTEXT or a typed character.
  virtual void OnBoxText(HWND, UINT) {}
  virtual void OnCommand(HWND control) { Report("pressed", TextOf(control)); }
  virtual void OnClick(HWND, int) {}
  virtual void OnKey(HWND, WPARAM) {}
  // A character typed into a window of the tree (not into a box).
  virtual void OnChar(HWND, wchar_t) {}
  virtual void OnDropAddressEdit() {}
  // The shell's window list (the stand-in of shell_windows_stand_in.dll) takes a tab window to a
  // folder; true when it went there.
  virtual bool OnShellNavigate(HWND, const std::wstring&) { return false; }

 protected:
  // A window of a class registered here under the foreign program's name.
  HWND Part(HWND parent, const wchar_t* className, RECT r, DWORD style = 0, const wchar_t* text = L"",
            DWORD exStyle = 0);
  // A top-level frame of the shell's browsers at `at`, with exactly their styles.
  HWND ShellFrame(const wchar_t* className, POINT at, const std::wstring& title);
  // A control of the system's own class.
  static HWND Control(HWND parent, const wchar_t* className, RECT r, DWORD style, const wchar_t* text = L"",
                      int id = 0);
  // A "#32770" dialog of the system, owned by `owner`, at a screen position (pixels).
  HWND Dialog(HWND owner, const wchar_t* title, POINT at, SIZE size, DWORD extraStyle = 0);
  // A drop-down combo box whose edit field reports Enter and text changes to this target.
  HWND ComboBoxEdit(HWND parent, RECT r, const std::wstring& text);
  // Makes an edit control report Enter and text changes to this target.
  HWND Box(HWND edit);

  std::wstring folder_;
  std::wstring name_;
};

LRESULT CALLBACK PartProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* target = reinterpret_cast<TTarget*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (target == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
  switch (message) {
    case WM_COMMAND:
      if (lParam != 0 && HIWORD(wParam) == BN_CLICKED) target->OnCommand(reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_LBUTTONUP:
      target->OnClick(window, GET_X_LPARAM(lParam));
      return 0;
    case WM_KEYDOWN:
      target->OnKey(window, wParam);
      return 0;
    case WM_CHAR:
      target->OnChar(window, static_cast<wchar_t>(wParam));
      return 0;
    case kDropAddressEdit:
      target->OnDropAddressEdit();
      return 0;
    case WM_COPYDATA: {
      const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      if (data == nullptr || data->dwData != kShellNavigateData || data->lpData == nullptr ||
          data->cbData < sizeof(wchar_t) || data->cbData % sizeof(wchar_t) != 0)
        return FALSE;
      const auto* text = static_cast<const wchar_t*>(data->lpData);
      return target->OnShellNavigate(window, std::wstring(text, data->cbData / sizeof(wchar_t) - 1)) ? TRUE : FALSE;
    }
    case WM_DESTROY:
      if ((::GetWindowLongW(window, GWL_STYLE) & WS_CHILD) == 0) ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(window, message, wParam, lParam);
  }
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    return TRUE;
  }
  auto* target = reinterpret_cast<TTarget*>(::GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_COMMAND:
      if (target && lParam != 0 && HIWORD(wParam) == BN_CLICKED) target->OnCommand(reinterpret_cast<HWND>(lParam));
      return TRUE;
    case WM_CLOSE:
      ::DestroyWindow(dialog);
      return TRUE;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return TRUE;
    default:
      return FALSE;
  }
}

LRESULT CALLBACK BoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* target = static_cast<TTarget*>(::GetPropW(box, kTargetProp));
  const auto old = reinterpret_cast<WNDPROC>(::GetPropW(box, kOldProcProp));
  if (hangWhenDriven && ::InSendMessage()) {
    hangWhenDriven = false;
    Report("hung");
    ::Sleep(kHangMs);
  }
  if (!watchInputMark.empty() && ::InSendMessage() &&
      ::GetFileAttributesW(watchInputMark.c_str()) != INVALID_FILE_ATTRIBUTES) {
    watchInputMark.clear();
    Report("input", InputSharedWithAgent() ? L"shared" : L"own");
  }
  if (message == WM_KEYDOWN && wParam == VK_RETURN) {
    target->OnReturn(box);
    return 0;
  }
  const LRESULT result = ::CallWindowProcW(old, box, message, wParam, lParam);
  if (message == WM_SETTEXT || message == WM_CHAR) target->OnBoxText(box, message);
  if (message == WM_NCDESTROY) {
    ::RemovePropW(box, kTargetProp);
    ::RemovePropW(box, kOldProcProp);
  }
  return result;
}

HWND TTarget::Part(HWND parent, const wchar_t* className, RECT r, DWORD style, const wchar_t* text, DWORD exStyle) {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  // Registered for this program even where the system has a class of that name (the shell
  // brings the common controls in): a local class wins over a global one. A second
  // registration of the same name fails harmlessly.
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = PartProc;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = className;
  ::RegisterClassExW(&wc);
  if (parent != nullptr) style |= WS_CHILD | WS_VISIBLE;
  return ::CreateWindowExW(exStyle, className, text, style, r.left, r.top, r.right - r.left, r.bottom - r.top, parent,
                           nullptr, instance, this);
}

HWND TTarget::ShellFrame(const wchar_t* className, POINT at, const std::wstring& title) {
  const HWND frame =
      Part(nullptr, className, {at.x, at.y, at.x + 560, at.y + 380}, kFrameStyle, title.c_str(), WS_EX_WINDOWEDGE);
  if (frame == nullptr) return nullptr;
  // The system adds bits of its own to a new frame; the shell's have exactly these.
  ::SetWindowLongW(frame, GWL_STYLE, static_cast<LONG>(kFrameStyle));
  ::SetWindowLongW(frame, GWL_EXSTYLE, WS_EX_WINDOWEDGE);
  return frame;
}

HWND TTarget::Control(HWND parent, const wchar_t* className, RECT r, DWORD style, const wchar_t* text, int id) {
  return ::CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, r.left, r.top, r.right - r.left,
                           r.bottom - r.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           ::GetModuleHandleW(nullptr), nullptr);
}

HWND TTarget::Dialog(HWND owner, const wchar_t* title, POINT at, SIZE size, DWORD extraStyle) {
  // A template without controls; the title and size are set once the dialog exists.
  alignas(DWORD) WORD storage[16] = {};
  auto* dialogTemplate = reinterpret_cast<DLGTEMPLATE*>(storage);
  dialogTemplate->style = kPopupStyle | DS_MODALFRAME | extraStyle;
  const HWND dialog = ::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr), dialogTemplate, owner, DialogProc,
                                                   reinterpret_cast<LPARAM>(this));
  if (dialog == nullptr) return nullptr;
  ::SetWindowTextW(dialog, title);
  ::SetWindowPos(dialog, HWND_TOP, at.x, at.y, size.cx, size.cy, SWP_SHOWWINDOW);
  return dialog;
}

HWND TTarget::Box(HWND edit) {
  if (edit == nullptr) return nullptr;
  ::SetPropW(edit, kTargetProp, this);
  ::SetPropW(edit, kOldProcProp,
             reinterpret_cast<HANDLE>(::SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(BoxProc))));
  return edit;
}

HWND TTarget::ComboBoxEdit(HWND parent, RECT r, const std::wstring& text) {
  const HWND combo = Control(parent, L"ComboBox", r, CBS_DROPDOWN | CBS_AUTOHSCROLL);
  const HWND edit = Box(::FindWindowExW(combo, nullptr, L"Edit", nullptr));
  if (edit) ::SetWindowTextW(edit, text.c_str());
  return edit;
}

// Explorer's frame: WorkerW → ReBarWindow32 → the address bar, either the classic ComboBoxEx32
// or the breadcrumb bar that becomes an address box when its empty end is clicked. The title
// names the folder, as Explorer's does.
class TExplorerFrame : public TTarget {
 public:
  TExplorerFrame(const TOptions& options, bool breadcrumb) : TTarget(options), breadcrumb_(breadcrumb) {}

  HWND Create(POINT at) override {
    frame_ = ShellFrame(L"CabinetWClass", at, Leaf(folder_));
    if (frame_ == nullptr) return nullptr;
    const HWND rebar = Part(Part(frame_, L"WorkerW", {0, 0, 540, 34}), L"ReBarWindow32", {0, 0, 540, 34});
    if (!breadcrumb_) {
      ComboBoxEdit(Part(rebar, L"ComboBoxEx32", {4, 4, 530, 30}), {0, 0, 526, 200}, folder_);
    } else {
      progress_ = Part(Part(rebar, L"Address Band Root", {4, 4, 530, 30}), L"msctls_progress32", {0, 0, 526, 26});
      crumbs_ = Part(Part(progress_, L"Breadcrumb Parent", {0, 0, 526, 26}), L"ToolbarWindow32", {0, 0, 526, 26}, 0,
                     folder_.c_str());
    }
    Report("address", Where(rebar));
    return frame_;
  }

  // Only the empty space right of the crumbs switches to the address box; a crumb navigates.
  void OnClick(HWND window, int x) override {
    RECT bar{};
    if (window != crumbs_ || !::GetClientRect(crumbs_, &bar) || x < bar.right / 2) return;
    if (::FindWindowExW(progress_, nullptr, L"ComboBoxEx32", nullptr)) return;
    ComboBoxEdit(Part(progress_, L"ComboBoxEx32", {0, 0, 526, 26}), {0, 0, 526, 200}, folder_);
    Report("address-edit");
  }

  void OnReturn(HWND box) override {
    const std::wstring text = TextOf(box);
    if (!IsFolder(text)) return Report("refused", text);
    folder_ = text;
    ::SetWindowTextW(frame_, Leaf(folder_).c_str());
    Report("navigated", folder_);
    // Having navigated, the bar shows the crumbs again; not from inside the box's own message.
    if (breadcrumb_) ::PostMessageW(frame_, kDropAddressEdit, 0, 0);
  }

  void OnDropAddressEdit() override {
    if (const HWND comboEx = ::FindWindowExW(progress_, nullptr, L"ComboBoxEx32", nullptr)) ::DestroyWindow(comboEx);
    ::SetWindowTextW(crumbs_, folder_.c_str());
  }

 private:
  bool breadcrumb_;
  HWND frame_ = nullptr;
  HWND progress_ = nullptr;
  HWND crumbs_ = nullptr;
};

// Explorer's frame of Windows 11 (build 22631.3007 and later): no classic address bar at all,
// only its tabs, each a "ShellTabWindowClass" window whose text here is the folder it shows (the
// shell's window list stand-in reads it); the tab behind is hidden. The title names the folder of
// the tab in front by its last part. Only the shell's list can read or drive it.
class TExplorer11Frame : public TTarget {
 public:
  TExplorer11Frame(const TOptions& options)
      : TTarget(options), backTab_(options.backTab), otherStyle_(options.otherStyle) {}

  HWND Create(POINT at) override {
    frame_ = ShellFrame(L"CabinetWClass", at, Leaf(folder_));
    if (frame_ == nullptr) return nullptr;
    // A frame the window styles alone would not call Explorer's: only the shell's list tells.
    if (otherStyle_) ::SetWindowLongW(frame_, GWL_EXSTYLE, WS_EX_WINDOWEDGE | WS_EX_APPWINDOW);
    const HWND front = Part(frame_, L"ShellTabWindowClass", {0, 40, 540, 340}, 0, folder_.c_str());
    if (!backTab_.empty()) {
      const HWND back = Part(frame_, L"ShellTabWindowClass", {0, 40, 540, 340}, 0, backTab_.c_str());
      // Behind in sight, but first among the frame's children: the tab in front is the visible one.
      ::ShowWindow(back, SW_HIDE);
      ::SetWindowPos(back, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    ::SetWindowPos(front, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return frame_;
  }

  bool OnShellNavigate(HWND tab, const std::wstring& folder) override {
    if (!IsFolder(folder)) {
      Report("refused", folder);
      return false;
    }
    ::SetWindowTextW(tab, folder.c_str());
    if (::IsWindowVisible(tab)) ::SetWindowTextW(frame_, Leaf(folder).c_str());
    Report("navigated", folder);
    return true;
  }

 private:
  std::wstring backTab_;
  bool otherStyle_;
  HWND frame_ = nullptr;
};

// Internet Explorer's frame: WorkerW → ReBarWindow32 → "Address Band Root" → Edit; the title
// is the address followed by " - " and the browser's name.
class TBrowserFrame : public TTarget {
 public:
  using TTarget::TTarget;

  HWND Create(POINT at) override {
    frame_ = ShellFrame(L"IEFrame", at, L"");
    if (frame_ == nullptr) return nullptr;
    const HWND rebar = Part(Part(frame_, L"WorkerW", {0, 0, 540, 34}), L"ReBarWindow32", {0, 0, 540, 34});
    const HWND band = Part(rebar, L"Address Band Root", {4, 4, 530, 30});
    ::SetWindowTextW(Box(Control(band, L"Edit", {0, 0, 526, 26}, ES_AUTOHSCROLL)), folder_.c_str());
    Show();
    return frame_;
  }

  void OnReturn(HWND box) override {
    const std::wstring text = TextOf(box);
    if (!IsFolder(text)) return Report("refused", text);
    folder_ = text;
    Show();
    Report("navigated", folder_);
  }

 private:
  void Show() { ::SetWindowTextW(frame_, (folder_ + L" - Internet Explorer").c_str()); }

  HWND frame_ = nullptr;
};

// The Vista-style file dialog: "#32770" with the new-style bit, whose file-name box lives in
// DUIViewWndClassName → DirectUIHWND → FloatNotifySink → ComboBox → Edit. Enter on a folder
// opens it and puts back the name the user had typed, which the dialog keeps on its own.
class TVistaDialog : public TTarget {
 public:
  using TTarget::TTarget;

  HWND Create(POINT at) override {
    const HWND dialog = Dialog(nullptr, L"Vista Save As", at, {460, 320}, DS_SETFOREGROUND);
    if (dialog == nullptr) return nullptr;
    const HWND directUi =
        Part(Part(dialog, L"DUIViewWndClassName", {0, 0, 450, 290}), L"DirectUIHWND", {0, 0, 450, 290});
    ComboBoxEdit(Part(directUi, L"FloatNotifySink", {90, 200, 440, 226}), {0, 0, 350, 200}, name_);
    // The file-type list: a drop-down list, without an edit field.
    Control(Part(directUi, L"FloatNotifySink", {90, 234, 440, 260}), L"ComboBox", {0, 0, 350, 200}, CBS_DROPDOWNLIST);
    return directUi;
  }

  void OnBoxText(HWND box, UINT) override {
    const std::wstring text = TextOf(box);
    if (text.find_first_not_of(L' ') != std::wstring::npos && !IsFolder(text)) name_ = text;
  }

  void OnReturn(HWND box) override {
    const std::wstring text = TextOf(box);
    if (!IsFolder(text)) return Report("refused", text);
    folder_ = text;
    Report("navigated", folder_);
    ::SetWindowTextW(box, name_.c_str());
  }
};

// An Office dialog: class "bosa_sdm_" and a product suffix, its file list a "Snake List", the
// name in a lone Edit. Enter on a folder opens it and leaves the box empty.
class TOfficeDialog : public TTarget {
 public:
  using TTarget::TTarget;

  HWND Create(POINT at) override {
    const HWND dialog =
        Part(nullptr, L"bosa_sdm_Mso96", {at.x, at.y, at.x + 460, at.y + 320}, kPopupStyle, L"Office Save As");
    if (dialog == nullptr) return nullptr;
    const HWND list = Part(dialog, L"Snake List", {10, 10, 440, 200});
    ::SetWindowTextW(Box(Control(dialog, L"Edit", {90, 220, 440, 244}, ES_AUTOHSCROLL | WS_BORDER, L"", kNameBoxId)),
                     name_.c_str());
    return list;
  }

  void OnReturn(HWND box) override {
    const std::wstring text = TextOf(box);
    if (!IsFolder(text)) return Report("refused", text);
    folder_ = text;
    Report("navigated", folder_);
    ::SetWindowTextW(box, L"");
  }
};

// WinRAR's main window, showing the inside of an archive: its address box in
// ReBarWindow32 → ComboBoxEx32 → ComboBox → Edit, Backspace in its file list goes one level up.
class TRarWindow : public TTarget {
 public:
  using TTarget::TTarget;

  HWND Create(POINT at) override {
    const HWND frame = Part(nullptr, L"WinRarWindow", {at.x, at.y, at.x + 460, at.y + 320},
                            WS_OVERLAPPEDWINDOW | WS_VISIBLE, L"backup.rar - WinRAR");
    if (frame == nullptr) return nullptr;
    const HWND rebar = Part(frame, L"ReBarWindow32", {0, 0, 440, 34});
    address_ = ComboBoxEdit(Part(rebar, L"ComboBoxEx32", {4, 4, 430, 30}), {0, 0, 426, 200}, L"backup.rar");
    list_ = Part(frame, L"SysListView32", {0, 40, 440, 280});
    return list_;
  }

  void OnKey(HWND window, WPARAM key) override {
    if (window != list_ || key != VK_BACK || IsFolder(TextOf(address_))) return;
    Report("up");
    ::SetWindowTextW(address_, folder_.c_str());
  }

  void OnReturn(HWND box) override {
    const std::wstring text = TextOf(box);
    if (!IsFolder(text)) return Report("refused", text);
    folder_ = text;
    Report("navigated", folder_);
  }

 private:
  HWND address_ = nullptr;
  HWND list_ = nullptr;
};

// An archiver's extraction dialog: "#32770" owned by the archiver's main window, holding a
// folder tree and the destination in ComboBox → Edit. The destination is taken when a button
// is pressed: for WinRAR the one at the top of its band ("Display"), for WinZip the "->".
class TExtractDialog : public TTarget {
 public:
  TExtractDialog(const TOptions& options, bool zip) : TTarget(options), zip_(zip) {}

  HWND Create(POINT at) override {
    const HWND owner = Part(nullptr, zip_ ? L"WinZipWClass" : L"WinRarWindow", {at.x, at.y, at.x + 300, at.y + 200},
                            WS_OVERLAPPEDWINDOW | WS_VISIBLE, zip_ ? L"WinZip" : L"WinRAR");
    if (owner == nullptr) return nullptr;
    dialog_ = Dialog(owner, zip_ ? L"Extract" : L"Extraction path and options", {at.x + 30, at.y + 30}, {460, 330});
    if (dialog_ == nullptr) return nullptr;
    destination_ = ComboBoxEdit(dialog_, {10, 10, 340, 200}, folder_);
    if (zip_) {
      go_ = Control(dialog_, L"Button", {350, 10, 390, 34}, BS_PUSHBUTTON, L"->");
    } else {
      const HWND band = Part(dialog_, L"QfButtonBand", {350, 6, 450, 40});
      go_ = Control(band, L"Button", {4, 4, 90, 28}, BS_PUSHBUTTON, L"Display");
    }
    const HWND tree = Part(dialog_, L"SysTreeView32", {10, 44, 440, 240}, WS_BORDER);
    Control(dialog_, L"Button", {270, 250, 350, 274}, BS_DEFPUSHBUTTON, L"OK", IDOK);
    Control(dialog_, L"Button", {360, 250, 440, 274}, BS_PUSHBUTTON, L"Cancel", IDCANCEL);
    return tree;
  }

  void OnCommand(HWND control) override {
    if (control != go_) return TTarget::OnCommand(control);
    const std::wstring text = TextOf(destination_);
    if (!IsFolder(text)) return Report("refused", text);
    folder_ = text;
    Report("navigated", folder_);
  }

 private:
  bool zip_;
  HWND dialog_ = nullptr;
  HWND destination_ = nullptr;
  HWND go_ = nullptr;
};

// An archiver's "TTargetDlg": TPanel → TIEAddress → Edit. The box takes only what is typed:
// text set from outside shows, but only typed characters change the destination.
class TAceDialog : public TTarget {
 public:
  using TTarget::TTarget;

  HWND Create(POINT at) override {
    const HWND dialog = Part(nullptr, L"TTargetDlg", {at.x, at.y, at.x + 460, at.y + 260}, kPopupStyle, L"Extract to");
    if (dialog == nullptr) return nullptr;
    const HWND address = Part(Part(dialog, L"TPanel", {0, 0, 450, 40}), L"TIEAddress", {6, 6, 440, 32});
    ::SetWindowTextW(Box(Control(address, L"Edit", {0, 0, 434, 26}, ES_AUTOHSCROLL)), folder_.c_str());
    return Part(dialog, L"TPanel", {0, 44, 450, 220});
  }

  void OnBoxText(HWND box, UINT message) override {
    const std::wstring text = TextOf(box);
    if (message != WM_CHAR || text == folder_ || !IsFolder(text)) return;
    folder_ = text;
    Report("navigated", folder_);
  }
};

// A dialog of a program the recognition does not know: QfTestDialog → QfPane → QfInner → Edit,
// the box three levels down holding a name of its own ("secret-name.txt" unless --name says).
// Enter on a folder there opens it and puts the name back, as the system's file dialog does.
class TQfTestDialog : public TVistaDialog {
 public:
  explicit TQfTestDialog(const TOptions& options) : TVistaDialog(options) {
    if (name_.empty()) name_ = L"secret-name.txt";
  }

  HWND Create(POINT at) override {
    const HWND dialog =
        Part(nullptr, L"QfTestDialog", {at.x, at.y, at.x + 460, at.y + 260}, kPopupStyle, L"Quillrook Test Dialog");
    if (dialog == nullptr) return nullptr;
    const HWND pane = Part(dialog, L"QfPane", {0, 0, 450, 220});
    const HWND inner = Part(pane, L"QfInner", {10, 10, 440, 60});
    ::SetWindowTextW(Box(Control(inner, L"Edit", {0, 0, 420, 26}, ES_AUTOHSCROLL, L"", 1001)), name_.c_str());
    return pane;
  }
};

// The same program's dialog without a child window, as the file dialogs of some toolkits are: it
// reads the keys typed into it itself.
//   typed TEXT     Enter ended what was typed since the last Enter or address key
//   address-key    Ctrl+L, which would open its address box
class TQfKeysDialog : public TTarget {
 public:
  using TTarget::TTarget;

  HWND Create(POINT at) override {
    return Part(nullptr, L"QfTestDialog", {at.x, at.y, at.x + 460, at.y + 260}, kPopupStyle, L"Quillrook Keys Dialog");
  }

  void OnChar(HWND, wchar_t c) override {
    if (c >= L' ') typed_ += c;
  }

  void OnKey(HWND, WPARAM key) override {
    if (key == 'L' && ::GetKeyState(VK_CONTROL) < 0) {
      typed_.clear();
      Report("address-key");
    } else if (key == VK_RETURN) {
      Report("typed", typed_);
      if (IsFolder(typed_)) Report("navigated", typed_);
      typed_.clear();
    }
  }

 private:
  std::wstring typed_;
};

// The shell's desktop: Progman → SHELLDLL_DefView → SysListView32. It is never navigated; a
// folder picked for it opens in a new window.
class TDesktop : public TTarget {
 public:
  using TTarget::TTarget;

  HWND Create(POINT at) override {
    const HWND desktop =
        Part(nullptr, L"Progman", {at.x, at.y, at.x + 400, at.y + 300}, WS_POPUP | WS_VISIBLE, L"Program Manager");
    if (desktop == nullptr) return nullptr;
    return Part(Part(desktop, L"SHELLDLL_DefView", {0, 0, 400, 300}), L"SysListView32", {0, 0, 400, 300});
  }
};

// Windows Terminal's frame: its tabs' shells run on pseudo consoles that have no window of their
// own on the screen. Here one command processor on a console without a window, started by this
// program as the terminal starts its tabs' shells; it ends with the frame.
class TTerminal : public TTarget {
 public:
  using TTarget::TTarget;
  ~TTerminal() override {
    if (shell_.hProcess != nullptr) {
      ::TerminateProcess(shell_.hProcess, 0);
      ::CloseHandle(shell_.hProcess);
      ::CloseHandle(shell_.hThread);
    }
  }

  HWND Create(POINT at) override {
    const HWND frame =
        Part(nullptr, L"CASCADIA_HOSTING_WINDOW_CLASS", {at.x, at.y, at.x + 400, at.y + 300}, kFrameStyle, L"Terminal");
    if (frame == nullptr) return nullptr;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring command = L"cmd.exe";
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, folder_.c_str(),
                          &startup, &shell_))
      return nullptr;
    Report("shell", std::to_wstring(shell_.dwProcessId));
    return frame;
  }

 private:
  PROCESS_INFORMATION shell_{};
};

void ReportReady(HWND click) { Report("ready", Where(click)); }

// The system's folder-browse dialog (Wine has it), brought to a known place.
int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED) {
    const auto* at = reinterpret_cast<const POINT*>(data);
    ::SetWindowPos(dialog, HWND_TOP, at->x, at->y, 0, 0, SWP_NOSIZE);
    const HWND tree = ::FindWindowExW(dialog, nullptr, L"SysTreeView32", nullptr);
    ReportReady(tree ? tree : dialog);
  }
  return 0;
}

int Browse(const TOptions& options) {
  if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  BROWSEINFOW info{};
  info.lpszTitle = L"Choose a folder";
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  info.lpfn = BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(&options.at);
  if (PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderW(&info)) ::CoTaskMemFree(chosen);
  ::CoUninitialize();
  return 0;
}

std::unique_ptr<TTarget> MakeTarget(const std::wstring& mode, const TOptions& options) {
  if (mode == L"explorer") return std::make_unique<TExplorerFrame>(options, false);
  if (mode == L"breadcrumb") return std::make_unique<TExplorerFrame>(options, true);
  if (mode == L"explorer11") return std::make_unique<TExplorer11Frame>(options);
  if (mode == L"ie") return std::make_unique<TBrowserFrame>(options);
  if (mode == L"vista") return std::make_unique<TVistaDialog>(options);
  if (mode == L"office") return std::make_unique<TOfficeDialog>(options);
  if (mode == L"rar") return std::make_unique<TRarWindow>(options);
  if (mode == L"rar-extract") return std::make_unique<TExtractDialog>(options, false);
  if (mode == L"zip-extract") return std::make_unique<TExtractDialog>(options, true);
  if (mode == L"ace") return std::make_unique<TAceDialog>(options);
  if (mode == L"desktop") return std::make_unique<TDesktop>(options);
  if (mode == L"qf-dialog") return std::make_unique<TQfTestDialog>(options);
  if (mode == L"qf-keys") return std::make_unique<TQfKeysDialog>(options);
  if (mode == L"terminal") return std::make_unique<TTerminal>(options);
  return nullptr;
}

int Usage() {
  std::fwprintf(
      stderr,
      L"usage: target_windows explorer|breadcrumb|explorer11|ie|vista|office|rar|rar-extract|zip-extract|ace|desktop"
      L"|terminal"
      L"|browse [--folder PATH] [--back-tab PATH] [--other-style] [--name NAME] [--at X Y] [--hang] [--watch-input "
      L"MARK]\n");
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Usage();
  const std::wstring mode = argv[1];
  TOptions options;
  wchar_t current[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, current);
  options.folder = current;
  for (int i = 2; i < argc; ++i) {
    const std::wstring option = argv[i];
    if (option == L"--folder" && i + 1 < argc) {
      options.folder = argv[++i];
    } else if (option == L"--other-style") {
      options.otherStyle = true;
    } else if (option == L"--back-tab" && i + 1 < argc) {
      options.backTab = argv[++i];
    } else if (option == L"--name" && i + 1 < argc) {
      options.name = argv[++i];
    } else if (option == L"--at" && i + 2 < argc) {
      options.at = {std::wcstol(argv[i + 1], nullptr, 10), std::wcstol(argv[i + 2], nullptr, 10)};
      i += 2;
    } else if (option == L"--hang") {
      hangWhenDriven = true;
    } else if (option == L"--watch-input" && i + 1 < argc) {
      watchInputMark = argv[++i];
    } else {
      return Usage();
    }
  }
  if (mode == L"browse") return Browse(options);

  const std::unique_ptr<TTarget> target = MakeTarget(mode, options);
  if (target == nullptr) return Usage();
  const HWND click = target->Create(options.at);
  if (click == nullptr) return 1;
  ReportReady(click);
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return 0;
}
