// The cleaning job's file operations on Windows. The work folder is opened once; every file in
// it is created, opened and deleted relative to that handle (NtCreateFile with the folder as
// root), never through a reparse point (FILE_OPEN_REPARSE_POINT: a junction or symbolic link
// planted in the folder is opened, and deleted, as itself). The folder's handle refuses others
// the right to delete it, which is the one-job-per-folder lock: a second cleaning's open fails
// with a sharing violation.
#include <windows.h>
// The other Windows headers build on the declarations of <windows.h>.
#include <winternl.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "platform/files.h"
#include "platform/os_volumes.h"
#include "platform/windows/private_security.h"
#include "platform/windows/volumes_windows.h"
#include "platform/windows/win_text.h"
#include "platform/work_files.h"

extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE file, HANDLE event, PVOID apc_routine,
                                               PVOID apc_context, PIO_STATUS_BLOCK io,
                                               PVOID information, ULONG length,
                                               FILE_INFORMATION_CLASS information_class,
                                               BOOLEAN single_entry, PUNICODE_STRING file_name,
                                               BOOLEAN restart_scan);

namespace nd::platform {
namespace {

using win::Handle;

constexpr NTSTATUS kStatusSuccess = 0;
constexpr NTSTATUS kStatusNoMoreFiles = static_cast<NTSTATUS>(0x80000006);
constexpr NTSTATUS kStatusObjectNameCollision = static_cast<NTSTATUS>(0xC0000035);
constexpr NTSTATUS kStatusSharingViolation = static_cast<NTSTATUS>(0xC0000043);
constexpr NTSTATUS kStatusAccessDenied = static_cast<NTSTATUS>(0xC0000022);
constexpr NTSTATUS kStatusNotADirectory = static_cast<NTSTATUS>(0xC0000103);
constexpr NTSTATUS kStatusFileIsADirectory = static_cast<NTSTATUS>(0xC00000BA);

constexpr size_t kCopyChunk = size_t{4} << 20;
constexpr size_t kWriterBuffer = size_t{1} << 20;
// The pattern buffer of a fill holds at least this much, and at least one whole copy.
constexpr size_t kFillBuffer = size_t{64} << 20;
constexpr size_t kLargestFillBuffer = size_t{256} << 20;
// The most one WriteFile call takes: its count is a DWORD. Kept a multiple of the 4 KiB page,
// so that a split lands on a sector boundary.
constexpr size_t kMostPerWrite = size_t{0xFFFFF000};
// Where a volume refuses a write that large (a redirector may lack the memory to lock it), the
// request is halved down to this size before that counts as a failure.
constexpr size_t kSmallestSplit = size_t{1} << 20;
constexpr int kMaxDepth = 512;

// The folder handle: enough to list, create, set compression, read its owner and delete it.
constexpr ACCESS_MASK kFolderAccess = FILE_LIST_DIRECTORY | FILE_ADD_FILE | FILE_TRAVERSE |
                                      FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | DELETE |
                                      READ_CONTROL | SYNCHRONIZE;
// Others may read and write in the folder while we hold it, but not delete or rename it.
constexpr ULONG kFolderShare = FILE_SHARE_READ | FILE_SHARE_WRITE;

IoStatus StatusOfError(DWORD error) {
  return win::IsDiskFull(error) ? IoStatus::kNoSpace : IoStatus::kFailed;
}

IoStatus StatusOfNt(NTSTATUS status) { return StatusOfError(::RtlNtStatusToDosError(status)); }

bool PlainName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("\\/:*?\"<>|\0", 10)) == std::string_view::npos;
}

// Opens `name` inside the open folder `folder`. Never follows a reparse point.
NTSTATUS OpenRelative(HANDLE folder, const std::wstring& name, ACCESS_MASK access, ULONG share,
                      ULONG disposition, ULONG options, HANDLE& out,
                      PSECURITY_DESCRIPTOR security = nullptr) {
  out = nullptr;
  if (name.size() * sizeof(wchar_t) > 0xFFF0) return static_cast<NTSTATUS>(0xC0000106);
  UNICODE_STRING object_name;
  object_name.Buffer = const_cast<PWSTR>(name.c_str());
  object_name.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  object_name.MaximumLength = object_name.Length;
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &object_name, OBJ_CASE_INSENSITIVE, folder, security);
  IO_STATUS_BLOCK io{};
  HANDLE handle = nullptr;
  NTSTATUS status = ::NtCreateFile(
      &handle, access | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL, share,
      disposition, options | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
  if (status >= 0) out = handle;
  return status;
}

