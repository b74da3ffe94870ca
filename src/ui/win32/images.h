// The pictures of the windows (the JPEG background, PNG status pictures and JPEG flags), decoded
// through GDI+ and drawn with their transparency over whatever lies behind them.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

namespace nd::ui::win32 {

// GDI+ for the lifetime of the object; pictures can be decoded and drawn only meanwhile.
class ImageLibrary {
 public:
  ImageLibrary();
  ~ImageLibrary();
  ImageLibrary(const ImageLibrary&) = delete;
  ImageLibrary& operator=(const ImageLibrary&) = delete;

 private:
  ULONG_PTR token_ = 0;
};

class Image {
 public:
  // Empty (not Ok) when the file is missing or cannot be decoded.
  explicit Image(const std::string& path);
  ~Image();
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;

  bool Ok() const;
  int Width() const;
  int Height() const;
  // A bitmap of exactly `width` x `height` pixels, the picture scaled to fill it; nullptr when
  // the picture is empty. The caller owns it.
  HBITMAP Scaled(int width, int height) const;
  // Draws the picture from the top left corner of `box` on `dc`, shrunk to fit with its
  // proportions kept when it is larger.
  void DrawFitted(HDC dc, const RECT& box) const;

 private:
  struct Decoded;
  std::unique_ptr<Decoded> decoded_;
};

// Pictures repeat (status icons on every volume row), so each file is decoded once.
const Image& CachedImage(const std::string& path);

}  // namespace nd::ui::win32
