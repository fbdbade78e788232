// The system's error numbers in the program's language. The C library's own
// texts follow the installed locales, which a user's machine may lack.
#pragma once
#include <exception>
#include <string>

namespace kv {

// A short German sentence for errno value Err ("Systemfehler <n>" for the rare ones).
std::string SysErrorMessage(int Err);
// What a caught exception says to the user: our own exceptions carry German
// text already; the standard library's texts are English and are replaced.
std::string ExceptionText(const std::exception& E);

}  // namespace kv