// A file's identity: volume serial and file index (NTFS keeps a sequence number in the index's
// upper bits, so a deleted file's index does not come back at once; under Wine it is the host's
// inode number, which may).
struct Identity {
  DWORD serial = 0;
  uint64_t index = 0;
  bool operator==(const Identity&) const = default;
};

bool Describe(HANDLE handle, BY_HANDLE_FILE_INFORMATION& info) {
  return ::GetFileInformationByHandle(handle, &info) != FALSE;
}

Identity IdentityOf(const BY_HANDLE_FILE_INFORMATION& info) {
  return {info.dwVolumeSerialNumber,
          (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

// The path of an open handle below its volume's root ("\\NDRF_temp\\fw1"); empty when the
// system gives it none. Unlike the full DOS path this has no MAX_PATH limit under Wine.
std::wstring PathOnVolume(HANDLE handle) {
  std::vector<unsigned char> buffer(sizeof(FILE_NAME_INFO) + 65536);
  if (!::GetFileInformationByHandleEx(handle, FileNameInfo, buffer.data(),
                                      static_cast<DWORD>(buffer.size()))) {
    return {};
  }
  auto* info = reinterpret_cast<FILE_NAME_INFO*>(buffer.data());
  return std::wstring(info->FileName, info->FileNameLength / sizeof(wchar_t));
}

bool SameText(const std::wstring& a, const std::wstring& b) {
  return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// Whether `child`, opened as `name` inside `parent`, is really that entry and not what a link
// there points to. FILE_OPEN_REPARSE_POINT already ensures this on Windows; Wine shows the
// host's symbolic links as their targets and follows them whatever the flag says, so the
// handle's own path is compared as well.
bool OpenedInPlace(HANDLE parent, HANDLE child, const std::wstring& name) {
  std::wstring parent_path = PathOnVolume(parent);
  std::wstring child_path = PathOnVolume(child);
  if (parent_path.empty() || child_path.empty()) return false;
  if (parent_path.back() != L'\\') parent_path.push_back(L'\\');
  return SameText(child_path, parent_path + name);
}

// The parent folder of `path`, opened to create and open entries in it, and the last part of
// `path`; false for a root, a bad name or a parent that cannot be opened.
bool OpenParent(const std::string& path, Handle& parent, std::wstring& name) {
  size_t slash = path.find_last_of("\\/");
  if (slash == std::string::npos) return false;
  std::string folder = path.substr(0, slash);
  if (folder.size() == 2 && folder[1] == ':') folder += "\\";
  std::string last = path.substr(slash + 1);
  if (!PlainName(last)) return false;
  std::wstring wfolder = win::WidePath(folder);
  if (wfolder.empty()) return false;
  parent.reset(::CreateFileW(
      wfolder.c_str(), FILE_LIST_DIRECTORY | FILE_ADD_SUBDIRECTORY | FILE_TRAVERSE | SYNCHRONIZE,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
      FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  name = win::Widen(last);
  return static_cast<bool>(parent) && !name.empty();
}

bool NotFound(NTSTATUS status) {
  return status == static_cast<NTSTATUS>(0xC0000034) ||  // STATUS_OBJECT_NAME_NOT_FOUND
         status == static_cast<NTSTATUS>(0xC000003A);    // STATUS_OBJECT_PATH_NOT_FOUND
}

bool IsRealFolder(DWORD attributes) {
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

// Whether a refused write may go through as smaller requests: the system or the volume had
// no resources for one that large.
bool TooLargeForVolume(DWORD error) {
  return error == ERROR_NO_SYSTEM_RESOURCES || error == ERROR_NOT_ENOUGH_MEMORY ||
         error == ERROR_WORKING_SET_QUOTA || error == ERROR_INVALID_USER_BUFFER ||
         error == ERROR_NOT_ENOUGH_QUOTA;
}

// Writes all of `data` in as few WriteFile calls as the DWORD count and the volume allow.
// `most` is the largest request the volume has taken; it shrinks where the volume refuses a
// larger one, and the caller may keep it for the next file.
IoStatus WriteAll(HANDLE file, const char* data, size_t size, size_t& most) {
  while (size > 0) {
    DWORD chunk = static_cast<DWORD>(std::min(size, most));
    DWORD written = 0;
    if (!::WriteFile(file, data, chunk, &written, nullptr)) {
      DWORD error = ::GetLastError();
      if (TooLargeForVolume(error) && chunk > kSmallestSplit) {
        most = std::max(kSmallestSplit, static_cast<size_t>(chunk / 2) & ~size_t{0xFFF});
        continue;
      }
      // A full volume first takes what still fits (a short write that succeeds), then says
      // ERROR_DISK_FULL: no space, not a failure.
      return StatusOfError(error);
    }
    if (written == 0) return IoStatus::kNoSpace;
    data += written;
    size -= written;
  }
  return IoStatus::kOk;
}

IoStatus WriteAll(HANDLE file, const char* data, size_t size) {
  size_t most = kMostPerWrite;
  return WriteAll(file, data, size, most);
}

// Names of the entries of the open folder, with their attributes, in the file system's order.
bool ListEntries(HANDLE folder, std::vector<std::pair<std::wstring, DWORD>>& entries) {
  entries.clear();
  std::vector<unsigned char> buffer(64 * 1024);
  bool restart = true;
  for (;;) {
    IO_STATUS_BLOCK io{};
    NTSTATUS status = ::NtQueryDirectoryFile(
        folder, nullptr, nullptr, nullptr, &io, buffer.data(), static_cast<ULONG>(buffer.size()),
        FileDirectoryInformation, FALSE, nullptr, restart ? TRUE : FALSE);
    restart = false;
    if (status == kStatusNoMoreFiles) return true;
    if (status < 0) return false;
    if (io.Information == 0) return true;
    size_t offset = 0;
    for (;;) {
      auto* entry = reinterpret_cast<FILE_DIRECTORY_INFORMATION*>(buffer.data() + offset);
      std::wstring name(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
      if (name != L"." && name != L"..")
        entries.emplace_back(std::move(name), entry->FileAttributes);
      if (entry->NextEntryOffset == 0) break;
      offset += entry->NextEntryOffset;
    }
  }
}

bool MarkForDeletion(HANDLE handle) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  return ::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                      sizeof disposition) != FALSE;
}

// Removes everything inside the open folder, never following a reparse point: a junction or
// link inside is removed as itself. Read-only files are not forced.
bool EmptyFolderAt(HANDLE folder, int depth) {
  std::vector<std::pair<std::wstring, DWORD>> entries;
  if (!ListEntries(folder, entries)) return false;
  bool all_gone = true;
  for (const auto& [name, attributes] : entries) {
    HANDLE child = nullptr;
    NTSTATUS status =
        OpenRelative(folder, name, DELETE | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN, 0, child);
    if (status < 0) {
      all_gone = false;
      continue;
    }
    Handle owned(child);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!Describe(child, info) || !OpenedInPlace(folder, child, name)) {
      all_gone = false;
      continue;
    }
    if (IsRealFolder(info.dwFileAttributes)) {
      if (depth >= kMaxDepth || !EmptyFolderAt(child, depth + 1)) all_gone = false;
    }
    if (!MarkForDeletion(child)) all_gone = false;
  }
  return all_gone;
}

struct AlignedBuffer {
  explicit AlignedBuffer(size_t size)
      : data(static_cast<char*>(
            ::VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))) {}
  ~AlignedBuffer() {
    if (data) ::VirtualFree(data, 0, MEM_RELEASE);
  }
  AlignedBuffer(const AlignedBuffer&) = delete;
  AlignedBuffer& operator=(const AlignedBuffer&) = delete;
  char* data;
};

// An existing regular file opened for reading; nothing for a reparse point, pipe or device.
Handle OpenRegularForReading(const std::string& path) {
  std::wstring wide = win::WidePath(path);
  if (wide.empty()) return Handle();
  Handle file(::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file || ::GetFileType(file.get()) != FILE_TYPE_DISK || !Describe(file.get(), info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    return Handle();
  }
  return file;
}

class WindowsFileWriter final : public FileWriter {
 public:
  explicit WindowsFileWriter(Handle file) : file_(std::move(file)) {
    buffer_.reserve(kWriterBuffer);
  }
  ~WindowsFileWriter() override {
    if (file_) Close();
  }
  WindowsFileWriter(const WindowsFileWriter&) = delete;
  WindowsFileWriter& operator=(const WindowsFileWriter&) = delete;

  IoStatus Write(std::string_view data) override {
    if (!file_) return IoStatus::kFailed;
    if (buffer_.size() + data.size() > kWriterBuffer) {
      if (IoStatus status = Drain(); status != IoStatus::kOk) return status;
    }
    if (data.size() >= kWriterBuffer) return WriteAll(file_.get(), data.data(), data.size());
    buffer_.append(data);
    return IoStatus::kOk;
  }

  IoStatus Close() override {
    if (!file_) return IoStatus::kFailed;
    IoStatus status = Drain();
    file_.reset();
    return status;
  }

 private:
  IoStatus Drain() {
    IoStatus status = WriteAll(file_.get(), buffer_.data(), buffer_.size());
    buffer_.clear();
    return status;
  }

  Handle file_;
  std::string buffer_;
};

// The folder at `path` for a leftover sweep: opened as itself, with the sharing that makes it
// the folder's lock. kOurs leaves `out` holding it.
FolderState OpenLeftover(const std::string& path, Handle& out) {
  out.reset();
  Handle parent;
  std::wstring name;
  if (!OpenParent(path, parent, name)) {
    return PathExists(path) ? FolderState::kForeign : FolderState::kAbsent;
  }
  HANDLE opened = nullptr;
  NTSTATUS rc = OpenRelative(parent.get(), name, kFolderAccess, kFolderShare, FILE_OPEN,
                             FILE_DIRECTORY_FILE, opened);
  if (rc < 0) {
    if (NotFound(rc)) return FolderState::kAbsent;
    if (rc == kStatusSharingViolation) return FolderState::kBusy;
    return FolderState::kForeign;
  }
  Handle folder(opened);
  BY_HANDLE_FILE_INFORMATION info{};
  if (!Describe(folder.get(), info) || !IsRealFolder(info.dwFileAttributes) ||
      !OpenedInPlace(parent.get(), folder.get(), name) ||
      !win::OwnedByUserOrAdministrators(folder.get())) {
    return FolderState::kForeign;
  }
  out = std::move(folder);
  return FolderState::kOurs;
}

// Deletes the open folder `folder` (whose contents are gone) when its handle closes; true when
// nothing is left at `path` afterwards.
bool RemoveOpenFolder(Handle folder, const std::string& path) {
  bool marked = MarkForDeletion(folder.get());
  folder.reset();
  return marked && !PathExists(path);
}

// Whole repetitions of a pattern, at least kFillBuffer bytes and at least one copy (up to
// kLargestFillBuffer): made once per fill and kept, since every copy of a fill writes the same
// bytes, and large enough that a copy is a single write request.
class PatternBuffer {
 public:
  PatternBuffer(std::string_view pattern, uint64_t least) : pattern_(pattern) {
    uint64_t wanted = std::clamp<uint64_t>(least, kFillBuffer, kLargestFillBuffer);
    uint64_t repeats = (wanted + pattern.size() - 1) / pattern.size();
    size_t size = static_cast<size_t>(repeats * pattern.size());
    data_ =
        static_cast<char*>(::VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!data_) return;
    size_ = size;
    for (size_t at = 0; at < size_; at += pattern.size()) {
      std::memcpy(data_ + at, pattern.data(), pattern.size());
    }
  }
  ~PatternBuffer() {
    if (data_) ::VirtualFree(data_, 0, MEM_RELEASE);
  }
  PatternBuffer(const PatternBuffer&) = delete;
  PatternBuffer& operator=(const PatternBuffer&) = delete;

  // Holds `pattern` and writes `size` bytes of it in one request, or is as large as it gets.
  bool Serves(std::string_view pattern, uint64_t size) const {
    return pattern_ == pattern && (size <= size_ || size_ >= kLargestFillBuffer);
  }

  // `size` bytes of the pattern into `out`. The buffer is whole repetitions, so each pass over
  // it starts at the pattern's beginning.
  IoStatus Fill(HANDLE out, uint64_t size, size_t& most) const {
    if (!data_) return IoStatus::kFailed;
    IoStatus status = IoStatus::kOk;
    for (uint64_t left = size; left > 0 && status == IoStatus::kOk;) {
      size_t n = static_cast<size_t>(std::min<uint64_t>(left, size_));
      status = WriteAll(out, data_, n, most);
      left -= n;
    }
    return status;
  }

 private:
  std::string pattern_;
  char* data_ = nullptr;
  size_t size_ = 0;
};

class WindowsWorkFolder final : public WorkFolderHandle {
 public:
  WindowsWorkFolder(std::string path, Handle folder, Identity id, bool leftover)
      : path_(std::move(path)), folder_(std::move(folder)), id_(id), leftover_(leftover) {}

  // The small files (thousands, a few bytes each) are flushed all together by Flush, before
  // the deletion: one flush each as they are made waits for a journal commit every time.
  IoStatus Create(std::string_view name, std::string_view data) override {
    IoStatus status = IoStatus::kOk;
    Handle file = CreateExclusive(name, status);
    if (!file) return status;
    const IoStatus written = WriteAll(file.get(), data.data(), data.size(), most_per_write_);
    unflushed_.emplace_back(name);
    return written;
  }

  // Every file is flushed before it is closed (see Finish), so `durable` asks nothing more.
  IoStatus Append(std::string_view name, std::string_view data, bool) override {
    IoStatus status = IoStatus::kOk;
    bool fresh = !created_.contains(name);
    Handle file = fresh ? CreateExclusive(name, status) : OpenOwn(name, FILE_APPEND_DATA);
    if (!file) return status == IoStatus::kOk ? IoStatus::kFailed : status;
    const IoStatus written = WriteAll(file.get(), data.data(), data.size(), most_per_write_);
    return Finish(std::move(file), written);
  }

  IoStatus Copy(const std::string& source, std::string_view name) override {
    Handle in = OpenRegularForReading(source);
    if (!in) return IoStatus::kFailed;
    IoStatus status = IoStatus::kOk;
    Handle out = CreateExclusive(name, status);
    if (!out) return status;
    AlignedBuffer buffer(kCopyChunk);
    if (!buffer.data) return Finish(std::move(out), IoStatus::kFailed);
    // Read and written as data: no CopyFile, which may clone the source's blocks (ReFS) and
    // so overwrite nothing.
    for (;;) {
      DWORD got = 0;
      if (!::ReadFile(in.get(), buffer.data, static_cast<DWORD>(kCopyChunk), &got, nullptr)) {
        status = IoStatus::kFailed;
        break;
      }
      if (got == 0) break;
      status = WriteAll(out.get(), buffer.data, got, most_per_write_);
      if (status != IoStatus::kOk) break;
    }
    return Finish(std::move(out), status);
  }

  IoStatus WriteRepeated(std::string_view name, std::string_view pattern, uint64_t size) override {
    if (pattern.empty()) return IoStatus::kFailed;
    IoStatus status = IoStatus::kOk;
    Handle out = CreateExclusive(name, status);
    if (!out) return status;
    if (!pattern_buffer_ || !pattern_buffer_->Serves(pattern, size)) {
      pattern_buffer_.reset();
      pattern_buffer_ = std::make_unique<PatternBuffer>(pattern, size);
    }
    const IoStatus written = pattern_buffer_->Fill(out.get(), size, most_per_write_);
    return Finish(std::move(out), written);
  }

  IoStatus PadToMultiple(std::string_view name, uint64_t unit, std::string_view filler) override {
    if (unit == 0 || filler.empty()) return IoStatus::kFailed;
    if (!created_.contains(name)) return IoStatus::kOk;
    Handle file = OpenOwn(name, FILE_APPEND_DATA);
    if (!file) return IoStatus::kFailed;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) return Finish(std::move(file), IoStatus::kFailed);
    uint64_t length = static_cast<uint64_t>(size.QuadPart);
    uint64_t missing = (unit - length % unit) % unit;
    std::string pad;
    pad.reserve(missing);
    while (pad.size() < missing) pad.append(filler.substr(0, missing - pad.size()));
    const IoStatus written = WriteAll(file.get(), pad.data(), pad.size(), most_per_write_);
    return Finish(std::move(file), written);
  }

  IoStatus CutEnd(std::string_view name, uint64_t bytes) override {
    Handle file = OpenOwn(name, FILE_WRITE_DATA);
    if (!file) return IoStatus::kFailed;
    LARGE_INTEGER size{};
    bool ok = ::GetFileSizeEx(file.get(), &size) != FALSE;
    uint64_t length = ok ? static_cast<uint64_t>(size.QuadPart) : 0;
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(length - std::min(length, bytes));
    ok = ok && ::SetFileInformationByHandle(file.get(), FileEndOfFileInfo, &end, sizeof end);
    return Finish(std::move(file), ok ? IoStatus::kOk : IoStatus::kFailed);
  }

  bool ListWorkFiles(std::vector<std::string>& names) override {
    names.clear();
    if (!folder_) return false;
    // Every listing reads through a handle of its own (the folder itself, opened relative to
    // our handle): Wine does not start a second listing on a handle from the top again, even
    // when asked to, and a job lists its folder more than once.
    HANDLE fresh = nullptr;
    if (OpenRelative(folder_.get(), L"", FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN,
                     FILE_DIRECTORY_FILE, fresh) < 0) {
      return false;
    }
    Handle listing(fresh);
    std::vector<std::pair<std::wstring, DWORD>> entries;
    if (!ListEntries(listing.get(), entries)) return false;
    // A junction carries the folder attribute but is a link: it is listed, and deleted as one.
    for (const auto& [name, attributes] : entries) {
      if (!IsRealFolder(attributes)) names.push_back(win::Narrow(name));
    }
    return true;
  }

  bool Delete(std::string_view name) override {
    if (!folder_ || !PlainName(name)) return false;
    std::wstring wide = win::Widen(name);
    HANDLE file = nullptr;
    if (OpenRelative(folder_.get(), wide, DELETE | FILE_READ_ATTRIBUTES,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN, 0,
                     file) < 0) {
      return false;
    }
    Handle owned(file);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!Describe(file, info) || IsRealFolder(info.dwFileAttributes) ||
        !OpenedInPlace(folder_.get(), file, wide) || !MarkForDeletion(file)) {
      return false;
    }
    owned.reset();
    if (auto it = created_.find(name); it != created_.end()) created_.erase(it);
    return true;
  }

  // A volume can be flushed as a whole only by an administrator. Otherwise every file this
  // folder wrote is flushed on its own: the filler files were as they were closed, the small
  // files are now, which is what the deletion needs.
  bool Flush() override {
    if (FlushFileSystem(path_)) {
      unflushed_.clear();
      return true;
    }
    for (const std::string& name : unflushed_) {
      // One deleted since needs nothing.
      if (!created_.contains(name)) continue;
      Handle file = OpenOwn(name, FILE_GENERIC_WRITE);
      if (!file || !::FlushFileBuffers(file.get())) all_flushed_ = false;
    }
    unflushed_.clear();
    return all_flushed_;
  }

  void DisableCompression() override {
    if (folder_ && StillInPlace()) win::ClearCompression(folder_.get());
  }

  bool StillInPlace() override {
    std::wstring wide = win::WidePath(path_);
    if (wide.empty() || !folder_) return false;
    Handle now(::CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    return now && Describe(now.get(), info) && IsRealFolder(info.dwFileAttributes) &&
           IdentityOf(info) == id_;
  }

  bool RemoveIfEmpty() override {
    if (!folder_ || !StillInPlace()) return false;
    // A folder with anything left in it refuses to be marked.
    if (!MarkForDeletion(folder_.get())) return false;
    folder_.reset();
    return true;
  }

  void RemoveAll() override {
    if (!folder_) return;
    EmptyFolderAt(folder_.get(), 0);
    RemoveIfEmpty();
  }

 private:
  // A new file of ours. A name already taken is replaced only in our own leftover folder (or
  // when this handle wrote it); in a folder made by this run it was planted by somebody else.
  Handle CreateExclusive(std::string_view name, IoStatus& status) {
    status = IoStatus::kFailed;
    if (!folder_ || !PlainName(name)) return Handle();
    std::wstring wide = win::Widen(name);
    constexpr ACCESS_MASK kAccess = FILE_GENERIC_WRITE | FILE_READ_ATTRIBUTES;
    HANDLE file = nullptr;
    NTSTATUS rc = OpenRelative(folder_.get(), wide, kAccess, FILE_SHARE_READ, FILE_CREATE,
                               FILE_NON_DIRECTORY_FILE | FILE_SEQUENTIAL_ONLY, file);
    if (rc == kStatusObjectNameCollision && (leftover_ || created_.contains(name)) &&
        Delete(name)) {
      rc = OpenRelative(folder_.get(), wide, kAccess, FILE_SHARE_READ, FILE_CREATE,
                        FILE_NON_DIRECTORY_FILE | FILE_SEQUENTIAL_ONLY, file);
    }
    if (rc < 0) {
      status = StatusOfNt(rc);
      return Handle();
    }
    Handle owned(file);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!Describe(file, info)) return Handle();
    created_[std::string(name)] = IdentityOf(info);
    status = IoStatus::kOk;
    return owned;
  }

  // A file this handle created, still the same file with no other name.
  Handle OpenOwn(std::string_view name, ACCESS_MASK write_access) {
    auto it = created_.find(name);
    if (!folder_ || it == created_.end()) return Handle();
    HANDLE file = nullptr;
    if (OpenRelative(folder_.get(), win::Widen(name),
                     write_access | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ,
                     FILE_OPEN, FILE_NON_DIRECTORY_FILE, file) < 0) {
      return Handle();
    }
    Handle owned(file);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!Describe(file, info) || info.nNumberOfLinks != 1 ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
        IdentityOf(info) != it->second) {
      return Handle();
    }
    return owned;
  }

  // Flushes the file to the device before it is closed: deleted before write-back, what it
  // held would never overwrite anything, and a volume flush needs rights the user may lack.
  // Callers write first and hand the handle over after: the order in which a call's arguments
  // are evaluated is unspecified, and a handle moved into the parameter first would leave the
  // write a null handle.
  IoStatus Finish(Handle file, IoStatus status) {
    if (!::FlushFileBuffers(file.get())) {
      DWORD error = ::GetLastError();
      all_flushed_ = false;
      if (status == IoStatus::kOk) status = StatusOfError(error);
    }
    return status;
  }

  std::string path_;
  Handle folder_;
  Identity id_;
  bool leftover_;
  bool all_flushed_ = true;
  std::map<std::string, Identity, std::less<>> created_;
  std::vector<std::string> unflushed_;  // made by Create, flushed by the next Flush
  std::unique_ptr<PatternBuffer> pattern_buffer_;
  // The largest write request this folder's volume has taken.
  size_t most_per_write_ = kMostPerWrite;
};

}  // namespace

std::unique_ptr<WorkFolderHandle> OpenWorkFolder(const std::string& path, FolderRefusal& why) {
  why = FolderRefusal::kUnusable;
  try {
    Handle parent_handle;
    std::wstring wname;
    if (!OpenParent(path, parent_handle, wname)) return nullptr;
    win::PrivateSecurity security;
    PSECURITY_DESCRIPTOR descriptor =
        security.get() ? security.get()->lpSecurityDescriptor : nullptr;
    HANDLE folder = nullptr;
    NTSTATUS rc = OpenRelative(parent_handle.get(), wname, kFolderAccess, kFolderShare, FILE_CREATE,
                               FILE_DIRECTORY_FILE, folder, descriptor);
    const bool made = rc >= 0;
    if (rc == kStatusObjectNameCollision) {
      rc = OpenRelative(parent_handle.get(), wname, kFolderAccess, kFolderShare, FILE_OPEN,
                        FILE_DIRECTORY_FILE, folder);
    }
    if (rc < 0) {
      if (rc == kStatusSharingViolation) why = FolderRefusal::kBusy;
      if (rc == kStatusNotADirectory || rc == kStatusFileIsADirectory) {
        why = FolderRefusal::kNotAFolder;
      }
      // A folder this user may not even open is somebody else's.
      if (rc == kStatusAccessDenied) why = FolderRefusal::kNotOurs;
      return nullptr;
    }
    Handle owned(folder);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!Describe(folder, info)) return nullptr;
    if (!IsRealFolder(info.dwFileAttributes) ||
        !OpenedInPlace(parent_handle.get(), folder, wname)) {
      why = FolderRefusal::kNotAFolder;
      return nullptr;
    }
    if (!made && !win::OwnedByUserOrAdministrators(folder)) {
      why = FolderRefusal::kNotOurs;
      return nullptr;
    }
    why = FolderRefusal::kNone;
    return std::make_unique<WindowsWorkFolder>(path, std::move(owned), IdentityOf(info), !made);
  } catch (...) {
    return nullptr;
  }
}

