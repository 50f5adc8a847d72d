// The paint manager's painting: layout on demand, the off-screen bitmap, and layered composition.
#include <algorithm>
#include <cstring>

#include "veneer/control.h"
#include "veneer/paint_manager.h"
#include "veneer/paint_manager_shared.h"
#include "veneer/render_engine.h"

namespace Veneer {
namespace {

CControlUI* CollectNeedingUpdate(CControlUI* control, void* data) {
  if (control->IsUpdateNeeded()) static_cast<std::vector<CControlUI*>*>(data)->push_back(control);
  return nullptr;
}

RECT Shrink(const RECT& rc, const RECT& inset) {
  return MakeRect(rc.left + inset.left, rc.top + inset.top, rc.right - inset.right, rc.bottom - inset.bottom);
}

}  // namespace

void CPaintManagerUI::LayoutRoot(const RECT& client) {
  RECT rc = client;
  if (layered_) rc = Shrink(client, layeredInset_);
  root_->SetPos(rc, true);
}

void CPaintManagerUI::OnPaint() {
  // 1. Nothing to paint yet: the update area is black.
  if (root_ == nullptr) {
    PAINTSTRUCT ps{};
    HDC dc = ::BeginPaint(window_, &ps);
    ::FillRect(dc, &ps.rcPaint, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    ::EndPaint(window_, &ps);
    return;
  }

  // 2. What to paint.
  RECT client{};
  ::GetClientRect(window_, &client);
  RECT update{};
  if (!::GetUpdateRect(window_, &update, FALSE) || IsEmpty(update)) return;
  if (focusNeeded_) SetNextTabControl(true);
  painting_ = true;

  // 3. Layout: the whole tree after a size change or the first time, else only the flagged controls.
  bool laidOut = false;
  if (updateNeeded_) {
    updateNeeded_ = false;
    if (!IsEmpty(client) && !::IsIconic(window_)) {
      if (!root_->IsUpdateNeeded()) {
        std::vector<CControlUI*> flagged;
        root_->FindControl(&CollectNeedingUpdate, &flagged, kFindVisible | kFindMeFirst | kFindUpdateTest);
        for (CControlUI* control : flagged)
          if (control->IsUpdateNeeded()) control->SetPos(control->GetPos(), true);
      } else {
        if (offscreenDc_ && offscreenOldBitmap_ != nullptr) ::SelectObject(offscreenDc_.Get(), offscreenOldBitmap_);
        offscreenBitmap_.Reset();
        offscreenBits_ = nullptr;
        if (backgroundDc_ && backgroundOldBitmap_ != nullptr) ::SelectObject(backgroundDc_.Get(), backgroundOldBitmap_);
        backgroundBitmap_.Reset();
        backgroundBits_ = nullptr;
        LayoutRoot(client);
      }
      laidOut = true;
      if (firstLayout_) {
        firstLayout_ = false;
        SendNotify(root_, L"windowinit", 0, 0, false);
        if (layered_ && layeredChanged_) {
          // The next paint draws, with the layered style in place.
          Invalidate();
          painting_ = false;
          return;
        }
      }
    }
  } else if (layered_ && layeredChanged_) {
    // 4. A layered setting changed: start from transparent pixels and lay out again.
    if (offscreenBits_ != nullptr)
      std::memset(offscreenBits_, 0, static_cast<size_t>(offscreenSize_.cx) * offscreenSize_.cy * 4);
    LayoutRoot(client);
  }

  // 5. Layered windows always paint off-screen, and repaint what was invalidated since the last push.
  if (layered_) {
    const LONG ex = ::GetWindowLongW(window_, GWL_EXSTYLE);
    if (!(ex & WS_EX_LAYERED)) ::SetWindowLongW(window_, GWL_EXSTYLE, ex | WS_EX_LAYERED);
    offscreenPaint_ = true;
    RECT pending;
    if (Intersect(pending, layeredUpdate_, client)) update = Union(update, pending);
    layeredUpdate_ = RECT{};
  }

  // 6. The off-screen bitmap of the client size.
  if (offscreenPaint_ &&
      (!offscreenBitmap_ || offscreenSize_.cx != Width(client) || offscreenSize_.cy != Height(client))) {
    if (!offscreenDc_) offscreenDc_.Reset(::CreateCompatibleDC(windowDc_));
    if (offscreenOldBitmap_ != nullptr) ::SelectObject(offscreenDc_.Get(), offscreenOldBitmap_);
    offscreenBitmap_.Reset(CRenderEngine::CreateDib32(windowDc_, Width(client), Height(client), &offscreenBits_));
    offscreenSize_ = MakeSize(Width(client), Height(client));
    offscreenOldBitmap_ = offscreenBitmap_ ? ::SelectObject(offscreenDc_.Get(), offscreenBitmap_.Get()) : nullptr;
    if (offscreenBits_ != nullptr)
      std::memset(offscreenBits_, 0, static_cast<size_t>(offscreenSize_.cx) * offscreenSize_.cy * 4);
  }

  PAINTSTRUCT ps{};
  HDC dc = ::BeginPaint(window_, &ps);
  if (!offscreenPaint_ || !offscreenBitmap_) {
    // 7. Straight into the window.
    {
      CRenderClip clip(dc, update);
      root_->Paint(dc, update, nullptr);
    }
    for (size_t i = 0; i < postPaintControls_.size(); ++i) postPaintControls_[i]->DoPostPaint(dc, update);
  } else {
    // 8. Into the off-screen bitmap; a layered window starts from transparent pixels.
    HDC memory = offscreenDc_.Get();
    RECT painted;
    if (!Intersect(painted, update, client)) painted = RECT{};
    if (layered_ && offscreenBits_ != nullptr) {
      for (long y = painted.top; y < painted.bottom; ++y)
        std::memset(offscreenBits_ + y * offscreenSize_.cx + painted.left, 0, Width(painted) * 4);
    }
    const CPixelSurfaceScope surface(memory, offscreenBits_, offscreenSize_);
    {
      CRenderClip clip(memory, update);
      root_->Paint(memory, update, nullptr);
    }
    if (layered_) CopyNativeWindows(memory, update);
    for (size_t i = 0; i < postPaintControls_.size(); ++i) postPaintControls_[i]->DoPostPaint(memory, update);
    PaintFocusMark(painted);

    if (!layered_) {
      // 9. Copy the repainted part to the window.
      ::BitBlt(dc, update.left, update.top, Width(update), Height(update), memory, update.left, update.top, SRCCOPY);
    } else {
      // 10. Compose and push the whole surface.
      PaintLayeredContent(painted, client);
    }
  }

  // 11. Optional outline of what was repainted.
  if (showUpdateRect_ && !layered_) {
    HGDIOBJ oldPen = ::SelectObject(dc, Shared().updateRectPen.Get());
    HGDIOBJ oldBrush = ::SelectObject(dc, ::GetStockObject(HOLLOW_BRUSH));
    ::Rectangle(dc, update.left, update.top, update.right, update.bottom);
    ::SelectObject(dc, oldBrush);
    ::SelectObject(dc, oldPen);
  }

  // 12. Done.
  ::EndPaint(window_, &ps);
  painting_ = false;
  layeredChanged_ = false;
  if (updateNeeded_) Invalidate();
  if (laidOut) SendNotify(root_, L"windowsize", 0, 0, true);
}

void CPaintManagerUI::PaintFocusMark(const RECT& painted) {
  if (!focusMarkShown_ || focus_ == nullptr || !focus_->IsVisible() || offscreenBits_ == nullptr) return;
  // Two rings of one unit each around the control, light outside and dark inside, so that the mark shows
  // on the dark artwork as well as on the white field. Opaque pixels need no alpha fix-up afterwards.
  const int unit = (std::max)(1, GetDPIObj()->GetScale() / 100);
  const RECT outer = GetFocusMarkRect(focus_);
  RECT middle = outer;
  ::InflateRect(&middle, -unit, -unit);
  RECT inner = middle;
  ::InflateRect(&inner, -unit, -unit);
  RECT area;
  if (!Intersect(area, outer, painted)) return;
  for (long y = area.top; y < area.bottom && y < offscreenSize_.cy; ++y) {
    uint32_t* row = offscreenBits_ + y * offscreenSize_.cx;
    for (long x = area.left; x < area.right && x < offscreenSize_.cx; ++x) {
      const POINT pt = {x, y};
      if (Contains(inner, pt)) continue;
      row[x] = Contains(middle, pt) ? kFocusMarkInnerColor : kFocusMarkOuterColor;
    }
  }
}

void CPaintManagerUI::CopyNativeWindows(HDC memory, const RECT& update) {
  // A layered window shows only what is in its surface: native children are printed into it, their
  // GDI-drawn (alpha 0) pixels made opaque.
  for (const auto& entry : nativeWindows_) {
    HWND child = entry.second;
    if (!::IsWindowVisible(child)) continue;
    RECT pos{};
    ::GetWindowRect(child, &pos);
    ::MapWindowPoints(HWND_DESKTOP, window_, reinterpret_cast<POINT*>(&pos), 2);
    RECT visible;
    if (!Intersect(visible, pos, update)) continue;
    uint32_t* bits = nullptr;
    UniqueHbitmap bitmap(CRenderEngine::CreateDib32(memory, Width(pos), Height(pos), &bits));
    if (!bitmap) continue;
    UniqueHdc dc(::CreateCompatibleDC(memory));
    HGDIOBJ old = ::SelectObject(dc.Get(), bitmap.Get());
    ::PrintWindow(child, dc.Get(), 0);
    for (long i = 0, n = Width(pos) * Height(pos); i < n; ++i)
      if (bits[i] != 0) bits[i] |= 0xFF000000u;
    ::BitBlt(memory, visible.left, visible.top, Width(visible), Height(visible), dc.Get(), visible.left - pos.left,
             visible.top - pos.top, SRCCOPY);
    ::SelectObject(dc.Get(), old);
  }
}

void CPaintManagerUI::PaintLayeredContent(const RECT& painted, const RECT& client) {
  if (offscreenBits_ == nullptr) return;
  const long stride = offscreenSize_.cx;
  if (layeredImage_.descriptor.empty()) {
    // Text and fills drawn with GDI leave alpha 0; whatever has a colour is made opaque.
    for (long y = painted.top; y < painted.bottom; ++y) {
      uint32_t* row = offscreenBits_ + y * stride;
      for (long x = painted.left; x < painted.right; ++x) {
        const uint32_t pixel = row[x];
        if ((pixel & 0xFF000000u) == 0 && (pixel & 0x00FFFFFFu) != 0) row[x] = pixel | 0xFF000000u;
      }
    }
  } else {
    // The background is drawn again whenever the window's size changed: it is read with the stride of
    // the off-screen bitmap. A layout does not always discard it first (an invisible root asks for none).
    if (!backgroundBitmap_ || layeredChanged_ || backgroundSize_.cx != Width(client) ||
        backgroundSize_.cy != Height(client)) {
      if (!backgroundDc_) backgroundDc_.Reset(::CreateCompatibleDC(windowDc_));
      if (backgroundOldBitmap_ != nullptr) ::SelectObject(backgroundDc_.Get(), backgroundOldBitmap_);
      backgroundBitmap_.Reset(CRenderEngine::CreateDib32(windowDc_, Width(client), Height(client), &backgroundBits_));
      backgroundSize_ = MakeSize(Width(client), Height(client));
      backgroundOldBitmap_ = backgroundBitmap_ ? ::SelectObject(backgroundDc_.Get(), backgroundBitmap_.Get()) : nullptr;
      if (backgroundBits_ != nullptr) {
        std::memset(backgroundBits_, 0, static_cast<size_t>(Width(client)) * Height(client) * 4);
        const RECT area = Shrink(client, layeredInset_);
        CRenderEngine::DrawImageInfo(backgroundDc_.Get(), this, area, area, &layeredImage_);
      }
    }
    const bool sameSize = backgroundSize_.cx == offscreenSize_.cx && backgroundSize_.cy == offscreenSize_.cy;
    if (backgroundBits_ != nullptr && sameSize) {
      // The window takes the shape of the layered image: its alpha masks the painted content.
      for (long y = painted.top; y < painted.bottom; ++y) {
        uint32_t* row = offscreenBits_ + y * stride;
        const uint32_t* background = backgroundBits_ + y * stride;
        for (long x = painted.left; x < painted.right; ++x) {
          const uint32_t alpha = background[x] >> 24;
          const uint32_t pixel = row[x];
          const uint32_t r = ((pixel >> 16) & 0xFF) * alpha / 255;
          const uint32_t g = ((pixel >> 8) & 0xFF) * alpha / 255;
          const uint32_t b = (pixel & 0xFF) * alpha / 255;
          row[x] = (alpha << 24) | (r << 16) | (g << 8) | b;
        }
      }
    }
  }
  RECT window{};
  ::GetWindowRect(window_, &window);
  POINT destination = {window.left, window.top};
  SIZE size = offscreenSize_;
  POINT source = {0, 0};
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, layeredOpacity_, AC_SRC_ALPHA};
  // Only the repainted part changed; the dirty rectangle lets the system copy just that part.
  RECT dirty = painted;
  UPDATELAYEREDWINDOWINFO info{};
  info.cbSize = sizeof(info);
  info.pptDst = &destination;
  info.psize = &size;
  info.hdcSrc = offscreenDc_.Get();
  info.pptSrc = &source;
  info.pblend = &blend;
  info.dwFlags = ULW_ALPHA;
  info.prcDirty = IsEmpty(dirty) ? nullptr : &dirty;
  ::UpdateLayeredWindowIndirect(window_, &info);
}

}  // namespace Veneer
