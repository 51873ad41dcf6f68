// The effect class registry: engine classes in their fixed order, indices,
// appended classes, and effects made from sequence items.
#include <gtest/gtest.h>

#include <memory>

#include "core/ClassDesc.h"
#include "sequence/fxBase.h"
#include "sequence/ClassRegistry.h"
#include "sequence/rvSequence.h"
#include "support/LogCapture.h"
#include "support/ProbeEffect.h"
#include "support/JsonText.h"

namespace {

// The engine classes in registry order; classes not built yet are absent
// from the registry, the others keep this relative order.
const char* const kEngineOrder[] = {
    "fxBase",          "fxSequence",         "fxDemoGlobalParams", "fxMusic",          "fxMusicReference",
    "fxReference",     "fxBasicShader2d",    "fxBasicShader3d",    "fxBufferDisplay",  "fxBufferDefault",
    "fxBufferStencil", "fxBasicScene",       "fxCamera",           "fxCameraReference", "fxImage",
    "fxShaderBase",    "fxShader",           "fxAmbientParticles", "fxVectorDisplay",  "fxMorph",
    "fxText",          "fxTextStash",        "fxSVG",              "fxPostDistortion", "fxPostVHS",
    "fxParticleEmitter", "fxObjLoader",      "fxGLTFLoader",       "fxPostColorGradingAA", "fxPostColorBasic",
};

}  // namespace

TEST(Registry, EngineClassesComeInTheirFixedOrder) {
  const ClassRegistry& registry = GetClassRegistry();
  ASSERT_GE(registry.size(), 2u);
  EXPECT_EQ(registry[0]->m_name, "fxBase");
  size_t next = 0;  // position in kEngineOrder
  for (size_t i = 0; i < registry.size(); ++i) {
    EXPECT_EQ(registry[i]->m_registryIndex, static_cast<int>(i));
    while (next < std::size(kEngineOrder) && registry[i]->m_name != kEngineOrder[next]) ++next;
    ASSERT_LT(next, std::size(kEngineOrder)) << registry[i]->m_name << " is out of order or unknown";
    ++next;
  }
  EXPECT_NE(std::find_if(registry.begin(), registry.end(),
                         [](const ClassDesc* d) { return d->m_name == "fxDemoGlobalParams"; }),
            registry.end());
}

TEST(Registry, EveryClassCreatesAnEffectOfItsKindInStateNone) {
  for (ClassDesc* desc : GetClassRegistry()) {
    ASSERT_NE(desc->m_create, nullptr) << desc->m_name;
    std::unique_ptr<fxBase> fx(desc->m_create(desc));
    ASSERT_NE(fx, nullptr) << desc->m_name;
    EXPECT_EQ(fx->m_state, StateNone) << desc->m_name;
    EXPECT_EQ(fx->m_name, desc->m_name);
    EXPECT_TRUE(fx->IsKindOf(desc->m_name.c_str()));
    EXPECT_TRUE(fx->IsKindOf("fxBase"));
    // The nine base attributes are reachable from every class.
    for (const char* name : {"Create Key", "ReInit", "ClearDrivers", "Name", "TimeScale", "Start", "End", "FadeIn",
                             "FadeOut"}) {
      EXPECT_NE(fx->m_classDesc->FindAttribute(name), nullptr) << desc->m_name << " " << name;
    }
  }
}

TEST(Registry, TheBaseAttributesKeepTheirOrderAndTypes) {
  GetClassRegistry();
  struct Case {
    const char* name;
    int type;
  };
  const Case cases[] = {{"Create Key", AttrButton}, {"ReInit", AttrButton}, {"ClearDrivers", AttrButton},
                        {"Name", AttrString},       {"TimeScale", AttrFloat}, {"Start", AttrFrame},
                        {"End", AttrFrame},         {"FadeIn", AttrFloat},  {"FadeOut", AttrFloat}};
  const std::vector<AttributeDesc*>& list = fxBase::GetClassDesc()->m_attributes;
  ASSERT_EQ(list.size(), std::size(cases));
  for (size_t i = 0; i < list.size(); ++i) {
    EXPECT_EQ(list[i]->m_name, cases[i].name);
    EXPECT_EQ(list[i]->m_type, cases[i].type) << cases[i].name;
  }
  EXPECT_EQ(list[0]->m_shortcut, 'K');
  EXPECT_EQ(list[0]->m_tooltip, "Create Key at this time\nand for current values\n[K]");
  EXPECT_EQ(list[1]->m_tooltip, "ReInit : Force call kill then Init");
  EXPECT_EQ(list[2]->m_tooltip, "Clear all drivers");
}

