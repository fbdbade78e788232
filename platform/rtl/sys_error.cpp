#include "platform/rtl/sys_error.h"

#include <cerrno>
#include <new>
#include <system_error>

#include "platform/rtl/exceptions.h"

namespace kv {

std::string SysErrorMessage(int Err) {
  switch (Err) {
    case ENOENT: return "Datei oder Ordner nicht gefunden";
    case EACCES: return "Zugriff verweigert";
    case EPERM: return "Vorgang nicht erlaubt";
    case ENOSPC: return "Kein Platz mehr auf dem Datenträger";
    case EROFS: return "Datenträger ist schreibgeschützt";
    case EISDIR: return "Ist ein Ordner";
    case ENOTDIR: return "Ein Teil des Pfades ist kein Ordner";
    case EFBIG: return "Datei ist zu groß";
    case EEXIST: return "Datei existiert bereits";
    case EIO: return "Ein-/Ausgabefehler";
    case ENAMETOOLONG: return "Dateiname ist zu lang";
    case ELOOP: return "Zu viele symbolische Verknüpfungen";
    case EMFILE: return "Zu viele offene Dateien";
    case ENOMEM: return kOutOfMemoryText;
    case EXDEV: return "Verschieben zwischen Datenträgern nicht möglich";
    default: return "Systemfehler " + std::to_string(Err);
  }
}

std::string ExceptionText(const std::exception& E) {
  if (auto* own = dynamic_cast<const Exception*>(&E)) return own->Message();
  if (dynamic_cast<const std::bad_alloc*>(&E)) return SysErrorMessage(ENOMEM);
  if (auto* sys = dynamic_cast<const std::system_error*>(&E)) {
    const std::error_category& c = sys->code().category();
    if (c == std::generic_category() || c == std::system_category()) return SysErrorMessage(sys->code().value());
  }
  return std::string("Interner Fehler: ") + E.what();
}

}  // namespace kv
