// Transforms: a placement edited as effect parameters (position, pivot,
// rotation in degrees, scale) turned into a 4x4 matrix by Update. Effects embed
// them by value and expose their fields as one compound attribute, whose child
// offsets are taken from the field order below; the shape tree node derives
// from rvTransform. GLM conventions: column vectors, right-handed.
// Depends on GLM only; owns nothing.
#pragma once
#include <glm/glm.hpp>

class rvTransform {
 public:
  rvTransform() = default;
  // Owners derive from it and are deleted through their own type; the
  // destructor is virtual all the same so that no owner has to know that.
  virtual ~rvTransform() = default;

  // Recomputes the matrix from the fields; the base keeps whatever matrix it
  // was given.
  virtual void Update() {}

  glm::mat4 matrix = glm::mat4(1.0f);
};

class rvTransform2D : public rvTransform {
 public:
  // matrix = translate(position, 0) x rotateZ(rotation) x scale(scale, 1)
  //          x translate(-pivot, 0)
  void Update() override;

  float rotation = 0.0f;  // degrees
  glm::vec2 scale = glm::vec2(1.0f);
  glm::vec2 position = glm::vec2(0.0f);
  glm::vec2 pivot = glm::vec2(0.0f);
};

class rvTransform3D : public rvTransform {
 public:
  // matrix = translate(position) x rotateZ(rotation.z) x rotateX(rotation.x)
  //          x rotateY(rotation.y) x scale(scale) x translate(-pivot)
  void Update() override;

  glm::vec3 rotation = glm::vec3(0.0f);  // degrees about x, y, z
  glm::vec3 scale = glm::vec3(1.0f);
  glm::vec3 position = glm::vec3(0.0f);
  glm::vec3 pivot = glm::vec3(0.0f);
};

// Degrees to radians with the factor the whole engine uses, so that every
// rotation of a given angle gives bit-identical matrices.
constexpr float kDegToRad = 0.017453292f;
