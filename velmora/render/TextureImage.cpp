// Decoded images and the process-wide image cache.
#include "render/TextureImage.h"

#include <stb/stb_image.h>

#include <algorithm>
#include <cstring>

#include "core/AppLog.h"
#include "render/TextureSlot.h"

namespace {

// Never destroyed: slots that live in static storage may let go of their
// image after every other static object is gone.
std::vector<TextureImage*>& CacheList() {
  static auto* s_cache = new std::vector<TextureImage*>();
  return *s_cache;
}

uint64_t g_textureBytes = 0;

int ToMo(uint64_t bytes) { return static_cast<int>(bytes / 1000000u); }

}  // namespace

//-----------------------------------------------------------------------------
// Filter and wrap codes
//-----------------------------------------------------------------------------

GLint TextureMinFilter(int filter) {
  static const GLint kMin[6] = {GL_NEAREST,
                                GL_LINEAR,
                                GL_NEAREST_MIPMAP_NEAREST,
                                GL_LINEAR_MIPMAP_NEAREST,
                                GL_NEAREST_MIPMAP_LINEAR,
                                GL_LINEAR_MIPMAP_LINEAR};
  return (filter >= 0 && filter < 6) ? kMin[filter] : GL_LINEAR;
}

GLint TextureMagFilter(int filter) {
  // Even codes sample the nearest pixel, odd ones blend.
  return (filter >= 0 && filter < 6 && filter % 2 == 0) ? GL_NEAREST : GL_LINEAR;
}

bool TextureFilterBuildsMipmaps(int filter) { return filter >= 2 && filter <= 5; }

GLint TextureWrapMode(int wrap) {
  if (wrap == 0) return GL_CLAMP_TO_EDGE;
  if (wrap == 1) return GL_MIRRORED_REPEAT;
  return GL_REPEAT;
}

//-----------------------------------------------------------------------------
// Decoding
//-----------------------------------------------------------------------------

DecodedImage DecodeImage(const unsigned char* bytes, int size) {
  DecodedImage image;
  if (!bytes || size <= 0) {
    image.error = bytes ? "empty file" : "not in the data pack";
    return image;
  }
  // The flag is process-wide in stb_image: set it for every decode, so no
  // other reader's choice leaks in.
  stbi_set_flip_vertically_on_load(1);
  int w = 0, h = 0, channels = 0;
  stbi_uc* pixels = stbi_load_from_memory(bytes, size, &w, &h, &channels, 4);
  if (!pixels) {
    const char* reason = stbi_failure_reason();
    image.error = reason ? reason : "cannot decode";
    return image;
  }
  image.pixels.assign(pixels, pixels + static_cast<size_t>(w) * h * 4);
  stbi_image_free(pixels);
  image.width = w;
  image.height = h;
  image.channels = channels;
  return image;
}

//-----------------------------------------------------------------------------
// Cache
//-----------------------------------------------------------------------------

bool TextureImage::Matches(const TextureSlot& slot) const {
  return m_path == slot.m_file && m_effectName == slot.m_effectName && m_filter == slot.m_filter &&
         m_wrapU == slot.m_wrapU && m_wrapV == slot.m_wrapV;
}

TextureImage* TextureImage::FindCached(const TextureSlot& slot) {
  for (TextureImage* image : CacheList()) {
    if (image->Matches(slot)) return image;
  }
  return nullptr;
}

TextureImage* TextureImage::Create(const TextureSlot& slot, const unsigned char* bytes, int size) {
  auto* image = new TextureImage();
  image->m_path = slot.m_file;
  image->m_effectName = slot.m_effectName;
  image->m_filter = slot.m_filter;
  image->m_wrapU = slot.m_wrapU;
  image->m_wrapV = slot.m_wrapV;

  const DecodedImage decoded = DecodeImage(bytes, size);
  if (!decoded.error.empty()) {
    AppLog::Get().AddLog("[Texture] cannot load image %s: %s\n", image->m_path.c_str(), decoded.error.c_str());
  }
  image->m_width = decoded.width;
  image->m_height = decoded.height;
  image->m_channels = decoded.channels;
  const bool mipmaps = TextureFilterBuildsMipmaps(image->m_filter);
  image->m_bytes = static_cast<uint64_t>(decoded.width) * static_cast<uint64_t>(decoded.height) * 4u * (mipmaps ? 2u : 1u);
  g_textureBytes += image->m_bytes;
  AppLog::Get().AddLog("[Texture] alloc image %s (%dx%d) --> vram=%dMo (+%dMo)\n", image->m_path.c_str(),
                       image->m_width, image->m_height, ToMo(g_textureBytes), ToMo(image->m_bytes));

  glGenTextures(1, &image->m_texture);
  glBindTexture(GL_TEXTURE_2D, image->m_texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, TextureWrapMode(image->m_wrapU));
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, TextureWrapMode(image->m_wrapV));
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, TextureMinFilter(image->m_filter));
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, TextureMagFilter(image->m_filter));
  // Other uploads (the glyph atlas) leave their own unpack state behind.
  const unsigned char* pixels = decoded.pixels.empty() ? nullptr : decoded.pixels.data();
  glPixelStorei(GL_UNPACK_ALIGNMENT, (reinterpret_cast<uintptr_t>(pixels) % 4 == 0) ? 4 : 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, image->m_width, image->m_height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
  // An empty texture has no levels to build from.
  if (mipmaps && pixels) glGenerateMipmap(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, 0);

  CacheList().push_back(image);
  return image;
}

void TextureImage::Free(TextureImage* image) {
  if (!image) return;
  auto& cache = CacheList();
  cache.erase(std::remove(cache.begin(), cache.end(), image), cache.end());
  g_textureBytes -= image->m_bytes;
  AppLog::Get().AddLog("[Texture] free image %s --> vram=%dMo\n", image->m_path.c_str(), ToMo(g_textureBytes));
  if (image->m_texture) glDeleteTextures(1, &image->m_texture);
  delete image;
}

void TextureImage::ReleaseAll() {
  auto& cache = CacheList();
  while (!cache.empty()) {
    TextureImage* image = cache.front();
    // Slots that outlive the cache (process-wide ones) must not point at a
    // freed image.
    for (TextureSlot* user : image->m_users) user->m_image = nullptr;
    image->m_users.clear();
    Free(image);
  }
}

const std::vector<TextureImage*>& TextureImage::Cache() { return CacheList(); }

uint64_t TextureImage::TotalBytes() { return g_textureBytes; }
