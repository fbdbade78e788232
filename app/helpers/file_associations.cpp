#include "app/helpers/file_associations.h"

#include <vector>

#include "app/helpers/desktop_entry.h"
#include "app/params/file_kinds.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/strings.h"
#include "platform/system/file_lock.h"
#include "platform/system/paths.h"
#include "platform/system/process.h"

namespace kv {

namespace {

// The extension without its dot, in lower case; raises for characters that
// have no place in a file or type name.
std::string CleanExtension(std::string_view Extension) {
  if (!Extension.empty() && Extension.front() == '.') Extension.remove_prefix(1);
  std::string e = LowerCase(Extension);
  bool ok = !e.empty();
  for (char c : e) ok = ok && ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '+' || c == '-');
  if (!ok) throw Exception("\"" + std::string(Extension) + "\" ist keine gültige Dateiendung.");
  return e;
}

struct TKnownType {
  const char* Extension;
  const char* Mime;
};

// The types of the shared MIME database for the image kinds the program reads.
constexpr TKnownType KnownTypes[] = {
    {"jpg", "image/jpeg"},
    {"jpeg", "image/jpeg"},
    {"jpe", "image/jpeg"},
    {"png", "image/png"},
    {"bmp", "image/bmp"},
    {"dib", "image/bmp"},
    {"pcx", "image/vnd.zbrush.pcx"},
    {"gif", "image/gif"},
    {"tif", "image/tiff"},
    {"tiff", "image/tiff"},
    {"tga", "image/x-tga"},
    {"icb", "image/x-tga"},
    {"vda", "image/x-tga"},
    {"vst", "image/x-tga"},
    {"wmf", "image/wmf"},
    {"emf", "image/emf"},
    {"ico", "image/vnd.microsoft.icon"},
    {"cur", "image/x-win-bitmap"},
    {"pbm", "image/x-portable-bitmap"},
    {"pgm", "image/x-portable-graymap"},
    {"ppm", "image/x-portable-pixmap"},
    {"pnm", "image/x-portable-anymap"},
    {"avi", "video/x-msvideo"},
    {"wav", "audio/x-wav"},
};

std::string OwnMimeType(const std::string& Ext) { return "application/x-kavrelin-" + Ext; }
std::string MimeFolder() { return XdgDataHome() + "mime/"; }
std::string OwnMimePackage(const std::string& Ext) { return MimeFolder() + "packages/kavrelin-" + Ext + ".xml"; }
std::string ApplicationsFolder() { return XdgDataHome() + "applications/"; }

// Runs a desktop tool; raises with what went wrong.
std::string RunTool(const std::vector<std::string>& Args) {
  const TProcessResult r = RunProcess(Args);
  if (!r.Started) throw Exception("Das Programm \"" + Args[0] + "\" wurde nicht gefunden.");
  if (r.TimedOut) throw Exception("Das Programm \"" + Args[0] + "\" antwortet nicht.");
  if (r.ExitCode != 0)
    throw Exception("Das Programm \"" + Args[0] + "\" meldet den Fehler " + std::to_string(r.ExitCode) + ".");
  return r.Output;
}

std::string CurrentDefault(const std::string& Mime) {
  const TProcessResult r = RunProcess({"xdg-mime", "query", "default", Mime});
  return r.Succeeded() ? Trim(r.Output) : std::string();
}

void UpdateMimeDatabase() {
  if (!FindProgram("update-mime-database").empty()) RunTool({"update-mime-database", MimeFolder()});
}

void DeclareOwnMimeType(const std::string& Ext, const std::string& Description) {
  const std::string package = OwnMimePackage(Ext);
  ForceDirectories(ExtractFilePath(package));
  std::string comment;
  for (char c : Description) {
    switch (c) {
      case '&': comment += "&amp;"; break;
      case '<': comment += "&lt;"; break;
      case '>': comment += "&gt;"; break;
      default: comment += c;
    }
  }
  AtomicWriteFile(package,
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                  "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                  "  <mime-type type=\"" + OwnMimeType(Ext) + "\">\n"
                  "    <comment>" + comment + "</comment>\n"
                  "    <glob pattern=\"*." + Ext + "\"/>\n"
                  "  </mime-type>\n"
                  "</mime-info>\n");
  UpdateMimeDatabase();
}

// Takes the desktop entry off the type's default in the user's mimeapps.list
// when nothing was the default before.
void DropDefault(const std::string& Mime, const std::string& Id) {
  const std::string file = XdgConfigHome() + "mimeapps.list";
  std::string text;
  if (!ReadFileToString(file, text, 4 << 20)) return;
  std::string out;
  if (DropDefaultFromText(text, Mime, Id, out)) AtomicWriteFile(file, out);
}

}  // namespace

