// Conversion of code page 932 output for terminals that expect UTF-8.
#pragma once

#include <string>

// Bytes that do not convert become '?'.
std::string Cp932ToUtf8(const std::string& text);
