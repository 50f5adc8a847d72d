#include "tests/support/shell_link.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "app/unique_resource.h"

std::filesystem::path ShellFolder(int csidl) {
  wchar_t buffer[MAX_PATH] = {};
  ::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer);
  return buffer;
}

ShellLinkFields ReadShellLink(const std::filesystem::path& link) {
  ShellLinkFields fields;
  const HRESULT com = ::CoInitialize(nullptr);
  {
    ComPtr<IShellLinkW> shellLink;
    ComPtr<IPersistFile> file;
    if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                     reinterpret_cast<void**>(shellLink.Put()))) &&
        SUCCEEDED(shellLink.Get()->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Put()))) &&
        SUCCEEDED(file.Get()->Load(link.c_str(), STGM_READ))) {
      wchar_t text[MAX_PATH] = {};
      fields.loaded = true;
      shellLink.Get()->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
      fields.target = text;
      text[0] = L'\0';
      shellLink.Get()->GetDescription(text, MAX_PATH);
      fields.description = text;
      text[0] = L'\0';
      shellLink.Get()->GetWorkingDirectory(text, MAX_PATH);
      fields.workingDirectory = text;
      text[0] = L'\0';
      shellLink.Get()->GetIconLocation(text, MAX_PATH, &fields.iconIndex);
      fields.iconPath = text;
    }
  }
  if (SUCCEEDED(com)) ::CoUninitialize();
  return fields;
}
