#pragma once
// Proper UTF-8 <-> UTF-16 conversion for the edges of the program: file
// names, the command line, the console and paths handed to other libraries.
// Surrogate pairs are combined; anything malformed becomes U+FFFD.
#include <string>
#include <string_view>

namespace platform {

std::string ToUtf8(std::wstring_view units);
std::wstring FromUtf8(std::string_view bytes);

} // namespace platform
