// Class descriptions and attribute descriptors: the children, offsets and
// default ranges of every compound type, the setters' rules, array
// attributes, name lookup through the parent chain and per-object
// descriptions.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/ClassDesc.h"
#include "render/TextureSlot.h"
#include "core/rvTransform.h"

namespace {

constexpr float kNoRange = 12345.0f;  // marks "no range expected" in the tables

struct ExpectedNode {
  std::string name;
  int type;
  int offset;
  float min = kNoRange;
  float max = kNoRange;
};

// Pre-order walk: every node, then its children, so a table lists the whole
// tree in the order the children were added.
void Flatten(const AttributeDesc* a, std::vector<const AttributeDesc*>& out) {
  out.push_back(a);
  for (const AttributeDesc* c : a->m_children) Flatten(c, out);
}

void ExpectTree(const AttributeDesc* root, const std::vector<ExpectedNode>& expected) {
  std::vector<const AttributeDesc*> nodes;
  Flatten(root, nodes);
  ASSERT_EQ(nodes.size(), expected.size()) << root->m_name;
  for (size_t i = 0; i < nodes.size(); ++i) {
    const ExpectedNode& e = expected[i];
    SCOPED_TRACE(e.name);
    EXPECT_EQ(nodes[i]->m_name, e.name);
    EXPECT_EQ(nodes[i]->m_type, e.type);
    EXPECT_EQ(nodes[i]->m_offset, e.offset);
    float mn = 0.0f, mx = 0.0f;
    const bool has = nodes[i]->GetRange(mn, mx);
    if (e.min == kNoRange) {
      EXPECT_FALSE(has);
    } else {
      ASSERT_TRUE(has);
      EXPECT_EQ(mn, e.min);
      EXPECT_EQ(mx, e.max);
    }
  }
}

template <class T, class M>
int FieldOffset(const T& object, const M& field) {
  return static_cast<int>(reinterpret_cast<const char*>(&field) -
                          reinterpret_cast<const char*>(&object));
}

}  // namespace

