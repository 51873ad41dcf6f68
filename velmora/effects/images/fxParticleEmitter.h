// fxParticleEmitter: a CPU particle system drawn as short glowing streaks by
// the vector display of the current render target. Particles are born on a
// sphere around the emitter's swept position, or anywhere along the shapes of
// another effect, fly off by angles and a spread (or straight away from the
// emitter), feel per-particle gravity, radial and tangential pushes and
// friction, bounce off an optional plane, change colour over their life and
// die after a random lifetime. Key frames of `Restart` fire bursts; two
// editor buttons record or delete emitter keys from the current camera.
//
// Every random draw goes through the platform's C-library generator in a
// fixed order, so the same production gives the same particles every run.
// Depends on the shape tree (borrowed from the source effect, never owned),
// the vector geometry of the current display (the streaks are written
// straight into its line array), the key-frame drivers. Owns its particle
// array. Main thread only.
#pragma once
#include <glm/glm.hpp>

#include <string>
#include <vector>

#include "sequence/fxBase.h"

class ShapeNode;
class VectorGeometry;

// One particle, 22 floats.
struct Particle {
  glm::vec4 color;
  glm::vec4 previousColor;  // the colour before the last step
  glm::vec3 position;
  glm::vec3 trail;  // where the streak starts
  glm::vec3 velocity;
  float gravity;
  float radial;
  float tangential;
  float age;       // s
  float lifetime;  // s
};
static_assert(sizeof(Particle) == 88, "22 floats");

// A float between a and b (b itself never reached) from four draws of the C
// library generator, each taken modulo 255 as one byte of a 32-bit fraction.
float RandomRange(float a, float b);

class fxParticleEmitter : public fxBase {
 public:
  // Particle Max beyond this (ten times the editor's range) is held here:
  // a count from a broken file must not reserve gigabytes or stall a frame.
  static constexpr int kParticleLimit = 100000;

  static ClassDesc* GetClassDesc();
  static fxBase* Create(ClassDesc* desc);
  static ClassDesc* RegisterAttributes();

  explicit fxParticleEmitter(ClassDesc* desc);
  ~fxParticleEmitter() override;

  void Init() override;
  void Start() override;
  void Update() override;
  void RenameAttribute(std::string& name) override;

  void Restart();
  void Simulate(float dt);
  void Emit();
  void AddParticle(const glm::vec3& point);
  // Appends every particle's streak to `geometry` as one four-vertex strip.
  void DrawStreaks(VectorGeometry& geometry) const;

  // Editor buttons and the key helpers they use.
  static void KeyEmitter(fxBase* fx);
  static void DelEmitter(fxBase* fx);
  void RecordKey(const char* name);
  void DeleteKey(const char* name);

  // Particle Max held to 0..kParticleLimit.
  int MaxParticles() const;

  std::string m_source;
  ShapeNode* m_sourceRoot;  // shapes of the source effect; not owned
  glm::vec3 m_pos;
  glm::vec3 m_previousPos;
  glm::vec2 m_rot;  // degrees: x elevation, y azimuth
  int m_particleMax;
  int m_initialCount;
  int m_emission;  // per second
  bool m_particleRespawn;
  bool m_radialEmission;
  float m_radius;
  float m_segmentLength;
  float m_spread;  // degrees
  glm::vec2 m_lifeTime;
  glm::vec2 m_speed;
  glm::vec2 m_accelGravity;
  glm::vec2 m_accelRadial;
  glm::vec2 m_accelTangential;
  float m_accelFriction;
  float m_accelRebound;
  glm::vec4 m_planeRebound;  // normal, offset
  bool m_restart;
  bool m_debug;
  glm::vec4 m_colorStart;
  glm::vec4 m_colorMid;
  glm::vec4 m_colorEnd;
  bool m_planeActive;
  float m_lastRestartTime;  // s of local time
  float m_emissionCarry;
  int m_emittedCount;
  std::vector<Particle> m_particles;
  AttrButtonFunc m_onKeyEmitter;
  AttrButtonFunc m_onDelEmitter;

 private:
  bool RestartKeyFired() const;
  void EmitForStep(float dt);
  glm::vec4 ColorAt(float s) const;
};
