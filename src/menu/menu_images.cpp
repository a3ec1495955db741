#include "menu/menu_images.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "resource.h"
#include "win/look_rules.h"

namespace {

struct TChannelMasks {
  DWORD red = 0x00FF0000;
  DWORD green = 0x0000FF00;
  DWORD blue = 0x000000FF;
  DWORD alpha = 0xFF000000;
};

int LowestBit(DWORD mask) {
  int shift = 0;
  while (mask != 0 && (mask & 1u) == 0) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

// Only whole-byte channels are read: anything else is not the strip this program ships.
bool ByteMask(DWORD mask) { return mask != 0 && (mask >> LowestBit(mask)) == 0xFF; }

std::uint32_t Channel(std::uint32_t pixel, DWORD mask) { return (pixel & mask) >> LowestBit(mask); }

// Menus blend a 32-bit item bitmap as premultiplied colour (AlphaBlend with AC_SRC_ALPHA), so
// each channel is scaled by the pixel's coverage here, once, rather than at every paint.
std::uint32_t Premultiplied(std::uint32_t pixel, const TChannelMasks& masks) {
  const std::uint32_t alpha = Channel(pixel, masks.alpha);
  const auto scale = [alpha](std::uint32_t c) { return (c * alpha + 127) / 255; };
  return alpha << 24 | scale(Channel(pixel, masks.red)) << 16 | scale(Channel(pixel, masks.green)) << 8 |
         scale(Channel(pixel, masks.blue));
}

// Cuts the strip of `size` pixels of `resources` into its images; all null when the strip is
// missing or not 32 bits of 20 images of that size.
std::array<win::TBitmapHandle, TMenuImages::kCount> CutStrip(HINSTANCE resources, int size) {
  constexpr int kCount = TMenuImages::kCount;
  std::array<win::TBitmapHandle, kCount> none;
  int position = 0;
  while (position < static_cast<int>(look::kImageSizes.size()) && look::kImageSizes[position] != size) ++position;
  if (position == static_cast<int>(look::kImageSizes.size())) return none;
  const HRSRC found = ::FindResourceW(resources, MAKEINTRESOURCEW(IDB_MENUIMAGES + position), RT_BITMAP);
  if (found == nullptr) return none;
  const DWORD length = ::SizeofResource(resources, found);
  const HGLOBAL loaded = ::LoadResource(resources, found);
  const auto* bytes = static_cast<const unsigned char*>(loaded != nullptr ? ::LockResource(loaded) : nullptr);
  if (bytes == nullptr || length < sizeof(BITMAPINFOHEADER)) return none;

  // The resource is a packed DIB: a header of biSize bytes, maybe masks and a palette, pixels.
  BITMAPINFOHEADER header{};
  std::memcpy(&header, bytes, sizeof header);
  const LONG width = header.biWidth;
  const LONG height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
  const bool bottomUp = header.biHeight > 0;
  if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biSize > length || header.biPlanes != 1 ||
      header.biBitCount != 32 || width != size * kCount || height != size) {
    return none;
  }
  TChannelMasks masks;
  std::size_t offset = header.biSize;
  if (header.biCompression == BI_BITFIELDS) {
    // Version 4 and 5 headers carry the masks, alpha included; a plain header is followed by
    // three of them, and alpha then takes the top byte, as in a 32-bit BI_RGB bitmap.
    const bool inHeader = header.biSize >= sizeof(BITMAPV4HEADER);
    const std::size_t at = inHeader ? offsetof(BITMAPV4HEADER, bV4RedMask) : header.biSize;
    if (length < at + 4 * sizeof(DWORD)) return none;
    std::memcpy(&masks.red, bytes + at, sizeof(DWORD));
    std::memcpy(&masks.green, bytes + at + 4, sizeof(DWORD));
    std::memcpy(&masks.blue, bytes + at + 8, sizeof(DWORD));
    if (inHeader)
      std::memcpy(&masks.alpha, bytes + at + 12, sizeof(DWORD));
    else
      offset += 3 * sizeof(DWORD);
  } else if (header.biCompression != BI_RGB) {
    return none;
  }
  if (!ByteMask(masks.red) || !ByteMask(masks.green) || !ByteMask(masks.blue) || !ByteMask(masks.alpha)) return none;
  offset += static_cast<std::size_t>(header.biClrUsed) * sizeof(RGBQUAD);
  const std::size_t stride = static_cast<std::size_t>(width) * 4;
  if (length < offset + stride * static_cast<std::size_t>(height)) return none;
  const unsigned char* pixels = bytes + offset;

  std::array<win::TBitmapHandle, kCount> made;
  for (int i = 0; i < kCount; ++i) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = -size;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    made[i].reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!made[i] || bits == nullptr) return none;
    auto* out = static_cast<std::uint32_t*>(bits);
    for (int y = 0; y < size; ++y) {
      const unsigned char* row = pixels + stride * static_cast<std::size_t>(bottomUp ? height - 1 - y : y);
      for (int x = 0; x < size; ++x) {
        std::uint32_t pixel = 0;
        std::memcpy(&pixel, row + static_cast<std::size_t>(i * size + x) * 4, sizeof pixel);
        out[y * size + x] = Premultiplied(pixel, masks);
      }
    }
  }
  // GDI may batch writes to a DIB section's bits: finish them before a menu draws from it.
  ::GdiFlush();
  return made;
}

}  // namespace

