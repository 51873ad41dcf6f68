// Decoded images and the process-wide image cache.
//
// A TextureImage is one GL texture made from an image file of the data pack,
// keyed by path, effect name, filter and the two wraps, and shared by every
// TextureSlot with that key (the slots are its users). The cache owns the
// images; an image leaves it when its last user lets go, and at exit. Every
// allocation and release is logged with the running video-memory total in
// units of 1,000,000 bytes ("Mo"). Decoding is stb_image, rows flipped
// bottom-up as GL samples them, always to 8-bit RGBA. Main thread only.
#pragma once
#include <glad/gl.h>

#include <cstdint>
#include <string>
#include <vector>

struct TextureSlot;

// Filter codes 0..5: {NEAREST, LINEAR} pixels x {no, nearest, linear}
// mipmap; any other code is LINEAR. Wrap codes: 0 clamp to edge, 1 mirrored
// repeat, anything else repeat.
GLint TextureMinFilter(int filter);
GLint TextureMagFilter(int filter);
bool TextureFilterBuildsMipmaps(int filter);
GLint TextureWrapMode(int wrap);

// An image decoded to 8-bit RGBA with its rows bottom-up; empty (0 x 0) when
// the bytes are missing or cannot be decoded, with the decoder's reason.
struct DecodedImage {
  std::vector<unsigned char> pixels;
  int width = 0, height = 0;
  int channels = 0;  // in the file
  std::string error;
};
DecodedImage DecodeImage(const unsigned char* bytes, int size);

class TextureImage {
 public:
  // Cache key.
  std::string m_path;
  std::string m_effectName;
  int m_filter = 1;
  int m_wrapU = 2;
  int m_wrapV = 2;

  uint64_t m_bytes = 0;  // width x height x 4, twice that with mipmaps
  int m_width = 0, m_height = 0;
  int m_channels = 0;  // in the file
  GLuint m_texture = 0;
  std::vector<TextureSlot*> m_users;

  bool Matches(const TextureSlot& slot) const;

  // The cached image with the slot's key, or null.
  static TextureImage* FindCached(const TextureSlot& slot);
  // Makes the texture for the slot's key from a file's bytes, logs the
  // allocation and adds it to the cache, with no user yet. Null or
  // undecodable bytes still make an entry: a 0 x 0 texture of 0 bytes, so
  // that the file is not read again while the entry lives.
  static TextureImage* Create(const TextureSlot& slot, const unsigned char* bytes, int size);
  // Removes the image from the cache, logs the release, deletes its texture
  // and the record. Its users must have let go.
  static void Free(TextureImage* image);
  // Exit: detaches every user and frees every cached image.
  static void ReleaseAll();

  static const std::vector<TextureImage*>& Cache();
  static uint64_t TotalBytes();
};
