// The wave through another effect's vector geometry: the displacement over
// the zone, the attached zone, the ranges it deforms, stale counts and the
// missing source.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "production/ProductionClasses.h"
#include "production/fxVectorDeformWave.h"
#include "render/ShapeNode.h"
#include "render/VectorDisplay.h"
#include "render/VectorGeometry.h"
#include "support/DefaultTargetFixture.h"
#include "support/LogCapture.h"

namespace {

std::unique_ptr<fxVectorDeformWave> MakeWave() {
  return std::unique_ptr<fxVectorDeformWave>(
      static_cast<fxVectorDeformWave*>(fxVectorDeformWave::Create(fxVectorDeformWave::GetClassDesc())));
}

// Moves one position with the wave's working values of a frame.
glm::vec3 Moved(fxVectorDeformWave& w, glm::vec3 p) {
  w.DeformRange(reinterpret_cast<uint8_t*>(&p), 0, sizeof p, 1);
  return p;
}

::testing::AssertionResult NearVec(const glm::vec3& got, const glm::vec3& want) {
  if (glm::length(got - want) < 1e-6f) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "(" << got.x << ", " << got.y << ", " << got.z << ") vs (" << want.x << ", "
                                       << want.y << ", " << want.z << ")";
}

}  // namespace

TEST(Wave, DisplacementFadesFromTheCentreToTheSurface) {
  auto w = MakeWave();
  w->m_zoneSize = glm::vec3(1.0f);
  w->m_waveDir = glm::vec3(0.0f, 1.0f, 0.0f);
  w->m_wavePhase = 0.5f;
  const float time = 0.3f, fade = 0.75f;
  ASSERT_TRUE(w->PrepareFrame(fade, time));
  struct Case {
    glm::vec3 p;
    float r;  // normalised squared distance; 1 and beyond: no move
  };
  const Case cases[] = {{{0, 0, 0}, 0.0f},      {{0.5f, 0, 0}, 0.25f}, {{0, 0, -0.5f}, 0.25f},
                        {{1, 0, 0}, 1.0f},      {{0, 1, 0}, 1.0f},     {{2, 2, 2}, 12.0f},
                        {{0.6f, 0.6f, 0.6f}, 1.08f}};
  for (const Case& c : cases) {
    glm::vec3 expected = c.p;
    if (c.r < 1.0f) expected.y += (std::sin(c.r + time + 0.5f) * 0.1f + 0.0f) * (1.0f - c.r) * fade;
    EXPECT_TRUE(NearVec(Moved(*w, c.p), expected)) << c.p.x << " " << c.p.y << " " << c.p.z;
  }
}

TEST(Wave, EqualBoundsGiveAConstantPushAndTheDirectionIsNormalised) {
  auto w = MakeWave();
  w->m_zoneSize = glm::vec3(1.0f);
  w->m_waveMinMax = glm::vec2(0.2f, 0.2f);
  for (glm::vec3 dir : {glm::vec3(0, 1, 0), glm::vec3(0, 2, 0)}) {
    w->m_waveDir = dir;
    ASSERT_TRUE(w->PrepareFrame(1.0f, 1.7f));
    EXPECT_TRUE(NearVec(Moved(*w, {0, 0, 0}), {0, 0.2f, 0}));
    EXPECT_TRUE(NearVec(Moved(*w, {0.5f, 0, 0}), {0.5f, 0.2f * 0.75f, 0}));
  }
  // A range of (-0.1, 0.1) stays within 0.1 (1 - r).
  w->m_waveMinMax = glm::vec2(-0.1f, 0.1f);
  for (float t = 0.0f; t < 7.0f; t += 0.37f) {
    ASSERT_TRUE(w->PrepareFrame(1.0f, t));
    EXPECT_LE(std::fabs(Moved(*w, {0.5f, 0, 0}).y), 0.1f * 0.75f + 1e-7f);
  }
}

TEST(Wave, DegenerateZonesAndDirectionsDoNothing) {
  auto w = MakeWave();
  struct Case {
    glm::vec3 size, dir;
  };
  const Case cases[] = {{{0, 1, 1}, {0, 1, 0}},
                        {{1, -1, 1}, {0, 1, 0}},
                        {{1, 1, 1}, {0, 0, 0}},
                        {{1, 1, 1}, {0, 0.00005f, 0}},
                        {{1, 1, std::nanf("")}, {0, 1, 0}}};
  for (const Case& c : cases) {
    w->m_zoneSize = c.size;
    w->m_waveDir = c.dir;
    EXPECT_FALSE(w->PrepareFrame(1.0f, 0.0f));
  }
}

