#include "platform/rtl/object.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <typeinfo>

namespace kv {

std::string TypeNameOf(const std::type_info& Info) {
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(Info.name(), nullptr, nullptr, &status),
                                                   std::free);
  std::string name = (status == 0 && demangled) ? demangled.get() : Info.name();
  // Keep only the last component of a qualified name ("kv::TFont" -> "TFont"); template
  // arguments may themselves hold "::", so cut before the first '<'.
  const size_t lt = name.find('<');
  const size_t sep = name.rfind("::", lt == std::string::npos ? std::string::npos : lt);
  if (sep != std::string::npos) name.erase(0, sep + 2);
  return name;
}

std::string TObject::ClassName() const { return TypeNameOf(typeid(*this)); }

}  // namespace kv
