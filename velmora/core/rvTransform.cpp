// Transforms: matrix composition of the 2D and 3D placements (see rvTransform.h).
#include "core/rvTransform.h"

#include <glm/gtc/matrix_transform.hpp>

void rvTransform2D::Update() {
  glm::mat4 m = glm::translate(glm::mat4(1.0f), glm::vec3(position, 0.0f));
  m = glm::rotate(m, rotation * kDegToRad, glm::vec3(0.0f, 0.0f, 1.0f));
  m = glm::scale(m, glm::vec3(scale, 1.0f));
  matrix = glm::translate(m, glm::vec3(-pivot, 0.0f));
}

void rvTransform3D::Update() {
  glm::mat4 m = glm::translate(glm::mat4(1.0f), position);
  // Applied to a point in reverse: about y first, then x, then z.
  m = glm::rotate(m, rotation.z * kDegToRad, glm::vec3(0.0f, 0.0f, 1.0f));
  m = glm::rotate(m, rotation.x * kDegToRad, glm::vec3(1.0f, 0.0f, 0.0f));
  m = glm::rotate(m, rotation.y * kDegToRad, glm::vec3(0.0f, 1.0f, 0.0f));
  m = glm::scale(m, scale);
  matrix = glm::translate(m, -pivot);
}
