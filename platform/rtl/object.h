// Root of the class hierarchy and the plain notification event.
#pragma once
#include <functional>
#include <string>
#include <typeinfo>

namespace kv {

class TObject {
 public:
  TObject() = default;
  virtual ~TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;

  // The class's own name without namespace ("TFont"), as messages and name paths show it.
  std::string ClassName() const;
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

// Frees the object and clears the variable first, so that nothing reached from the
// destructor sees a pointer to a half-destroyed object.
template <typename T>
inline void FreeAndNil(T*& Obj) {
  T* p = Obj;
  Obj = nullptr;
  delete p;
}

// Demangled, namespace-free name of a type, shared by ClassName and the property tables.
std::string TypeNameOf(const std::type_info& Info);

}  // namespace kv