TEST(Wave, AnAttachedZoneTurnsAndMovesWithTheSourceButKeepsItsSize) {
  auto w = MakeWave();
  ShapeNode root;
  rvTransform3D placement;
  root.SetTransform(&placement);
  w->m_sourceRoot = &root;
  w->m_zoneAttached = true;
  w->m_waveMinMax = glm::vec2(0.2f, 0.2f);

  // Scaled by 2: a zone of 0.5 still ends 0.5 from its centre.
  placement.scale = glm::vec3(2.0f);
  placement.position = glm::vec3(3.0f, 0.0f, 0.0f);
  placement.Update();
  w->m_zoneSize = glm::vec3(0.5f);
  w->m_waveDir = glm::vec3(0, 1, 0);
  ASSERT_TRUE(w->PrepareFrame(1.0f, 0.0f));
  EXPECT_TRUE(NearVec(Moved(*w, {3.0f, 0, 0}), {3.0f, 0.2f, 0})) << "the centre moved with the source";
  EXPECT_TRUE(NearVec(Moved(*w, {3.6f, 0, 0}), {3.6f, 0, 0})) << "not scaled by the source";

  // Turned 90 degrees about z: ZoneSize.x lies along world y, and so does
  // the direction (1, 0, 0).
  placement.scale = glm::vec3(1.0f);
  placement.position = glm::vec3(0.0f);
  placement.rotation = glm::vec3(0.0f, 0.0f, 90.0f);
  placement.Update();
  w->m_zoneSize = glm::vec3(1.0f, 0.25f, 0.25f);
  w->m_waveDir = glm::vec3(1, 0, 0);
  ASSERT_TRUE(w->PrepareFrame(1.0f, 0.0f));
  const glm::vec3 along = Moved(*w, {0, 0.9f, 0});
  EXPECT_NEAR(along.y, 0.9f + 0.2f * (1.0f - 0.81f), 1e-5f);
  EXPECT_NEAR(along.x, 0.0f, 1e-5f);
  EXPECT_TRUE(NearVec(Moved(*w, {0.9f, 0, 0}), {0.9f, 0, 0}));
}

namespace {

// A source whose recorded counts cover what the test appends after it drew
// into g (so that the counts belong to g and its current clear).
struct RecordedSource {
  ShapeNode root;
  explicit RecordedSource(VectorGeometry& g) {
    root.Draw(g);
    root.m_countsBefore = g.Counts();
  }
  void Close(VectorGeometry& g) { root.m_countsAfter = g.Counts(); }
};

VectorVertex Vertex(float x, float y) {
  VectorVertex v;
  v.position = glm::vec3(x, y, 0.0f);
  return v;
}

}  // namespace

TEST(Wave, EveryVertexOfTheSourcesTrianglesAndQuadsMoves) {
  VectorGeometry g;
  g.AddTriangle({5, 5, 0}, {5, 5, 0}, {5, 5, 0});  // drawn before the source
  RecordedSource source(g);
  g.AddTriangle({0.1f, 0, 0}, {0, 0.1f, 0}, {-0.1f, 0, 0});
  const VectorVertex quad[6] = {Vertex(0, 0), Vertex(0.1f, 0), Vertex(0.1f, 0.1f),
                                Vertex(0, 0), Vertex(0.1f, 0.1f), Vertex(0, 0.1f)};
  g.AddTexturedQuad(quad, 7);
  g.AddPoint(Vertex(0.05f, 0.05f));
  g.MoveTo(0, 0, 0);
  g.LineTo(0.1f, 0, 0);
  g.EndLine();
  source.Close(g);
  g.AddTriangle({0, 0, 0}, {0, 0, 0}, {0, 0, 0});  // drawn after the source

  auto w = MakeWave();
  w->m_sourceRoot = &source.root;
  w->m_zoneSize = glm::vec3(1.0f);
  w->m_waveDir = glm::vec3(0, 0, 1);
  w->m_waveMinMax = glm::vec2(0.2f, 0.2f);
  ASSERT_TRUE(w->PrepareFrame(1.0f, 0.0f));
  ASSERT_TRUE(source.root.CountsAreCurrent(g));
  w->DeformSource(g);
  for (int v = 0; v < 3; ++v) {
    EXPECT_GT(g.m_triangles.data()[1].v[v].position.z, 0.1f) << "source triangle vertex " << v;
    EXPECT_EQ(g.m_triangles.data()[0].v[v].position.z, 0.0f) << "an earlier triangle stays";
    EXPECT_EQ(g.m_triangles.data()[2].v[v].position.z, 0.0f) << "a later triangle stays";
  }
  for (int v = 0; v < 6; ++v) EXPECT_GT(g.m_quads.data()[0].v[v].position.z, 0.1f) << "quad vertex " << v;
  EXPECT_EQ(g.m_quads.data()[0].texture, 7u) << "only positions change";
  EXPECT_GT(g.m_points.data()[0].position.z, 0.1f);
  for (int i = 0; i < g.m_lines.count; ++i) EXPECT_GT(g.m_lines.data()[i].position.z, 0.1f);
}

