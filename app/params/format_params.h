// The saving parameters of an image (TIFF, GIF, JPEG, PCX, BMP, PNG, TGA) as
// a parameter string: the save dialog, SAVEAS, automation, the webcam and the
// HTML export carry the way an image is to be saved as text.
//
// "BPS" and "SPP" always; then the keys of the file's kind, chosen by any of
// the kind's extensions (".jpeg" reads the JPEG keys, ".tiff" the TIFF keys).
// Several kinds reuse key names ("Compression", "Index", "X" ...), so a
// string belongs to the kind it was written for.
#pragma once
#include <string>
#include <string_view>

namespace kv {

class TIOParamsVals;

// Sets the fields whose keys Line holds; an absent key leaves its field as it
// was. Colours are window-system colour numbers (system colours resolved).
void ReadFormatParams(std::string_view Line, TIOParamsVals& Params, std::string_view FileName);
// The fragments of "BPS", "SPP" and the keys of FileName's kind, no keyword.
// Raises EParamValueError when a text field holds a double quote or a line break.
std::string WriteFormatParams(const TIOParamsVals& Params, std::string_view FileName);

}  // namespace kv
