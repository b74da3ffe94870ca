// Win32 implementation of the file-system operations. Nothing here follows a reparse point
// (symbolic link or junction) at the path it writes or reads, and nothing writes into a pipe,
// console or other device that a name such as "CON" or "\\.\pipe\x" reaches.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <random>
#include <vector>

#include "platform/files.h"
#include "platform/windows/private_security.h"
#include "platform/windows/win_text.h"

namespace nd::platform {
namespace {

using win::Handle;
using win::PrivateSecurity;
using win::WidePath;

DWORD Attributes(const std::string& path) {
  std::wstring wide = WidePath(path);
  return wide.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(wide.c_str());
}

bool WriteAll(HANDLE file, std::string_view data) {
  while (!data.empty()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size(), 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(file, data.data(), chunk, &written, nullptr) || written == 0) return false;
    data.remove_prefix(written);
  }
  return true;
}

// An open handle that names a regular file on a disk: not a folder, not a reparse point (we
// opened it, not its target), not a pipe or console.
bool OnlyRegular(HANDLE file) {
  if (::GetFileType(file) != FILE_TYPE_DISK) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(file, &info)) return false;
  return (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

Handle OpenForWriting(const std::string& path, DWORD disposition) {
  std::wstring wide = WidePath(path);
  if (wide.empty()) return Handle();
  return Handle(::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

std::string ParentFolder(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  if (slash == std::string::npos) return ".";
  if (slash == 2 && path[1] == ':') return path.substr(0, 3);
  return path.substr(0, slash);
}

std::string FileName(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string RandomSuffix() {
  static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  static std::mt19937_64 engine{std::random_device{}() ^
                                (static_cast<uint64_t>(::GetCurrentProcessId()) << 32) ^
                                ::GetTickCount64()};
  std::string suffix;
  for (int i = 0; i < 6; ++i) suffix.push_back(kChars[engine() % (sizeof kChars - 1)]);
  return suffix;
}

}  // namespace

// A kernel handle (a file, or the named mutex of a folder lock), closed when the object goes.
class NativeFile {
 public:
  explicit NativeFile(HANDLE h) noexcept : handle(h) {}
  ~NativeFile() {
    if (handle != nullptr) ::CloseHandle(handle);
  }
  NativeFile(const NativeFile&) = delete;
  NativeFile& operator=(const NativeFile&) = delete;

  // Closes now, reporting what CloseHandle reports.
  bool Close() noexcept {
    HANDLE closing = handle;
    handle = nullptr;
    return ::CloseHandle(closing) != FALSE;
  }

  HANDLE handle;
};

bool IsRegularFile(const std::string& path) noexcept {
  DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool IsDirectory(const std::string& path) noexcept {
  DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool PathExists(const std::string& path) noexcept {
  return Attributes(path) != INVALID_FILE_ATTRIBUTES;
}

bool MakeDirectory(const std::string& path) noexcept {
  std::wstring wide = WidePath(path);
  if (wide.empty()) return false;
  PrivateSecurity security;
  if (::CreateDirectoryW(wide.c_str(), security.get())) return true;
  return ::GetLastError() == ERROR_ALREADY_EXISTS && IsDirectory(path);
}

bool MakeDirectories(const std::string& path) noexcept {
  if (WidePath(path).empty()) return false;
  if (IsDirectory(path)) return true;
  std::string trimmed = path;
  while (trimmed.size() > 3 && (trimmed.back() == '\\' || trimmed.back() == '/')) {
    trimmed.pop_back();
  }
  std::string parent = ParentFolder(trimmed);
  if (parent != "." && parent != trimmed && !MakeDirectories(parent)) return false;
  return MakeDirectory(trimmed);
}

std::string CanonicalPath(const std::string& path) noexcept {
  std::wstring wide = WidePath(path);
  if (wide.empty()) return {};
  Handle file(::CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file) return {};
  std::wstring out(MAX_PATH, L'\0');
  DWORD n = ::GetFinalPathNameByHandleW(file.get(), out.data(), static_cast<DWORD>(out.size()),
                                        FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (n >= out.size()) {
    out.resize(n + 1);
    n = ::GetFinalPathNameByHandleW(file.get(), out.data(), static_cast<DWORD>(out.size()),
                                    FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  }
  if (n == 0 || n >= out.size()) return {};
  out.resize(n);
  // The answer carries the "\\?\" prefix; the plain form is what users and the layers above
  // know ("\\?\UNC\server\share" is "\\server\share").
  if (out.rfind(L"\\\\?\\UNC\\", 0) == 0) {
    out = L"\\\\" + out.substr(8);
  } else if (out.rfind(L"\\\\?\\", 0) == 0 && out.size() < MAX_PATH + 4) {
    out = out.substr(4);
  }
  return win::Narrow(out);
}

bool RemoveFile(const std::string& path) noexcept {
  std::wstring wide = WidePath(path);
  return !wide.empty() && ::DeleteFileW(wide.c_str());
}

bool WriteWholeFile(const std::string& path, std::string_view contents, bool flush) noexcept {
  Handle file = OpenForWriting(path, OPEN_ALWAYS);
  if (!file) return false;
  // Emptied only once it is known to be a plain file of its own.
  if (!OnlyRegular(file.get()) || !::SetEndOfFile(file.get())) return false;
  bool ok = WriteAll(file.get(), contents) && (!flush || ::FlushFileBuffers(file.get()));
  return ::CloseHandle(file.release()) && ok;
}

bool RenameFile(const std::string& from, const std::string& to) noexcept {
  std::wstring wfrom = WidePath(from);
  std::wstring wto = WidePath(to);
  return !wfrom.empty() && !wto.empty() &&
         ::MoveFileExW(wfrom.c_str(), wto.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

// Windows has no permission bits; what survives of them is the owner's write bit, as the
// read-only attribute. The executable bits mean nothing here.
bool SetPermissions(const std::string& path, unsigned mode) noexcept {
  std::wstring wide = WidePath(path);
  if (wide.empty()) return false;
  DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  DWORD wanted = (mode & 0200) != 0 ? attributes & ~FILE_ATTRIBUTE_READONLY
                                    : attributes | FILE_ATTRIBUTE_READONLY;
  return wanted == attributes || ::SetFileAttributesW(wide.c_str(), wanted);
}

std::string MakePrivateTempFolder(const std::string& parent, std::string_view prefix) noexcept {
  if (prefix.find_first_of("\\/:") != std::string_view::npos || WidePath(parent).empty()) {
    return {};
  }
  try {
    PrivateSecurity security;
    if (!security.get()) return {};
    std::string base = parent;
    if (base.back() != '\\' && base.back() != '/') base.push_back('\\');
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::string path = base + std::string(prefix) + RandomSuffix();
      std::wstring wide = WidePath(path);
      if (wide.empty()) return {};
      // Creating it is the test: a name somebody took beforehand fails, and we try another.
      if (::CreateDirectoryW(wide.c_str(), security.get())) return path;
      if (::GetLastError() != ERROR_ALREADY_EXISTS) return {};
    }
  } catch (...) {
  }
  return {};
}

std::vector<std::string> ListFolderFiles(const std::string& folder) noexcept {
  std::vector<std::string> names;
  try {
    std::wstring pattern = WidePath(folder.empty() ? folder : folder + "\\*");
    if (pattern.empty()) return names;
    WIN32_FIND_DATAW data{};
    HANDLE find = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                     nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
      if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        names.push_back(win::Narrow(data.cFileName));
      }
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    auto lower = [](std::string text) {
      for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      }
      return text;
    };
    std::sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
      const std::string la = lower(a);
      const std::string lb = lower(b);
      return la != lb ? la < lb : a < b;
    });
  } catch (...) {
    names.clear();
  }
  return names;
}

bool ReadFileBytes(const std::string& path, std::string& contents) noexcept {
  contents.clear();
  std::wstring wide = WidePath(path);
  if (wide.empty()) return false;
  Handle file(::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file || !OnlyRegular(file.get())) return false;
  try {
    char buffer[65536];
    for (;;) {
      DWORD got = 0;
      if (!::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) {
        contents.clear();
        return false;
      }
      if (got == 0) return true;
      contents.append(buffer, got);
    }
  } catch (...) {  // out of memory on an absurd file: treat it as unreadable
    contents.clear();
    return false;
  }
}

AtomicFileWriter::AtomicFileWriter(std::string path) : path_(std::move(path)) {}

AtomicFileWriter::~AtomicFileWriter() {
  file_.reset();
  if (!temp_path_.empty()) RemoveFile(temp_path_);
}

bool AtomicFileWriter::Begin() {
  if (file_ || WidePath(path_).empty()) return false;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = path_ + std::string(kTempMarker) + RandomSuffix();
    Handle file = OpenForWriting(candidate, CREATE_NEW);
    if (file) {
      file_.reset(new (std::nothrow) NativeFile(file.get()));
      if (!file_) return false;  // the Handle still closes it; its name is not ours to keep
      file.release();
      temp_path_ = candidate;
      return true;
    }
    if (::GetLastError() != ERROR_FILE_EXISTS) return false;
  }
  return false;
}

bool AtomicFileWriter::Write(std::string_view data) {
  if (!file_ || failed_) return false;
  if (!WriteAll(file_->handle, data)) failed_ = true;
  return !failed_;
}

bool AtomicFileWriter::Commit() {
  if (!file_ || failed_) return false;
  bool ok = ::FlushFileBuffers(file_->handle) != FALSE;
  ok = file_->Close() && ok;
  file_.reset();
  if (!ok || !RenameFile(temp_path_, path_)) return false;
  temp_path_.clear();
  return true;
}

bool ReplaceFileAtomically(const std::string& path, std::string_view contents) noexcept {
  try {
    AtomicFileWriter writer(path);
    return writer.Begin() && writer.Write(contents) && writer.Commit();
  } catch (...) {
    return false;
  }
}

void RemoveStaleTempFiles(const std::string& path) noexcept {
  try {
    std::string folder = ParentFolder(path);
    std::string prefix = FileName(path) + std::string(AtomicFileWriter::kTempMarker);
    std::wstring pattern = WidePath(folder + "\\" + prefix + "*");
    if (pattern.empty()) return;
    WIN32_FIND_DATAW data{};
    HANDLE find = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                     nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) return;
    std::vector<std::string> stale;
    do {
      std::string name = win::Narrow(data.cFileName);
      // The pattern also matches short names; only a real "<name>.tmp-..." is ours.
      if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && name.size() > prefix.size() &&
          name.compare(0, prefix.size(), prefix) == 0) {
        stale.push_back(folder + "\\" + name);
      }
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    for (const std::string& file : stale) RemoveFile(file);
  } catch (...) {
  }
}

// A named mutex per folder serves where Linux locks the folder itself: Windows has no lock on
// a folder handle. It is released when its holder ends, even by a crash (the next holder then
// sees it abandoned and takes it all the same).
FolderLock::FolderLock(const std::string& folder) noexcept {
  try {
    std::string canonical = CanonicalPath(folder);
    if (canonical.empty()) return;
    std::wstring name = win::Widen(canonical);
    // File names compare without case; object names do not, and may not hold '\'.
    ::CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
    std::replace(name.begin(), name.end(), L'\\', L'/');
    name = L"Local\\Nulldrift-folder-lock:" + name;
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name.c_str());
    if (mutex == nullptr) return;
    DWORD rc = ::WaitForSingleObject(mutex, INFINITE);
    if (rc != WAIT_OBJECT_0 && rc != WAIT_ABANDONED) {
      ::CloseHandle(mutex);
      return;
    }
    file_.reset(new (std::nothrow) NativeFile(mutex));
    if (!file_) {  // no lock is better than one that is never given back
      ::ReleaseMutex(mutex);
      ::CloseHandle(mutex);
    }
  } catch (...) {
  }
}

FolderLock::~FolderLock() {
  if (file_) ::ReleaseMutex(file_->handle);
}

}  // namespace nd::platform
