// Uniform annotations and uniform upload: the uniform table of a program.
// A stage source ties a uniform to an engine value (time, fade, resolution,
// camera matrices, texture units) or to an effect parameter with keywords in
// the line comment after its declaration ("|TIME|", "|ATTR=Speed|",
// "|MIN=0|MAX=2|", default values, "|CONST|"). Entries keep their values in
// a value area of 32-bit words owned by the effect that gives it to the
// program, so attributes registered for "|ATTR=" uniforms (loaded, driven,
// edited like any parameter) write straight into what the program uploads.
//
// The rvProgram operations that build and upload the table (AddUniform,
// ParseAnnotations, UploadUniforms, the SetConst* setters, the program
// clock) live in UniformAnnotations.cpp. Depends on the class descriptions
// (core), the current effect (effects), the owner sequences (sequence) and
// the current render target. Main thread only.
#pragma once
#include <cstdint>
#include <string>

enum UniformKind : int {
  UniformBool = 0,
  UniformInt = 1,
  UniformFloat = 2,
  UniformVec2 = 3,
  UniformVec3 = 4,
  UniformVec4 = 5,
  UniformSampler2D = 6,
  UniformMat4 = 7,
  UniformIntArray = 8,
  UniformFloatArray = 9,
  UniformVec2Array = 10,
  UniformVec3Array = 11,
  UniformVec4Array = 12,
};

enum UniformSemantic : int {
  SemanticNone = 0,
  SemanticCamMVP = 1,
  SemanticCamView = 2,
  SemanticCamProj = 3,
  SemanticCamMVPInv = 4,
  SemanticCamProjInv = 5,
  SemanticCamViewInv = 6,  // "|CAMERA|" or "|CAMVIEWINV|"
  SemanticResolution = 7,
  SemanticMouse = 8,       // Shadertoy iMouse: zeros
  SemanticTime = 9,
  SemanticFade = 10,
  SemanticDeltaTime = 11,
  SemanticFrameRate = 12,  // uploaded as 0
  SemanticFrame = 13,      // uploaded as 0
  SemanticColor = 14,
  SemanticColors = 15,     // colour times strength
  SemanticTexture0 = 16,   // 16..40: texture unit (code - 16)
  SemanticTexture24 = 40,
};

// Time sources of a program's clock.
enum ProgramTimeSource : int {
  TimeSourceEffect = 0,
  TimeSourceSequence = 1,
  TimeSourceOuterSequence = 2,
  TimeSourceWallClock = 3,
};

constexpr int kUniformNameMax = 51;

struct ShaderUniform {
  char name[kUniformNameMax + 1] = {};
  int location = -1;  // -1 until linked or when the compiler dropped it
  int kind = UniformFloat;
  int semantic = SemanticNone;
  int headerWord = 0;  // word holding an array's element count (= valueWord for a scalar)
  int valueWord = 0;   // first value word
  int wordCount = 0;   // words reserved for the values
  int count = 1;       // declared element count, 1 for a scalar
  bool constant = false;
};

enum ShaderConstantKind : uint8_t { ConstBool = 0, ConstInt = 1, ConstFloat = 2 };

// A compile-time constant of the generated header.
struct ShaderConstant {
  uint8_t kind = ConstInt;
  std::string name;
  std::string declaration;  // one line, e.g. "const int N = 3;\n"
  union {
    uint32_t bits;
    int i;
    float f;
    bool b;
  } value{};
};
