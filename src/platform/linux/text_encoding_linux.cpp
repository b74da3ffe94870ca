// Code-page conversion through glibc's iconv.
#include <iconv.h>

#include <cerrno>
#include <string>

#include "platform/text_encoding.h"

namespace nd::platform {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

class Converter {
 public:
  explicit Converter(int code_page) {
    std::string name = "CP" + std::to_string(code_page);
    handle_ = ::iconv_open("UTF-8", name.c_str());
    if (handle_ == kInvalid) handle_ = ::iconv_open("UTF-8", "CP1252");
  }
  ~Converter() {
    if (handle_ != kInvalid) ::iconv_close(handle_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  std::string Convert(std::string_view bytes) {
    std::string out;
    if (handle_ == kInvalid) return out;
    out.reserve(bytes.size() * 2);
    char* in_ptr = const_cast<char*>(bytes.data());
    size_t in_left = bytes.size();
    char buffer[1024];
    while (in_left > 0) {
      char* out_ptr = buffer;
      size_t out_left = sizeof buffer;
      size_t result = ::iconv(handle_, &in_ptr, &in_left, &out_ptr, &out_left);
      out.append(buffer, static_cast<size_t>(out_ptr - buffer));
      if (result != static_cast<size_t>(-1)) break;
      if (errno == E2BIG) continue;
      // EILSEQ: a byte the code page does not define; EINVAL: a character cut off at the end.
      out.append(kReplacement);
      ::iconv(handle_, nullptr, nullptr, nullptr, nullptr);
      ++in_ptr;
      --in_left;
    }
    return out;
  }

 private:
  // iconv_open reports failure with the handle (iconv_t)-1.
  static inline const iconv_t kInvalid =
      reinterpret_cast<iconv_t>(-1);  // NOLINT(performance-no-int-to-ptr)
  iconv_t handle_;
};

}  // namespace

std::string CodePageToUtf8(std::string_view bytes, int code_page) {
  Converter converter(code_page);
  return converter.Convert(bytes);
}

}  // namespace nd::platform
