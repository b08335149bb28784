// Conversion between the UTF-8 text of the build machine and the GBK bytes
// the installer works with.
#pragma once

#include <string>

// False when the input is not valid UTF-8 or holds a character GBK lacks.
bool Utf8ToGbk(const std::string& utf8, std::string& gbk);
// False when the input is not valid GBK.
bool GbkToUtf8(const std::string& gbk, std::string& utf8);
