// Sequence files written by tests: one item as JSON text, and a whole file
// from a list of items, in the form the sequence loader reads.
#pragma once
#include <string>
#include <vector>

// {"Class": cls, "Properties": {"Name": name, "Start": start, "End": end,
// <more>}}; `more` is further members of "Properties" as JSON text, without
// the leading comma (empty for none).
std::string SeqItem(const std::string& cls, const std::string& name, int start, int end,
                    const std::string& more = "");
// {"Items": [items...]}
std::string SeqFile(const std::vector<std::string>& items);
