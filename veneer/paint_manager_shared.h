// State that all paint managers of the process share (private to the paint manager's sources).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "veneer/paint_manager.h"

namespace Veneer {

struct SharedPaintState {
  std::vector<CPaintManagerUI*> managers;
  HINSTANCE instance = nullptr;
  HINSTANCE resourceModule = nullptr;
  std::wstring resourcePath;
  std::wstring resourceZip;
  std::string zipPassword;
  bool zipCached = false;
  bool zipInMemory = false;  // zipHandle reads the bytes handed to SetResourceZip; resourceZip is empty
  HZIP zipHandle = nullptr;

  CNameTable<std::unique_ptr<TFontInfo>> fonts;
  CNameTable<std::unique_ptr<TImageInfo>> images;
  CNameTable<std::wstring> styles;
  CNameTable<std::wstring> defaultAttributes;
  TFontInfo defaultFont;

  bool colorsSet = false;
  DWORD disabledColor = 0xFFA7A6AA;
  DWORD fontColor = 0xFF000000;
  DWORD linkColor = 0xFF0000FF;
  DWORD linkHoverColor = 0xFFD3215F;
  DWORD selectedColor = 0xFFBAE4FF;
  UniqueHpen updateRectPen;
};

SharedPaintState& Shared();

}  // namespace Veneer