TEST(Registry, RegisteringAppendsWithTheNextIndex) {
  const size_t before = GetClassRegistry().size();
  ClassDesc* probe = RegisterProbeClass();
  EXPECT_EQ(probe->m_registryIndex, static_cast<int>(before));
  EXPECT_EQ(GetClassRegistry().back(), probe);
}

TEST(Registry, ItemsNamingNoClassCreateNothing) {
  RegisterProbeClass();
  LogCapture log;
  const char* cases[] = {
      R"({"Class": "fxprobe"})",  R"({"Class": "FXPROBE"})",  R"({"Class": "fxProbe "})", R"({"Class": ""})",
      R"({"Properties": {}})",    R"({"Class": 3})",          R"({"Class": ["fxProbe"]})", R"({"Class": null})",
      R"(["fxProbe"])",           R"("fxProbe")",             R"(7)",                     R"(null)",
  };
  for (const char* json : cases) {
    EXPECT_EQ(CreateFxFromJson(GetClassRegistry(), ParseJson(json), nullptr), nullptr) << json;
  }
  EXPECT_TRUE(ProbeJournal().empty());
  EXPECT_EQ(log.Text(), "");
}

TEST(Registry, AnItemBecomesAnEffectWithItsPropertiesAndDrivers) {
  RegisterProbeClass();
  rvSequence owner(0);
  const char* cases[] = {
      R"({"Class": "fxProbe", "Properties": {"Name": "x", "Probe/Value": 2, "_apAttribDrivers":
          [{"_eType": 2, "_attribName": "FadeIn"}]}, "PropertiesDynamic": {"Dyn/Gain": 0.5}})",
      R"({"Class": "fxProbe", "Properties": {"Name": "x", "Probe/Value": 2, "Dyn/Gain": 0.5,
          "_apAttribDrivers": [{"_eType": 2, "_attribName": "FadeIn"}]}})",
  };
  for (const char* json : cases) {
    std::unique_ptr<fxBase> fx(CreateFxFromJson(GetClassRegistry(), ParseJson(json), &owner));
    ASSERT_NE(fx, nullptr) << json;
    auto* probe = static_cast<fxProbe*>(fx.get());
    EXPECT_EQ(probe->m_name, "x");
    EXPECT_EQ(probe->m_value, 2.0f);
    EXPECT_EQ(probe->m_gain, 0.5f);
    EXPECT_EQ(probe->m_drivers.size(), 1u);
    EXPECT_EQ(probe->m_state, StateNone);
    EXPECT_FALSE(probe->m_reInit);
    EXPECT_EQ(probe->m_ownerWhileLoading, &owner);  // loading hooks reach the sequence
    EXPECT_EQ(probe->m_owner, nullptr);             // until the sequence appends it
  }
}

TEST(Registry, AClassListedTwiceResolvesToTheFirst) {
  RegisterProbeClass();
  // A second description with the same name whose objects could not be made.
  static ClassDesc shadow("fxProbe", fxBase::GetClassDesc(), nullptr);
  RegisterClassDesc(GetClassRegistry(), &shadow);
  std::unique_ptr<fxBase> fx(CreateFxFromJson(GetClassRegistry(), ParseJson(R"({"Class": "fxProbe"})"), nullptr));
  ASSERT_NE(fx, nullptr);
  EXPECT_EQ(fx->m_classDesc->m_create, &fxProbe::Create);
}
