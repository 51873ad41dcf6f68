// rvSequence: items, the per-frame window walk, the end of the range and
// looping, and the .seq file loader. See rvSequence.h.
#include "sequence/rvSequence.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <utility>

#include "Loader/DataPack.h"
#include "core/AppLog.h"
#include "core/JsonDepth.h"
#include "sequence/ClassRegistry.h"
#include "sequence/fxBase.h"

std::string g_sequencePath;

namespace {

// The seek an item gets when the clock jumps: its local time at the sequence
// time, clamped to its window and snapped to a whole frame.
float SnappedLocalTime(const fxBase* fx, float time) {
  const float local = time - FrameToSeconds(fx->m_start);
  return SnapToFrame(std::fmin(std::fmax(local, 0.0f), fx->GetDuration()));
}

// The reader's report spans several indented lines; the log gets one.
std::string OneLine(const std::string& text) {
  std::string line;
  for (char c : text) {
    const bool space = c == '\n' || c == ' ' || c == '\t';
    if (space && (line.empty() || line.back() == ' ')) continue;
    line += space ? ' ' : c;
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

}  // namespace

rvSequence::rvSequence(int kind) : m_kind(kind) {}

// Items left behind by an owner that did not clear them would leak (and
// never see Kill); clearing here is a no-op for a sequence already cleared.
rvSequence::~rvSequence() { Clear(); }

// ---------------------------------------------------------------------------
// Loading

namespace {

// The root of a sequence file. A syntax error still leaves what was parsed
// before it in the root, and that part is played; a document nested past
// the limit (which would run the parser's recursion out of stack) leaves
// nothing, like the parser's own depth error.
Json::Value ParseSequenceJson(const std::vector<uint8_t>& bytes, const std::string& path) {
  Json::Value root;
  if (!JsonNestingWithin(reinterpret_cast<const char*>(bytes.data()), bytes.size())) {
    AppLog::Get().AddLog("[Sequence] %s: JSON error, nested deeper than %d levels: nothing loaded\n", path.c_str(),
                         kJsonNestingLimit);
    return root;
  }
  Json::CharReaderBuilder builder;
  builder["collectComments"] = false;
  std::string errors;
  std::istringstream stream(std::string(bytes.begin(), bytes.end()));
  bool parsed = false;
  try {
    parsed = Json::parseFromStream(builder, stream, &root, &errors);
  } catch (const Json::Exception& e) {
    errors = e.what();
    root = Json::Value();
  }
  if (!parsed) {
    AppLog::Get().AddLog("[Sequence] %s: JSON error, loading what was read: %s\n", path.c_str(), OneLine(errors).c_str());
  }
  return root;
}

}  // namespace

bool rvSequence::LoadSequence(const std::string& path, bool init) {
  std::vector<uint8_t> bytes;
  DataPack::Get().LoadFileToVector(path, bytes);
  if (bytes.empty()) return false;
  LoadSequenceBytes(std::move(bytes), path, init);
  return true;
}

void rvSequence::LoadSequenceBytes(std::vector<uint8_t> bytes, const std::string& path, bool init) {
  bytes.erase(std::remove(bytes.begin(), bytes.end(), static_cast<uint8_t>('\r')), bytes.end());
  const Json::Value root = ParseSequenceJson(bytes, path);
  m_path = path;
  LoadItems(root, init);
}

void rvSequence::LoadItems(const Json::Value& root, bool init) {
  Clear();
  if (root.isObject()) {
    // "Items" is an array; an object is walked the same way, by its members.
    const Json::Value& items = root["Items"];
    if (items.isArray() || items.isObject()) {
      for (const Json::Value& item : items) {
        if (fxBase* fx = CreateFxFromJson(GetClassRegistry(), item, this)) AppendItem(fx);
      }
    }
  }
  if (init) {
    for (size_t i = 0; i < m_items.size(); ++i) m_items[i]->SetState(StateInitialized);
    m_time = 0.0f;
    SetCursorFrame(m_cursorFrame);
  }
}

// ---------------------------------------------------------------------------
// Items

int rvSequence::AppendItem(fxBase* fx) {
  m_items.push_back(fx);
  UpdateFrameMax();
  if (m_loopEnd == 0) m_loopEnd = m_frameMax;
  fx->m_owner = this;
  return static_cast<int>(m_items.size()) - 1;
}

void rvSequence::UpdateFrameMax() {
  int frameMax = 0;
  for (const fxBase* item : m_items) frameMax = std::max(frameMax, item->m_end);
  m_frameMax = frameMax;
}

void rvSequence::Clear() {
  // The curve view lets go first: it must never hold a deleted effect.
  m_curveEdit.m_currentItem = nullptr;
  for (fxBase* fx : m_items) {
    fx->SetState(StateNone);
    delete fx;
  }
  m_items.clear();
  m_selection.clear();
}

fxBase* rvSequence::FindItem(const std::string& name) const {
  for (fxBase* fx : m_items) {
    if (fx->m_name == name) return fx;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// Clock

void rvSequence::Update(float dt) {
  if (m_playing) m_time += dt;

  // Indexed walk: an item's Update may append to the list (an editor does).
  for (size_t i = 0; i < m_items.size(); ++i) {
    fxBase* fx = m_items[i];
    if (!fx->IsInWindow(m_time)) {
      if (fx->m_state == StateRunning) fx->SetState(StatePrepared);
      continue;
    }
    if (fx->m_state != StateRunning) fx->SetState(StateRunning);
    if (m_scrub) {
      fx->m_seekTime = SnappedLocalTime(fx, m_time);
    } else {
      fx->m_sequenceDelta = (m_time - FrameToSeconds(fx->m_start)) - fx->m_localTime;
    }
    if (fx->m_enabled) fx->ExternalUpdate();
  }
  m_scrub = false;

  const int end = m_loop ? m_loopEnd : m_frameMax;
  if (m_playing && FrameToSeconds(end) < m_time) {
    StopPlaying();
    m_time = FrameToSeconds(end);
    if (m_loop) RestartAtLoopStart();
  }
}

void rvSequence::StartPlaying() {
  m_time = m_loop ? FrameToSeconds(m_loopStart) : 0.0f;
  m_playing = true;
  for (size_t i = 0; i < m_items.size(); ++i) m_items[i]->SetState(StatePrepared);
}

void rvSequence::StopPlaying() {
  m_playing = false;
  for (size_t i = 0; i < m_items.size(); ++i) m_items[i]->SetState(StateInitialized);
}

void rvSequence::RestartAtLoopStart() {
  m_time = FrameToSeconds(m_loopStart);
  m_playing = true;
  for (size_t i = 0; i < m_items.size(); ++i) m_items[i]->SetState(StatePrepared);
  // No ExternalUpdate here: the seeks apply on the next frame.
  for (size_t i = 0; i < m_items.size(); ++i) {
    fxBase* fx = m_items[i];
    if (!fx->IsInWindow(m_time)) continue;
    fx->SetState(StateRunning);
    fx->m_seekTime = SnappedLocalTime(fx, m_time);
  }
}

void rvSequence::AdvanceTime(float delta) {
  m_time = std::min(std::max(m_time + delta, 0.0f), FrameToSeconds(GetFrameMax()));
}