bool TMenuImages::Load(HINSTANCE resources) {
  strips_.clear();
  resources_ = nullptr;
  size_ = kSize;
  dpi_ = look::kBaseDpi;
  TStrip base = CutStrip(resources, kSize);
  if (!base[0]) return false;
  resources_ = resources;
  strips_.emplace(kSize, std::move(base));
  return true;
}

const TMenuImages::TStrip* TMenuImages::Strip(int size) {
  if (resources_ == nullptr) return nullptr;
  auto found = strips_.find(size);
  if (found == strips_.end()) found = strips_.emplace(size, CutStrip(resources_, size)).first;
  return found->second[0] ? &found->second : nullptr;
}

int TMenuImages::SetDpi(unsigned dpi) {
  if (resources_ == nullptr) return size_;
  dpi_ = look::UsableDpi(dpi);
  int size = look::ImageSizeFor(dpi_);
  // A strip that does not load gives way to the next smaller one; 16 pixels loaded with Load.
  while (size > kSize && Strip(size) == nullptr) {
    int smaller = kSize;
    for (const int s : look::kImageSizes)
      if (s < size) smaller = s;
    size = smaller;
  }
  size_ = size;
  return size_;
}

HBITMAP TMenuImages::Bitmap(int index) const {
  if (index < 0 || index >= kCount) return nullptr;
  const auto found = strips_.find(size_);
  return found == strips_.end() ? nullptr : found->second[static_cast<std::size_t>(index)].get();
}

HBITMAP TMenuImages::Bitmap(int index, int size) {
  if (index < 0 || index >= kCount) return nullptr;
  const TStrip* strip = Strip(size);
  return strip != nullptr ? (*strip)[static_cast<std::size_t>(index)].get() : nullptr;
}

void TMenuImages::Assign(UINT command, int index) {
  assigned_[command] = index >= 0 && index < kCount ? index : -1;
  icons_.erase(command);
}

void TMenuImages::AssignIcon(UINT command, HICON icon) {
  assigned_[command] = -1;
  if (icon != nullptr)
    icons_[command] = icon;
  else
    icons_.erase(command);
}

void TMenuImages::Unassign(UINT first, UINT last) {
  if (first > last) return;
  assigned_.erase(assigned_.lower_bound(first), assigned_.upper_bound(last));
  icons_.erase(icons_.lower_bound(first), icons_.upper_bound(last));
}

int TMenuImages::ImageOf(UINT command) const {
  const auto found = assigned_.find(command);
  return found == assigned_.end() ? -1 : found->second;
}

bool TMenuImages::Assigned(UINT command) const { return assigned_.count(command) != 0; }

