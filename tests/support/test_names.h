// Names of parameterised test cases.
#pragma once

#include <cctype>
#include <string>

namespace tevtest {

//! A case name from a parameter text: every character but a letter or a digit becomes '_'.
inline std::string case_name(std::string n)
{
    for (char& ch : n)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return n;
}

}  // namespace tevtest
