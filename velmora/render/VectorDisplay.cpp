// Vector display: creation, set-up, flush, glow. See VectorDisplay.h.
#include "render/VectorDisplay.h"

int g_nVectorHistoryIndex = 0;

VectorGeometry* CurrentVectorGeometry() { return g_pCurrentVectorDisplay; }
