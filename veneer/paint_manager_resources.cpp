// The paint manager's resources: process-wide settings, fonts, images, draw descriptors, styles and DPI.
#include <shellscalingapi.h>

#include <algorithm>
#include <cwctype>

#include "veneer/control.h"
#include "veneer/paint_manager.h"
#include "veneer/paint_manager_shared.h"
#include "veneer/render_engine.h"

namespace Veneer {

// ---------------------------------------------------------------------------------------------------
// Process-wide settings

void CPaintManagerUI::SetInstance(HINSTANCE instance) { Shared().instance = instance; }
HINSTANCE CPaintManagerUI::GetInstance() { return Shared().instance; }
void CPaintManagerUI::SetResourceDll(HINSTANCE module) { Shared().resourceModule = module; }
HINSTANCE CPaintManagerUI::GetResourceDll() {
  return Shared().resourceModule != nullptr ? Shared().resourceModule : Shared().instance;
}

void CPaintManagerUI::SetResourcePath(const wchar_t* path) {
  std::wstring text = path != nullptr ? path : L"";
  if (!text.empty() && text.back() != L'\\' && text.back() != L'/') text += L'\\';
  Shared().resourcePath = text;
}
const std::wstring& CPaintManagerUI::GetResourcePath() { return Shared().resourcePath; }

namespace {

void CloseCachedZip(SharedPaintState& shared) {
  if (shared.zipCached && shared.zipHandle != nullptr) CloseZip(shared.zipHandle);
  shared.zipHandle = nullptr;
  shared.zipInMemory = false;
}

}  // namespace

void CPaintManagerUI::SetResourceZip(const wchar_t* name, bool cached, const char* password) {
  SharedPaintState& shared = Shared();
  const std::wstring text = name != nullptr ? name : L"";
  if (text == shared.resourceZip && cached == shared.zipCached && !shared.zipInMemory) return;
  CloseCachedZip(shared);
  shared.resourceZip = text;
  shared.zipCached = cached;
  shared.zipPassword = password != nullptr ? password : "";
  if (cached) {
    const std::wstring path = shared.resourcePath + shared.resourceZip;
    shared.zipHandle = OpenZip(path.c_str(), shared.zipPassword.c_str());
  }
}

void CPaintManagerUI::SetResourceZip(const void* bytes, size_t size) {
  SharedPaintState& shared = Shared();
  CloseCachedZip(shared);
  shared.resourceZip.clear();
  shared.zipPassword.clear();
  // Opened once and kept, like a cached archive file; bytes that are no archive leave the handle null, so
  // loads find nothing rather than falling back to the resource folder.
  shared.zipCached = true;
  shared.zipInMemory = true;
  shared.zipHandle = OpenZipInPlace(bytes, size);
}

const std::wstring& CPaintManagerUI::GetResourceZip() { return Shared().resourceZip; }

bool CPaintManagerUI::HasResourceZip() { return Shared().zipInMemory || !Shared().resourceZip.empty(); }

CResourceZipScope::CResourceZipScope() {
  const SharedPaintState& shared = Shared();
  if (shared.zipCached) {
    zip_ = shared.zipHandle;
  } else {
    const std::wstring path = shared.resourcePath + shared.resourceZip;
    zip_ = OpenZip(path.c_str(), shared.zipPassword.c_str());
    owned_ = zip_ != nullptr;
  }
}

CResourceZipScope::~CResourceZipScope() {
  if (owned_) CloseZip(zip_);
}

// ---------------------------------------------------------------------------------------------------
// Fonts

namespace {

LOGFONTW DefaultGuiFont() {
  LOGFONTW lf{};
  ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
  return lf;
}

void MeasureFont(HDC dc, TFontInfo& info) {
  if (dc == nullptr || !info.font) return;
  HGDIOBJ old = ::SelectObject(dc, info.font.Get());
  ::GetTextMetricsW(dc, &info.metrics);
  ::SelectObject(dc, old);
}

}  // namespace

HFONT CPaintManagerUI::CreateFontFor(const TFontInfo& info, bool addWeightToDefault) const {
  LOGFONTW lf = DefaultGuiFont();
  if (!info.faceName.empty()) {
    const size_t length = std::min<size_t>(info.faceName.size(), LF_FACESIZE - 1);
    info.faceName.copy(lf.lfFaceName, length);
    lf.lfFaceName[length] = 0;
  }
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfHeight = -const_cast<CPaintManagerUI*>(this)->GetDPIObj()->Scale(info.size);
  if (info.bold) lf.lfWeight = addWeightToDefault ? lf.lfWeight + FW_BOLD : FW_BOLD;
  if (info.underline) lf.lfUnderline = TRUE;
  if (info.italic) lf.lfItalic = TRUE;
  if (info.strikeout) lf.lfStrikeOut = TRUE;
  return ::CreateFontIndirectW(&lf);
}

HFONT CPaintManagerUI::AddFont(int id, const wchar_t* face, int size, bool bold, bool underline, bool italic,
                               bool strikeout, bool shared) {
  auto info = std::make_unique<TFontInfo>();
  info->faceName = face != nullptr ? face : L"";
  info->size = size;
  info->bold = bold;
  info->underline = underline;
  info->italic = italic;
  info->strikeout = strikeout;
  info->font.Reset(CreateFontFor(*info, false));
  if (!info->font) return nullptr;
  MeasureFont(windowDc_, *info);
  HFONT font = info->font.Get();
  auto& table = (shared || forceSharedResources_) ? Shared().fonts : fonts_;
  table.Set(std::to_wstring(id), std::move(info));
  return font;
}

TFontInfo* CPaintManagerUI::GetDefaultFontInfo() {
  if (defaultFont_.font) return &defaultFont_;
  TFontInfo& shared = Shared().defaultFont;
  if (!shared.font) {
    const LOGFONTW lf = DefaultGuiFont();
    shared.faceName = lf.lfFaceName;
    shared.size = lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight;
    shared.bold = lf.lfWeight >= FW_BOLD;
    LOGFONTW created = lf;
    created.lfCharSet = DEFAULT_CHARSET;
    shared.font.Reset(::CreateFontIndirectW(&created));
  }
  if (shared.metrics.tmHeight == 0) MeasureFont(windowDc_, shared);
  return &shared;
}

void CPaintManagerUI::SetDefaultFont(const wchar_t* face, int size, bool bold, bool underline, bool italic,
                                     bool strikeout, bool shared) {
  TFontInfo& target = shared ? Shared().defaultFont : defaultFont_;
  target.faceName = face != nullptr ? face : L"";
  target.size = size;
  target.bold = bold;
  target.underline = underline;
  target.italic = italic;
  target.strikeout = strikeout;
  target.font.Reset(CreateFontFor(target, true));
  target.metrics = TEXTMETRICW{};
  MeasureFont(windowDc_, target);
}

TFontInfo* CPaintManagerUI::GetFontInfo(int id) {
  const std::wstring key = std::to_wstring(id);
  if (auto* own = fonts_.Find(key)) return own->get();
  if (auto* shared = Shared().fonts.Find(key)) return shared->get();
  return GetDefaultFontInfo();
}

HFONT CPaintManagerUI::GetFont(int id) { return GetFontInfo(id)->font.Get(); }

TFontInfo* CPaintManagerUI::GetFontInfo(HFONT font) {
  TFontInfo* found = nullptr;
  auto search = [&found, font](const std::wstring&, std::unique_ptr<TFontInfo>& info) {
    if (found == nullptr && info->font.Get() == font) found = info.get();
  };
  fonts_.ForEach(search);
  if (found == nullptr) Shared().fonts.ForEach(search);
  return found;
}

void CPaintManagerUI::RemoveAllFonts() { fonts_.Clear(); }

bool CPaintManagerUI::AddPrivateFont(const void* bytes, DWORD size) {
  if (bytes == nullptr || size == 0) return false;
  DWORD installed = 0;
  HANDLE font = ::AddFontMemResourceEx(const_cast<void*>(bytes), size, nullptr, &installed);
  if (font == nullptr) return false;
  privateFonts_.push_back(font);
  return true;
}

void CPaintManagerUI::ResetFonts() {
  auto rebuild = [this](const std::wstring&, std::unique_ptr<TFontInfo>& info) {
    info->font.Reset(CreateFontFor(*info, false));
    MeasureFont(windowDc_, *info);
  };
  fonts_.ForEach(rebuild);
  Shared().fonts.ForEach(rebuild);
  for (TFontInfo* info : {&defaultFont_, &Shared().defaultFont}) {
    if (!info->font) continue;
    info->font.Reset(CreateFontFor(*info, true));
    MeasureFont(windowDc_, *info);
  }
}

// ---------------------------------------------------------------------------------------------------
// Images and draw descriptors

const TImageInfo* CPaintManagerUI::GetImage(const wchar_t* name) {
  if (name == nullptr) return nullptr;
  if (auto* own = images_.Find(name)) return own->get();
  if (auto* shared = Shared().images.Find(name)) return shared->get();
  return nullptr;
}

const TImageInfo* CPaintManagerUI::GetImageEx(const wchar_t* name, const wchar_t* type, DWORD mask, bool useHSL,
                                              bool gdiplus, HINSTANCE module) {
  if (const TImageInfo* image = GetImage(name)) return image;
  if (AddImage(name, type, mask, useHSL, gdiplus, false, module) == nullptr) return nullptr;
  return GetImage(name);
}

const TImageInfo* CPaintManagerUI::AddImage(const wchar_t* name, const wchar_t* type, DWORD mask, bool useHSL,
                                            bool gdiplus, bool shared, HINSTANCE module) {
  if (name == nullptr || name[0] == 0) return nullptr;
  const bool typed = type != nullptr && type[0] != 0;
  if (typed && !std::iswdigit(static_cast<wint_t>(name[0]))) return nullptr;
  std::unique_ptr<TImageInfo> image = CRenderEngine::LoadImage(name, typed ? type : nullptr, mask, module, gdiplus);
  if (!image) {
    // A DPI-specific name (bg@150.png) falls back to the plain one (bg.png).
    std::wstring plain = name;
    const size_t at = plain.find(L'@');
    const size_t dot = at == std::wstring::npos ? std::wstring::npos : plain.find(L'.', at);
    if (dot != std::wstring::npos) {
      plain.erase(at, dot - at);
      image = CRenderEngine::LoadImage(plain, typed ? type : nullptr, mask, module, gdiplus);
    }
  }
  if (!image) return nullptr;
  image->useHSL = useHSL;
  if (typed) image->resourceType = type;
  image->mask = mask;
  if (useHSL) image->colorCopy.assign(image->bits, image->bits + static_cast<size_t>(image->width) * image->height);
  const TImageInfo* result = image.get();
  auto& table = (shared || forceSharedResources_) ? Shared().images : images_;
  table.Set(name, std::move(image));
  return result;
}

void CPaintManagerUI::RemoveAllImages() {
  images_.Clear();
  drawInfos_.Clear();
}

const TDrawInfo* CPaintManagerUI::GetDrawInfo(const wchar_t* descriptor, const wchar_t* modifier) {
  const std::wstring desc = descriptor != nullptr ? descriptor : L"";
  const std::wstring mod = modifier != nullptr ? modifier : L"";
  const std::wstring key = desc + mod;
  if (key.empty()) return nullptr;
  if (auto* found = drawInfos_.Find(key)) return found->get();
  auto info = std::make_unique<TDrawInfo>();
  info->Parse(desc, mod, GetDPIObj()->GetScale());
  const TDrawInfo* result = info.get();
  drawInfos_.Set(key, std::move(info));
  return result;
}

void CPaintManagerUI::AddDefaultAttributeList(const wchar_t* controlName, const wchar_t* list, bool shared) {
  if (controlName == nullptr || list == nullptr) return;
  auto& table = (shared || forceSharedResources_) ? Shared().defaultAttributes : defaultAttributes_;
  table.Set(controlName, list);
}

const wchar_t* CPaintManagerUI::GetDefaultAttributeList(const wchar_t* controlName) {
  if (controlName == nullptr) return nullptr;
  if (auto* own = defaultAttributes_.Find(controlName)) return own->c_str();
  if (auto* shared = Shared().defaultAttributes.Find(controlName)) return shared->c_str();
  return nullptr;
}

void CPaintManagerUI::AddStyle(const wchar_t* name, const wchar_t* list, bool shared) {
  if (name == nullptr || list == nullptr) return;
  auto& table = (shared || forceSharedResources_) ? Shared().styles : styles_;
  table.Set(name, list);
}

const wchar_t* CPaintManagerUI::GetStyle(const wchar_t* name) {
  if (name == nullptr) return nullptr;
  if (auto* own = styles_.Find(name)) return own->c_str();
  if (auto* shared = Shared().styles.Find(name)) return shared->c_str();
  return nullptr;
}

// ---------------------------------------------------------------------------------------------------
// DPI

CDPI* CPaintManagerUI::GetDPIObj() {
  if (!dpi_) dpi_ = std::make_unique<CDPI>();
  return dpi_.get();
}

int CPaintManagerUI::GetMonitorDpi(POINT screenPoint) {
  return GetMonitorDpi(::MonitorFromPoint(screenPoint, MONITOR_DEFAULTTONEAREST));
}

int CPaintManagerUI::GetMonitorDpi(HMONITOR monitor) {
  using GetDpiForMonitorProc = HRESULT(WINAPI*)(HMONITOR, MONITOR_DPI_TYPE, UINT*, UINT*);
  static const auto query = [] {
    HMODULE shcore = ::LoadLibraryW(L"shcore.dll");
    return shcore != nullptr ? reinterpret_cast<GetDpiForMonitorProc>(
                                   reinterpret_cast<void*>(::GetProcAddress(shcore, "GetDpiForMonitor")))
                             : nullptr;
  }();
  if (query == nullptr) {
    // Systems before 6.3 have one DPI for the whole screen.
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
    ::ReleaseDC(nullptr, screen);
    return dpi;
  }
  UINT dpiX = 96;
  UINT dpiY = 96;
  if (FAILED(query(monitor, MDT_EFFECTIVE_DPI, &dpiX, &dpiY))) {
    ::MessageBoxW(nullptr, L"GetDpiForMonitor failed", L"Notification", MB_OK);
    return 96;
  }
  return static_cast<int>(dpiX);
}

namespace {
CControlUI* ReapplyRichEditFont(CControlUI* control, void*) {
  // Rich edit fields hold a font converted for their text engine; they answer "RichEditFont" and
  // re-read their font when asked through SetAttribute.
  if (control->GetInterface(L"RichEditFont") != nullptr) control->SetAttribute(L"refreshfont", L"true");
  return nullptr;
}
}  // namespace

void CPaintManagerUI::SetDPI(int dpi) {
  const int oldScale = GetDPIObj()->GetScale();
  GetDPIObj()->SetDPI(dpi);
  const int newScale = GetDPIObj()->GetScale();
  ResetFonts();
  // Images and descriptors are dropped: descriptors carry the DPI-specific image name.
  images_.Clear();
  Shared().images.Clear();
  drawInfos_.Clear();
  if (root_ != nullptr) root_->FindControl(&ReapplyRichEditFont, nullptr, 0);
  if (window_ != nullptr && !::IsZoomed(window_) && oldScale != 0) {
    RECT rc{};
    ::GetWindowRect(window_, &rc);
    const int width = Width(rc) * newScale / oldScale;
    const int height = Height(rc) * newScale / oldScale;
    ::SetWindowPos(window_, nullptr, rc.left, rc.top, width, height, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
  }
  if (root_ != nullptr) root_->NeedUpdate();
  if (window_ != nullptr) ::PostMessageW(window_, kMsgDpiChanged, 0, 0);
}

}  // namespace Veneer
