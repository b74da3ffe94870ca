// One GET through WinINet in its asynchronous mode, driven from the caller's thread: the
// library's own threads report each finished step through the status callback, and the caller
// pumps the window's messages about every 50 ms while it waits, so that no worker thread of
// ours ever touches the windows.
#include <windows.h>
// The other Windows headers build on the declarations of <windows.h>.
#include <wininet.h>

#include <algorithm>
#include <memory>

#include "platform/http.h"
#include "platform/windows/win_text.h"

namespace nd::platform {
namespace {

constexpr DWORD kPollMs = 50;
// After the request handle is closed, its last callback comes within this time.
constexpr DWORD kClosingWaitMs = 5000;

// What the callback and the caller share. It lives on the heap: should the library's last
// callback not come in time, the state is left behind rather than freed under it.
struct Transfer {
  using Handle = win::Handle;
  Handle done{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
  Handle closed{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  HINTERNET request = nullptr;
  DWORD result = 0;
  DWORD error = 0;
};

void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD) {
  auto* transfer = reinterpret_cast<Transfer*>(context);
  if (transfer == nullptr) return;
  switch (status) {
    case INTERNET_STATUS_HANDLE_CREATED:
      transfer->request =
          reinterpret_cast<HINTERNET>(static_cast<INTERNET_ASYNC_RESULT*>(info)->dwResult);
      break;
    case INTERNET_STATUS_REQUEST_COMPLETE: {
      auto* result = static_cast<INTERNET_ASYNC_RESULT*>(info);
      transfer->result = static_cast<DWORD>(result->dwResult);
      transfer->error = result->dwError;
      ::SetEvent(transfer->done.get());
      break;
    }
    case INTERNET_STATUS_HANDLE_CLOSING:
      ::SetEvent(transfer->closed.get());
      break;
    default:
      break;
  }
}

class Session {
 public:
  explicit Session(HINTERNET handle) : handle_(handle) {}
  ~Session() {
    if (handle_) ::InternetCloseHandle(handle_);
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  HINTERNET get() const { return handle_; }

 private:
  HINTERNET handle_;
};

// Waits for the step in flight, pumping meanwhile; false when the deadline passed first.
bool WaitStep(Transfer& transfer, ULONGLONG deadline, const std::function<void()>& pump) {
  for (;;) {
    if (::WaitForSingleObject(transfer.done.get(), kPollMs) == WAIT_OBJECT_0) return true;
    if (::GetTickCount64() >= deadline) return false;
    if (pump) pump();
  }
}

bool Fetch(Session& session, Transfer& transfer, const std::wstring& url, std::string& body,
           const std::function<void()>& pump, const HttpOptions& options) {
  const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(options.total_timeout_ms);
  static constexpr wchar_t kHeaders[] = L"Cache-Control: no-cache\r\nPragma: no-cache\r\n";
  constexpr DWORD kFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                           INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_UI |
                           INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_AUTO_REDIRECT;
  HINTERNET request =
      ::InternetOpenUrlW(session.get(), url.c_str(), kHeaders, static_cast<DWORD>(-1), kFlags,
                         reinterpret_cast<DWORD_PTR>(&transfer));
  if (request == nullptr) {
    if (::GetLastError() != ERROR_IO_PENDING || !WaitStep(transfer, deadline, pump)) return false;
    if (transfer.result == 0) return false;
    request = reinterpret_cast<HINTERNET>(static_cast<DWORD_PTR>(transfer.result));
    if (request == nullptr) request = transfer.request;
  }
  transfer.request = request;
  if (request == nullptr) return false;

  DWORD status = 0;
  DWORD size = sizeof status;
  if (!::HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                        nullptr) ||
      status < 200 || status >= 300) {
    return false;
  }
  char buffer[16384];
  for (;;) {
    DWORD available = 0;
    if (!::InternetQueryDataAvailable(request, &available, 0, 0)) {
      if (::GetLastError() != ERROR_IO_PENDING || !WaitStep(transfer, deadline, pump) ||
          transfer.result == 0) {
        return false;
      }
      // A query that had to wait reports the count with its completion; where it does not,
      // the data is buffered now and the next round asks again without waiting.
      available = transfer.error;
      if (available == 0) continue;
    }
    if (available == 0) return true;
    DWORD got = 0;
    if (!::InternetReadFile(request, buffer, std::min<DWORD>(available, sizeof buffer), &got)) {
      if (::GetLastError() != ERROR_IO_PENDING || !WaitStep(transfer, deadline, pump) ||
          transfer.result == 0) {
        return false;
      }
    }
    if (got == 0) return true;
    body.append(buffer, got);
    if (pump) pump();
    if (::GetTickCount64() >= deadline) return false;
  }
}

}  // namespace

bool HttpGet(const std::string& url, std::string& body, const std::function<void()>& pump,
             HttpOptions options) {
  body.clear();
  bool ok = true;
  std::wstring wide = win::Widen(url, &ok);
  if (!ok || (wide.rfind(L"http://", 0) != 0 && wide.rfind(L"https://", 0) != 0)) return false;

  Session session(::InternetOpenW(L"Download Agent", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr,
                                  INTERNET_FLAG_ASYNC));
  if (!session.get()) return false;
  DWORD connect = static_cast<DWORD>(options.connect_timeout_ms);
  DWORD total = static_cast<DWORD>(options.total_timeout_ms);
  ::InternetSetOptionW(session.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
  ::InternetSetOptionW(session.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &total, sizeof total);
  ::InternetSetOptionW(session.get(), INTERNET_OPTION_SEND_TIMEOUT, &total, sizeof total);
  if (::InternetSetStatusCallbackW(session.get(), &OnStatus) == INTERNET_INVALID_STATUS_CALLBACK) {
    return false;
  }

  auto transfer = std::make_unique<Transfer>();
  if (!transfer->done || !transfer->closed) return false;
  bool fetched = false;
  try {
    fetched = Fetch(session, *transfer, wide, body, pump, options);
  } catch (...) {
    fetched = false;
  }
  if (transfer->request != nullptr) {
    ::InternetCloseHandle(transfer->request);
    if (::WaitForSingleObject(transfer->closed.get(), kClosingWaitMs) != WAIT_OBJECT_0) {
      // The library may still call back into the state: it must outlive us.
      transfer.release();
    }
  }
  ::InternetSetStatusCallbackW(session.get(), nullptr);
  if (!fetched) body.clear();
  return fetched;
}

}  // namespace nd::platform
