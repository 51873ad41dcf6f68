// Class descriptions and attribute descriptors: the reflection layer of the
// effects. A ClassDesc names a class, links its parent and lists its own typed
// attributes; an AttributeDesc locates one parameter inside an object by byte
// offset, so generic code (sequence loading, drivers, key tools, references,
// shader annotations) reads and writes parameters without knowing the class.
// Compound types (colours, vectors, transforms, cameras, texture slots,
// arrays) are trees whose leaves are addressed by their full names
// ("Transform.Pos.x", "Color.r", "w[2]").
//
// Ownership: a descriptor owns its children, a class description its own
// attributes. Shared class descriptions (function-local statics) and their
// attribute trees live until the process ends and are released then; an
// InstanceClassDesc frees only the descriptors that were added to it after
// it was made.
// Main thread only. Depends on nothing but the standard library.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

class fxBase;
class ClassDesc;

// Attribute type codes; the values are stored in descriptors and compared by
// every generic reader, so they never change.
enum AttributeType : int {
  AttrBool = 0,         // bool, 1 byte
  AttrInt = 1,          // int32
  AttrFrame = 2,        // int32, frames of 1/60 s
  AttrFloat = 3,        // float
  AttrString = 4,       // std::string (also the name of another effect)
  AttrFile = 5,         // std::string holding a data-pack path
  AttrSeparator = 6,    // no value
  AttrButton = 7,       // AttrButtonFunc
  AttrArray = 8,        // first element; built by ClassDesc::AddArrayAttribute
  AttrEnum = 9,         // int32 index into the enumeration names
  AttrRGB = 10,         // 3 floats
  AttrRGBA = 11,        // 4 floats
  AttrRGBS = 12,        // 4 floats: colour and strength
  AttrVec2 = 13,        // 2 floats
  AttrVec3 = 14,        // 3 floats
  AttrVec4 = 15,        // 4 floats x, y, z, w
  AttrScale2 = 16,      // 2 floats
  AttrScale3 = 17,      // 3 floats
  AttrTransform2D = 18, // rvTransform2D
  AttrTransform3D = 19, // rvTransform3D
  AttrCamera = 20,      // 6 floats: yaw, pitch, roll, distance, pan x, pan y
  AttrTexture = 21,     // TextureSlot
  AttrRGBAF = 22,       // 4 floats
  AttrTypeCount = 23
};

// The value of an AttrButton: the action an editor's button runs.
typedef void (*AttrButtonFunc)(fxBase* fx);
// Allocates a zero-filled object of the class and constructs it with the
// given class description.
typedef fxBase* (*ClassCreateFunc)(ClassDesc* classDesc);

// Minimum and maximum: ints for an AttrInt, floats for every other type.
struct AttributeRange {
  union {
    int i;
    float f;
  } min, max;
};

// Names of the TextureSlot filter codes 0..5 and wrap codes 0..2, in code order.
extern const char* const g_TextureFilterNames[6];
extern const char* const g_TextureWrapNames[3];

// Byte offset of a member inside an object, for registering attributes of
// classes with virtual functions (effects, transforms). offsetof is
// conditionally supported there; GCC and Clang give the obvious answer for
// single inheritance, which is all the engine uses, and only warn. The
// lambda gives the pragmas a function body, so the macro also works in
// namespace-scope tables.
#define RV_OFFSETOF(Type, member)                                 \
  ([]() -> int {                                                  \
    _Pragma("GCC diagnostic push")                                \
    _Pragma("GCC diagnostic ignored \"-Winvalid-offsetof\"")      \
    return static_cast<int>(offsetof(Type, member));              \
    _Pragma("GCC diagnostic pop")                                 \
  }())

class AttributeDesc {
 public:
  // Splits the label and group at the first '/'; no children, no range.
  AttributeDesc(int type, const std::string& name, int offset);
  ~AttributeDesc();  // deletes the children
  AttributeDesc(const AttributeDesc&) = delete;
  AttributeDesc& operator=(const AttributeDesc&) = delete;

  // CreateAttributeDesc(type, name, offset) appended to the children.
  AttributeDesc* AddChild(const std::string& name, int type, int offset);

