// Class descriptions and attribute descriptors (see ClassDesc.h).
//
// Index
//   [SECTION] Compound layouts: where each component of a compound type lies
//   [SECTION] AttributeDesc: construction and setters
//   [SECTION] CreateAttributeDesc: children and default ranges by type
//   [SECTION] ClassDesc and InstanceClassDesc
//   [SECTION] Lookup
#include "core/ClassDesc.h"

#include "core/rvTransform.h"

//-----------------------------------------------------------------------------
// [SECTION] Compound layouts
//-----------------------------------------------------------------------------

const char* const g_TextureFilterNames[6] = {
    "Nearest Pixel / No Mipmap",      "Linear Pixel / No Mipmap",
    "Nearest Pixel / Nearest Mipmap", "Linear Pixel / Nearest Mipmap",
    "Nearest Pixel / Linear Mipmap",  "Linear Pixel / Linear Mipmap"};
const char* const g_TextureWrapNames[3] = {"Clamp", "Mirror", "Repeat"};

namespace {

// The leading fields of a TextureSlot (render/TextureSlot.h), in its order:
// file name, effect-buffer name, filter, wrap U, wrap V. The slot's header
// pulls in GL, which the core stays clear of, so its layout is restated here;
// the attribute tests write through these offsets into a real slot.
struct TextureSlotLayout {
  std::string file;
  std::string effectName;
  int filter;
  int wrapU;
  int wrapV;
};

// One child of a compound type: suffix, type and byte position inside the
// parent's value.
struct ChildSpec {
  const char* suffix;
  int type;
  int position;
};

const ChildSpec kRGBChildren[] = {{".r", AttrFloat, 0}, {".g", AttrFloat, 4}, {".b", AttrFloat, 8}};
const ChildSpec kRGBAChildren[] = {
    {".r", AttrFloat, 0}, {".g", AttrFloat, 4}, {".b", AttrFloat, 8}, {".a", AttrFloat, 12}};
const ChildSpec kVec2Children[] = {{".x", AttrFloat, 0}, {".y", AttrFloat, 4}};
const ChildSpec kVec3Children[] = {{".x", AttrFloat, 0}, {".y", AttrFloat, 4}, {".z", AttrFloat, 8}};
// w comes first in the list although it is stored last.
const ChildSpec kVec4Children[] = {
    {".w", AttrFloat, 12}, {".x", AttrFloat, 0}, {".y", AttrFloat, 4}, {".z", AttrFloat, 8}};
const ChildSpec kTransform2DChildren[] = {
    {".Pos", AttrVec2, RV_OFFSETOF(rvTransform2D, position)},
    {".Pivot", AttrVec2, RV_OFFSETOF(rvTransform2D, pivot)},
    {".Rot", AttrFloat, RV_OFFSETOF(rvTransform2D, rotation)},
    {".Scale", AttrScale2, RV_OFFSETOF(rvTransform2D, scale)}};
const ChildSpec kTransform3DChildren[] = {
    {".Pos", AttrVec3, RV_OFFSETOF(rvTransform3D, position)},
    {".Pivot", AttrVec3, RV_OFFSETOF(rvTransform3D, pivot)},
    {".Rot", AttrVec3, RV_OFFSETOF(rvTransform3D, rotation)},
    {".Scale", AttrScale3, RV_OFFSETOF(rvTransform3D, scale)}};
const ChildSpec kCameraChildren[] = {{".Yaw", AttrFloat, 0},
                                     {".Pitch", AttrFloat, 4},
                                     {".Roll", AttrFloat, 8},
                                     {".Dist", AttrFloat, 12},
                                     {".Pan", AttrVec2, 16}};
const ChildSpec kTextureChildren[] = {
    {".TexFile", AttrFile, static_cast<int>(offsetof(TextureSlotLayout, file))},
    {".TexFilter", AttrEnum, static_cast<int>(offsetof(TextureSlotLayout, filter))},
    {".TexWrapU", AttrEnum, static_cast<int>(offsetof(TextureSlotLayout, wrapU))},
    {".TexWrapV", AttrEnum, static_cast<int>(offsetof(TextureSlotLayout, wrapV))},
    {".FxBuf", AttrString, static_cast<int>(offsetof(TextureSlotLayout, effectName))}};

template <size_t N>
void AddChildren(AttributeDesc* parent, const ChildSpec (&children)[N]) {
  for (const ChildSpec& c : children)
    parent->AddChild(parent->m_name + c.suffix, c.type, parent->m_offset + c.position);
}

constexpr float kCameraAngle = 3.141592f;

}  // namespace

//-----------------------------------------------------------------------------
// [SECTION] AttributeDesc
//-----------------------------------------------------------------------------

