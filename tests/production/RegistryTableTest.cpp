// The whole effect class table once the production's hook has run: the
// engine's thirty in their fixed order, then the production's three, each
// at its index.
#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "core/ClassDesc.h"
#include "production/ProductionClasses.h"
#include "sequence/ClassRegistry.h"

namespace {

const char* const kClassTable[33] = {
    "fxBase",          "fxSequence",        "fxDemoGlobalParams", "fxMusic",           "fxMusicReference",
    "fxReference",     "fxBasicShader2d",   "fxBasicShader3d",    "fxBufferDisplay",   "fxBufferDefault",
    "fxBufferStencil", "fxBasicScene",      "fxCamera",           "fxCameraReference", "fxImage",
    "fxShaderBase",    "fxShader",          "fxAmbientParticles", "fxVectorDisplay",   "fxMorph",
    "fxText",          "fxTextStash",       "fxSVG",              "fxPostDistortion",  "fxPostVHS",
    "fxParticleEmitter", "fxObjLoader",     "fxGLTFLoader",       "fxPostColorGradingAA", "fxPostColorBasic",
    "fxPinvaleScreens", "fxObjPacman",      "fxVectorDeformWave",
};
constexpr size_t kEngineClassCount = 30;

}  // namespace

TEST(RegistryTable, EveryClassSitsAtItsIndexEngineClassesFirst) {
  ClassRegistry& registry = GetClassRegistry();
  ASSERT_EQ(registry.size(), kEngineClassCount) << "the engine's classes before the hook";
  RegisterProductionClasses(registry);
  RegisterProductionClasses(registry);  // a second call adds nothing
  ASSERT_EQ(registry.size(), std::size(kClassTable));
  for (size_t i = 0; i < registry.size(); ++i) {
    EXPECT_EQ(registry[i]->m_name, kClassTable[i]) << "index " << i;
    EXPECT_EQ(registry[i]->m_registryIndex, int(i)) << kClassTable[i];
  }
  EXPECT_EQ(registry[kEngineClassCount]->m_parent->m_name, "fxBufferDisplay");
}

TEST(RegistryTable, TheScreenWallRegistersItsAttributesInOrder) {
  RegisterProductionClasses(GetClassRegistry());
  ClassDesc* desc = nullptr;
  for (ClassDesc* d : GetClassRegistry())
    if (d->m_name == "fxPinvaleScreens") desc = d;
  ASSERT_NE(desc, nullptr);
  const std::vector<AttributeDesc*>& list = desc->m_attributes;
  ASSERT_EQ(list.size(), 2u + 16u * 7u + 7u);
  EXPECT_EQ(list[0]->m_name, "CopyAll");
  EXPECT_EQ(list[0]->m_tooltip, "Copy first video on all 16 entries");
  EXPECT_EQ(list[1]->m_name, "DumpImg");
  EXPECT_EQ(list[1]->m_tooltip, "Dump decoded image for debug (fxPinvaleScreens.png)");
  const char* const group[7] = {"Bpg", "Screeni", "Screenf", "Detail", "Shape", "StartFrame", "Enabled"};
  const int types[7] = {AttrFile, AttrVec2, AttrVec2, AttrEnum, AttrVec2, AttrInt, AttrBool};
  for (int n = 1; n <= 16; ++n) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "Pinvale%02d", n);
    for (int k = 0; k < 7; ++k) {
      const AttributeDesc* a = list[size_t(2 + (n - 1) * 7 + k)];
      EXPECT_EQ(a->m_name, std::string(prefix) + "/" + group[k]);
      EXPECT_EQ(a->m_group, prefix);
      EXPECT_EQ(a->m_type, types[k]) << a->m_name;
    }
  }
  const char* const rest[7] = {"_Separator_", "PinvaleShaderFx", "PinvaleShaderOffset", "_Separator_",
                               "MultiThreaded", "SystemTime", "ScaleTime"};
  for (int k = 0; k < 7; ++k) EXPECT_EQ(list[size_t(114 + k)]->m_name, rest[k]);
  EXPECT_EQ(list[2]->m_fileFilter, ".bpg");
  EXPECT_EQ(list[5]->m_enumCount, 8);
  EXPECT_STREQ(list[5]->m_enumNames[7], "keyboard");
}
