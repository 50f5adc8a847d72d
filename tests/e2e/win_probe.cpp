// win_probe.exe: what the end-to-end driver cannot see from X11, asked from inside the Wine session.
//   window CLASS                      one line about the top-level window of that class (with the number of
//                                     such windows), or "none"
//   wait CLASS visible|hidden|gone|found MS  waits for that state (polling; found: shown or not), prints
//                                     the line; exit 1 on time-out
//   minimize CLASS                    minimises the window
//   close CLASS                       asks the window to close (WM_CLOSE)
//   link FILE.lnk                     the link's target, arguments and working folder, one per line
//   reg SUBKEY                        the text values of an HKLM key in this 32-bit program's view, name=value
//   crash PID                         starts a thread at address 1 in that process (an access violation),
//                                     waits up to 60 s for the process to end and prints "exit=CODE" (hex)
//   temp                              the user's temporary folder
//   a11y CLASS                        what a screen reader sees of the window (AccessibleObjectFromWindow):
//                                     one line for the window, then one per child: id, name, role, state,
//                                     value, default action, location
//   press CLASS NAME                  carries out the default action of the child named NAME
#include <windows.h>
#include <oleacc.h>
#include <shlobj.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "app/unique_resource.h"

namespace {

struct WindowFacts {
  HWND window = nullptr;
  DWORD processId = 0;
  bool visible = false;
  bool iconic = false;
  bool enabled = false;
  bool foreground = false;
  RECT rect{};
  int count = 0;  // top-level windows of the class, hidden ones included
};

struct ClassSearch {
  const wchar_t* className;
  int count;
};

BOOL CALLBACK CountIfOfClass(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<ClassSearch*>(lParam);
  wchar_t name[256] = {};
  ::GetClassNameW(window, name, 256);
  if (std::wcscmp(name, search->className) == 0) ++search->count;
  return TRUE;
}

int CountWindows(const wchar_t* className) {
  ClassSearch search{className, 0};
  ::EnumWindows(&CountIfOfClass, reinterpret_cast<LPARAM>(&search));
  return search.count;
}

WindowFacts Look(const wchar_t* className) {
  WindowFacts facts;
  facts.window = ::FindWindowW(className, nullptr);
  if (facts.window == nullptr) return facts;
  facts.count = CountWindows(className);
  ::GetWindowThreadProcessId(facts.window, &facts.processId);
  facts.visible = ::IsWindowVisible(facts.window) != FALSE;
  facts.iconic = ::IsIconic(facts.window) != FALSE;
  facts.enabled = ::IsWindowEnabled(facts.window) != FALSE;
  facts.foreground = ::GetForegroundWindow() == facts.window;
  ::GetWindowRect(facts.window, &facts.rect);
  return facts;
}

void Print(const WindowFacts& facts) {
  if (facts.window == nullptr) {
    std::printf("none\n");
    return;
  }
  std::printf("hwnd=%p pid=%lu visible=%d iconic=%d enabled=%d foreground=%d rect=%ld,%ld,%ld,%ld windows=%d\n",
              static_cast<void*>(facts.window), facts.processId, facts.visible, facts.iconic, facts.enabled,
              facts.foreground, facts.rect.left, facts.rect.top, facts.rect.right, facts.rect.bottom, facts.count);
}

bool Reached(const WindowFacts& facts, const wchar_t* state) {
  if (std::wcscmp(state, L"gone") == 0) return facts.window == nullptr;
  if (std::wcscmp(state, L"found") == 0) return facts.window != nullptr;
  if (std::wcscmp(state, L"hidden") == 0) return facts.window != nullptr && !facts.visible;
  return facts.window != nullptr && facts.visible;
}

int Wait(const wchar_t* className, const wchar_t* state, int timeoutMs) {
  const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
  for (;;) {
    const WindowFacts facts = Look(className);
    if (Reached(facts, state)) {
      Print(facts);
      return 0;
    }
    if (::GetTickCount64() >= deadline) {
      Print(facts);
      return 1;
    }
    ::Sleep(50);
  }
}

std::string Utf8(const wchar_t* text) {
  const int length = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string result(length > 0 ? length - 1 : 0, '\0');
  if (length > 1) ::WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), length, nullptr, nullptr);
  return result;
}

