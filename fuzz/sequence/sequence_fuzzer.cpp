// libFuzzer target for sequence files: any bytes are a .seq file, loaded
// into a sequence without Init (no GL): the JSON parse and its nesting
// check, every item created from the registry with its properties,
// dynamic properties and drivers (key frames, procedural drivers,
// expressions compiled), then torn down.
// Built by tools/fuzz_sequence.sh.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/AppLog.h"
#include "sequence/fxBase.h"
#include "sequence/ClassRegistry.h"
#include "sequence/rvSequence.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  // The log keeps every line for the whole run; across millions of inputs
  // that alone would exhaust the memory limit.
  AppLog::Get().Clear();
  GetClassRegistry();
  rvSequence sequence(0);
  sequence.LoadSequenceBytes(std::vector<uint8_t>(data, data + size), "seq/fuzz.seq", false);
  volatile int sink = sequence.GetFrameMax();
  for (const fxBase* fx : sequence.m_items) sink = sink + fx->m_start + static_cast<int>(fx->m_drivers.size());
  sequence.Clear();
  return 0;
}