bool DropDefaultFromText(std::string_view Text, const std::string& Mime, const std::string& Id, std::string& Out) {
  Out.clear();
  bool inDefaults = false, changed = false;
  const std::string key = Mime + "=";
  size_t pos = 0;
  while (pos < Text.size()) {
    size_t end = Text.find('\n', pos);
    if (end == std::string_view::npos) end = Text.size();
    const std::string_view line = Text.substr(pos, end - pos);
    pos = end + 1;
    std::string_view bare = line;
    if (!bare.empty() && bare.back() == '\r') bare.remove_suffix(1);
    if (!bare.empty() && bare.front() == '[') inDefaults = bare == "[Default Applications]";
    if (inDefaults && !Mime.empty() && bare.substr(0, key.size()) == key) {
      const std::string_view rest = bare.substr(key.size());
      const std::string first(rest.substr(0, rest.find(';')));
      if (SameText(Trim(first), Id)) {
        changed = true;
        continue;
      }
    }
    Out.append(line);
    Out += '\n';
  }
  return changed;
}

std::string AssociationDesktopId(std::string_view ClassName) {
  // Only characters that keep the name a plain file name in the applications folder.
  std::string id = "kavrelin-";
  for (char c : LowerCase(ClassName))
    id += (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' ? c : '_';
  return id + ".desktop";
}

std::string KnownMimeTypeOfExtension(std::string_view Extension) {
  if (!Extension.empty() && Extension.front() == '.') Extension.remove_prefix(1);
  for (const TKnownType& t : KnownTypes)
    if (SameText(Extension, t.Extension)) return t.Mime;
  return {};
}

std::string MimeTypeOfExtension(std::string_view Extension) {
  const std::string known = KnownMimeTypeOfExtension(Extension);
  return known.empty() ? OwnMimeType(CleanExtension(Extension)) : known;
}

void RegisterExtension(const std::string& Extension, const std::string& ClassName, const std::string& Description,
                       const std::string& OpenProgram, const std::string& Icon) {
  const std::string ext = CleanExtension(Extension);
  const std::string id = AssociationDesktopId(ClassName);
  const std::string entry = ApplicationsFolder() + id;
  const bool known = !KnownMimeTypeOfExtension(ext).empty();
  if (!known) DeclareOwnMimeType(ext, Description);
  const std::string mime = MimeTypeOfExtension(ext);
  // Registering again must not make the program its own previous owner.
  std::string previous = CurrentDefault(mime);
  if (SameText(previous, id)) previous = ReadDesktopEntryValue(entry, "X-Kavrelin-PreviousLink");
  std::vector<std::pair<std::string, std::string>> keys = {
      {"Type", "Application"},
      {"Name", Description},
      {"Exec", QuoteExecArgument(OpenProgram) + " %f"},
      {"MimeType", mime + ";"},
      {"NoDisplay", "true"},
  };
  // "%1" lets the file show itself; the program file stands for the program's icon.
  if (Icon == OpenProgram) keys.emplace_back("Icon", "kavrelin");
  else if (!Icon.empty() && Icon != "%1") keys.emplace_back("Icon", Icon);
  keys.emplace_back("X-Kavrelin-PreviousLink", previous);
  const bool existed = FileExists(entry);
  ForceDirectories(ApplicationsFolder());
  WriteDesktopEntry(entry, keys);
  try {
    RunTool({"xdg-mime", "default", id, mime});
  } catch (...) {
    if (!existed) DeleteFile(entry);
    throw;
  }
}

void AssociateExtension(const std::string& Extension, const std::string& Icon) {
  const std::string ext = CleanExtension(Extension);
  RegisterExtension(ext, ext + "Grafik", "Kavrelin (" + ext + ")", ParamStr(0), Icon);
}

void AssociateFileKind(tFileFormat Kind) {
  const bool showsItself = Kind == tFileFormat::bmp || Kind == tFileFormat::ico || Kind == tFileFormat::cur;
  const std::string icon = showsItself ? "%1" : ParamStr(0);
  const std::string first = FileKindExtension(Kind);
  if (first.empty()) return;
  AssociateExtension(first, icon);
  for (int32_t n = 0;; ++n) {
    const std::string ext = FileKindExtraExtension(Kind, n);
    if (ext.empty()) break;
    AssociateExtension(ext, icon);
  }
}

void UnassociateExtension(const std::string& Extension, const std::string& ClassName) {
  if (!IsExtensionAssociated(Extension, ClassName)) return;
  const std::string ext = CleanExtension(Extension);
  const std::string mime = MimeTypeOfExtension(ext);
  const std::string id = AssociationDesktopId(ClassName);
  const std::string entry = ApplicationsFolder() + id;
  const std::string previous = ReadDesktopEntryValue(entry, "X-Kavrelin-PreviousLink");
  if (!previous.empty()) RunTool({"xdg-mime", "default", previous, mime});
  else DropDefault(mime, id);
  DeleteFile(entry);
  if (KnownMimeTypeOfExtension(ext).empty() && FileExists(OwnMimePackage(ext))) {
    DeleteFile(OwnMimePackage(ext));
    UpdateMimeDatabase();
  }
}

bool IsExtensionAssociated(const std::string& Extension, const std::string& ClassName) {
  return SameText(CurrentDefault(MimeTypeOfExtension(Extension)), AssociationDesktopId(ClassName));
}

}  // namespace kv
