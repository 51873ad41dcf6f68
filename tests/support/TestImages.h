// Small test pictures drawn by ImageMagick's convert into a temporary file
// and read back as bytes, ready to put into a test pack.
#pragma once
#include <string>

// The bytes of the picture `convert <arguments> <format>:<file>` writes
// ("PNG32" keeps an alpha channel); empty when convert failed.
std::string ConvertImage(const std::string& arguments, const std::string& format = "PNG32");
