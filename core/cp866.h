// Code page 866, the encoding of the report's texts, and its conversion to UTF-8 for a console
// that shows UTF-8 and for files that other tools read.
#pragma once

#include <string>
#include <string_view>

namespace tev {

//! The UTF-8 form of code page 866 text: bytes below 128 unchanged, the others (Cyrillic letters,
//! box-drawing and a few signs) as their Unicode characters.
std::string cp866_to_utf8(std::string_view text);

//! True when a locale setting names UTF-8: the first set of LC_ALL, LC_CTYPE and LANG, given
//! here as their values (an empty value counts as not set), contains "UTF-8" or "utf8" in any
//! case.
bool locale_is_utf8(std::string_view lc_all, std::string_view lc_ctype, std::string_view lang);

}  // namespace tev
