// GPU program classes: every GPU program is an rvProgram, an OpenGL program
// of up to six stages whose sources pass through the shader preprocessor
// (ShaderPreprocessor.h) and whose annotated uniforms are uploaded on every
// bind (UniformAnnotations.h), with the engine time and viewport size given
// to the shader as iTime and iResolution. rvProgram2D draws full-target
// passes and anchored rectangles with colour and UV controls; rvProgram3D
// feeds the current render target's camera. Seven ready-made programs carry
// their GLSL text built in; effect shader classes derive from these and
// override Build and Bind.
//
// Owns its GL program and shader objects; the stage texts are not owned.
// The shared rectangle vertex array is process-wide and lives until exit.
// At most one program is current (g_pCurrentProgram). Main thread only.
#pragma once
#include <glad/gl.h>

#include <cstdint>
#include <string>
#include <vector>

#include <glm/glm.hpp>

#include "render/ShaderPreprocessor.h"
#include "render/TextureSlot.h"
#include "render/UniformAnnotations.h"

class ClassDesc;

enum ShaderStageIndex : int {
  StageVertex = 0,
  StageFragment = 1,
  StageCompute = 2,
  StageGeometry = 3,
  StageTessControl = 4,
  StageTessEvaluation = 5,
  StageCount = 6,
};

// DrawRect flags: anchors, aspect keeping and cover.
enum : int {
  RECT_KEEP_ASPECT_W = 0x01,  // width from the texture aspect
  RECT_KEEP_ASPECT_H = 0x02,  // height from the texture aspect
  RECT_LEFT = 0x04,           // x is the left edge (else right with 0x08, else centre)
  RECT_RIGHT = 0x08,
  RECT_TOP = 0x10,            // y is the top edge (else bottom with 0x20, else centre)
  RECT_BOTTOM = 0x20,
  RECT_COVER = 0x40,          // widen to the whole target, texture kept in place
};

class rvProgram {
 public:
  rvProgram();
  virtual ~rvProgram();
  rvProgram(const rvProgram&) = delete;
  rvProgram& operator=(const rvProgram&) = delete;

  virtual void Build();
  virtual void Bind();
  virtual void Unbind();
  virtual void Release();

  // Compiles every stage and links; false (program 0) with the shader error
  // log written to the application log when any step failed.
  bool Link();

  // Preprocessing steps (ShaderPreprocessor.cpp).
  bool CompileStage(int stage);
  bool Preprocess(int stage);
  bool ExpandIncludes(std::string& text, int stage);
  void FormatShaderLog(std::string& log, int stage) const;

  // Uniform table (UniformAnnotations.cpp).
  int AddUniform(const char* name, int kind, int semantic, int count, bool constant);
  bool ParseAnnotations(std::string& text);
  void UploadUniforms();
  void SetConstBool(const char* name, bool value, bool inPreprocess);
  void SetConstInt(const char* name, int value, bool inPreprocess);
  void SetConstFloat(const char* name, float value, bool inPreprocess);
  // Turns constant entries whose value word moved away from its shadow into
  // new constants (which marks the stages dirty).
  void RefreshConstants();
  // The time of the time source plus the time offset.
  float ProgramTime() const;
  // The entry of that name, or null.
  ShaderUniform* FindUniform(const char* name);

  // Hands a value area (owned by the caller) and the class description that
  // receives the "|ATTR=" attributes to the program.
  void SetValueArea(uint32_t* values, int attributeBase, int dwordBudget, ClassDesc* parameterTarget);

  GLuint m_program = 0;
  ShaderStage m_stages[StageCount];
  std::vector<ShaderConstant> m_constants;
  std::vector<std::string> m_attributeNames;  // name i bound to location i
  uint8_t m_dirtyStages = 0x3F;
  uint8_t m_fullDemo = 0;
  float m_delta = 0.0f;
  float m_timeOffset = 0.0f;
  int m_timeSource = TimeSourceEffect;
  int m_timeLocation = -1;
  float m_time = 0.0f;
  int m_viewport[4] = {0, 0, 0, 0};
  int m_resolutionLocation = -1;
  float m_resolution[2] = {0.0f, 0.0f};
  ClassDesc* m_parameterTarget = nullptr;
  std::vector<ShaderUniform> m_uniforms;
  int m_constantUniformCount = 0;
  uint32_t* m_values = nullptr;
  int m_attributeBase = 0;
  int m_dwordBudget = 0;
  int m_dwordFill = 0;

