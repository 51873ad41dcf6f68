// Asset path rules: how a path written in a data file (a sequence, a shader
// include, an effect attribute) becomes a name inside the data pack, and
// back. Plain string work, no GL and no file system, so it is tested with
// tables on the CPU.
//
// Owns the process-wide data directory ("Data" in this production, "." when
// the configuration names none), set once by the application at start-up.
#pragma once
#include <string>

// Stores the data directory; an empty one is kept as ".".
void SetDataDirectory(const std::string& directory);
const std::string& GetDataDirectory();

// Path relative to the archive root: prefixes the data directory unless the
// path already starts with it (or with "Data/", "data/", "./Data/").
std::string ResolveDataPath(const std::string& path);

// In place: drops one leading "." (the archive library reads "/x" as "x")
// and turns backslashes into slashes.
void NormalizePath(std::string& path);

// The name the data pack opens for a path: resolved, normalised, then
// without leading separators, with each run of separators made one and
// without a trailing one, as the archive library reads names. Two paths
// name the same pack file exactly when their names are equal
// ("seq//x.seq", "/seq/x.seq", "seq\x.seq" and "Data/seq/x.seq" are one
// file).
std::string PackEntryName(const std::string& path);

// Path relative to the data directory: the inverse of ResolveDataPath, used
// to compare paths written in either form.
std::string StripDataDir(const std::string& path);

// A copy of the string with "/" appended.
std::string AppendSlash(const std::string& text);