TEST(Wave, RangesStopAtTheCurrentCountAndStaleCountsAreSkipped) {
  VectorGeometry g;
  RecordedSource source(g);
  for (int i = 0; i < 5; ++i) g.AddPoint(Vertex(0, 0));
  source.Close(g);
  source.root.m_countsAfter.points = 100;  // more than the array holds
  auto w = MakeWave();
  w->m_sourceRoot = &source.root;
  w->m_zoneSize = glm::vec3(1.0f);
  w->m_waveDir = glm::vec3(0, 0, 1);
  w->m_waveMinMax = glm::vec2(0.2f, 0.2f);
  ASSERT_TRUE(w->PrepareFrame(1.0f, 0.0f));
  w->DeformSource(g);
  for (int i = 0; i < 5; ++i) EXPECT_FLOAT_EQ(g.m_points.data()[i].position.z, 0.2f);
  for (int i = 5; i < g.m_points.capacity; ++i) EXPECT_EQ(g.m_points.data()[i].position.z, 0.0f);
  // After the display's clear the counts describe nothing that is there.
  g.ClearGeometry();
  EXPECT_FALSE(source.root.CountsAreCurrent(g));
  VectorGeometry other;
  EXPECT_FALSE(source.root.CountsAreCurrent(other));
}

namespace {

class WaveOnDisplay : public DefaultTargetTest {
 protected:
  WaveOnDisplay() : DefaultTargetTest(64, 64) {}
  void SetUp() override {
    DefaultTargetTest::SetUp();
    if (HasFatalFailure()) return;
    RegisterProductionClasses(GetClassRegistry());
  }
};

}  // namespace

TEST_F(WaveOnDisplay, AMissingSourceIsLoggedOnceWithoutANewline) {
  LogCapture log;
  fxBase* w = AddItem(ParseJson(R"({"Class":"fxVectorDeformWave","Properties":{"Source":"Nope","WaveDir.y":1}})"));
  ASSERT_NE(w, nullptr);
  w->SetState(StateRunning);
  const std::string message = "[fxVectorDeformWave] VectorScene not found for fx \"Nope\"";
  const std::string text = log.Text();
  const size_t at = text.find(message);
  ASSERT_NE(at, std::string::npos) << text;
  EXPECT_NE(text.substr(at + message.size(), 1), "\n");
  w->ExternalUpdate();  // does nothing
  EXPECT_EQ(g_pCurrentVectorDisplay->m_lines.count, 0);
}

TEST_F(WaveOnDisplay, TheWaveBendsWhatTheSourceDrewThisFrameOnly) {
  fxBase* text = AddItem(ParseJson(R"({"Class":"fxText","Properties":{"Name":"Words","Text":"HI","End":600,"Render Simplex":true}})"));
  fxBase* wave = AddItem(ParseJson(R"({"Class":"fxVectorDeformWave","Properties":{"Source":"Words","End":600,"FadeIn":0,
      "ZoneSize.x":50,"ZoneSize.y":50,"ZoneSize.z":50,"WaveDir.z":1,"WaveMinMax.x":0.3,"WaveMinMax.y":0.3}})"));
  ASSERT_NE(text, nullptr);
  ASSERT_NE(wave, nullptr);
  text->SetState(StateRunning);
  wave->SetState(StateRunning);
  vector_display* display = g_pCurrentVectorDisplay;
  text->ExternalUpdate();
  const int drawn = display->m_lines.count;
  ASSERT_GT(drawn, 0);
  wave->ExternalUpdate();
  int moved = 0;
  for (int i = 0; i < drawn; ++i) moved += display->m_lines.data()[i].position.z > 0.0f ? 1 : 0;
  EXPECT_GT(moved, 0);
  // Next frame: the display was cleared and the text did not draw; another
  // effect's strokes at the same place must stay where they are.
  display->ClearGeometry();
  display->MoveTo(0, 0, 0);
  display->LineTo(0.1f, 0, 0);
  display->EndLine();
  wave->ExternalUpdate();
  for (int i = 0; i < display->m_lines.count; ++i) EXPECT_EQ(display->m_lines.data()[i].position.z, 0.0f);
}
