// The setup descriptor as the package author writes it (UTF-8 INI text) and
// as the installer reads it ("install.tmd": GBK, CR LF, scrambled).
#pragma once

#include <string>

// GBK text with CR LF line ends; [SystemDll] ckdll set to 1 when the package
// carries system libraries and to 0 otherwise. Throws CPackFailure naming
// the file when a line holds characters GBK lacks.
std::string PrepareDescriptor(const std::string& utf8Text, bool withSystemDll, const std::string& fileName);

// Text as an author would write it back: UTF-8 with LF line ends.
std::string DescriptorToUtf8(const std::string& gbkText);
