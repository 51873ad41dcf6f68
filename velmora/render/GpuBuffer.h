// GPU buffer wrappers: small owners of GL buffer objects and vertex array
// objects with an all-float vertex layout. Depends on GL only. A VertexArray
// owns its vertex buffers and its optional index buffer; buffers are never
// shared or copied. Main thread only (the GL context lives there).
#pragma once
#include <glad/gl.h>

#include <cstdint>
#include <vector>

// The shared rectangle of the 2D programs: six (x, y, u, v) vertices,
// initially two triangles over the whole clip space. rvProgram2D::DrawRect
// rewrites it before every draw.
constexpr int kRectFloatCount = 24;
constexpr int kRectByteCount = kRectFloatCount * 4;
extern float g_rectVertices[kRectFloatCount];

class GenericBuffer {
 public:
  GenericBuffer(uint32_t target, uint32_t usage) : m_target(target), m_usage(usage) {}
  virtual ~GenericBuffer();
  GenericBuffer(const GenericBuffer&) = delete;
  GenericBuffer& operator=(const GenericBuffer&) = delete;

  virtual void Release();
  virtual void Bind();
  virtual void Unbind();

  uint32_t m_target;
  uint32_t m_usage;
  uint32_t m_id = 0;
  uint32_t m_elementCount = 0;  // 32-bit elements last uploaded
};

struct VertexAttribute {
  uint32_t index;       // shader location
  uint32_t components;  // floats per vertex
  uint32_t offset;      // bytes inside the vertex
  bool normalised;
};

class VertexBuffer : public GenericBuffer {
 public:
  VertexBuffer(uint32_t target, uint32_t usage) : GenericBuffer(target, usage) {}
  ~VertexBuffer() override;

  // Creates the GL buffer holding the shared rectangle (releasing an old one).
  void CreateQuad();
  // Appends a 2-float attribute at the end of the vertex; needs a GL buffer.
  void AddAttribute2(uint32_t index);
  // Points and enables the attributes for the bound buffer.
  void SetupAttributes() const;

  void Release() override;
  void Bind() override;
  void Unbind() override;

  std::vector<VertexAttribute> m_attributes;
  uint32_t m_stride = 0;
  uint32_t m_vertexCount = 0;
};

struct VertexArray {
  VertexArray() = default;
  ~VertexArray() { Release(); }
  VertexArray(const VertexArray&) = delete;
  VertexArray& operator=(const VertexArray&) = delete;

  // Takes ownership of the buffer.
  void AddBuffer(VertexBuffer* buffer) { m_buffers.push_back(buffer); }
  void Build();
  void Release();
  // Draws triangles: indexed when an index buffer exists, else the first
  // buffer's vertices. Leaves no VAO bound.
  void Draw() const;

  uint32_t m_vao = 0;
  GenericBuffer* m_indexBuffer = nullptr;  // owned; 32-bit unsigned indices
  std::vector<VertexBuffer*> m_buffers;    // owned
};
