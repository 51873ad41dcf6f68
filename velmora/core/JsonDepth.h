// How deeply a JSON text nests, measured without parsing it. Readers that
// recurse once per array or object level (the JSON libraries we call do)
// check a document here first and refuse one nested past the limit, so a
// small crafted file cannot exhaust the stack.
// Pure function of its input; any thread.
#pragma once
#include <cstddef>

// Deep enough for every document the engine writes or reads (sequence
// files nest about ten levels, glTF files a few more), shallow enough for
// any recursive parser on a thread's stack.
constexpr int kJsonNestingLimit = 256;

// True when no array or object in `text` (UTF-8, `size` bytes) opens more
// than `limit` levels deep. Brackets inside strings do not count; an
// unterminated string ends the scan.
bool JsonNestingWithin(const char* text, size_t size, int limit = kJsonNestingLimit);