bool TMenuImages::MeasureItem(MEASUREITEMSTRUCT& item) const {
  if (item.CtlType != ODT_MENU || !Assigned(item.itemID)) return false;
  // A little air on both sides, so that the caption does not touch the image.
  item.itemWidth = static_cast<UINT>(size_ + 2 * look::Scaled(kMargin, dpi_));
  item.itemHeight = static_cast<UINT>(size_);
  return true;
}

bool TMenuImages::DrawItem(const DRAWITEMSTRUCT& item) const {
  if (item.CtlType != ODT_MENU || !Assigned(item.itemID)) return false;
  const int size = size_;
  const int x = item.rcItem.left + (item.rcItem.right - item.rcItem.left - size) / 2;
  const int y = item.rcItem.top + (item.rcItem.bottom - item.rcItem.top - size) / 2;
  if (const auto icon = icons_.find(item.itemID); icon != icons_.end()) {
    ::DrawIconEx(item.hDC, x, y, icon->second, size, size, 0, nullptr, DI_NORMAL);
    return true;
  }
  const HBITMAP bitmap = Bitmap(ImageOf(item.itemID));
  if (bitmap == nullptr) return true;  // an empty place: the item's background is all it shows
  const win::TMemoryDc memory(::CreateCompatibleDC(item.hDC));
  if (!memory) return true;
  const HGDIOBJ old = ::SelectObject(memory.get(), bitmap);
  // A bitmap selected into a DC cannot be selected elsewhere: put the DC's own one back.
  win::TScopeGuard deselect([&] { ::SelectObject(memory.get(), old); });
  BLENDFUNCTION blend{};
  blend.BlendOp = AC_SRC_OVER;
  // A disabled command's image fades with its caption.
  blend.SourceConstantAlpha = (item.itemState & (ODS_GRAYED | ODS_DISABLED)) != 0 ? 96 : 255;
  blend.AlphaFormat = AC_SRC_ALPHA;
  ::GdiAlphaBlend(item.hDC, x, y, size, size, memory.get(), 0, 0, size, size, blend);
  return true;
}

int CommandImage(UINT command) {
  switch (command) {
    case IDM_HELP:
      return miHelp;
    case IDM_VISITHOMEPAGE:
      return miHomepage;
    case IDM_OPENCONFIG:
      return miOpenConfiguration;
    case IDM_SAVECONFIG:
      return miSaveConfiguration;
    case IDM_ADDFOLDER:
    case IDM_ADDCURRENT:
      return miAddFolder;
    case IDM_REMOVECURRENT:
      return miRemoveFolder;
    case IDM_OPTIONS:
    case IDM_SETTING:
      return miOptions;
    default:
      return -1;
  }
}

void ApplyCommandImages(HMENU menu, TMenuImages& images) {
  if (menu == nullptr) return;
  const int count = ::GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE | MIIM_BITMAP;
    if (!::GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) continue;
    // Submenu items carry no command to name an image by, separators show none, and an item
    // that has its image already (a favourite) keeps it. Submenus are left to their builders:
    // the recent lists draw their own images.
    if (info.hSubMenu != nullptr || (info.fType & MFT_SEPARATOR) != 0 || info.hbmpItem != nullptr) continue;
    images.Assign(info.wID, CommandImage(info.wID));
    MENUITEMINFOW set{};
    set.cbSize = sizeof set;
    set.fMask = MIIM_BITMAP;
    set.hbmpItem = HBMMENU_CALLBACK;
    ::SetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &set);
  }
}

void RemeasureMenu(HMENU menu) {
  if (menu == nullptr) return;
  const int count = ::GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_SUBMENU | MIIM_BITMAP;
    if (!::GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) continue;
    // Setting an item anew is what has the system measure it again.
    if (info.hbmpItem == HBMMENU_CALLBACK) {
      MENUITEMINFOW set{};
      set.cbSize = sizeof set;
      set.fMask = MIIM_BITMAP;
      set.hbmpItem = HBMMENU_CALLBACK;
      ::SetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &set);
    }
    RemeasureMenu(info.hSubMenu);
  }
}
