// fxImage: one picture in the current render target, either an image file
// of the data pack or the live colour texture of a buffer effect of the same
// sequence. In 2D it is a screen-aligned rectangle (or the whole target); in
// 3D a textured quad placed by a transform in the camera's scene, optionally
// turned to face the camera. Colours are multiplied and offset per channel,
// faded, blended by one of the shared blend modes, and may go through the
// vector display's glow.
//
// Depends on the 2D texture program and its slot (render/rvProgram.h), the
// render targets' camera, the vector display's glow capture and the buffer
// effects. Owns its two programs and the quad's vertex buffer and array
// (released by Kill); the image belongs to the image cache through the slot.
// Main thread only.
#pragma once
#include <glad/gl.h>

#include <string>

#include <glm/glm.hpp>

#include "sequence/fxBase.h"
#include "render/rvProgram.h"
#include "core/rvTransform.h"

class fxBufferDisplay;

// The 3D quad program: texture x MUL_COLOR + ADD_COLOR under the current
// target's view-projection (MVP).
class shImage3d : public rvProgram3D {
 public:
  void Build() override;
  void Bind() override;

  int m_mulColorLocation = -1;
  glm::vec4 m_mulColor{1.0f};
  int m_addColorLocation = -1;
  glm::vec4 m_addColor{0.0f};
  int m_texIdLocation = -1;
  int m_texId = 0;
};

// The quad's matrix turned so that its z axis (its normal) points from its
// position towards `camera`, by the shortest arc; position and scale stay.
// A normal already facing the camera or facing exactly away, or a camera
// at the quad's position, leaves the matrix as it is.
glm::mat4 BillboardMatrix(const glm::mat4& matrix, const glm::vec3& camera);

class fxImage : public fxBase {
 public:
  enum Mode { Image2d = 0, Image3d = 1 };

  static ClassDesc* GetClassDesc();
  static fxBase* Create(ClassDesc* desc);
  static ClassDesc* RegisterAttributes();

  explicit fxImage(ClassDesc* desc);
  ~fxImage() override;

  void Init() override;
  void Kill() override;
  void Update() override;
  void RenameAttribute(std::string& name) override;

  // The colour terms both modes draw with: fade x Intensity x ColorMul and
  // x ColorAdd, alpha included.
  glm::vec4 MultiplyColor() const;
  glm::vec4 AddColor() const;

  rvTexColorProgram2D m_program2d;
  shImage3d m_program3d;
  std::string m_pngFile;
  std::string m_fxBuffer;
  fxBufferDisplay* m_buffer;  // resolved at Init; not owned
  glm::vec2 m_screenPos;
  glm::vec4 m_colorMul;
  glm::vec4 m_colorAdd;
  float m_intensity;
  int m_colorBlend;
  int m_imageMode;
  float m_screenSize;
  bool m_fullscreen;
  rvTransform3D m_transform;
  GLuint m_quadBuffer;
  GLuint m_quadArray;
  bool m_depthBuffer;
  bool m_culling;
  bool m_billboard;
  bool m_keepRatioX;
  bool m_keepRatioY;
  bool m_repeatUV;
  bool m_textureLoaded;
  bool m_glow;
  // The 2D draw when the colour terms cannot take the picture out of 0..1:
  // a bare modulation, which llvmpipe runs faster than the add, multiply
  // and clamp of m_program2d, with the same pixels.
  rvTexColorProgram2D m_modulateProgram;
  // Off: every 2D draw goes through m_program2d (the reference the bare
  // modulation is compared with).
  bool m_modulateShortcut;

 private:
  bool BufferRunning() const;
  // Whether the 2D draw of `texture` with these colour terms may go through
  // m_modulateProgram: nothing added, factors within 0..1 and an 8-bit
  // normalized texture, so the add and the clamp change nothing.
  bool Modulates(GLuint texture, const glm::vec4& mul, const glm::vec4& add) const;
  void Draw2d();
  void Draw3d();
  void CreateQuad();
  void ReleaseQuad();
};