int ShowLink(const wchar_t* file) {
  if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  int status = 1;
  IShellLinkW* link = nullptr;
  if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link)))) {
    IPersistFile* persist = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
      if (SUCCEEDED(persist->Load(file, STGM_READ))) {
        wchar_t target[MAX_PATH] = {};
        wchar_t arguments[1024] = {};
        wchar_t folder[MAX_PATH] = {};
        link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
        link->GetArguments(arguments, 1024);
        link->GetWorkingDirectory(folder, MAX_PATH);
        std::printf("target=%s\narguments=%s\nfolder=%s\n", Utf8(target).c_str(), Utf8(arguments).c_str(),
                    Utf8(folder).c_str());
        status = 0;
      }
      persist->Release();
    }
    link->Release();
  }
  ::CoUninitialize();
  return status;
}

int ShowRegistryValues(const wchar_t* subkey) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) return 1;
  for (DWORD index = 0;; ++index) {
    wchar_t name[256] = {};
    DWORD nameLength = 256;
    wchar_t data[1024] = {};
    DWORD dataSize = sizeof(data) - sizeof(wchar_t);
    DWORD type = 0;
    if (::RegEnumValueW(key, index, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataSize) !=
        ERROR_SUCCESS) {
      break;
    }
    if (type == REG_SZ) std::printf("%s=%s\n", Utf8(name).c_str(), Utf8(data).c_str());
  }
  ::RegCloseKey(key);
  return 0;
}

// The accessible object of the window's client area; empty when there is none.
ComPtr<IAccessible> AccessibleOf(const wchar_t* className) {
  ComPtr<IAccessible> object;
  HWND window = ::FindWindowW(className, nullptr);
  if (window == nullptr) return object;
  const HRESULT found = ::AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                                     reinterpret_cast<void**>(object.Put()));
  if (FAILED(found)) object.Reset();
  return object;
}

// Calls a text getter (name, value, default action) and returns its text, empty when there is none.
template <typename Getter>
std::string TextOf(Getter getter) {
  BSTR text = nullptr;
  const HRESULT status = getter(&text);
  std::string result = status == S_OK && text != nullptr ? Utf8(text) : std::string();
  ::SysFreeString(text);
  return result;
}

std::string RoleName(long role) {
  switch (role) {
    case ROLE_SYSTEM_CLIENT: return "client";
    case ROLE_SYSTEM_PUSHBUTTON: return "pushbutton";
    case ROLE_SYSTEM_CHECKBUTTON: return "checkbutton";
    case ROLE_SYSTEM_LINK: return "link";
    case ROLE_SYSTEM_TEXT: return "text";
    case ROLE_SYSTEM_PROGRESSBAR: return "progressbar";
    case ROLE_SYSTEM_STATICTEXT: return "statictext";
    default: return std::to_string(role);
  }
}

std::string StateNames(long state) {
  static const struct {
    long bit;
    const char* name;
  } kStates[] = {{STATE_SYSTEM_UNAVAILABLE, "unavailable"}, {STATE_SYSTEM_FOCUSED, "focused"},
                 {STATE_SYSTEM_CHECKED, "checked"},         {STATE_SYSTEM_FOCUSABLE, "focusable"},
                 {STATE_SYSTEM_INVISIBLE, "invisible"},     {STATE_SYSTEM_LINKED, "linked"},
                 {STATE_SYSTEM_READONLY, "readonly"}};
  std::string names;
  for (const auto& entry : kStates) {
    if (!(state & entry.bit)) continue;
    if (!names.empty()) names += ",";
    names += entry.name;
  }
  return names;
}

// "id=N name=... role=... state=a,b value=... action=... location=l,t,w,h"
std::string DescribeElement(IAccessible* object, long id) {
  VARIANT child;
  child.vt = VT_I4;
  child.lVal = id;
  std::string line = "id=" + std::to_string(id);
  line += " name=" + TextOf([&](BSTR* text) { return object->get_accName(child, text); });
  VARIANT role;
  ::VariantInit(&role);
  if (SUCCEEDED(object->get_accRole(child, &role)) && role.vt == VT_I4) line += " role=" + RoleName(role.lVal);
  VARIANT state;
  ::VariantInit(&state);
  if (SUCCEEDED(object->get_accState(child, &state)) && state.vt == VT_I4) line += " state=" + StateNames(state.lVal);
  line += " value=" + TextOf([&](BSTR* text) { return object->get_accValue(child, text); });
  line += " action=" + TextOf([&](BSTR* text) { return object->get_accDefaultAction(child, text); });
  long left = 0, top = 0, width = 0, height = 0;
  if (SUCCEEDED(object->accLocation(&left, &top, &width, &height, child))) {
    line += " location=" + std::to_string(left) + "," + std::to_string(top) + "," + std::to_string(width) + "," +
            std::to_string(height);
  }
  return line;
}

