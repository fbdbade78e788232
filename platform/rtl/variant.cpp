// TVariant conversions.
#include "platform/rtl/variant.h"

#include "platform/rtl/component.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/strings.h"

namespace kv {

std::string TVariant::AsString() const {
  switch (VarType()) {
    case varInteger: return std::to_string(std::get<int64_t>(FValue));
    case varDouble: return prop_detail::FloatToText(std::get<double>(FValue), ftDouble);
    case varBoolean: return std::get<bool>(FValue) ? "True" : "False";
    case varString: return std::get<std::string>(FValue);
    default: return {};
  }
}

int64_t TVariant::AsInteger() const {
  switch (VarType()) {
    case varEmpty: return 0;
    case varInteger: return std::get<int64_t>(FValue);
    case varDouble: return static_cast<int64_t>(std::get<double>(FValue));
    case varBoolean: return std::get<bool>(FValue) ? -1 : 0;
    default: return StrToInt64(Trim(std::get<std::string>(FValue)));
  }
}

double TVariant::AsFloat() const {
  switch (VarType()) {
    case varEmpty: return 0;
    case varInteger: return static_cast<double>(std::get<int64_t>(FValue));
    case varDouble: return std::get<double>(FValue);
    case varBoolean: return std::get<bool>(FValue) ? -1 : 0;
    default: return prop_detail::TextToFloat(Trim(std::get<std::string>(FValue)));
  }
}

bool TVariant::AsBoolean() const {
  if (VarType() == varString) {
    const std::string s = Trim(std::get<std::string>(FValue));
    if (SameText(s, "True")) return true;
    if (SameText(s, "False")) return false;
  }
  if (VarType() == varBoolean) return std::get<bool>(FValue);
  return AsFloat() != 0;
}

}  // namespace kv
