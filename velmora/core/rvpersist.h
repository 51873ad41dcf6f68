// Member persistence: the base of every object that saves and loads a set of
// its own variables as one JSON object (parameter drivers, the settings
// object). An object registers each variable once by JSON key, kind, address
// and element count; Load fills them from a JSON object, Save writes them into
// one. A missing or null key leaves a variable unchanged, and so does a value
// of a type its kind cannot take (it is skipped, never converted by force).
//
// Nothing is owned through a registration: addresses point into the
// registering object or at process-wide variables, child objects are not
// deleted with their parent. Main thread only. Depends on JsonCpp.
#pragma once
#include <json/json.h>

#include <cstddef>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

// Kinds of a registered variable and the JSON form of one value.
enum PersistKind : int {
  PersistBool = 0,      // bool: JSON boolean
  PersistInt = 1,       // int32: JSON integer
  PersistFloat = 2,     // float: JSON number (the float widened to double)
  PersistVec3 = 3,      // 3 floats: {"x", "y", "z"}
  PersistVec2 = 4,      // 2 floats: {"x", "y"}
  PersistString = 5,    // std::string: JSON string (count must be 0)
  PersistVec2List = 6,  // std::vector of 8-byte (x, y) elements: array of {"x", "y"}
  PersistVec3List = 7   // std::vector of 12-byte (x, y, z) elements: array of {"x", "y", "z"}
};

// How a growable list of 4-byte words is reached through an untyped address,
// for any std::vector whose element is 2 or 3 packed 32-bit words (a glm::vec2,
// or a key frame of time, value and a 32-bit id that travels as float bits).
struct PersistListAccess {
  size_t (*size)(const void* list);
  void (*resize)(void* list, size_t count);
  unsigned char* (*data)(void* list);
  size_t elementSize;
};

template <class T>
const PersistListAccess* PersistListAccessFor() {
  static_assert(std::is_trivially_copyable<T>::value, "list elements are copied word by word");
  static_assert(sizeof(T) == 8 || sizeof(T) == 12, "list elements hold 2 or 3 words");
  static const PersistListAccess access = {
      [](const void* l) { return static_cast<const std::vector<T>*>(l)->size(); },
      [](void* l, size_t n) { static_cast<std::vector<T>*>(l)->resize(n); },
      [](void* l) { return reinterpret_cast<unsigned char*>(static_cast<std::vector<T>*>(l)->data()); },
      sizeof(T)};
  return &access;
}

struct PersistMember {
  std::string key;
  int kind;
  void* address;  // not owned
  int count;      // 0: a single value; n > 0: n values stored contiguously
  const PersistListAccess* list;  // kinds 6 and 7 only
};

class rvpersist {
 public:
  explicit rvpersist(const std::string& name);
  // Virtual so that drivers can be deleted through any base.
  virtual ~rvpersist();

  // Fills the registered variables, then the child objects and child arrays,
  // from obj. Anything but a JSON object (null included) has no members.
  virtual void Load(const Json::Value& obj);
  // Writes the same walk into obj, which must be null or an object.
  virtual void Save(Json::Value& obj) const;

  // Registration, in the order the members are visited.
  void AddBool(const std::string& key, bool* value);
  void AddInt(const std::string& key, int* value);
  void AddFloat(const std::string& key, float* first, int count = 0);
  void AddString(const std::string& key, std::string* value);
  // Any kind. For kinds 6 and 7 the address is a std::vector<glm::vec2> or
  // std::vector<glm::vec3>; lists of other element types use the overload
  // below.
  void AddMember(const std::string& key, int kind, void* address, int count = 0);
  template <class T>
  void AddMember(const std::string& key, int kind, std::vector<T>* list) {
    AddListMember(key, kind, list, PersistListAccessFor<T>());
  }
  // Removes the first member registered with this key and address; false
  // when there is none. For owners that die before the object they
  // registered into.
  bool RemoveMember(const std::string& key, const void* address);

  // One member each, by kind.
  void LoadMember(const PersistMember& member, const Json::Value& obj);
  void SaveMember(const PersistMember& member, Json::Value& obj) const;

  std::vector<PersistMember> m_members;
  std::vector<rvpersist*> m_children;  // not owned
  std::vector<std::pair<std::string, std::vector<rvpersist*>*>> m_childArrays;  // not owned
  std::string m_name;

 private:
  void AddListMember(const std::string& key, int kind, void* list,
                     const PersistListAccess* access);
};
