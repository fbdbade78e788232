// Safe replacement of small settings files: an advisory lock held across a
// read-modify-write, and a write that either fully replaces the file or leaves
// the old one untouched.
#pragma once
#include <cstdint>
#include <string>

#include "platform/rtl/object.h"

namespace kv {

// Exclusive flock on a lock file (created when missing) or on an existing
// folder. Blocks until the lock is had; released by the destructor.
class TFileLock : public TObject {
 public:
  // Raises EInOutError when the path cannot be opened.
  explicit TFileLock(const std::string& Path, bool Folder = false);
  ~TFileLock() override;

 private:
  int FHandle = -1;
};

// Identity of a file's current content as far as stat can tell: an atomic
// replace always gives a new inode, a write in place changes mtime or size.
struct TFileStamp {
  bool Exists = false;
  uint64_t Device = 0;
  uint64_t Inode = 0;
  int64_t Size = 0;
  int64_t MTimeNs = 0;
  friend bool operator==(const TFileStamp&, const TFileStamp&) = default;
};

TFileStamp GetFileStamp(const std::string& FileName);

// Reads a whole file. False when it does not exist; raises EInOutError when
// it exists but cannot be read or is larger than MaxBytes.
bool ReadFileToString(const std::string& FileName, std::string& Out, int64_t MaxBytes);

// Writes Data to a temporary file in the same folder, flushes it to disk and
// renames it over FileName, so a reader sees the old or the new file, never a
// mix (SaveFileAtomically, with its errors as EInOutError). The file keeps the
// permissions of the file it replaces (NewFileMode less the umask when new).
// Raises EInOutError with the reason; the old file is then left as it was.
void AtomicWriteFile(const std::string& FileName, const std::string& Data, unsigned NewFileMode = 0644);

}  // namespace kv