AttributeDesc::AttributeDesc(int type, const std::string& name, int offset)
    : m_type(type), m_name(name), m_label(name), m_offset(offset) {
  const size_t slash = name.find('/');
  if (slash != std::string::npos) {
    m_label = name.substr(slash + 1);
    m_group = name.substr(0, slash);
  }
}

AttributeDesc::~AttributeDesc() {
  for (AttributeDesc* child : m_children) delete child;
  delete m_range;
}

AttributeDesc* AttributeDesc::AddChild(const std::string& name, int type, int offset) {
  AttributeDesc* child = CreateAttributeDesc(type, name, offset);
  m_children.push_back(child);
  return child;
}

AttributeRange* AttributeDesc::Range() {
  if (!m_range) m_range = new AttributeRange();
  return m_range;
}

AttributeDesc* AttributeDesc::SetRange(float min, float max) {
  if (m_type != AttrInt) {
    Range()->min.f = min;
    m_range->max.f = max;
  }
  for (AttributeDesc* child : m_children) child->SetRange(min, max);
  return this;
}

AttributeDesc* AttributeDesc::SetRangeInt(int min, int max) {
  if (m_type == AttrInt) {
    Range()->min.i = min;
    m_range->max.i = max;
  }
  for (AttributeDesc* child : m_children) child->SetRangeInt(min, max);
  return this;
}

AttributeDesc* AttributeDesc::SetChildRanges(float min0, float max0, float min1, float max1,
                                             float min2, float max2, float min3, float max3) {
  const float ranges[4][2] = {{min0, max0}, {min1, max1}, {min2, max2}, {min3, max3}};
  for (size_t i = 0; i < 4 && i < m_children.size(); ++i)
    m_children[i]->SetRange(ranges[i][0], ranges[i][1]);
  return this;
}

AttributeDesc* AttributeDesc::SetFileFilter(const std::string& filter) {
  if (m_type == AttrTexture && !m_children.empty()) m_children[0]->SetFileFilter(filter);
  m_fileFilter = filter;
  return this;
}

AttributeDesc* AttributeDesc::SetDefaultDir(const std::string& folder) {
  if (m_type == AttrTexture && !m_children.empty()) m_children[0]->SetDefaultDir(folder);
  m_defaultDir = folder + '/';
  return this;
}

AttributeDesc* AttributeDesc::SetInlineLayout() {
  if (m_type != AttrVec2 && m_type != AttrVec3 && m_type != AttrVec4) return this;
  m_sameLine = true;
  m_lineContinues = true;
  for (size_t i = 0; i < m_children.size(); ++i) {
    if (i > 0) m_children[i]->m_sameLine = true;
    if (i + 1 < m_children.size()) m_children[i]->m_lineContinues = true;
  }
  return this;
}

AttributeDesc* AttributeDesc::SetEnumNames(const char* const* names, int count) {
  if (m_type == AttrEnum) {
    m_enumNames = names;
    m_enumCount = count;
  }
  return this;
}

AttributeDesc* AttributeDesc::SetTooltip(const std::string& tooltip) {
  m_tooltip = tooltip;
  return this;
}

bool AttributeDesc::GetRange(float& min, float& max) const {
  if (!m_range) return false;
  if (m_type == AttrInt) {
    min = static_cast<float>(m_range->min.i);
    max = static_cast<float>(m_range->max.i);
  } else {
    min = m_range->min.f;
    max = m_range->max.f;
  }
  return true;
}

//-----------------------------------------------------------------------------
// [SECTION] CreateAttributeDesc
//-----------------------------------------------------------------------------

