// TextureSlot: the texture a program samples. Either an image file of the
// data pack, decoded once and shared through the image cache
// (render/TextureImage.h), or the name of a render-target effect whose
// colour texture is used while that effect runs. The slot also carries the
// filter and wrap codes. Programs and effects embed slots by value; the
// texture attribute edits the first five fields in place, so their order and
// types are fixed. Main thread only.
#pragma once
#include <glad/gl.h>

#include <string>

class fxBase;
class rvSequence;
class TextureImage;

struct TextureSlot {
  // Edited as attributes ".TexFile", ".FxBuf", ".TexFilter", ".TexWrapU",
  // ".TexWrapV"; a change rebinds the slot at the next Resolve.
  std::string m_file;
  std::string m_effectName;
  int m_filter = 1;  // see TextureMinFilter
  int m_wrapU = 2;   // see TextureWrapMode
  int m_wrapV = 2;
  fxBase* m_effect = nullptr;       // the resolved render-target effect; not owned
  TextureImage* m_image = nullptr;  // shared through the cache

  TextureSlot() = default;
  ~TextureSlot();
  // A copy takes the names and modes only; it binds on its own Resolve.
  TextureSlot(const TextureSlot& other);
  TextureSlot& operator=(const TextureSlot& other);

  // Binds the slot to its source. A file name wins: the matching cached
  // image, or a new one. Without one, the effect name is looked up in the
  // sequence and, when not found there, in the sequences that embed it; a
  // null sequence only handles files.
  void Resolve(rvSequence* sequence);
  // The GL texture to sample now: the colour texture of the resolved
  // effect's buffer while that effect runs, else the image's, else 0.
  GLuint GetTexture();

  // Attaches the slot to the cached image with its key, or decodes the file
  // from the data pack into a new one.
  void LoadImage();
  // Detaches the slot from its image; the last user frees it.
  void ReleaseImage();
};
