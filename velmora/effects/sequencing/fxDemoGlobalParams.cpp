// fxDemoGlobalParams: the published instance and the static default.
// See fxDemoGlobalParams.h.
#include "effects/sequencing/fxDemoGlobalParams.h"

namespace {
// Built during static initialisation, before any sequence exists: it
// registers the class's attribute itself, which is why RegisterAttributes
// adds it only to an empty list.
fxDemoGlobalParams s_defaultParams(fxDemoGlobalParams::RegisterAttributes());
}  // namespace

fxDemoGlobalParams* g_pDemoGlobalParams = &s_defaultParams;

ClassDesc* fxDemoGlobalParams::GetClassDesc() {
  static ClassDesc desc("fxDemoGlobalParams", fxBase::GetClassDesc(), &fxDemoGlobalParams::Create);
  return &desc;
}

fxBase* fxDemoGlobalParams::Create(ClassDesc* desc) { return CreateZeroFilled<fxDemoGlobalParams>(desc); }

ClassDesc* fxDemoGlobalParams::RegisterAttributes() {
  ClassDesc* desc = GetClassDesc();
  if (desc->m_attributes.empty()) {
    desc->AddAttribute(AttrRGBA, "MonochromeColor", RV_OFFSETOF(fxDemoGlobalParams, m_monochromeColor));
  }
  return desc;
}

fxDemoGlobalParams::fxDemoGlobalParams(ClassDesc* desc) : fxBase(desc), m_monochromeColor(1.0f, 1.0f, 1.0f, 1.0f) {}

// Only the published instance unpublishes itself when it goes: a copy that
// was never initialised (one read from a file just to be looked at) must
// leave the live parameters in place.
fxDemoGlobalParams::~fxDemoGlobalParams() {
  if (g_pDemoGlobalParams == this) g_pDemoGlobalParams = &s_defaultParams;
}

void fxDemoGlobalParams::Init() { g_pDemoGlobalParams = this; }

void fxDemoGlobalParams::Kill() { g_pDemoGlobalParams = &s_defaultParams; }