FolderState InspectWorkFolder(const std::string& path) {
  Handle folder;
  return OpenLeftover(path, folder);
}

bool RemoveLeftoverWorkFolder(const std::string& path) {
  Handle folder;
  if (OpenLeftover(path, folder) != FolderState::kOurs) return false;
  bool emptied = EmptyFolderAt(folder.get(), 0);
  return RemoveOpenFolder(std::move(folder), path) && emptied;
}

std::unique_ptr<FileWriter> CreateFileWriter(const std::string& path, IoStatus& status) {
  status = IoStatus::kFailed;
  std::wstring wide = win::WidePath(path);
  if (wide.empty()) return nullptr;
  Handle file(::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) {
    status = StatusOfError(::GetLastError());
    return nullptr;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileType(file.get()) != FILE_TYPE_DISK || !Describe(file.get(), info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
      !::SetEndOfFile(file.get())) {
    return nullptr;
  }
  status = IoStatus::kOk;
  return std::make_unique<WindowsFileWriter>(std::move(file));
}

bool ReadRepeatingUnit(const std::string& path, size_t unit, std::string& pattern, uint64_t& size) {
  if (unit == 0) return false;
  Handle file = OpenRegularForReading(path);
  if (!file) return false;
  std::vector<char> buffer(unit * 1024);
  pattern.clear();
  size = 0;
  bool repeating = true;
  while (repeating) {
    // Whole units per read, short only at the end of the file.
    size_t got = 0;
    while (got < buffer.size()) {
      DWORD n = 0;
      DWORD want = static_cast<DWORD>(std::min<size_t>(buffer.size() - got, 1u << 30));
      if (!::ReadFile(file.get(), buffer.data() + got, want, &n, nullptr)) return false;
      if (n == 0) break;
      got += n;
    }
    if (got == 0) break;
    if (pattern.empty()) {
      if (got < unit) repeating = false;
      pattern.assign(buffer.data(), std::min(unit, got));
    }
    for (size_t at = 0; repeating && at < got; at += unit) {
      size_t length = std::min(unit, got - at);
      repeating = length == unit && std::memcmp(buffer.data() + at, pattern.data(), unit) == 0;
    }
    size += got;
    if (got < buffer.size()) break;
  }
  return repeating && !pattern.empty();
}

bool IsRealDirectory(const std::string& path) noexcept {
  std::wstring wide = win::WidePath(path);
  if (wide.empty()) return false;
  DWORD attributes = ::GetFileAttributesW(wide.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && IsRealFolder(attributes);
}

bool RemoveTree(const std::string& path) noexcept {
  try {
    Handle parent;
    std::wstring name;
    if (!OpenParent(path, parent, name)) return !PathExists(path);
    HANDLE opened = nullptr;
    NTSTATUS rc = OpenRelative(parent.get(), name, kFolderAccess,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN,
                               FILE_DIRECTORY_FILE, opened);
    if (rc < 0) return NotFound(rc);
    Handle folder(opened);
    BY_HANDLE_FILE_INFORMATION info{};
    // A link at `path` itself is left alone, as its target is not ours to empty.
    if (!Describe(folder.get(), info) || !IsRealFolder(info.dwFileAttributes) ||
        !OpenedInPlace(parent.get(), folder.get(), name)) {
      return false;
    }
    bool emptied = EmptyFolderAt(folder.get(), 0);
    return RemoveOpenFolder(std::move(folder), path) && emptied;
  } catch (...) {
    return false;
  }
}

}  // namespace nd::platform
