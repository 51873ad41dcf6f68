// GPU buffer wrappers against a real GL context: layout arithmetic, object
// life cycle and drawing the shared rectangle.
#include <gtest/gtest.h>

#include "render/GpuBuffer.h"
#include "support/GLFixture.h"

namespace {

class GpuBufferTest : public GLTest {};

// A minimal pass-through program so a draw shows where the vertices land.
GLuint MakeSolidProgram() {
  const char* vs =
      "#version 450 core\nlayout(location=0) in vec2 aPos;\nlayout(location=1) in vec2 aUv;\n"
      "out vec2 uv;\nvoid main(){uv=aUv;gl_Position=vec4(aPos,0.,1.);}\n";
  const char* fs = "#version 450 core\nin vec2 uv;\nout vec4 c;\nvoid main(){c=vec4(uv,1.,1.);}\n";
  GLuint p = glCreateProgram();
  for (auto [type, src] : {std::pair<GLenum, const char*>{GL_VERTEX_SHADER, vs}, {GL_FRAGMENT_SHADER, fs}}) {
    GLuint s = glCreateShader(type);
    glShaderSource(s, 1, &src, nullptr);
    glCompileShader(s);
    glAttachShader(p, s);
    glDeleteShader(s);
  }
  glLinkProgram(p);
  return p;
}

TEST_F(GpuBufferTest, AttributesWithoutGlNameAreIgnored) {
  VertexBuffer vb(GL_ARRAY_BUFFER, GL_STATIC_DRAW);
  vb.AddAttribute2(0);
  EXPECT_TRUE(vb.m_attributes.empty());
  EXPECT_EQ(vb.m_stride, 0u);
  EXPECT_EQ(vb.m_vertexCount, 0u);
}

TEST_F(GpuBufferTest, TwoFloatPairsOverTheQuadGiveSixVertices) {
  VertexBuffer vb(GL_ARRAY_BUFFER, GL_STATIC_DRAW);
  vb.CreateQuad();
  ASSERT_NE(vb.m_id, 0u);
  EXPECT_EQ(vb.m_elementCount, 24u);
  vb.AddAttribute2(0);
  vb.AddAttribute2(1);
  ASSERT_EQ(vb.m_attributes.size(), 2u);
  EXPECT_EQ(vb.m_attributes[0].offset, 0u);
  EXPECT_EQ(vb.m_attributes[1].offset, 8u);
  EXPECT_EQ(vb.m_stride, 16u);
  EXPECT_EQ(vb.m_vertexCount, 6u);

  GLint size = 0;
  glBindBuffer(GL_ARRAY_BUFFER, vb.m_id);
  glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
  EXPECT_EQ(size, 96);
}

TEST_F(GpuBufferTest, ReleaseThenDestroyDeletesOnce) {
  GLuint name = 0;
  {
    VertexBuffer vb(GL_ARRAY_BUFFER, GL_STATIC_DRAW);
    vb.CreateQuad();
    vb.AddAttribute2(0);
    name = vb.m_id;
    ASSERT_TRUE(glIsBuffer(name));
    vb.Release();
    EXPECT_FALSE(glIsBuffer(name));
    EXPECT_EQ(vb.m_id, 0u);
    EXPECT_EQ(vb.m_elementCount, 0u);
    EXPECT_EQ(vb.m_stride, 0u);
    EXPECT_TRUE(vb.m_attributes.empty());
    // A second buffer may now receive the recycled name; the destructor of
    // the released one must not delete it.
    GenericBuffer other(GL_ARRAY_BUFFER, GL_STATIC_DRAW);
    glGenBuffers(1, &other.m_id);
    glBindBuffer(GL_ARRAY_BUFFER, other.m_id);
    name = other.m_id;
  }
  EXPECT_FALSE(glIsBuffer(name));
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(GpuBufferTest, QuadCanBeCreatedAgainAfterRelease) {
  VertexBuffer vb(GL_ARRAY_BUFFER, GL_STATIC_DRAW);
  vb.CreateQuad();
  vb.Release();
  vb.CreateQuad();
  EXPECT_NE(vb.m_id, 0u);
  EXPECT_EQ(vb.m_elementCount, 24u);
}

TEST_F(GpuBufferTest, EmptyArrayBuildsNoVaoAndDrawsNothing) {
  MakeTarget(16, 16);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  VertexArray va;
  va.Build();
  EXPECT_EQ(va.m_vao, 0u);
  va.Draw();
  EXPECT_TRUE(PixelNear(ReadPixel(8, 8), {0, 0, 0, 255}));
}

TEST_F(GpuBufferTest, ArrayWithoutIndicesDrawsTheQuad) {
  MakeTarget(32, 32);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  VertexArray va;
  auto* vb = new VertexBuffer(GL_ARRAY_BUFFER, GL_STATIC_DRAW);
  vb->CreateQuad();
  vb->AddAttribute2(0);
  vb->AddAttribute2(1);
  va.AddBuffer(vb);
  va.Build();
  ASSERT_NE(va.m_vao, 0u);

  GLuint prog = MakeSolidProgram();
  glUseProgram(prog);
  va.Draw();
  glUseProgram(0);
  glDeleteProgram(prog);

  GLint bound = -1;
  glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &bound);
  EXPECT_EQ(bound, 0);
  // u grows to the right, v upwards: corners show the texture coordinates.
  struct Case {
    int x, y;
    Rgba8 want;
  } cases[] = {{0, 0, {4, 4, 255, 255}}, {31, 0, {251, 4, 255, 255}}, {0, 31, {4, 251, 255, 255}},
               {31, 31, {251, 251, 255, 255}}};
  for (const Case& c : cases) EXPECT_TRUE(PixelNear(ReadPixel(c.x, c.y), c.want, 4)) << c.x << "," << c.y;
}

TEST_F(GpuBufferTest, IndexedArrayDrawsItsIndexCount) {
  MakeTarget(32, 32);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  VertexArray va;
  auto* vb = new VertexBuffer(GL_ARRAY_BUFFER, GL_STATIC_DRAW);
  vb->CreateQuad();
  vb->AddAttribute2(0);
  vb->AddAttribute2(1);
  va.AddBuffer(vb);
  // Only the first triangle (top-left, bottom-left, bottom-right).
  va.m_indexBuffer = new GenericBuffer(GL_ELEMENT_ARRAY_BUFFER, GL_STATIC_DRAW);
  const uint32_t indices[3] = {0, 1, 2};
  glGenBuffers(1, &va.m_indexBuffer->m_id);
  va.m_indexBuffer->Bind();
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof(indices), indices, GL_STATIC_DRAW);
  va.m_indexBuffer->m_elementCount = 3;
  va.Build();

  GLuint prog = MakeSolidProgram();
  glUseProgram(prog);
  va.Draw();
  glUseProgram(0);
  glDeleteProgram(prog);
  EXPECT_TRUE(PixelNear(ReadPixel(28, 28), {0, 0, 0, 255}));  // top-right half stays empty
  EXPECT_FALSE(PixelNear(ReadPixel(3, 3), {0, 0, 0, 255}));   // bottom-left half drawn
}

TEST_F(GpuBufferTest, ReleaseFreesTheBuffersItOwns) {
  VertexArray va;
  auto* vb = new VertexBuffer(GL_ARRAY_BUFFER, GL_STATIC_DRAW);
  vb->CreateQuad();
  vb->AddAttribute2(0);
  va.AddBuffer(vb);
  va.Build();
  GLuint buffer = vb->m_id, vao = va.m_vao;
  va.Release();
  EXPECT_FALSE(glIsBuffer(buffer));
  EXPECT_FALSE(glIsVertexArray(vao));
  EXPECT_TRUE(va.m_buffers.empty());
  EXPECT_EQ(va.m_vao, 0u);
}

}  // namespace
