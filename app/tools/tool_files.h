// File chores shared by the image tools: reading and writing pictures without
// a window, and the pictures of a folder image source.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kv {

class TBitmap;

// Reads a picture by its extension (else by content) as pf24bit; raises
// ECommandError "Kann Datei %s nicht laden." when it cannot. Dpi gets the
// file's horizontal resolution when given.
void LoadToolPicture(const std::string& FileName, TBitmap& Bitmap, int32_t* Dpi = nullptr);
// Writes a picture by its extension; raises ECommandError when it cannot.
void SaveToolPicture(const std::string& FileName, const TBitmap& Bitmap, int32_t Dpi = 0);

// The pictures of an image-source parameter text when it names a folder
// ("SourceMode" 1), as ListImageSource lists them; none for other sources.
std::vector<std::string> ListFolderImageSource(const std::string& Params);

}  // namespace kv

namespace kv {
class Tform1;
class Tchild;
class timagerlayer;
// The image control of the newest image window (the one a NEWIMAGE line just
// made), whatever window the interpreter is told to work on; raises
// ECommandError when there is none.
timagerlayer& NewestImage(Tform1& Form);
Tchild& NewestChild(Tform1& Form);
}  // namespace kv
