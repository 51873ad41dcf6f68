// Shader effects: one full-target 2D pass whose vertex, geometry and fragment
// stages are files of the data pack, with up to 25 textures (image files or
// running buffer effects), a blend mode, an optional depth test and a choice
// of clock.
//
// fxShaderBase draws with the program's own uniforms only (iTime,
// iResolution). fxShader adds a value area at the end of the object: the
// uniforms its source annotates become attributes of that one instance
// (persisted under "PropertiesDynamic", animatable by drivers), and other
// effects can write uniform values there by name.
//
// Both draw into the current render target and own their program and
// texture slots until destruction (there is no Kill). Main thread only.
#pragma once
#include <cstdint>
#include <string>

#include "effects/EffectBlend.h"
#include "sequence/fxBase.h"
#include "render/TextureSlot.h"
#include "render/rvProgram.h"

// One stage file and the text last read from it.
struct ShaderSourceFile {
  std::string m_path;
  std::string m_source;
  std::string m_lastPath = "#";  // never a real path: the first check reports a change
  int m_stage = StageVertex;
  int64_t m_changedAt = -1;      // wall-clock seconds of the last path change

  // True when the path moved since the last check (an empty path also
  // empties the text).
  bool CheckPathChanged();
  // Reads the file through the data pack; an empty path is an empty text.
  bool LoadSource();
};

class fxShaderBase : public fxBase {
 public:
  static constexpr int kTextureCount = 25;
  static ClassDesc* GetClassDesc();
  static fxBase* Create(ClassDesc* desc);
  static ClassDesc* RegisterAttributes();

  explicit fxShaderBase(ClassDesc* desc);
  ~fxShaderBase() override;

  void Init() override;
  void Update() override;
  void OnAttributeLoaded(AttributeDesc* attribute) override;
  void OnAttributeEdited(AttributeDesc* attribute) override;

  void Compile(bool force);
  void ResolveTextures();
  static void OnCompile(fxBase* fx);

  rvProgram2D& Program() { return m_program; }
  const std::string& ErrorText() const { return m_errorText; }

  bool m_enabled;
  bool m_autoCompilation;
  float m_glowAlpha;
  float m_blurDepth;
  int m_drawDepth;
  int m_drawAlpha;
  int m_drawColor;
  int m_drawGlow;
  int m_drawBlur;
  int m_blendMode;
  bool m_depthBuffer;
  ShaderSourceFile m_vertex;
  ShaderSourceFile m_geometry;
  ShaderSourceFile m_fragment;
  TextureSlot m_textures[kTextureCount];
  std::string m_errorText;
  rvProgram2D m_program;
  AttrButtonFunc m_onCompile;
};

class fxShader : public fxShaderBase {
 public:
  static constexpr int kValueWords = 1024;

  static ClassDesc* GetClassDesc();
  static fxBase* Create(ClassDesc* desc);

  explicit fxShader(ClassDesc* desc);

  uint32_t m_values[kValueWords];  // the annotated uniforms' values
};
