#include "startup/program_folder_rules.h"

namespace programfolder {

namespace {

struct TRoleRule {
  std::uint32_t rights;
  const wchar_t* what;
};

TRoleRule RuleFor(TPathRole role) {
  constexpr std::uint32_t kOwnership = kDelete | kWriteDac | kWriteOwner;
  switch (role) {
    case TPathRole::File:
      return {kWriteData | kAppendData | kOwnership, L"the user may change it"};
    case TPathRole::Folder:
      return {kWriteData | kAppendData | kDeleteChild | kOwnership, L"the user may add or replace files in it"};
    case TPathRole::Ancestor:
    default:
      // Adding a folder beside the program's is harmless (anyone may on a system drive's root).
      return {kDeleteChild | kOwnership, L"the user may move or replace what it holds"};
  }
}

}  // namespace

std::optional<std::wstring> UserWritablePath(const std::vector<TPathAccess>& paths) {
  if (paths.empty()) return std::wstring(L"no path could be checked");
  for (const TPathAccess& access : paths) {
    if (!access.known) return access.path + L": its access rights cannot be read";
    const TRoleRule rule = RuleFor(access.role);
    if ((access.granted & rule.rights) != 0) return access.path + L": " + rule.what;
  }
  return std::nullopt;
}

}  // namespace programfolder