  // Every setter returns this descriptor so that builder calls chain.
  // Float range on this descriptor unless it is an AttrInt, then on every
  // child, recursively.
  AttributeDesc* SetRange(float min, float max);
  // Int range on this descriptor only if it is an AttrInt, then on every
  // child, recursively.
  AttributeDesc* SetRangeInt(int min, int max);
  // SetRange on the first four children with the four pairs.
  AttributeDesc* SetChildRanges(float min0, float max0, float min1, float max1,
                                float min2, float max2, float min3, float max3);
  // On an AttrTexture both go to its ".TexFile" child first. The folder is
  // stored with a '/' appended, always.
  AttributeDesc* SetFileFilter(const std::string& filter);
  AttributeDesc* SetDefaultDir(const std::string& folder);
  // AttrVec2/3/4 only: the components share one editor line.
  AttributeDesc* SetInlineLayout();
  // AttrEnum only; the table must outlive the descriptor (static).
  AttributeDesc* SetEnumNames(const char* const* names, int count);
  AttributeDesc* SetTooltip(const std::string& tooltip);

  // The range as floats (an int range converted); false when none is set.
  bool GetRange(float& min, float& max) const;

  // Address of the value inside an object of the described class.
  void* ValuePtr(void* object) const {
    return static_cast<char*>(object) + m_offset;
  }
  template <class T>
  T& Value(void* object) const {
    return *static_cast<T*>(ValuePtr(object));
  }

  int m_type;
  std::string m_name;   // full name, unique within the class
  std::string m_label;  // after the first '/', or the whole name
  std::string m_group;  // before the first '/', or empty
  std::string m_tooltip;
  const char* const* m_enumNames = nullptr;
  int m_enumCount = 0;
  char m_shortcut = 0;  // character code of a key that triggers it
  int m_offset;
  std::vector<AttributeDesc*> m_children;  // owned
  AttributeRange* m_range = nullptr;       // owned, allocated on first use
  std::string m_fileFilter;                // extensions separated by '|'
  std::string m_defaultDir;                // always ends with '/' once set
  bool m_multiLine = false;
  bool m_sameLine = false;       // sits on the same editor line as the one before
  bool m_lineContinues = false;  // another entry follows on this editor line

 private:
  AttributeRange* Range();
};

// A new descriptor with the children and default ranges of its type.
AttributeDesc* CreateAttributeDesc(int type, const std::string& name, int offset);

// First descriptor of the list (children searched before their parent, at any
// depth) whose full name equals name exactly; null when none.
AttributeDesc* FindAttributeInList(const std::vector<AttributeDesc*>& list,
                                   const std::string& name);

class ClassDesc {
 public:
  ClassDesc(const std::string& name, ClassDesc* parent, ClassCreateFunc create);
  // Virtual because effects delete their instance description through this
  // type.
  virtual ~ClassDesc();
  ClassDesc(const ClassDesc&) = delete;
  ClassDesc& operator=(const ClassDesc&) = delete;

  // True for a description shared by every object of the class.
  virtual bool IsShared() const;

  // CreateAttributeDesc, appended to the class's own list.
  AttributeDesc* AddAttribute(int type, const std::string& name, int offset);
  // An AttrArray at firstOffset with a ".size" AttrInt child at sizeOffset
  // (int range 0..maxCount) and the elements "name[i]" of elementType at
  // firstOffset + i * stride for i < maxCount.
  AttributeDesc* AddArrayAttribute(const std::string& name, int elementType, int stride,
                                   int firstOffset, int sizeOffset, int maxCount);
  // Parent chain first (the root class before its descendants), then the
  // class's own list; null when no attribute has exactly that name.
  AttributeDesc* FindAttribute(const std::string& name) const;

  int m_registryIndex = -1;  // set by RegisterClassDesc
  ClassDesc* m_parent;       // null for fxBase
  std::string m_name;
  ClassCreateFunc m_create;
  std::vector<AttributeDesc*> m_attributes;  // own attributes, registration order
};

// A per-object description: the registry index, parent, name, create
// function and attribute list of the object's current description (the same
// descriptor pointers). Attributes added to it afterwards belong to that one
// object and are freed with it.
class InstanceClassDesc : public ClassDesc {
 public:
  explicit InstanceClassDesc(ClassDesc* from);
  ~InstanceClassDesc() override;
  bool IsShared() const override;

  // The shared description this one was made from (through any chain of
  // per-object descriptions).
  ClassDesc* SharedDesc() const { return m_shared; }
  // True for a descriptor added to this description after it was made: it
  // belongs to this one object and is freed with it.
  bool Owns(const AttributeDesc* attribute) const;

 private:
  ClassDesc* m_shared;
  size_t m_borrowedCount;  // leading descriptors that belong to the shared description
};

// The description every object of the class shares: the description itself
// when it is shared, else the one its per-object description was made from.
// A new object made from it registers its own per-object attributes.
ClassDesc* SharedClassDesc(ClassDesc* desc);
