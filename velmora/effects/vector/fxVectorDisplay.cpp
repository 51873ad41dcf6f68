// fxVectorDisplay. See fxVectorDisplay.h.
#include "effects/vector/fxVectorDisplay.h"

#include "effects/buffers/fxBuffer.h"

namespace {

const char* const kImportNames[2] = {"No", "Copy"};
const char* const kExportColorNames[4] = {"Copy", "Add", "Max", "Alpha"};

float Mix(float start, float own, float f) { return start + (own - start) * f; }

}  // namespace

//-----------------------------------------------------------------------------
// Class description and attributes
//-----------------------------------------------------------------------------

ClassDesc* fxVectorDisplay::GetClassDesc() {
  static ClassDesc desc("fxVectorDisplay", fxBase::GetClassDesc(), &fxVectorDisplay::Create);
  return &desc;
}

fxBase* fxVectorDisplay::Create(ClassDesc* desc) { return CreateZeroFilled<fxVectorDisplay>(desc); }

ClassDesc* fxVectorDisplay::RegisterAttributes() {
  ClassDesc* desc = GetClassDesc();
  desc->AddAttribute(AttrBool, "Decay Camera", RV_OFFSETOF(fxVectorDisplay, m_settings.decayCamera));
  desc->AddAttribute(AttrFloat, "Decay Steps", RV_OFFSETOF(fxVectorDisplay, m_settings.decaySteps))
      ->SetRange(1.0f, 32.0f);
  desc->AddAttribute(AttrFloat, "Decay Ramp", RV_OFFSETOF(fxVectorDisplay, m_settings.decayRamp))->SetRange(0.0f, 2.0f);
  desc->AddAttribute(AttrFloat, "Decay Initial", RV_OFFSETOF(fxVectorDisplay, m_settings.decayInitial))
      ->SetRange(0.0f, 1.0f);
  desc->AddAttribute(AttrFloat, "Decay Final", RV_OFFSETOF(fxVectorDisplay, m_settings.decayFinal))
      ->SetRange(0.0f, 1.0f);
  desc->AddAttribute(AttrVec2, "Thickness Min|Max", RV_OFFSETOF(fxVectorDisplay, m_settings.thickness))
      ->SetRange(0.0f, 10.0f);
  desc->AddAttribute(AttrFloat, "Thickness Factor", RV_OFFSETOF(fxVectorDisplay, m_settings.thicknessFactor))
      ->SetRange(0.0f, 2.0f);
  desc->AddAttribute(AttrFloat, "Color Intensity", RV_OFFSETOF(fxVectorDisplay, m_settings.colorIntensity))
      ->SetRange(0.0f, 2.0f);
  desc->AddAttribute(AttrFloat, "Color Brightness", RV_OFFSETOF(fxVectorDisplay, m_settings.colorBrightness))
      ->SetRange(0.0f, 2.0f);
  desc->AddAttribute(AttrVec2, "Fog Zmin|Zmax", RV_OFFSETOF(fxVectorDisplay, m_settings.fogZ))->SetRange(0.0f, 1000.0f);
  desc->AddAttribute(AttrFloat, "Fog Power", RV_OFFSETOF(fxVectorDisplay, m_settings.fogPower))->SetRange(1.0f, 100.0f);
  desc->AddAttribute(AttrBool, "Triangle Culling", RV_OFFSETOF(fxVectorDisplay, m_settings.triangleCulling));
  desc->AddAttribute(AttrSeparator, "_Separator_", 0);
  desc->AddAttribute(AttrEnum, "Import Color", RV_OFFSETOF(fxVectorDisplay, m_settings.importColor))
      ->SetEnumNames(kImportNames, 2);
  desc->AddAttribute(AttrEnum, "Import Depth", RV_OFFSETOF(fxVectorDisplay, m_settings.importDepth))
      ->SetEnumNames(kImportNames, 2);
  desc->AddAttribute(AttrEnum, "Export Color", RV_OFFSETOF(fxVectorDisplay, m_settings.exportColor))
      ->SetEnumNames(kExportColorNames, 4);
  desc->AddAttribute(AttrEnum, "Export Depth", RV_OFFSETOF(fxVectorDisplay, m_settings.exportDepth))
      ->SetEnumNames(kImportNames, 2);
  desc->AddAttribute(AttrSeparator, "_Separator_", 0);
  AddDebugSlotAttribute(desc, "Debug Color", RV_OFFSETOF(fxVectorDisplay, m_debugColor));
  AddDebugSlotAttribute(desc, "Debug Alpha", RV_OFFSETOF(fxVectorDisplay, m_debugAlpha));
  AddDebugSlotAttribute(desc, "Debug Glow", RV_OFFSETOF(fxVectorDisplay, m_debugGlow));
  AddDebugSlotAttribute(desc, "Debug Depth", RV_OFFSETOF(fxVectorDisplay, m_debugDepth));
  return desc;
}

// The settings blocks and the history construct at their defaults; the
// debug selections stay at the zero the object was filled with.
fxVectorDisplay::fxVectorDisplay(ClassDesc* desc) : fxBase(desc) {}

// A running effect deleted without being stopped must not leak its buffers.
fxVectorDisplay::~fxVectorDisplay() { m_history.Release(); }

//-----------------------------------------------------------------------------
// Running
//-----------------------------------------------------------------------------

VectorDisplaySettings fxVectorDisplay::Blend(const VectorDisplaySettings& current, const VectorDisplaySettings& start,
                                             const VectorDisplaySettings& own, float f) {
  VectorDisplaySettings s = own;
  s.decaySteps = Mix(start.decaySteps, own.decaySteps, f);
  s.decayFinal = Mix(start.decayFinal, own.decayFinal, f);
  s.decayInitial = Mix(start.decayInitial, own.decayInitial, f);
  s.decayRamp = Mix(start.decayRamp, own.decayRamp, f);
  s.thickness.x = Mix(start.thickness.x, own.thickness.x, f);
  s.thickness.y = Mix(start.thickness.y, own.thickness.y, f);
  s.thicknessFactor = Mix(start.thicknessFactor, own.thicknessFactor, f);
  s.colorIntensity = Mix(start.colorIntensity, own.colorIntensity, f);
  s.colorBrightness = Mix(start.colorBrightness, own.colorBrightness, f);
  s.fogZ.x = Mix(start.fogZ.x, own.fogZ.x, f);
  s.fogZ.y = Mix(start.fogZ.y, own.fogZ.y, f);
  s.fogPower = Mix(start.fogPower, own.fogPower, f);
  // What the effects of this frame set for their own drawing stays theirs.
  s.currentThickness = current.currentThickness;
  s.currentColor = current.currentColor;
  return s;
}

void fxVectorDisplay::Start() {
  if (g_pCurrentVectorDisplay) m_startSettings = g_pCurrentVectorDisplay->m_settings;
  m_history.Init();
}

void fxVectorDisplay::Stop() { m_history.Release(); }

void fxVectorDisplay::Update() {
  vector_display* display = g_pCurrentVectorDisplay;
  if (!display) return;
  if (m_fadeIn != 0.0f && m_localTime < m_fadeIn) {
    display->m_settings = Blend(display->m_settings, m_startSettings, m_settings, GetFadeFactor());
  } else {
    display->m_settings = m_settings;
  }
  display->Flush(&m_history);
}
