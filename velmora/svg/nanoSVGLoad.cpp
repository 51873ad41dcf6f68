// Where the shape set and the edge sets meet the engine: reading the file
// through the data pack, logging a miss, sizing against the current render
// target, uploading the fills, and drawing edges into the current vector
// display. The rest of both classes works on a parsed image alone
// (nanoSVGBase.cpp, nanoSVG2Edge.cpp), so that it is testable and fuzzable
// without a pack or a GL context.
#include "core/AppLog.h"
#include "render/RenderTarget.h"
#include "render/VectorGeometry.h"
#include "svg/nanoSVG2Edge.h"

int nanoSVGBase::Load(const char* path) {
  if (!path) return -1;
  SvgImage* image = ParseSvgFile(path, 96.0f);
  if (!image) {
    AppLog::Get().AddLog("Could not open SVG image.\n");
    return -1;
  }
  const RenderTarget* target = g_pCurrentRenderTarget;
  Adopt(image, target ? target->m_width : 0, target ? target->m_height : 0);
  if (const int skipped = SkippedFills())
    AppLog::Get().AddLog("SVG %s: %d fill(s) skipped, more than %d vertices.\n", path, skipped,
                         static_cast<int>(kSvgMaxFillVertices));
  UploadFills();
  return 1;
}

int nanoSVG2Edge::Load(const char* path) {
  if (nanoSVGBase::Load(path) < 0) return -1;
  return BuildEdges();
}

void nanoSVG2Edge::Draw() {
  VectorGeometry* display = CurrentVectorGeometry();
  if (!display) return;
  for (int i = 0; i < m_edgeCount; ++i) {
    const int a = static_cast<int>(m_edges[i].start), b = static_cast<int>(m_edges[i].end);
    if (a < 0 || b < 0 || a >= m_pointCount || b >= m_pointCount) continue;
    display->DrawLine(glm::vec3(m_points[a].x, m_points[a].y, 0.0f), glm::vec3(m_points[b].x, m_points[b].y, 0.0f),
                      m_drawMatrix);
  }
}
