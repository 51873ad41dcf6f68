// TextureSlot: binding a slot to a cached image or a render-target effect.
#include "render/TextureSlot.h"

#include <algorithm>
#include <cstddef>
#include <type_traits>

#include "Loader/DataPack.h"
#include "render/EffectLink.h"
#include "render/Framebuffer.h"
#include "render/RenderTarget.h"
#include "render/TextureImage.h"

// The texture attribute addresses the five edited fields by these offsets.
static_assert(std::is_standard_layout_v<TextureSlot>, "TextureSlot fields are addressed by offset");
static_assert(offsetof(TextureSlot, m_file) == 0 && offsetof(TextureSlot, m_effectName) == sizeof(std::string) &&
                  offsetof(TextureSlot, m_filter) == 2 * sizeof(std::string) &&
                  offsetof(TextureSlot, m_wrapU) == 2 * sizeof(std::string) + sizeof(int) &&
                  offsetof(TextureSlot, m_wrapV) == 2 * sizeof(std::string) + 2 * sizeof(int),
              "file, effect name, filter, wrap U, wrap V lead the slot in this order");

TextureSlot::~TextureSlot() {
  ReleaseImage();
  m_effect = nullptr;
  m_file.clear();
  m_effectName.clear();
  m_filter = 1;
  m_wrapU = 2;
  m_wrapV = 2;
}

TextureSlot::TextureSlot(const TextureSlot& other)
    : m_file(other.m_file),
      m_effectName(other.m_effectName),
      m_filter(other.m_filter),
      m_wrapU(other.m_wrapU),
      m_wrapV(other.m_wrapV) {}

TextureSlot& TextureSlot::operator=(const TextureSlot& other) {
  if (this == &other) return *this;
  ReleaseImage();
  m_effect = nullptr;
  m_file = other.m_file;
  m_effectName = other.m_effectName;
  m_filter = other.m_filter;
  m_wrapU = other.m_wrapU;
  m_wrapV = other.m_wrapV;
  return *this;
}

void TextureSlot::Resolve(rvSequence* sequence) {
  if (!m_file.empty()) {
    if (m_image && m_image->Matches(*this)) return;
    m_effectName.clear();
    m_effect = nullptr;
    LoadImage();
    return;
  }
  // A file name cleared since the last call: the old image is no longer the
  // slot's texture.
  ReleaseImage();
  if (m_effectName.empty()) {
    m_effect = nullptr;
    return;
  }
  m_effect = LinkedBuffer(sequence, m_effectName, m_effect);
}

GLuint TextureSlot::GetTexture() {
  Resolve(nullptr);
  // Resolve only ever keeps render-target effects; their buffer is sampled
  // while they run and is nothing otherwise.
  RenderTarget* target = LinkedBufferTarget(m_effect, true);
  if (target && target->m_colorFramebuffer) return target->m_colorFramebuffer->GL()->m_colorTexture;
  return m_image ? m_image->m_texture : 0;
}

void TextureSlot::LoadImage() {
  if (m_image && m_image->Matches(*this)) return;
  ReleaseImage();
  if (m_file.empty()) return;
  TextureImage* image = TextureImage::FindCached(*this);
  if (!image) {
    // The read draws a loading-screen frame, so it comes before any GL work.
    int size = 0;
    FileBuffer data = DataPack::Get().ReadFile(m_file, size);
    image = TextureImage::Create(*this, reinterpret_cast<const unsigned char*>(data.get()), size);
  }
  image->m_users.push_back(this);
  m_image = image;
}

void TextureSlot::ReleaseImage() {
  TextureImage* image = m_image;
  if (!image) return;
  m_image = nullptr;
  auto& users = image->m_users;
  users.erase(std::remove(users.begin(), users.end(), this), users.end());
  if (users.empty()) TextureImage::Free(image);
}
