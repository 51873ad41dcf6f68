// Helpers for the SVG tests: parse a document held in a string or a file of
// tests/svg/data, and walk the result as vectors.
#pragma once
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "svg/SvgImage.h"

using SvgImagePtr = std::unique_ptr<SvgImage, void (*)(SvgImage*)>;

// The parser cuts its text in place, so it gets its own copy.
inline SvgImagePtr ParseText(const std::string& text, float dpi = 96.0f) {
  std::vector<char> buf(text.begin(), text.end());
  buf.push_back('\0');
  return SvgImagePtr(ParseSvg(buf.data(), dpi), DeleteSvgImage);
}

inline std::string ReadTestDocument(const std::string& name) {
  std::ifstream in(std::string(VELMORA_SOURCE_DIR) + "/tests/svg/data/" + name, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// A document with one element inside a 100 x 100 root whose view box is the
// same size, so that coordinates come out unscaled.
inline SvgImagePtr ParseElement(const std::string& element) {
  return ParseText("<svg width=\"100\" height=\"100\" viewBox=\"0 0 100 100\">" + element + "</svg>");
}

inline std::vector<const SvgShape*> Shapes(const SvgImage& image) {
  std::vector<const SvgShape*> out;
  for (const SvgShape* s = image.shapes; s; s = s->next) out.push_back(s);
  return out;
}

// Paths in list order (the element's last subpath first).
inline std::vector<const SvgPath*> Paths(const SvgShape& shape) {
  std::vector<const SvgPath*> out;
  for (const SvgPath* p = shape.paths; p; p = p->next) out.push_back(p);
  return out;
}

struct Pt {
  float x, y;
};

inline std::vector<Pt> Points(const SvgPath& path) {
  std::vector<Pt> out;
  for (int i = 0; i < path.npts; ++i) out.push_back({path.pts[i * 2], path.pts[i * 2 + 1]});
  return out;
}

// Start and end points of the cubic segments: the outline without controls.
inline std::vector<Pt> Knots(const SvgPath& path) {
  std::vector<Pt> out;
  for (int i = 0; i < path.npts; i += 3) out.push_back({path.pts[i * 2], path.pts[i * 2 + 1]});
  return out;
}

inline void ExpectBounds(const float* got, float x0, float y0, float x1, float y1, float tol) {
  EXPECT_NEAR(got[0], x0, tol);
  EXPECT_NEAR(got[1], y0, tol);
  EXPECT_NEAR(got[2], x1, tol);
  EXPECT_NEAR(got[3], y1, tol);
}

inline void ExpectPoints(const std::vector<Pt>& got, const std::vector<Pt>& want, float tol) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_NEAR(got[i].x, want[i].x, tol) << "point " << i;
    EXPECT_NEAR(got[i].y, want[i].y, tol) << "point " << i;
  }
}
