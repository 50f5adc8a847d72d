// Pins made against an earlier installation (or against the main executable rather than the launcher) are
// turned into pins of the launcher in the new install folder.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <system_error>
#include <vector>

#include "app/scope_exit.h"
#include "app/unique_resource.h"
#include "app/win_path.h"
#include "engine/install_engine.h"
#include "engine/shortcuts.h"

namespace {

bool IsApplicationTarget(const std::wstring& target) {
  return ContainsNoCase(target, L"quillon.exe") || ContainsNoCase(target, L"quillon_launcher.exe");
}

// Rewrites one pin when it points at the application; pins that cannot be opened, read or saved are left.
void RepointPin(const std::wstring& pin, const std::wstring& launcher, const std::wstring& installDir) {
  ComPtr<IShellLinkW> link;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(link.Put())))) {
    return;
  }
  ComPtr<IPersistFile> file;
  if (FAILED(link.Get()->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Put())))) return;
  if (FAILED(file.Get()->Load(pin.c_str(), STGM_READWRITE))) return;

  wchar_t target[MAX_PATH] = {};
  link.Get()->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
  if (!IsApplicationTarget(target)) return;
  link.Get()->SetPath(launcher.c_str());
  link.Get()->SetWorkingDirectory(installDir.c_str());
  link.Get()->SetIconLocation(launcher.c_str(), 0);
  file.Get()->Save(pin.c_str(), TRUE);
}

}  // namespace

void InstallEngine::RepointTaskbarPins() const {
  const std::wstring folder = TaskbarPinFolder();
  std::error_code error;
  if (folder.empty() || !PathExists(folder, error)) return;

  const HRESULT com = ::CoInitialize(nullptr);
  if (FAILED(com) && com != RPC_E_CHANGED_MODE) return;
  const bool initialized = SUCCEEDED(com);  // only then is the apartment this scan's to release
  auto uninitialize = MakeScopeExit([initialized] {
    if (initialized) ::CoUninitialize();
  });

  const std::wstring launcher = installDir + L"\\quillon_launcher.exe";
  std::vector<FolderEntry> entries;
  ListFolder(folder, entries, error);  // what could be listed is repointed
  for (const FolderEntry& entry : entries) {
    if (entry.IsFolder()) continue;
    // Only a name with a stem and ".lnk" exactly: the comparison is case-sensitive.
    if (entry.name.size() <= 4 || entry.name.compare(entry.name.size() - 4, 4, L".lnk") != 0) continue;
    RepointPin(JoinPath(folder, entry.name), launcher, installDir);
  }
  ::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}
