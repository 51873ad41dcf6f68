// Loading shape sets and edge sets from a real data pack with a GL context:
// the missing-file log line, fills uploaded as 16-bit index buffers, the fit
// against the current target, and edges drawn into its vector display.
#include <gtest/gtest.h>

#include <string>

#include "render/VectorDisplay.h"
#include "support/DefaultTargetFixture.h"
#include "support/LogCapture.h"
#include "support/TestPack.h"
#include "svg/nanoSVG2Edge.h"

namespace {

const char* const kCacheDoc =
    "<svg width=\"100\" height=\"100\"><path id=\"CACHE1\" d=\"M 0 0 H 40 V 40 H 0 Z M 10 10 H 20 V 20 H 10 Z\"/>"
    "<path id=\"B\" d=\"M 0 0 L 100 0\"/></svg>";

class ShapeSetLoad : public DefaultTargetTest {
 protected:
  ShapeSetLoad() : DefaultTargetTest(128, 64) {}
  void SetUp() override {
    DefaultTargetTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(BuildPack(m_dir, {{"Data/svg/cache.svg", kCacheDoc}, {"Data/svg/empty.svg", ""}}));
    EnterDir(m_dir);
  }
  TempDir m_dir;
};

}  // namespace

TEST_F(ShapeSetLoad, AFileThatDoesNotLoadLogsOnceAndLeavesTheSetEmpty) {
  for (const char* path : {"svg/missing.svg", "svg/empty.svg"}) {
    LogCapture log;
    nanoSVGBase set;
    EXPECT_EQ(set.Load(path), -1) << path;
    EXPECT_EQ(set.m_image, nullptr);
    EXPECT_TRUE(log.Contains("Could not open SVG image.\n")) << path;
    // The caller clears, and the next load starts from a clean set.
    set.Clear();
    EXPECT_EQ(set.Load("svg/cache.svg"), 1);
    EXPECT_EQ(set.m_objects.size(), 2u);
  }
  nanoSVG2Edge edges;
  EXPECT_EQ(edges.Load(nullptr), -1);
  EXPECT_EQ(edges.Load("svg/missing.svg"), -1);
  EXPECT_TRUE(edges.m_points.empty());
}

TEST_F(ShapeSetLoad, CachedFillsBecomeSixteenBitIndexBuffers) {
  nanoSVGBase set;
  ASSERT_EQ(set.Load("svg/cache.svg"), 1);
  // 128 x 64 against 100 x 100: H / hh = 1.28 <= W / hw = 2.56.
  EXPECT_NEAR(set.m_fitScale, (50.0f + 1.2f * 50.0f * 2.0f - (50.0f - 60.0f)) / 128.0f, 1e-5f);
  const SvgObject& cache = *set.m_objects[0];
  ASSERT_NE(cache.vertexArray, 0u);
  EXPECT_EQ(cache.indexType, static_cast<uint32_t>(GL_UNSIGNED_SHORT));
  EXPECT_EQ(cache.indexCount, static_cast<int>(cache.fillIndices.size()));
  EXPECT_GT(cache.indexCount, 0);
  GLint bytes = 0;
  glGetNamedBufferParameteriv(cache.indexBuffer, GL_BUFFER_SIZE, &bytes);
  EXPECT_EQ(bytes, cache.indexCount * 2);
  glGetNamedBufferParameteriv(cache.vertexBuffer, GL_BUFFER_SIZE, &bytes);
  EXPECT_EQ(bytes, static_cast<GLint>(cache.fillVertices.size() * sizeof(float)));
  EXPECT_EQ(set.m_objects[1]->vertexArray, 0u);  // not cached
  const GLuint vao = cache.vertexArray;
  set.Clear();
  EXPECT_FALSE(glIsVertexArray(vao));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ShapeSetLoad, EdgesDrawOneLinePerEdgeIntoTheCurrentDisplay) {
  nanoSVG2Edge set;
  ASSERT_EQ(set.Load("svg/cache.svg"), 0);
  ASSERT_GT(set.m_edgeCount, 0);
  g_pCurrentVectorDisplay->ClearGeometry();
  set.Draw();
  EXPECT_EQ(g_pCurrentVectorDisplay->m_lines.strips, set.m_edgeCount);
  const VectorVertex* v = g_pCurrentVectorDisplay->m_lines.data();
  EXPECT_FLOAT_EQ(v[1].position.x, set.m_points[0].x);
  EXPECT_FLOAT_EQ(v[1].position.y, set.m_points[0].y);
}
