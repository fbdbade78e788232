// Root of the class hierarchy and the plain notification event.
#pragma once
#include <functional>

namespace kv {

class TObject {
 public:
  TObject() = default;
  virtual ~TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

}  // namespace kv
