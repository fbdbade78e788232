// Parameter strings: a keyword followed by blank-separated pairs name=value,
// where a value holding blanks stands in double quotes. Commands, batch files
// and the settings tools hand to each other all travel in this form.
//
// Readers never raise: an absent name gives the caller's default. Writers
// return one fragment (a blank, the name, "=", the value) to be appended to a
// line. Numbers are read and written with "." whatever the locale; text is
// UTF-8 and names compare without case (Latin capitals included).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "app/params/file_kind_types.h"
#include "platform/rtl/exceptions.h"

namespace kv {

class TFont;
class TStrings;

// Raised by the string writers for a value that could not be read back: a
// double quote would end it early and a line break would split the line.
KV_DECLARE_EXCEPTION(EParamValueError, Exception)

// ---- small text helpers ----

// Strips leading, then trailing blanks (code 32 only) while the text is at
// least 2 characters long: a lone blank stays.
std::string TrimSpaces(std::string_view Text);
bool SameTextNoCase(std::string_view A, std::string_view B);
// 1-based position of Sub in Text, both compared in capitals; 0 when absent.
int32_t PosNoCase(std::string_view Sub, std::string_view Text);

// ---- readers ----

// The raw value text of Name; the name "COMMAND" gives the line's keyword.
std::string ReadCommandParam(std::string_view Line, std::string_view Name, std::string_view Default);
std::string ReadParamString(std::string_view Line, std::string_view Name, std::string_view Default);
// The default when absent; 0 when the text is not a whole 32-bit number
// (decimal, or hexadecimal after "$" or "0x").
int32_t ReadParamInt(std::string_view Line, std::string_view Name, int32_t Default);
// The default when absent; 0 when the text is not a number.
double ReadParamFloat(std::string_view Line, std::string_view Name, double Default);
bool ReadParamBool(std::string_view Line, std::string_view Name, bool Default);
// Colour, height, face and style from "fontColor", "fontHeight", "fontName",
// "fontBold", "fontItalic", "fontUnderline", "fontStrikeout".
void ReadParamFont(std::string_view Line, TFont& Font);
// Clears List and fills it from NameCount and Name0, Name1 ...; true when
// the count pair was present.
bool ReadParamStrings(std::string_view Line, std::string_view Name, TStrings& List);
tImageInfoset ReadParamImageInfoset(std::string_view Line, std::string_view Name);
tFileFormatset ReadParamFileFormatset(std::string_view Line, std::string_view Name, tFileFormatset Default);

// ---- writers ----

std::string WriteParamBool(std::string_view Name, bool Value);
std::string WriteParamInt(std::string_view Name, int32_t Value);
// Fixed point with 8 decimals: 600 is " Name=600.00000000".
std::string WriteParamFloat(std::string_view Name, double Value);
// Always quoted. Raises EParamValueError for a value holding a double quote,
// a carriage return or a line feed.
std::string WriteParamString(std::string_view Name, std::string_view Value);
std::string WriteParamFont(const TFont& Font);
std::string WriteParamStrings(std::string_view Name, const TStrings& List);
std::string WriteParamImageInfoset(std::string_view Name, tImageInfoset Set);
std::string WriteParamFileFormatset(std::string_view Name, tFileFormatset Set);

}  // namespace kv
