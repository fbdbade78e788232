// A new version of a file, written under a temporary name in the same folder
// and put in place by Commit, so that a failure at any point (a full disk, a
// writer that gives up, an interrupted process) leaves the old file as it was.
#pragma once
#include <string>

#include "platform/rtl/streams.h"

namespace kv {

// A write past the process's file-size limit (ulimit -f) would end the
// process with SIGXFSZ, and every unsaved picture with it; ignored, the write
// fails with EFBIG and is reported like a full disk. The first atomic file
// calls this; the program calls it at start.
void IgnoreFileSizeSignal();

class TAtomicFileStream : public THandleStream {
 public:
  // Creates the temporary file beside FileName (a symbolic link is followed,
  // so the link stays a link). Raises EFCreateError when the folder takes no
  // new file.
  explicit TAtomicFileStream(const std::string& FileName, unsigned NewFileMode = 0666);
  // Without Commit the temporary file is removed.
  ~TAtomicFileStream() override;

  // Remembers the error of the first write that fell short.
  int32_t Write(const void* Buffer, int32_t Count) override;

  // Syncs the data, gives an existing file's permissions to the new one and
  // renames it over the target. Raises EWriteError for a write that fell
  // short before or a failing sync, EFCreateError when the rename fails; the
  // temporary file is gone either way.
  void Commit();
  // Removes the temporary file now; the old file stays.
  void Discard();

  const std::string& FileName() const { return FFileName; }
  const std::string& TempName() const { return FTempName; }
  // errno of the first short write, 0 when every write went through.
  int WriteErrno() const { return FWriteErrno; }

 private:
  std::string FFileName;
  std::string FTarget;
  std::string FTempName;
  bool FExisted = false;
  unsigned FMode = 0;
  int FWriteErrno = 0;
};

}  // namespace kv
