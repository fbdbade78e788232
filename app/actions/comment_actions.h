// The sound and text comment actions of the main window. A sound comment of
// an image is its file name followed by ".wav", a text comment its file name
// followed by ".txt"; the command lines carry the image's file name.
#pragma once
#include <string>

namespace kv {

class Tform1;

// Runs komrec, komtext, komdel, komplay or komimp on the current image;
// false when the action ended on a refusal (no menu update then).
bool RunCommentAction(Tform1& Form, const std::string& Name);

}  // namespace kv
