// The exception family of the platform layer; every failure that leaves a routine is one of these.
#pragma once
#include <stdexcept>
#include <string>

namespace kv {

class Exception : public std::exception {
 public:
  explicit Exception(std::string Msg) : FMessage(std::move(Msg)) {}
  const std::string& Message() const { return FMessage; }
  void SetMessage(std::string Msg) { FMessage = std::move(Msg); }
  const char* what() const noexcept override { return FMessage.c_str(); }

 private:
  std::string FMessage;
};

#define KV_DECLARE_EXCEPTION(Name, Base)            \
  class Name : public Base {                        \
   public:                                          \
    using Base::Base;                               \
  };

KV_DECLARE_EXCEPTION(EAbort, Exception)
// The program's one text for memory that cannot be had.
inline constexpr const char* kOutOfMemoryText = "Nicht genügend Arbeitsspeicher";

class EOutOfMemory : public Exception {
 public:
  using Exception::Exception;
  EOutOfMemory() : Exception(kOutOfMemoryText) {}
};
KV_DECLARE_EXCEPTION(EConvertError, Exception)
KV_DECLARE_EXCEPTION(EListError, Exception)
KV_DECLARE_EXCEPTION(EStringListError, Exception)
KV_DECLARE_EXCEPTION(EStreamError, Exception)
KV_DECLARE_EXCEPTION(EFileStreamError, EStreamError)
KV_DECLARE_EXCEPTION(EFCreateError, EFileStreamError)
KV_DECLARE_EXCEPTION(EFOpenError, EFileStreamError)
KV_DECLARE_EXCEPTION(EReadError, EStreamError)
KV_DECLARE_EXCEPTION(EWriteError, EStreamError)
KV_DECLARE_EXCEPTION(EInOutError, Exception)
KV_DECLARE_EXCEPTION(EInvalidOperation, Exception)
KV_DECLARE_EXCEPTION(EInvalidPointer, Exception)
KV_DECLARE_EXCEPTION(EComponentError, Exception)
KV_DECLARE_EXCEPTION(EPropertyError, Exception)
KV_DECLARE_EXCEPTION(EInvalidGraphic, Exception)
KV_DECLARE_EXCEPTION(EInvalidGraphicOperation, Exception)
KV_DECLARE_EXCEPTION(EOutOfResources, Exception)
KV_DECLARE_EXCEPTION(ERegistryException, Exception)
KV_DECLARE_EXCEPTION(EIniFileException, Exception)
KV_DECLARE_EXCEPTION(EOSError, Exception)

// Raises EAbort, the silent exception that ends an operation without a message.
[[noreturn]] void Abort();

}  // namespace kv
