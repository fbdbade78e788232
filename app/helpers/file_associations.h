// The program's file kinds registered with the desktop: each association is
// a desktop entry "kavrelin-<class name>.desktop" in the user's applications
// folder ($XDG_DATA_HOME/applications/) that opens the file with the program,
// made the default for the extension's MIME type through xdg-mime. The entry
// keeps the desktop entry that was the default before ("X-Kavrelin-PreviousLink"),
// so unassociating gives the type back to it. An extension the desktop has no
// MIME type for gets one of the program's own, "application/x-kavrelin-<ext>",
// declared in $XDG_DATA_HOME/mime/packages/.
//
// Extensions are given with or without their dot and compare without case.
// Failures of the desktop tools raise Exception with the reason.
#pragma once
#include <string>
#include <string_view>

#include "app/params/file_kind_types.h"

namespace kv {

// The desktop entry name for a class name ("kavrelin-jpggrafik.desktop");
// characters that do not belong in a file name become "_".
std::string AssociationDesktopId(std::string_view ClassName);
// The text of a mimeapps.list without the line that makes Id the default
// application of Mime; false (Out as read) when no line does.
bool DropDefaultFromText(std::string_view Text, const std::string& Mime, const std::string& Id, std::string& Out);
// The MIME type the desktop knows the extension by; "" when it knows none.
std::string KnownMimeTypeOfExtension(std::string_view Extension);
// The MIME type an association of the extension uses (known or the program's own).
std::string MimeTypeOfExtension(std::string_view Extension);

void RegisterExtension(const std::string& Extension, const std::string& ClassName, const std::string& Description,
                       const std::string& OpenProgram, const std::string& Icon);
// RegisterExtension with the class name extension + "Grafik", the description
// "Kavrelin (" + extension + ")" and the program file as the program to open with.
void AssociateExtension(const std::string& Extension, const std::string& Icon);
// AssociateExtension for each extension of the kind; the icon is "%1" (the
// file shows itself) for bmp, ico and cur, the program file otherwise.
void AssociateFileKind(tFileFormat Kind);
// Gives the extension back to its previous owner when the class owns it now.
void UnassociateExtension(const std::string& Extension, const std::string& ClassName);
// Whether the class's desktop entry is the extension's default now.
bool IsExtensionAssociated(const std::string& Extension, const std::string& ClassName);

}  // namespace kv