 protected:
  // Looks a uniform up in the linked program (-1 when unbuilt).
  int Location(const char* name) const;
  void DeleteStages();
};

// The program made current by the last Bind; null after Unbind.
extern rvProgram* g_pCurrentProgram;

class rvProgram2D : public rvProgram {
 public:
  ~rvProgram2D() override;
  void Build() override;
  void Bind() override;
  void Unbind() override;
  virtual void DrawFull(int flags);
  virtual void DrawPixelRect(int flags, int x, int y, int width, int height);
  virtual void DrawRect(int flags, float x, float y, float width, float height);

  // Uploads one of the three colour fields at its stored location.
  void UploadColor(int location, const float* rgba) const;

  int m_addColorLocation = -1;
  float m_addColor[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  int m_mulColorLocation = -1;
  float m_mulColor[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  int m_maxColorLocation = -1;
  float m_maxColor[4] = {9999.0f, 9999.0f, 9999.0f, 1.0f};
  float m_uvRotation = 0.0f;  // radians
  float m_uvScale[2] = {1.0f, 1.0f};
  float m_uvOffset[2] = {0.0f, 0.0f};
  int m_savedDepthTest = 0;
  int m_savedBlend = 0;
  int m_savedCullFace = 0;

 protected:
  void RestoreStates() const;
};

class rvProgram3D : public rvProgram {
 public:
  ~rvProgram3D() override;
  void Build() override;
  void Bind() override;
  void Unbind() override;

  int m_mvpLocation = -1;
  glm::mat4 m_mvp{1.0f};
};

class rvFillColorProgram2D : public rvProgram2D {
 public:
  ~rvFillColorProgram2D() override;
  void Build() override;
  void Bind() override;

  int m_fillColorLocation = -1;
  float m_fillColor[4] = {1.0f, 0.0f, 0.0f, 1.0f};
};

class rvTexColorProgram2D : public rvProgram2D {
 public:
  ~rvTexColorProgram2D() override;
  void Build() override;
  void Bind() override;
  void Unbind() override;
  void DrawFull(int flags) override;
  void DrawRect(int flags, float x, float y, float width, float height) override;

  // Names the slot's image file, resolves it and records its size: the
  // image's, else that of the resolved buffer effect's target, else 0 x 0.
  void SetTexture(const std::string& file);
  // The 2D bind with `texture` on unit 0 and its size recorded, for passes
  // that draw another target's colour texture.
  void BindTexture(GLuint texture);

  TextureSlot m_textureSlot;  // bound by Bind on unit 0
  int m_texWidth = 0;         // 0: no size yet
  int m_texHeight = 0;
};

// The three views of a texture share the texture-colour unbind. Their Bind
// is the 2D bind with nothing on unit 0: a caller binds the texture itself.
class rvTexAlphaProgram2D : public rvProgram2D {
 public:
  void Build() override;
  void Unbind() override;
};

class rvTexDepthProgram2D : public rvProgram2D {
 public:
  ~rvTexDepthProgram2D() override;
  void Build() override;
  void Unbind() override;

  int m_zFarLocation = -1;
  float m_zFar = 1000.0f;
  int m_zNearLocation = -1;
  float m_zNear = 0.0f;
};

class rvTexStencilProgram2D : public rvProgram2D {
 public:
  void Build() override;
  void Unbind() override;
};

// The shared fill program: binds it, stores the colour and uploads it. The
// loading bar draws with it.
void SetFillColor(float r, float g, float b, float a);
rvFillColorProgram2D& FillColorProgram();

// Built-in stage texts, shared with the tests that compile every shipped
// shader.
extern const char* const g_program2DVertex;
extern const char* const g_program3DVertex;
extern const char* const g_fillColorFragment;
extern const char* const g_texColorFragment;
extern const char* const g_texAlphaFragment;
extern const char* const g_texDepthFragment;
extern const char* const g_texStencilFragment;
