// libcurl's multi interface, driven from the caller's thread: no worker thread, so the pump
// (the window's message loop) runs on the thread that owns the windows.
#include <curl/curl.h>

#include <memory>

#include "platform/http.h"

namespace nd::platform {
namespace {

constexpr int kPollMs = 50;

bool CurlReady() {
  // Once per process, before any handle; a static's initialisation is thread-safe.
  static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  return ready;
}

size_t AppendBody(char* data, size_t size, size_t count, void* target) {
  static_cast<std::string*>(target)->append(data, size * count);
  return size * count;
}

struct EasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiDeleter {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct ListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// Keeps the easy handle in the multi handle until the end of the scope; it must leave the multi
// handle before either is cleaned up.
class Attached {
 public:
  Attached(CURLM* multi, CURL* easy) : multi_(multi), easy_(easy) {
    ok_ = curl_multi_add_handle(multi_, easy_) == CURLM_OK;
  }
  ~Attached() {
    if (ok_) curl_multi_remove_handle(multi_, easy_);
  }
  Attached(const Attached&) = delete;
  Attached& operator=(const Attached&) = delete;
  bool ok() const { return ok_; }

 private:
  CURLM* multi_;
  CURL* easy_;
  bool ok_ = false;
};

bool Configure(CURL* easy, const std::string& url, curl_slist* headers, std::string* body,
               const HttpOptions& options) {
  return curl_easy_setopt(easy, CURLOPT_URL, url.c_str()) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_USERAGENT, "Download Agent") == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &AppendBody) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_WRITEDATA, body) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                          static_cast<long>(options.connect_timeout_ms)) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(options.total_timeout_ms)) ==
             CURLE_OK &&
         // Time-outs by signal would reach other threads of the program.
         curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
}

// Drives the transfer to its end; the transfer's own result.
CURLcode Run(CURLM* multi, const std::function<void()>& pump) {
  int running = 1;
  while (running > 0) {
    if (curl_multi_perform(multi, &running) != CURLM_OK) return CURLE_FAILED_INIT;
    if (running == 0) break;
    if (pump) pump();
    if (curl_multi_poll(multi, nullptr, 0, kPollMs, nullptr) != CURLM_OK) return CURLE_FAILED_INIT;
  }
  CURLcode result = CURLE_FAILED_INIT;
  int waiting = 0;
  while (CURLMsg* message = curl_multi_info_read(multi, &waiting)) {
    if (message->msg == CURLMSG_DONE) result = message->data.result;
  }
  return result;
}

bool Fetch(const std::string& url, std::string& body, const std::function<void()>& pump,
           const HttpOptions& options) {
  if (!CurlReady()) return false;
  // Declared first so that the list outlives the easy handle that points at it.
  std::unique_ptr<curl_slist, ListDeleter> headers(
      curl_slist_append(nullptr, "Cache-Control: no-cache"));
  if (!headers || curl_slist_append(headers.get(), "Pragma: no-cache") == nullptr) return false;
  std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
  std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
  if (!multi || !easy) return false;
  if (!Configure(easy.get(), url, headers.get(), &body, options)) return false;

  Attached attached(multi.get(), easy.get());
  if (!attached.ok() || Run(multi.get(), pump) != CURLE_OK) return false;
  long status = 0;
  if (curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status) != CURLE_OK) return false;
  return status >= 200 && status < 300;
}

}  // namespace

bool HttpGet(const std::string& url, std::string& body, const std::function<void()>& pump,
             HttpOptions options) {
  body.clear();
  if (Fetch(url, body, pump, options)) return true;
  body.clear();
  return false;
}

}  // namespace nd::platform