AttributeDesc* CreateAttributeDesc(int type, const std::string& name, int offset) {
  AttributeDesc* a = new AttributeDesc(type, name, offset);
  switch (type) {
    case AttrRGB:
      AddChildren(a, kRGBChildren);
      a->SetRange(0.0f, 1.0f);
      break;
    case AttrRGBA:
      AddChildren(a, kRGBAChildren);
      a->SetRange(0.0f, 1.0f);
      break;
    case AttrRGBS:
      // The strength is added after the colour range so that it keeps its own.
      AddChildren(a, kRGBChildren);
      a->SetRange(0.0f, 1.0f);
      a->AddChild(name + ".s", AttrFloat, offset + 12)->SetRange(0.0f, 10.0f);
      break;
    case AttrVec2:
      AddChildren(a, kVec2Children);
      break;
    case AttrVec3:
      AddChildren(a, kVec3Children);
      break;
    case AttrVec4:
      AddChildren(a, kVec4Children);
      break;
    case AttrScale2:
      AddChildren(a, kVec2Children);
      a->SetRange(0.01f, 2.0f);
      break;
    case AttrScale3:
      AddChildren(a, kVec3Children);
      a->SetRange(0.01f, 2.0f);
      break;
    case AttrTransform2D:
    case AttrTransform3D:
      if (type == AttrTransform2D)
        AddChildren(a, kTransform2DChildren);
      else
        AddChildren(a, kTransform3DChildren);
      a->SetChildRanges(-200.0f, 200.0f, -200.0f, 200.0f, -180.0f, 180.0f, 0.01f, 2.0f);
      break;
    case AttrCamera:
      AddChildren(a, kCameraChildren);
      for (int i = 0; i < 3; ++i) a->m_children[i]->SetRange(-kCameraAngle, kCameraAngle);
      a->m_children[3]->SetRange(0.01f, 2000.0f);
      a->m_children[4]->SetRange(0.0f, 2000.0f);
      break;
    case AttrTexture:
      AddChildren(a, kTextureChildren);
      a->m_children[0]->SetFileFilter(".png|.jpg")->SetDefaultDir("img");
      a->m_children[1]->SetEnumNames(g_TextureFilterNames, 6);
      a->m_children[2]->SetEnumNames(g_TextureWrapNames, 3);
      a->m_children[3]->SetEnumNames(g_TextureWrapNames, 3);
      break;
    case AttrRGBAF:
      AddChildren(a, kRGBAChildren);
      break;
    default:
      // Scalars, strings, buttons, separators, arrays (their children come
      // from AddArrayAttribute) and unknown codes.
      break;
  }
  return a;
}

//-----------------------------------------------------------------------------
// [SECTION] ClassDesc and InstanceClassDesc
//-----------------------------------------------------------------------------

ClassDesc::ClassDesc(const std::string& name, ClassDesc* parent, ClassCreateFunc create)
    : m_parent(parent), m_name(name), m_create(create) {}

// Generic code keeps pointers to the descriptors (drivers, loaded references)
// without knowing their class, so a shared description lives for the whole
// run: the engine's are function-local statics, destroyed only as the
// process ends. Releasing the trees then keeps leak checkers quiet about
// what is not a leak.
ClassDesc::~ClassDesc() {
  for (AttributeDesc* a : m_attributes) delete a;
}

bool ClassDesc::IsShared() const { return true; }

AttributeDesc* ClassDesc::AddAttribute(int type, const std::string& name, int offset) {
  AttributeDesc* a = CreateAttributeDesc(type, name, offset);
  m_attributes.push_back(a);
  return a;
}

AttributeDesc* ClassDesc::AddArrayAttribute(const std::string& name, int elementType, int stride,
                                            int firstOffset, int sizeOffset, int maxCount) {
  AttributeDesc* array = AddAttribute(AttrArray, name, firstOffset);
  array->AddChild(name + ".size", AttrInt, sizeOffset)->SetRangeInt(0, maxCount);
  for (int i = 0; i < maxCount; ++i)
    array->AddChild(name + "[" + std::to_string(i) + "]", elementType, firstOffset + i * stride);
  return array;
}

InstanceClassDesc::InstanceClassDesc(ClassDesc* from)
    : ClassDesc(from->m_name, from->m_parent, from->m_create),
      m_shared(SharedClassDesc(from)),
      m_borrowedCount(from->m_attributes.size()) {
  m_registryIndex = from->m_registryIndex;
  m_attributes = from->m_attributes;
}

// Only the descriptors added to this object (shader annotations) are its own;
// the borrowed ones belong to the shared description.
InstanceClassDesc::~InstanceClassDesc() {
  for (size_t i = m_borrowedCount; i < m_attributes.size(); ++i) delete m_attributes[i];
  m_attributes.clear();  // the base destructor must not release the borrowed ones
}

bool InstanceClassDesc::IsShared() const { return false; }

bool InstanceClassDesc::Owns(const AttributeDesc* attribute) const {
  for (size_t i = m_borrowedCount; i < m_attributes.size(); ++i) {
    if (m_attributes[i] == attribute) return true;
  }
  return false;
}

ClassDesc* SharedClassDesc(ClassDesc* desc) {
  if (!desc || desc->IsShared()) return desc;
  return static_cast<InstanceClassDesc*>(desc)->SharedDesc();
}

//-----------------------------------------------------------------------------
// [SECTION] Lookup
//-----------------------------------------------------------------------------

AttributeDesc* FindAttributeInList(const std::vector<AttributeDesc*>& list,
                                   const std::string& name) {
  for (AttributeDesc* a : list) {
    if (!a->m_children.empty()) {
      if (AttributeDesc* hit = FindAttributeInList(a->m_children, name)) return hit;
    }
    if (a->m_name == name) return a;
  }
  return nullptr;
}

AttributeDesc* ClassDesc::FindAttribute(const std::string& name) const {
  if (m_parent) {
    if (AttributeDesc* hit = m_parent->FindAttribute(name)) return hit;
  }
  return FindAttributeInList(m_attributes, name);
}
