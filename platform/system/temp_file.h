// Temporary files of the imaging code: made in the temporary folder under a
// prefix, readable and writable by this user only, sized with their blocks
// reserved, and deleted when their owner frees them.
#pragma once
#include <sys/uio.h>

#include <cstdint>
#include <string>

namespace kv {

// The temporary folder with a trailing '/': the override when one is set,
// else $TMPDIR, else /tmp.
std::string GetTempPath();
// Replaces the temporary folder (tests point it elsewhere); empty restores the default.
void SetTempPathOverride(const std::string& Path);

// Creates an empty file with a unique name "<Path>/<Prefix>XXXXXX" and returns
// its full name; empty when it cannot be made.
std::string GetTempFileName(const std::string& Path, const std::string& Prefix);

// Steps of temporary-file work that a test can make fail the way the system
// would (a full disk, an exhausted address space), one at a time.
enum TTempFailure : uint8_t { tfNone, tfCreateFile, tfReserveSpace, tfCreateMapping, tfMapView, tfWrite, tfRead };
void InjectTempFailure(TTempFailure Step);
// True (once) when Step is the injected failure; the platform layer's own check.
bool TempFailureInjected(TTempFailure Step);

// One open temporary file, owned: closing it deletes it.
class TTempFile {
 public:
  TTempFile() = default;
  ~TTempFile() { Close(); }
  TTempFile(TTempFile&& Other) noexcept;
  TTempFile& operator=(TTempFile&& Other) noexcept;
  TTempFile(const TTempFile&) = delete;
  TTempFile& operator=(const TTempFile&) = delete;

  // Creates and opens a new unique file in Folder (GetTempPath() when empty);
  // false when the folder, the name or the file cannot be had (nothing is left behind).
  bool Create(const std::string& Folder, const std::string& Prefix);
  // Sets the end of the file at Size. Growing reserves the blocks on disk, so
  // a full disk fails here and never later on a write through a mapping.
  bool SetSize(int64_t Size);
  // Size of the file as the system reports it; -1 on failure.
  int64_t GetSize() const;
  // Writes the Count buffers of Parts one after the other from Offset on;
  // reads them the same way. Short transfers and interruptions are carried
  // on; false (errno set) when the system fails, and for a read that meets
  // the end of the file. Parts may be changed on the way.
  bool WriteAt(int64_t Offset, iovec* Parts, int32_t Count);
  bool ReadAt(int64_t Offset, iovec* Parts, int32_t Count);
  // Removes the file's name now; the open file lives on, unseen, until
  // closed, and nothing is left behind however the program ends. FileName
  // keeps the name it had, for messages.
  bool Unlink();
  // Closes and deletes the file.
  void Close();

  bool IsOpen() const { return FHandle >= 0; }
  // File descriptor; -1 when none.
  int Handle() const { return FHandle; }
  const std::string& FileName() const { return FFileName; }

 private:
  int FHandle = -1;
  std::string FFileName;
  bool FUnlinked = false;
};

}  // namespace kv
