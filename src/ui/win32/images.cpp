#include "ui/win32/images.h"

// GDI+ names min and max unqualified, which NOMINMAX took away.
#include <objidl.h>

#include <algorithm>
#include <map>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

#include "platform/windows/win_text.h"

namespace nd::ui::win32 {

ImageLibrary::ImageLibrary() {
  Gdiplus::GdiplusStartupInput input;
  Gdiplus::GdiplusStartup(&token_, &input, nullptr);
}

ImageLibrary::~ImageLibrary() {
  if (token_) Gdiplus::GdiplusShutdown(token_);
}

struct Image::Decoded {
  std::unique_ptr<Gdiplus::Bitmap> bitmap;
};

Image::Image(const std::string& path) : decoded_(std::make_unique<Decoded>()) {
  if (path.empty()) return;
  const std::wstring wide = platform::win::WidePath(path);
  if (wide.empty() || ::GetFileAttributesW(wide.c_str()) == INVALID_FILE_ATTRIBUTES) return;
  auto bitmap = std::make_unique<Gdiplus::Bitmap>(wide.c_str());
  if (bitmap->GetLastStatus() == Gdiplus::Ok && bitmap->GetWidth() > 0) {
    decoded_->bitmap = std::move(bitmap);
  }
}

Image::~Image() = default;

bool Image::Ok() const { return decoded_->bitmap != nullptr; }
int Image::Width() const { return Ok() ? static_cast<int>(decoded_->bitmap->GetWidth()) : 0; }
int Image::Height() const { return Ok() ? static_cast<int>(decoded_->bitmap->GetHeight()) : 0; }

HBITMAP Image::Scaled(int width, int height) const {
  if (!Ok() || width <= 0 || height <= 0) return nullptr;
  HDC screen = ::GetDC(nullptr);
  HBITMAP target = ::CreateCompatibleBitmap(screen, width, height);
  HDC dc = ::CreateCompatibleDC(screen);
  HGDIOBJ old = ::SelectObject(dc, target);
  {
    Gdiplus::Graphics graphics(dc);
    graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
    graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    graphics.DrawImage(decoded_->bitmap.get(), 0, 0, width, height);
  }
  ::SelectObject(dc, old);
  ::DeleteDC(dc);
  ::ReleaseDC(nullptr, screen);
  return target;
}

void Image::DrawFitted(HDC dc, const RECT& box) const {
  if (!Ok()) return;
  const int room_w = box.right - box.left;
  const int room_h = box.bottom - box.top;
  double scale = 1;
  if (Width() > room_w || Height() > room_h) {
    scale = std::min(static_cast<double>(room_w) / Width(), static_cast<double>(room_h) / Height());
  }
  const int w = std::max(1, static_cast<int>(Width() * scale));
  const int h = std::max(1, static_cast<int>(Height() * scale));
  Gdiplus::Graphics graphics(dc);
  graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
  graphics.DrawImage(decoded_->bitmap.get(), box.left, box.top, w, h);
}

const Image& CachedImage(const std::string& path) {
  static std::map<std::string, std::unique_ptr<Image>> cache;
  auto it = cache.find(path);
  if (it == cache.end()) it = cache.emplace(path, std::make_unique<Image>(path)).first;
  return *it->second;
}

}  // namespace nd::ui::win32
