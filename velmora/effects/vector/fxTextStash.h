// fxTextStash: one line of anti-aliased atlas text from a TrueType font,
// placed in fractions of the viewport and sized by its width. With a glow
// above 0 the text is drawn inside a glow capture of the current vector
// display, so that it gets the display's blur and compositing.
//
// Depends on the glyph-atlas renderer (render/TextStashRenderer.h) and the
// vector display. Owns its renderer's context and atlas texture, made at
// Init and kept until the next Init or the destructor. Main thread only.
#pragma once
#include <glm/glm.hpp>

#include <cstdint>
#include <string>

#include "sequence/fxBase.h"
#include "render/TextStashRenderer.h"

class fxTextStash : public fxBase {
 public:
  static ClassDesc* GetClassDesc();
  static fxBase* Create(ClassDesc* desc);
  static ClassDesc* RegisterAttributes();

  explicit fxTextStash(ClassDesc* desc);
  ~fxTextStash() override;

  void Init() override;
  void Update() override;
  void OnAttributeEdited(AttributeDesc* attribute) override;

  // The atlas side for a target of the given height: Dpi x height / 900, at
  // least Dpi.
  int AtlasSide(int targetHeight) const;
  // The glyph atlas alignment bits of AlignH and AlignV.
  int Alignment() const;
  // Colour packed 0xAABBGGRR, alpha times the fade; each byte clamped.
  uint32_t PackedColor(float fade) const;

  TextStashRenderer m_renderer;
  std::string m_font;
  std::string m_text;
  glm::vec2 m_pos;
  float m_size;
  float m_glow;
  glm::vec4 m_color;
  int m_dpi;
  int m_alignH;  // 0 Left, 1 Center, 2 Right
  int m_alignV;  // 0 Top, 1 Middle, 2 Bottom, 3 Baseline

 private:
  void DrawLine();
};
