// Model files of the data pack: the one read that the glTF and OBJ/MTL
// readers share. A miss is logged with the reader's prefix.
// Depends on the data pack; owns nothing.
#pragma once
#include <string>
#include <vector>

// The whole file into `bytes`; false, logged as "[who] file not found: path"
// when the pack has no such file, or "[who] empty file: path" when it is
// empty.
bool ReadModelFile(const std::string& path, std::vector<unsigned char>& bytes, const char* who);
