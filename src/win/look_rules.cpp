#include "win/look_rules.h"

#include <algorithm>

namespace look {

namespace {
constexpr unsigned kLowestDpi = 48;
constexpr unsigned kHighestDpi = 960;
constexpr unsigned kDarkTitleBar20Build = 18985;
}  // namespace

unsigned UsableDpi(unsigned dpi) { return dpi == 0 ? kBaseDpi : std::clamp(dpi, kLowestDpi, kHighestDpi); }

int Scaled(int pixels, unsigned dpi) { return Rescaled(pixels, kBaseDpi, dpi); }

int Rescaled(int pixels, unsigned fromDpi, unsigned toDpi) {
  const long long from = UsableDpi(fromDpi);
  const long long scaled = static_cast<long long>(pixels) * UsableDpi(toDpi);
  // Rounded half away from zero, as MulDiv does.
  return static_cast<int>(scaled >= 0 ? (scaled + from / 2) / from : -((-scaled + from / 2) / from));
}

int ImageSizeFor(unsigned dpi) {
  const long long wanted = 16LL * UsableDpi(dpi);  // the ideal size times 96
  int size = kImageSizes.front();
  for (const int s : kImageSizes)
    if (static_cast<long long>(s) * kBaseDpi <= wanted) size = s;
  return size;
}

TLookDecision DecideLook(const TLookFacts& facts) {
  if (facts.highContrast) return {TLook::Light, L"high contrast is on: the system's colours stand"};
  switch (facts.apps) {
    case TAppsSetting::Missing:
      return {TLook::Light, L"the apps colour setting is not set"};
    case TAppsSetting::NotNumber:
      return {TLook::Light, L"the apps colour setting is not a number"};
    case TAppsSetting::Light:
      return {TLook::Light, L"the apps colour setting is light"};
    case TAppsSetting::Dark:
      break;
  }
  if (facts.major < 10 || (facts.major == 10 && facts.build < kDarkMenusBuild))
    return {TLook::Light, L"this Windows has no dark menus for programs"};
  if (!facts.darkEntryPoints) return {TLook::Light, L"the system offers no dark menus"};
  return {TLook::Dark, L"the apps colour setting is dark"};
}

unsigned DarkTitleBarAttribute(unsigned major, unsigned build) {
  if (major > 10 || (major == 10 && build >= kDarkTitleBar20Build)) return 20;
  if (major == 10 && build >= kDarkMenusBuild) return 19;
  return 0;
}

}  // namespace look
