// GPU buffer wrappers: see GpuBuffer.h. Every operation tests the GL name
// first, so an object whose name generation failed stays inert.
#include "render/GpuBuffer.h"

float g_rectVertices[kRectFloatCount] = {
    -1.0f, 1.0f, 0.0f, 1.0f,  -1.0f, -1.0f, 0.0f, 0.0f, 1.0f, -1.0f, 1.0f, 0.0f,
    -1.0f, 1.0f, 0.0f, 1.0f,  1.0f,  -1.0f, 1.0f, 0.0f, 1.0f, 1.0f,  1.0f, 1.0f,
};

// ---------------------------------------------------------------------------
// GenericBuffer
// ---------------------------------------------------------------------------

GenericBuffer::~GenericBuffer() {
  GenericBuffer::Unbind();
  if (m_id != 0) glDeleteBuffers(1, &m_id);
}

void GenericBuffer::Release() {
  // Virtual on purpose: a vertex buffer disables its attributes first.
  Unbind();
  if (m_id != 0) glDeleteBuffers(1, &m_id);
  m_id = 0;
  m_elementCount = 0;
}

void GenericBuffer::Bind() { glBindBuffer(m_target, m_id); }

void GenericBuffer::Unbind() { glBindBuffer(m_target, 0); }

// ---------------------------------------------------------------------------
// VertexBuffer
// ---------------------------------------------------------------------------

VertexBuffer::~VertexBuffer() { VertexBuffer::Release(); }

void VertexBuffer::CreateQuad() {
  if (m_id != 0) Release();
  glGenBuffers(1, &m_id);
  if (m_id == 0) return;
  m_elementCount = kRectFloatCount;
  glBindBuffer(m_target, m_id);
  glBufferData(m_target, kRectByteCount, g_rectVertices, m_usage);
}

void VertexBuffer::AddAttribute2(uint32_t index) {
  if (m_id == 0) return;
  m_attributes.push_back({index, 2, m_stride, false});
  m_stride += 8;
  m_vertexCount = m_elementCount * 4 / m_stride;
}

void VertexBuffer::SetupAttributes() const {
  for (const VertexAttribute& a : m_attributes) {
    glVertexAttribPointer(a.index, static_cast<GLint>(a.components), GL_FLOAT, a.normalised ? GL_TRUE : GL_FALSE,
                          static_cast<GLsizei>(m_stride), reinterpret_cast<const void*>(uintptr_t(a.offset)));
    glEnableVertexAttribArray(a.index);
  }
}

void VertexBuffer::Bind() {
  if (m_id == 0) return;
  glBindBuffer(m_target, m_id);
  SetupAttributes();
}

void VertexBuffer::Unbind() {
  // The core profile has no default vertex array: without a bound VAO the
  // disables would only raise GL_INVALID_OPERATION.
  GLint vao = 0;
  glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &vao);
  if (vao != 0) {
    for (const VertexAttribute& a : m_attributes) glDisableVertexAttribArray(a.index);
  }
  glBindBuffer(m_target, 0);
}

void VertexBuffer::Release() {
  GenericBuffer::Release();
  m_attributes.clear();
  m_stride = 0;
}

// ---------------------------------------------------------------------------
// VertexArray
// ---------------------------------------------------------------------------

void VertexArray::Build() {
  if (m_buffers.empty()) return;
  // A rebuild replaces only the VAO: the buffers it records stay owned here.
  if (m_vao != 0) {
    glDeleteVertexArrays(1, &m_vao);
    m_vao = 0;
  }
  glGenVertexArrays(1, &m_vao);
  if (m_vao == 0) return;
  glBindVertexArray(m_vao);
  for (VertexBuffer* b : m_buffers) {
    if (b->m_id == 0) continue;
    glBindBuffer(b->m_target, b->m_id);
    b->SetupAttributes();
  }
  if (m_indexBuffer) m_indexBuffer->Bind();
  glBindVertexArray(0);
  // Unbinding after the VAO is closed leaves its recorded state intact.
  for (VertexBuffer* b : m_buffers) b->Unbind();
  if (m_indexBuffer) m_indexBuffer->Unbind();
}

void VertexArray::Release() {
  if (m_vao != 0) glDeleteVertexArrays(1, &m_vao);
  m_vao = 0;
  for (VertexBuffer* b : m_buffers) {
    b->Release();
    delete b;
  }
  m_buffers.clear();
  if (m_indexBuffer) {
    m_indexBuffer->Release();
    delete m_indexBuffer;
    m_indexBuffer = nullptr;
  }
}

void VertexArray::Draw() const {
  if (m_vao == 0 || m_buffers.empty()) return;
  glBindVertexArray(m_vao);
  if (m_indexBuffer) {
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(m_indexBuffer->m_elementCount), GL_UNSIGNED_INT, nullptr);
  } else {
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(m_buffers.front()->m_vertexCount));
  }
  glBindVertexArray(0);
}
