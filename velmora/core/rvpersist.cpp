// Member persistence (see rvpersist.h).
//
// JsonCpp's accessors throw on a value they cannot convert (asInt of a
// string, operator[] with a key on an array). Every value is therefore tested
// with isConvertibleTo / isObject / isArray before it is read, and a value
// that fails keeps the variable as it was: a hand-edited file with one bad
// entry loses that entry only.
//
// Index
//   [SECTION] Value conversions
//   [SECTION] Registration
//   [SECTION] Load
//   [SECTION] Save
#include "core/rvpersist.h"

#include <glm/glm.hpp>

#include <cstring>

#include "core/AppLog.h"

//-----------------------------------------------------------------------------
// [SECTION] Value conversions
//-----------------------------------------------------------------------------

namespace {

const char* const kComponentKeys[3] = {"x", "y", "z"};

// Stride of one array element by kind: bools are registered as 4-byte words.
size_t KindStride(int kind) {
  switch (kind) {
    case PersistVec3: return 12;
    case PersistVec2: return 8;
    default: return 4;
  }
}

int ComponentCount(int kind) {
  return (kind == PersistVec3 || kind == PersistVec3List) ? 3 : 2;
}

// Reads one scalar of kind 0..2 into dst; false (dst untouched) when v has a
// type the accessor rejects. Null converts to false or 0, as the accessors do.
bool ReadScalar(int kind, const Json::Value& v, void* dst) {
  switch (kind) {
    case PersistBool:
      if (!v.isConvertibleTo(Json::booleanValue)) return false;
      *static_cast<bool*>(dst) = v.asBool();
      return true;
    case PersistInt:
      if (!v.isConvertibleTo(Json::intValue)) return false;
      *static_cast<int*>(dst) = v.asInt();
      return true;
    case PersistFloat:
      if (!v.isConvertibleTo(Json::realValue)) return false;
      *static_cast<float*>(dst) = v.asFloat();
      return true;
    default:
      return false;
  }
}

Json::Value WriteScalar(int kind, const void* src) {
  switch (kind) {
    case PersistBool: return Json::Value(*static_cast<const bool*>(src));
    case PersistInt: return Json::Value(*static_cast<const int*>(src));
    default: return Json::Value(static_cast<double>(*static_cast<const float*>(src)));
  }
}

// One {"x","y"(,"z")} object into n floats. Missing components read as 0; a
// component of a wrong type keeps its float. False when v is not an object or
// a component was skipped.
bool ReadComponents(const Json::Value& v, int n, float* dst) {
  if (!v.isObject()) return false;
  bool ok = true;
  for (int c = 0; c < n; ++c) {
    const Json::Value& comp = v[kComponentKeys[c]];
    if (comp.isConvertibleTo(Json::realValue))
      dst[c] = comp.asFloat();
    else
      ok = false;
  }
  return ok;
}

// Like ReadComponents for a new list element: a null element reads as zeros
// (so the elements after it keep their indices), an object only when its
// every component is a number (or missing, read as 0).
bool ReadNewComponents(const Json::Value& v, int n, float* dst) {
  if (v.isNull()) return true;
  if (!v.isObject()) return false;
  for (int c = 0; c < n; ++c) {
    const Json::Value& comp = v[kComponentKeys[c]];
    if (!comp.isConvertibleTo(Json::realValue)) return false;
    dst[c] = comp.asFloat();
  }
  return true;
}

Json::Value WriteComponents(int n, const float* src) {
  Json::Value v(Json::objectValue);
  for (int c = 0; c < n; ++c) v[kComponentKeys[c]] = static_cast<double>(src[c]);
  return v;
}

}  // namespace

//-----------------------------------------------------------------------------
// [SECTION] Registration
//-----------------------------------------------------------------------------

rvpersist::rvpersist(const std::string& name) : m_name(name) {}

rvpersist::~rvpersist() = default;

void rvpersist::AddBool(const std::string& key, bool* value) {
  m_members.push_back({key, PersistBool, value, 0, nullptr});
}