int ShowAccessibleTree(const wchar_t* className) {
  const ComPtr<IAccessible> holder = AccessibleOf(className);
  IAccessible* object = holder.Get();
  if (object == nullptr) return 1;
  std::printf("%s\n", DescribeElement(object, CHILDID_SELF).c_str());
  long count = 0;
  const HRESULT counted = object->get_accChildCount(&count);
  // The children are walked the way screen readers do: first child, then each next sibling.
  VARIANT self;
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  VARIANT next;
  ::VariantInit(&next);
  long walked = 0;
  for (HRESULT step = object->accNavigate(NAVDIR_FIRSTCHILD, self, &next); step == S_OK && next.vt == VT_I4;
       step = object->accNavigate(NAVDIR_NEXT, self, &next)) {
    std::printf("%s\n", DescribeElement(object, next.lVal).c_str());
    self = next;
    ++walked;
  }
  return SUCCEEDED(counted) && walked == count ? 0 : 1;
}

int PressByName(const wchar_t* className, const wchar_t* name) {
  const ComPtr<IAccessible> holder = AccessibleOf(className);
  IAccessible* object = holder.Get();
  if (object == nullptr) return 1;
  long count = 0;
  int status = 1;
  object->get_accChildCount(&count);
  for (long id = 1; id <= count && status != 0; ++id) {
    VARIANT child;
    child.vt = VT_I4;
    child.lVal = id;
    if (TextOf([&](BSTR* text) { return object->get_accName(child, text); }) != Utf8(name)) continue;
    const HRESULT pressed = object->accDoDefaultAction(child);
    std::printf("id=%ld hr=0x%08lX\n", id, static_cast<unsigned long>(pressed));
    status = pressed == S_OK ? 0 : 1;
  }
  return status;
}

int Crash(DWORD processId) {
  HANDLE process = ::OpenProcess(PROCESS_ALL_ACCESS, FALSE, processId);
  if (process == nullptr) return 1;
  // Address 1 lies in the never-mapped first page: the new thread faults on its first instruction.
  HANDLE thread =
      ::CreateRemoteThread(process, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(1), nullptr, 0, nullptr);
  int status = 1;
  DWORD exitCode = 0;
  // The exit code as Windows keeps it, all 32 bits: the Unix side only sees the lowest byte.
  if (thread != nullptr && ::WaitForSingleObject(process, 60000) == WAIT_OBJECT_0 &&
      ::GetExitCodeProcess(process, &exitCode)) {
    std::printf("exit=%08lx\n", exitCode);
    status = 0;
  }
  if (thread != nullptr) ::CloseHandle(thread);
  ::CloseHandle(process);
  return status;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  const std::wstring command = argv[1];
  int status = 2;
  if (command == L"window" && argc == 3) {
    Print(Look(argv[2]));
    status = 0;
  } else if (command == L"wait" && argc == 5) {
    status = Wait(argv[2], argv[3], _wtoi(argv[4]));
  } else if (command == L"minimize" && argc == 3) {
    HWND window = ::FindWindowW(argv[2], nullptr);
    status = window != nullptr && ::ShowWindow(window, SW_MINIMIZE) >= 0 ? 0 : 1;
    ::Sleep(200);
    Print(Look(argv[2]));
  } else if (command == L"close" && argc == 3) {
    HWND window = ::FindWindowW(argv[2], nullptr);
    status = window != nullptr && ::PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
  } else if (command == L"link" && argc == 3) {
    status = ShowLink(argv[2]);
  } else if (command == L"reg" && argc == 3) {
    status = ShowRegistryValues(argv[2]);
  } else if (command == L"crash" && argc == 3) {
    status = Crash(static_cast<DWORD>(_wtoi(argv[2])));
  } else if (command == L"a11y" && argc == 3) {
    if (SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
      status = ShowAccessibleTree(argv[2]);
      ::CoUninitialize();
    }
  } else if (command == L"press" && argc == 4) {
    if (SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
      status = PressByName(argv[2], argv[3]);
      ::CoUninitialize();
    }
  } else if (command == L"temp") {
    wchar_t temp[MAX_PATH] = {};
    wchar_t longTemp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    ::GetLongPathNameW(temp, longTemp, MAX_PATH);
    std::printf("%s\n", Utf8(longTemp[0] != 0 ? longTemp : temp).c_str());
    status = 0;
  }
  std::fflush(stdout);
  return status;
}
