// TVariant: a value of changing type (unassigned, integer, float, Boolean or
// text), as stored settings and published "Value" properties hold them.
// Its text form is the locale-free one: floats with "." whatever the user's locale.
#pragma once
#include <cstdint>
#include <string>
#include <variant>

namespace kv {

enum TVarType : uint8_t { varEmpty, varInteger, varDouble, varBoolean, varString };

class TVariant {
 public:
  TVariant() = default;
  TVariant(int32_t V) : FValue(int64_t(V)) {}
  TVariant(int64_t V) : FValue(V) {}
  TVariant(double V) : FValue(V) {}
  TVariant(bool V) : FValue(V) {}
  TVariant(std::string V) : FValue(std::move(V)) {}
  TVariant(const char* V) : FValue(std::string(V)) {}

  TVarType VarType() const { return static_cast<TVarType>(FValue.index()); }
  bool IsEmpty() const { return VarType() == varEmpty; }
  void Clear() { FValue = std::monostate{}; }

  // Integers in decimal, floats in general format with up to 15 digits and
  // ".", Booleans "True"/"False", unassigned as empty text.
  std::string AsString() const;
  // Text is parsed; raises EConvertError when it is no number.
  int64_t AsInteger() const;
  double AsFloat() const;
  // "True"/"False" (any case) or a number (non-zero is true).
  bool AsBoolean() const;

  friend bool operator==(const TVariant&, const TVariant&) = default;

 private:
  std::variant<std::monostate, int64_t, double, bool, std::string> FValue;
};

}  // namespace kv