void rvpersist::AddInt(const std::string& key, int* value) {
  m_members.push_back({key, PersistInt, value, 0, nullptr});
}

void rvpersist::AddFloat(const std::string& key, float* first, int count) {
  m_members.push_back({key, PersistFloat, first, count, nullptr});
}

void rvpersist::AddString(const std::string& key, std::string* value) {
  m_members.push_back({key, PersistString, value, 0, nullptr});
}

void rvpersist::AddMember(const std::string& key, int kind, void* address, int count) {
  if (kind == PersistVec2List) {
    AddListMember(key, kind, address, PersistListAccessFor<glm::vec2>());
  } else if (kind == PersistVec3List) {
    AddListMember(key, kind, address, PersistListAccessFor<glm::vec3>());
  } else {
    m_members.push_back({key, kind, address, count, nullptr});
  }
}

void rvpersist::AddListMember(const std::string& key, int kind, void* list,
                              const PersistListAccess* access) {
  // A list whose element does not match its kind would be read past its end.
  if (access->elementSize != static_cast<size_t>(ComponentCount(kind)) * 4 ||
      (kind != PersistVec2List && kind != PersistVec3List)) {
    AppLog::Get().AddLog("[persist] %s: member %s is not a list of kind %d, not registered\n",
                         m_name.c_str(), key.c_str(), kind);
    return;
  }
  m_members.push_back({key, kind, list, 0, access});
}

bool rvpersist::RemoveMember(const std::string& key, const void* address) {
  for (auto it = m_members.begin(); it != m_members.end(); ++it) {
    if (it->key == key && it->address == address) {
      m_members.erase(it);
      return true;
    }
  }
  return false;
}

//-----------------------------------------------------------------------------
// [SECTION] Load
//-----------------------------------------------------------------------------

void rvpersist::Load(const Json::Value& obj) {
  if (!obj.isObject()) return;
  for (const PersistMember& m : m_members) LoadMember(m, obj);
  // Child objects take consecutive elements of their keys' arrays; the
  // elements of all child arrays share one running index.
  Json::ArrayIndex i = 0;
  for (rvpersist* child : m_children) {
    const Json::Value& a = obj[child->m_name];
    if (a.isArray()) child->Load(a[i]);
    ++i;
  }
  i = 0;
  for (const auto& named : m_childArrays) {
    const Json::Value& a = obj[named.first];
    for (rvpersist* child : *named.second) {
      if (a.isArray()) child->Load(a[i]);
      ++i;
    }
  }
}

void rvpersist::LoadMember(const PersistMember& m, const Json::Value& obj) {
  if (!obj.isObject()) return;
  const Json::Value& v = obj[m.key];
  if (v.isNull()) return;
  unsigned char* base = static_cast<unsigned char*>(m.address);
  bool ok = true;  // false when some value was skipped for its type
  switch (m.kind) {
    case PersistBool:
    case PersistInt:
    case PersistFloat:
      if (m.count == 0) {
        ok = ReadScalar(m.kind, v, base);
      } else if (!v.isArray()) {
        ok = false;
      } else {
        // Elements beyond a shorter array read as null: false or 0.
        for (int i = 0; i < m.count; ++i)
          ok &= ReadScalar(m.kind, v[static_cast<Json::ArrayIndex>(i)],
                           base + i * KindStride(m.kind));
      }
      break;
    case PersistVec3:
    case PersistVec2: {
      const int n = ComponentCount(m.kind);
      if (m.count == 0) {
        ok = ReadComponents(v, n, reinterpret_cast<float*>(base));
      } else if (!v.isArray()) {
        ok = false;
      } else {
        for (int i = 0; i < m.count; ++i) {
          float* dst = reinterpret_cast<float*>(base + i * KindStride(m.kind));
          const Json::Value& e = v[static_cast<Json::ArrayIndex>(i)];
          if (e.isNull()) {
            for (int c = 0; c < n; ++c) dst[c] = 0.0f;
          } else {
            ok &= ReadComponents(e, n, dst);
          }
        }
      }
      break;
    }
    case PersistString:
      if (m.count != 0) break;
      // Any scalar reads through its string form: 7 as "7", true as "true".
      ok = v.isConvertibleTo(Json::stringValue);
      if (ok) *static_cast<std::string*>(m.address) = v.asString();
      break;
    case PersistVec2List:
    case PersistVec3List: {
      if (!v.isArray()) {
        ok = false;
        break;
      }
      const int n = ComponentCount(m.kind);
      m.list->resize(m.address, 0);
      for (Json::ArrayIndex i = 0; i < v.size(); ++i) {
        float comps[3] = {0.0f, 0.0f, 0.0f};
        if (!ReadNewComponents(v[i], n, comps)) {
          ok = false;
          continue;
        }
        const size_t at = m.list->size(m.address);
        m.list->resize(m.address, at + 1);
        std::memcpy(m.list->data(m.address) + at * m.list->elementSize, comps,
                    m.list->elementSize);
      }
      break;
    }
    default:
      break;
  }
  if (!ok)
    AppLog::Get().AddLog("[persist] %s: \"%s\" has a value of the wrong type, skipped\n",
                         m_name.c_str(), m.key.c_str());
}

