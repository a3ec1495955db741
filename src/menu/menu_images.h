// The menus' 20 images, cut from the bitmap strips IDB_MENUIMAGES.. in the program's resources
// (one strip for each of the sizes 16, 20, 24, 32, 40 and 48 pixels), the size the menus show
// now (the one for the DPI of the monitor a menu appears on), and which menu command shows which
// image. Owns one premultiplied 32-bit DIB section per image and size, each strip cut when a
// menu first needs it. Items show them through HBMMENU_CALLBACK: the menu asks its owner window to
// draw the image (WM_MEASUREITEM, WM_DRAWITEM), which forwards here, and AlphaBlend draws it with
// its alpha over the item's own background, normal or highlighted. A plain item bitmap would not
// do: some menu implementations (Wine's) copy it without its alpha, black corners and all.
// Main thread.
#pragma once

#include <windows.h>

#include <array>
#include <map>

#include "win/handles.h"

// Indices with a fixed role; the others are folder variants a favourite may use.
enum TMenuImage : int {
  miFolder = 0,
  miPicturesFolder = 1,
  miMusicFolder = 2,
  miComputer = 5,  // submenu headers
  miDrive = 9,
  miDocumentsFolder = 12,
  miRemoveFolder = 13,
  miAddFolder = 14,
  miOptions = 15,
  miSaveConfiguration = 16,
  miOpenConfiguration = 17,
  miHelp = 18,
  miHomepage = 19,
};

class TMenuImages {
 public:
  static constexpr int kCount = 20;
  static constexpr int kSize = 16;   // at 100 % scaling
  static constexpr int kMargin = 3;  // on each side of an image in a menu item, at 100 %

  TMenuImages() = default;
  TMenuImages(const TMenuImages&) = delete;
  TMenuImages& operator=(const TMenuImages&) = delete;

  // Cuts the 16 pixel strip of `resources` (the program, or a module loaded as data) into the
  // images and keeps `resources` for the other sizes; false, with no image at all, when the
  // strip is missing or not 32 bits of 320x16. The menus show 16 pixels until SetDpi.
  bool Load(HINSTANCE resources);
  // The menus show the images of the size for a monitor of `dpi` from now on (a strip that is
  // missing or broken leaves the largest smaller one that loads); returns the size now shown.
  int SetDpi(unsigned dpi);
  // The size the menus show, in pixels.
  int Size() const { return size_; }
  // The image at `index` in the size shown, or null for an index outside 0..19 or before a
  // successful Load.
  HBITMAP Bitmap(int index) const;
  // The image at `index` in `size` (one of the strips' sizes), cut from its strip now if no
  // menu has needed it yet; null for another size, a missing strip or a bad index.
  HBITMAP Bitmap(int index, int size);

  // The items of command `command` show image `index`; an index outside 0..19 gives them an
  // empty place of an image's size. Every item of a menu with images needs one or the other:
  // Wine sizes a menu from its items' own widths, and a caption of an item without an image
  // would be cut by the width of the image column.
  void Assign(UINT command, int index);
  // The items of command `command` show `icon` (a recent file's own, owned by the caller, who
  // keeps it while the command is assigned); null gives an empty place.
  void AssignIcon(UINT command, HICON icon);
  // Forgets the images of the commands first..last (both included).
  void Unassign(UINT first, UINT last);
  // The image index the command's items show; -1 for an empty place or an unknown command.
  int ImageOf(UINT command) const;
  // Whether the command's items have an image or an empty place here.
  bool Assigned(UINT command) const;

  // The owner window's WM_MEASUREITEM and WM_DRAWITEM for menu items (CtlType ODT_MENU): true
  // when the item's command is assigned here, the message is then answered with TRUE; false
  // leaves the message to whoever else draws menu items.
  bool MeasureItem(MEASUREITEMSTRUCT& item) const;
  bool DrawItem(const DRAWITEMSTRUCT& item) const;

 private:
  using TStrip = std::array<win::TBitmapHandle, kCount>;
  const TStrip* Strip(int size);

  HINSTANCE resources_ = nullptr;
  std::map<int, TStrip> strips_;  // by size; a size that failed to load keeps an empty strip
  int size_ = kSize;
  unsigned dpi_ = 96;
  std::map<UINT, int> assigned_;
  std::map<UINT, HICON> icons_;
};

// The image index of a fixed command (Help..., Options..., Add Current Folder, ...), or -1.
int CommandImage(UINT command);
// Gives every command item of `menu` (not of its submenus) its command's image, or an empty
// place where it has none; items that show an image already are left alone. Call it on the tray
// menu once it is loaded, and on the folder menu after its tail has been (re)inserted: an item
// inserted anew has no image.
void ApplyCommandImages(HMENU menu, TMenuImages& images);
// Has every item of `menu` and its submenus that shows an image measured anew when the menu
// next shows: after SetDpi changed the size, a menu measured at the old one would keep it.
void RemeasureMenu(HMENU menu);