TEST(AttributeDesc, CompoundTypesBuildTheirChildrenWithOffsetsAndRanges) {
  const int o = 100;
  struct Case {
    int type;
    std::string name;
    std::vector<ExpectedNode> tree;
  };
  const std::vector<Case> cases = {
      {AttrRGB, "Color",
       {{"Color", AttrRGB, o, 0, 1},
        {"Color.r", AttrFloat, o, 0, 1},
        {"Color.g", AttrFloat, o + 4, 0, 1},
        {"Color.b", AttrFloat, o + 8, 0, 1}}},
      {AttrRGBA, "Color",
       {{"Color", AttrRGBA, o, 0, 1},
        {"Color.r", AttrFloat, o, 0, 1},
        {"Color.g", AttrFloat, o + 4, 0, 1},
        {"Color.b", AttrFloat, o + 8, 0, 1},
        {"Color.a", AttrFloat, o + 12, 0, 1}}},
      {AttrRGBS, "Glow",
       {{"Glow", AttrRGBS, o, 0, 1},
        {"Glow.r", AttrFloat, o, 0, 1},
        {"Glow.g", AttrFloat, o + 4, 0, 1},
        {"Glow.b", AttrFloat, o + 8, 0, 1},
        {"Glow.s", AttrFloat, o + 12, 0, 10}}},
      {AttrVec2, "P",
       {{"P", AttrVec2, o}, {"P.x", AttrFloat, o}, {"P.y", AttrFloat, o + 4}}},
      {AttrVec3, "P",
       {{"P", AttrVec3, o},
        {"P.x", AttrFloat, o},
        {"P.y", AttrFloat, o + 4},
        {"P.z", AttrFloat, o + 8}}},
      {AttrVec4, "V",
       {{"V", AttrVec4, o},
        {"V.w", AttrFloat, o + 12},
        {"V.x", AttrFloat, o},
        {"V.y", AttrFloat, o + 4},
        {"V.z", AttrFloat, o + 8}}},
      {AttrScale2, "S",
       {{"S", AttrScale2, o, 0.01f, 2},
        {"S.x", AttrFloat, o, 0.01f, 2},
        {"S.y", AttrFloat, o + 4, 0.01f, 2}}},
      {AttrScale3, "S",
       {{"S", AttrScale3, o, 0.01f, 2},
        {"S.x", AttrFloat, o, 0.01f, 2},
        {"S.y", AttrFloat, o + 4, 0.01f, 2},
        {"S.z", AttrFloat, o + 8, 0.01f, 2}}},
      {AttrCamera, "Cam",
       {{"Cam", AttrCamera, o},
        {"Cam.Yaw", AttrFloat, o, -3.141592f, 3.141592f},
        {"Cam.Pitch", AttrFloat, o + 4, -3.141592f, 3.141592f},
        {"Cam.Roll", AttrFloat, o + 8, -3.141592f, 3.141592f},
        {"Cam.Dist", AttrFloat, o + 12, 0.01f, 2000},
        {"Cam.Pan", AttrVec2, o + 16, 0, 2000},
        {"Cam.Pan.x", AttrFloat, o + 16, 0, 2000},
        {"Cam.Pan.y", AttrFloat, o + 20, 0, 2000}}},
      {AttrRGBAF, "F",
       {{"F", AttrRGBAF, o},
        {"F.r", AttrFloat, o},
        {"F.g", AttrFloat, o + 4},
        {"F.b", AttrFloat, o + 8},
        {"F.a", AttrFloat, o + 12}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name + " type " + std::to_string(c.type));
    AttributeDesc* a = CreateAttributeDesc(c.type, c.name, o);
    ExpectTree(a, c.tree);
    delete a;
  }
}

TEST(AttributeDesc, TransformChildrenAddressTheTransformFields) {
  const int o = 24;
  rvTransform2D t2;
  const int pos2 = o + FieldOffset(t2, t2.position), piv2 = o + FieldOffset(t2, t2.pivot);
  const int rot2 = o + FieldOffset(t2, t2.rotation), scl2 = o + FieldOffset(t2, t2.scale);
  AttributeDesc* a = CreateAttributeDesc(AttrTransform2D, "Transform", o);
  ExpectTree(a, {{"Transform", AttrTransform2D, o},
                 {"Transform.Pos", AttrVec2, pos2, -200, 200},
                 {"Transform.Pos.x", AttrFloat, pos2, -200, 200},
                 {"Transform.Pos.y", AttrFloat, pos2 + 4, -200, 200},
                 {"Transform.Pivot", AttrVec2, piv2, -200, 200},
                 {"Transform.Pivot.x", AttrFloat, piv2, -200, 200},
                 {"Transform.Pivot.y", AttrFloat, piv2 + 4, -200, 200},
                 {"Transform.Rot", AttrFloat, rot2, -180, 180},
                 {"Transform.Scale", AttrScale2, scl2, 0.01f, 2},
                 {"Transform.Scale.x", AttrFloat, scl2, 0.01f, 2},
                 {"Transform.Scale.y", AttrFloat, scl2 + 4, 0.01f, 2}});
  delete a;

  rvTransform3D t3;
  const int pos3 = o + FieldOffset(t3, t3.position), piv3 = o + FieldOffset(t3, t3.pivot);
  const int rot3 = o + FieldOffset(t3, t3.rotation), scl3 = o + FieldOffset(t3, t3.scale);
  a = CreateAttributeDesc(AttrTransform3D, "T", o);
  std::vector<ExpectedNode> tree = {{"T", AttrTransform3D, o}};
  const struct {
    const char* suffix;
    int type;
    int offset;
    float min, max;
  } groups[] = {{".Pos", AttrVec3, pos3, -200, 200},
                {".Pivot", AttrVec3, piv3, -200, 200},
                {".Rot", AttrVec3, rot3, -180, 180},
                {".Scale", AttrScale3, scl3, 0.01f, 2}};
  for (const auto& g : groups) {
    const std::string n = std::string("T") + g.suffix;
    tree.push_back({n, g.type, g.offset, g.min, g.max});
    tree.push_back({n + ".x", AttrFloat, g.offset, g.min, g.max});
    tree.push_back({n + ".y", AttrFloat, g.offset + 4, g.min, g.max});
    tree.push_back({n + ".z", AttrFloat, g.offset + 8, g.min, g.max});
  }
  ExpectTree(a, tree);
  delete a;
}

TEST(AttributeDesc, TextureChildrenCarryFileSettingsAndEnumNames) {
  AttributeDesc* a = CreateAttributeDesc(AttrTexture, "Tex0", 0);
  ASSERT_EQ(a->m_children.size(), 5u);
  const struct {
    const char* name;
    int type;
    int enumCount;
  } expected[] = {{"Tex0.TexFile", AttrFile, 0},
                  {"Tex0.TexFilter", AttrEnum, 6},
                  {"Tex0.TexWrapU", AttrEnum, 3},
                  {"Tex0.TexWrapV", AttrEnum, 3},
                  {"Tex0.FxBuf", AttrString, 0}};
  for (size_t i = 0; i < 5; ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(a->m_children[i]->m_name, expected[i].name);
    EXPECT_EQ(a->m_children[i]->m_type, expected[i].type);
    EXPECT_EQ(a->m_children[i]->m_enumCount, expected[i].enumCount);
    EXPECT_TRUE(a->m_children[i]->m_children.empty());
    float mn, mx;
    EXPECT_FALSE(a->m_children[i]->GetRange(mn, mx));
  }
  EXPECT_EQ(a->m_children[0]->m_fileFilter, ".png|.jpg");
  EXPECT_EQ(a->m_children[0]->m_defaultDir, "img/");
  EXPECT_STREQ(a->m_children[1]->m_enumNames[0], "Nearest Pixel / No Mipmap");
  EXPECT_STREQ(a->m_children[1]->m_enumNames[5], "Linear Pixel / Linear Mipmap");
  EXPECT_STREQ(a->m_children[2]->m_enumNames[1], "Mirror");
  EXPECT_STREQ(a->m_children[3]->m_enumNames[2], "Repeat");
  delete a;
}

TEST(AttributeDesc, TextureChildrenWriteTheSlotFields) {
  // A slot embedded after other fields, as in a program or an effect.
  struct Holder {
    double pad = 0.0;
    TextureSlot slot;
  } h;
  const int o = FieldOffset(h, h.slot);
  AttributeDesc* a = CreateAttributeDesc(AttrTexture, "Tex", o);
  a->m_children[0]->Value<std::string>(&h) = "img/a.png";
  a->m_children[1]->Value<int>(&h) = 5;
  a->m_children[2]->Value<int>(&h) = 0;
  a->m_children[3]->Value<int>(&h) = 1;
  a->m_children[4]->Value<std::string>(&h) = "fxBuffer";
  EXPECT_EQ(h.slot.m_file, "img/a.png");
  EXPECT_EQ(h.slot.m_filter, 5);
  EXPECT_EQ(h.slot.m_wrapU, 0);
  EXPECT_EQ(h.slot.m_wrapV, 1);
  EXPECT_EQ(h.slot.m_effectName, "fxBuffer");
  EXPECT_EQ(h.slot.m_effect, nullptr);
  EXPECT_EQ(h.slot.m_image, nullptr);
  EXPECT_EQ(h.pad, 0.0);
  delete a;
}

TEST(AttributeDesc, ScalarAndUnknownTypesHaveNoChildrenAndNoRange) {
  for (int type : std::initializer_list<int>{AttrBool, AttrInt, AttrFrame, AttrFloat, AttrString, AttrFile, AttrSeparator,
                   AttrButton, AttrArray, AttrEnum, -1, 23, 99}) {
    SCOPED_TRACE(type);
    AttributeDesc* a = CreateAttributeDesc(type, "A", 8);
    EXPECT_TRUE(a->m_children.empty());
    float mn, mx;
    EXPECT_FALSE(a->GetRange(mn, mx));
    EXPECT_EQ(a->m_type, type);
    EXPECT_EQ(a->m_offset, 8);
    delete a;
  }
}

TEST(AttributeDesc, OnlyTheFirstSlashSplitsGroupAndLabel) {
  const struct {
    const char* name;
    const char* group;
    const char* label;
  } cases[] = {{"a/b/c", "a", "b/c"},
               {"ColorGrading/Lift", "ColorGrading", "Lift"},
               {"/x", "", "x"},
               {"x/", "x", ""},
               {"Plain", "", "Plain"},
               {">>Noise", "", ">>Noise"},
               {"", "", ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    AttributeDesc a(AttrFloat, c.name, 0);
    EXPECT_EQ(a.m_group, c.group);
    EXPECT_EQ(a.m_label, c.label);
    EXPECT_EQ(a.m_name, c.name);
  }
  // Children keep the parent's group in their full name.
  AttributeDesc* lift = CreateAttributeDesc(AttrRGB, "ColorGrading/Lift", 0);
  EXPECT_EQ(lift->m_children[1]->m_group, "ColorGrading");
  EXPECT_EQ(lift->m_children[1]->m_label, "Lift.g");
  delete lift;
}

TEST(AttributeDesc, RangesFollowTheTypeOfEachNode) {
  // A float range skips an AttrInt node but reaches its children; an int
  // range is stored only on AttrInt nodes.
  AttributeDesc i(AttrInt, "I", 0);
  AttributeDesc* child = i.AddChild("I.f", AttrFloat, 4);
  i.SetRange(1.0f, 5.0f);
  float mn, mx;
  EXPECT_FALSE(i.GetRange(mn, mx));
  ASSERT_TRUE(child->GetRange(mn, mx));
  EXPECT_EQ(mn, 1.0f);
  EXPECT_EQ(mx, 5.0f);

  AttributeDesc f(AttrFloat, "F", 0);
  EXPECT_EQ(f.SetRangeInt(1, 5), &f);
  EXPECT_FALSE(f.GetRange(mn, mx));

  i.SetRangeInt(-3, 7);
  ASSERT_NE(i.m_range, nullptr);
  EXPECT_EQ(i.m_range->min.i, -3);
  EXPECT_EQ(i.m_range->max.i, 7);
  ASSERT_TRUE(i.GetRange(mn, mx));
  EXPECT_EQ(mn, -3.0f);
  EXPECT_EQ(mx, 7.0f);

  // A later range replaces the earlier one without a second allocation.
  AttributeRange* before = child->m_range;
  child->SetRange(-1.0f, 0.5f);
  EXPECT_EQ(child->m_range, before);
  EXPECT_EQ(child->m_range->min.f, -1.0f);
  EXPECT_EQ(child->m_range->max.f, 0.5f);
}

TEST(AttributeDesc, SetChildRangesReachesOnlyTheFirstFourChildrenRecursively) {
  AttributeDesc* cam = CreateAttributeDesc(AttrCamera, "C", 0);
  cam->SetChildRanges(1, 2, 3, 4, 5, 6, 7, 8);
  const float expected[5][2] = {{1, 2}, {3, 4}, {5, 6}, {7, 8}, {0, 2000}};
  for (int k = 0; k < 5; ++k) {
    float mn, mx;
    ASSERT_TRUE(cam->m_children[k]->GetRange(mn, mx));
    EXPECT_EQ(mn, expected[k][0]) << k;
    EXPECT_EQ(mx, expected[k][1]) << k;
  }
  float mn, mx;
  EXPECT_FALSE(cam->GetRange(mn, mx));
  delete cam;

  // Fewer than four children: the extra pairs are ignored.
  AttributeDesc* v = CreateAttributeDesc(AttrVec2, "V", 0);
  v->SetChildRanges(1, 2, 3, 4, 5, 6, 7, 8);
  ASSERT_TRUE(v->m_children[1]->GetRange(mn, mx));
  EXPECT_EQ(mn, 3.0f);
  delete v;
}

TEST(AttributeDesc, DefaultDirectoryAlwaysGetsATrailingSlash) {
  const struct {
    const char* given;
    const char* stored;
  } cases[] = {{"img", "img/"}, {"img/", "img//"}, {"shader", "shader/"}, {"", "/"}};
  for (const auto& c : cases) {
    AttributeDesc a(AttrFile, "F", 0);
    EXPECT_EQ(a.SetDefaultDir(c.given), &a);
    EXPECT_EQ(a.m_defaultDir, c.stored) << c.given;
  }
}

TEST(AttributeDesc, FileSettingsOnATextureAlsoGoToItsFileChild) {
  AttributeDesc* tex = CreateAttributeDesc(AttrTexture, "T", 0);
  tex->SetFileFilter(".bpg")->SetDefaultDir("screens");
  EXPECT_EQ(tex->m_fileFilter, ".bpg");
  EXPECT_EQ(tex->m_defaultDir, "screens/");
  EXPECT_EQ(tex->m_children[0]->m_fileFilter, ".bpg");
  EXPECT_EQ(tex->m_children[0]->m_defaultDir, "screens/");
  EXPECT_TRUE(tex->m_children[4]->m_fileFilter.empty());
  delete tex;

  AttributeDesc* file = CreateAttributeDesc(AttrFile, "F", 0);
  file->SetFileFilter(".mp3");
  EXPECT_EQ(file->m_fileFilter, ".mp3");
  delete file;
}

TEST(AttributeDesc, InlineLayoutChainsTheComponentsOfVectorsOnly) {
  for (int type : std::initializer_list<int>{AttrVec2, AttrVec3, AttrVec4}) {
    AttributeDesc* v = CreateAttributeDesc(type, "V", 0);
    EXPECT_EQ(v->SetInlineLayout(), v);
    EXPECT_TRUE(v->m_sameLine);
    EXPECT_TRUE(v->m_lineContinues);
    const size_t n = v->m_children.size();
    for (size_t i = 0; i < n; ++i) {
      SCOPED_TRACE(v->m_children[i]->m_name);
      EXPECT_EQ(v->m_children[i]->m_sameLine, i > 0);
      EXPECT_EQ(v->m_children[i]->m_lineContinues, i + 1 < n);
    }
    delete v;
  }
  for (int type : std::initializer_list<int>{AttrRGB, AttrScale2, AttrFloat}) {
    AttributeDesc* a = CreateAttributeDesc(type, "A", 0);
    a->SetInlineLayout();
    EXPECT_FALSE(a->m_sameLine) << type;
    EXPECT_FALSE(a->m_lineContinues) << type;
    for (const AttributeDesc* c : a->m_children) EXPECT_FALSE(c->m_sameLine || c->m_lineContinues);
    delete a;
  }
}

TEST(AttributeDesc, EnumNamesAreStoredOnlyOnEnums) {
  static const char* const names[] = {"A", "B"};
  AttributeDesc e(AttrEnum, "E", 0);
  e.SetEnumNames(names, 2);
  EXPECT_EQ(e.m_enumNames, names);
  EXPECT_EQ(e.m_enumCount, 2);
  AttributeDesc i(AttrInt, "I", 0);
  i.SetEnumNames(names, 2);
  EXPECT_EQ(i.m_enumNames, nullptr);
  EXPECT_EQ(i.m_enumCount, 0);
}

TEST(AttributeDesc, SettersChainOnTheDescriptorTheyChanged) {
  ClassDesc desc("fxChain", nullptr, nullptr);
  AttributeDesc* a = desc.AddAttribute(AttrVec2, "2d/ScreenPos", 16)
                         ->SetRange(-1.0f, 1.0f)
                         ->SetTooltip("where")
                         ->SetInlineLayout();
  EXPECT_EQ(a, desc.m_attributes[0]);
  EXPECT_EQ(a->m_tooltip, "where");
  AttributeDesc* child = a->AddChild("2d/ScreenPos.w", AttrFloat, 24)->SetRange(0.0f, 3.0f);
  EXPECT_EQ(child, a->m_children.back());
}

TEST(ClassDesc, ArrayAttributeListsSizeThenEveryElement) {
  ClassDesc desc("fxArray", nullptr, nullptr);
  const int o = 40, sizeAt = 32;
  AttributeDesc* w = desc.AddArrayAttribute("w", AttrFloat, 4, o, sizeAt, 3);
  ASSERT_EQ(desc.m_attributes.size(), 1u);
  EXPECT_EQ(desc.m_attributes[0], w);
  ExpectTree(w, {{"w", AttrArray, o},
                 {"w.size", AttrInt, sizeAt, 0, 3},
                 {"w[0]", AttrFloat, o},
                 {"w[1]", AttrFloat, o + 4},
                 {"w[2]", AttrFloat, o + 8}});

  // Compound elements get their own children; indices are plain decimals.
  AttributeDesc* v = desc.AddArrayAttribute("v", AttrVec2, 8, 100, 96, 11);
  ASSERT_EQ(v->m_children.size(), 12u);
  EXPECT_EQ(v->m_children[11]->m_name, "v[10]");
  EXPECT_EQ(v->m_children[11]->m_offset, 100 + 10 * 8);
  EXPECT_EQ(desc.FindAttribute("v[2].y")->m_offset, 100 + 2 * 8 + 4);

  AttributeDesc* none = desc.AddArrayAttribute("n", AttrInt, 4, 0, 4, 0);
  ExpectTree(none, {{"n", AttrArray, 0}, {"n.size", AttrInt, 4, 0, 0}});
}

TEST(ClassDesc, FindAttributeSearchesTheParentChainFirstAndMatchesExactly) {
  ClassDesc base("fxBaseLike", nullptr, nullptr);
  ClassDesc mid("fxMid", &base, nullptr);
  ClassDesc leaf("fxLeaf", &mid, nullptr);
  AttributeDesc* baseName = base.AddAttribute(AttrString, "Name", 8);
  AttributeDesc* leafName = leaf.AddAttribute(AttrString, "Name", 200);
  AttributeDesc* transform = mid.AddAttribute(AttrTransform3D, "Transform", 64);
  AttributeDesc* color = leaf.AddAttribute(AttrRGBA, "Color", 300);

  const struct {
    const char* name;
    const AttributeDesc* expected;
  } cases[] = {
      {"Name", baseName},  // the root class wins over a descendant
      {"Transform", transform},
      {"Transform.Pos", transform->m_children[0]},
      {"Transform.Pos.x", transform->m_children[0]->m_children[0]},
      {"Transform.Scale.z", transform->m_children[3]->m_children[2]},
      {"Color.a", color->m_children[3]},
      {"Color", color},
      {"name", nullptr},
      {"Color.A", nullptr},
      {"Color.r ", nullptr},
      {"Pos.x", nullptr},
      {"", nullptr},
  };
  for (const auto& c : cases) EXPECT_EQ(leaf.FindAttribute(c.name), c.expected) << c.name;
  // The base does not see its descendants' attributes.
  EXPECT_EQ(base.FindAttribute("Color"), nullptr);
  EXPECT_EQ(FindAttributeInList(leaf.m_attributes, "Name"), leafName);
}

TEST(ClassDesc, ConstructionLeavesNoRegistryIndexAndNoAttributes) {
  ClassDesc parent("fxBase", nullptr, nullptr);
  ClassDesc desc("fxShader", &parent, nullptr);
  EXPECT_EQ(desc.m_registryIndex, -1);
  EXPECT_EQ(desc.m_parent, &parent);
  EXPECT_EQ(desc.m_name, "fxShader");
  EXPECT_TRUE(desc.m_attributes.empty());
  EXPECT_TRUE(desc.IsShared());
}

namespace {
fxBase* CreateNothing(ClassDesc*) { return nullptr; }
}  // namespace

TEST(InstanceClassDesc, SharesTheDescriptorsAndKeepsAddedOnesToItself) {
  ClassDesc parent("fxBase", nullptr, nullptr);
  ClassDesc shared("fxShader", &parent, &CreateNothing);
  shared.m_registryIndex = 7;
  AttributeDesc* stage = shared.AddAttribute(AttrFile, "Shaders/Vertex", 16);

  ClassDesc* instance = new InstanceClassDesc(&shared);
  EXPECT_FALSE(instance->IsShared());
  EXPECT_EQ(instance->m_registryIndex, 7);
  EXPECT_EQ(instance->m_parent, &parent);
  EXPECT_EQ(instance->m_name, "fxShader");
  EXPECT_EQ(instance->m_create, &CreateNothing);
  ASSERT_EQ(instance->m_attributes.size(), 1u);
  EXPECT_EQ(instance->m_attributes[0], stage);

  AttributeDesc* added = instance->AddAttribute(AttrRGB, "Tint", 1024);
  EXPECT_EQ(instance->FindAttribute("Tint.g"), added->m_children[1]);
  EXPECT_EQ(shared.FindAttribute("Tint"), nullptr);
  EXPECT_EQ(shared.m_attributes.size(), 1u);

  // Deleting through the base frees the instance's own descriptors and
  // leaves the shared ones alive.
  delete instance;
  EXPECT_EQ(shared.FindAttribute("Shaders/Vertex"), stage);
  EXPECT_EQ(stage->m_name, "Shaders/Vertex");
}

// A new object of the class is made from the shared description, however
// many per-object descriptions lie between.
TEST(InstanceClassDesc, LeadsBackToTheSharedDescriptionItWasMadeFrom) {
  ClassDesc shared("fxShader", nullptr, &CreateNothing);
  InstanceClassDesc first(&shared);
  first.AddAttribute(AttrFloat, "Level", 1024);
  InstanceClassDesc second(&first);
  struct Case {
    const char* what;
    ClassDesc* desc;
  };
  const Case cases[] = {{"shared", &shared}, {"made from the shared one", &first}, {"made from another", &second}};
  for (const Case& c : cases) EXPECT_EQ(SharedClassDesc(c.desc), &shared) << c.what;
  EXPECT_EQ(SharedClassDesc(nullptr), nullptr);
  // The per-object descriptor belongs to the first; the second only
  // borrows it.
  EXPECT_TRUE(first.Owns(first.FindAttribute("Level")));
  EXPECT_FALSE(second.Owns(second.FindAttribute("Level")));
}

TEST(AttributeDesc, ValueAccessorsAddressTheOffsetInsideAnObject) {
  struct Object {
    int pad;
    float rgb[3];
    int count;
  } object = {0, {0.25f, 0.5f, 0.75f}, 9};
  AttributeDesc* color = CreateAttributeDesc(AttrRGB, "C", 4);
  EXPECT_EQ(color->m_children[2]->Value<float>(&object), 0.75f);
  color->m_children[0]->Value<float>(&object) = 1.0f;
  EXPECT_EQ(object.rgb[0], 1.0f);
  AttributeDesc count(AttrInt, "N", 16);
  EXPECT_EQ(count.Value<int>(&object), 9);
  delete color;
}