//-----------------------------------------------------------------------------
// [SECTION] Save
//-----------------------------------------------------------------------------

void rvpersist::Save(Json::Value& obj) const {
  if (!obj.isNull() && !obj.isObject()) return;
  for (const PersistMember& m : m_members) SaveMember(m, obj);
  Json::ArrayIndex i = 0;
  for (rvpersist* child : m_children) {
    Json::Value& a = obj[child->m_name];
    if (a.isNull() || a.isArray()) child->Save(a[i]);
    ++i;
  }
  i = 0;
  for (const auto& named : m_childArrays) {
    Json::Value& a = obj[named.first];
    for (rvpersist* child : *named.second) {
      if (a.isNull() || a.isArray()) child->Save(a[i]);
      ++i;
    }
  }
}

void rvpersist::SaveMember(const PersistMember& m, Json::Value& obj) const {
  if (!obj.isNull() && !obj.isObject()) return;
  const unsigned char* base = static_cast<const unsigned char*>(m.address);
  switch (m.kind) {
    case PersistBool:
    case PersistInt:
    case PersistFloat:
      if (m.count == 0) {
        obj[m.key] = WriteScalar(m.kind, base);
      } else {
        Json::Value a(Json::arrayValue);
        for (int i = 0; i < m.count; ++i) a.append(WriteScalar(m.kind, base + i * KindStride(m.kind)));
        obj[m.key] = a;
      }
      break;
    case PersistVec3:
    case PersistVec2: {
      const int n = ComponentCount(m.kind);
      if (m.count == 0) {
        obj[m.key] = WriteComponents(n, reinterpret_cast<const float*>(base));
      } else {
        Json::Value a(Json::arrayValue);
        for (int i = 0; i < m.count; ++i)
          a.append(WriteComponents(n, reinterpret_cast<const float*>(base + i * KindStride(m.kind))));
        obj[m.key] = a;
      }
      break;
    }
    case PersistString:
      if (m.count == 0) obj[m.key] = *static_cast<const std::string*>(m.address);
      break;
    case PersistVec2List:
    case PersistVec3List: {
      // An empty list writes nothing, so loading the object later keeps
      // whatever list the reader has.
      const size_t count = m.list->size(m.address);
      if (count == 0) break;
      const int n = ComponentCount(m.kind);
      const unsigned char* data = m.list->data(const_cast<void*>(m.address));
      Json::Value a(Json::arrayValue);
      for (size_t i = 0; i < count; ++i) {
        float comps[3];
        std::memcpy(comps, data + i * m.list->elementSize, m.list->elementSize);
        a.append(WriteComponents(n, comps));
      }
      obj[m.key] = a;
      break;
    }
    default:
      break;
  }
}
