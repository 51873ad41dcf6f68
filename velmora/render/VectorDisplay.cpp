// Vector display: creation, set-up, flush, glow. See VectorDisplay.h.
#include "render/VectorDisplay.h"

vector_display* g_pCurrentVectorDisplay = nullptr;
int g_nVectorHistoryIndex = 0;

VectorGeometry* CurrentVectorGeometry() { return g_pCurrentVectorDisplay; }
