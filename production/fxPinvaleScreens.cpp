// fxPinvaleScreens: the screen wall. See fxPinvaleScreens.h.
//
// [SECTION] ScreenEntry
// [SECTION] Class description and attributes
// [SECTION] Init and Kill
// [SECTION] Per-frame work
// [SECTION] Shader uniforms
// [SECTION] Editor buttons
#include "production/fxPinvaleScreens.h"

#include <GLFW/glfw3.h>
#include <glad/gl.h>
#include <stb/stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "Loader/DataPack.h"
#include "core/AppLog.h"
#include "effects/shaders/fxShader.h"
#include "render/Framebuffer.h"
#include "sequence/rvSequence.h"

namespace {

constexpr int kMaxPicksPerFrame = kDecodeWorkerCount;
constexpr size_t kAtlasAlignment = 256;
constexpr uint32_t kAtlasFramebufferFlags = FB_COLOR | FB_CARRIED;  // 0x40000001
constexpr uint8_t kAtlasTargetFlags = 1;  // no vector display

const char* const kDetailNames[8] = {"no details", "one pad", "two pads", "wheel",
                                     "uzi",        "bike",    "flight",   "keyboard"};

}  // namespace

//-----------------------------------------------------------------------------
// [SECTION] ScreenEntry
//-----------------------------------------------------------------------------

ScreenEntry::~ScreenEntry() { Close(); }

bool ScreenEntry::Open(uint8_t* atlas, int slot) {
  Close();
  m_slot = slot;
  if (m_fileBytes.empty()) return false;
  m_decoder = bpg_decoder_open();
  // Larger pictures would be written outside the slot and the atlas; the
  // reader refuses them from the header, before decoding anything.
  bpg_decoder_set_max_size(m_decoder, kSlotWidth, kSlotHeight);
  if (bpg_decoder_decode(m_decoder, m_fileBytes.data(), int(m_fileBytes.size())) != 0) {
    if (bpg_decoder_get_info(m_decoder, &m_info) == 0 && !FitsSlot(int(m_info.width), int(m_info.height)))
      AppLog::Get().AddLog("[fxPinvaleScreens] \"%s\" is %ux%u, larger than a %dx%d screen: not shown\n",
                           m_bpg.c_str(), m_info.width, m_info.height, kSlotWidth, kSlotHeight);
    Close();
    return false;
  }
  bpg_decoder_get_info(m_decoder, &m_info);
  int num = 0, den = 1;
  bpg_decoder_get_frame_duration(m_decoder, &num, &den);
  m_frameDuration = den != 0 ? float(num) / float(den) : 0.0f;
  m_countdown = 0.0f;
  m_width = int(m_info.width);
  m_height = int(m_info.height);
  m_restart = true;
  m_startedOnce = false;
  m_atlas = atlas;
  m_line0 = PlaceInAtlas(slot, m_width, m_height);
  return true;
}

void ScreenEntry::Close() {
  if (m_decoder) bpg_decoder_close(m_decoder);
  m_decoder = nullptr;
  m_atlas = nullptr;
  m_info = BPGImageInfo();
  m_frameDuration = 0.0f;
  m_width = m_height = 0;
}

void ScreenEntry::ClearSlot() {
  for (int k = 0; k < m_height; ++k) {
    uint8_t* row = m_atlas + size_t(m_line0.row - k) * kAtlasRowBytes;
    std::memset(row + size_t(kSlotWidth) * m_slot * 4, 0, size_t(kSlotWidth) * 4);
  }
}

// Leaves restart on (and nothing to copy) when the animation ran out and the
// stream was decoded again; the step after goes on with its next frame.
void ScreenEntry::PrepareFrame() {
  if (!m_startedOnce) {
    m_startedOnce = true;
    bpg_decoder_start(m_decoder, BPG_OUTPUT_FORMAT_RGBA32);
  } else if (m_info.has_animation &&
             bpg_decoder_start(m_decoder, BPG_OUTPUT_FORMAT_RGBA32) != 0) {
    bpg_decoder_decode(m_decoder, m_fileBytes.data(), int(m_fileBytes.size()));
    return;
  }
  m_restart = false;
}

void ScreenEntry::CopyLines() {
  for (int k = 0; k < m_height; ++k) {
    uint8_t* dst = m_atlas + size_t(m_line0.row - k) * kAtlasRowBytes + size_t(m_line0.column) * 4;
    m_restart = bpg_decoder_get_line(m_decoder, dst) != 0;
    if (m_restart) return;
  }
}

void ScreenEntry::DecodeStep() {
  if (m_bpg.empty() || !m_decoder || !m_atlas) return;
  if (!m_enabled) {
    ClearSlot();
    return;
  }
  if (m_restart) {
    PrepareFrame();
    if (m_restart) return;
  }
  CopyLines();
}

//-----------------------------------------------------------------------------
// [SECTION] Class description and attributes
//-----------------------------------------------------------------------------

ClassDesc* fxPinvaleScreens::GetClassDesc() {
  static ClassDesc desc("fxPinvaleScreens", fxBufferDisplay::GetClassDesc(), &fxPinvaleScreens::Create);
  return &desc;
}

fxBase* fxPinvaleScreens::Create(ClassDesc* desc) { return CreateZeroFilled<fxPinvaleScreens>(desc); }

namespace {

void RegisterScreenGroup(ClassDesc* desc, int n, int base) {
  char prefix[16];
  std::snprintf(prefix, sizeof prefix, "Pinvale%02d/", n);
  const std::string p = prefix;
  desc->AddAttribute(AttrFile, p + "Bpg", base + RV_OFFSETOF(ScreenEntry, m_bpg))->SetFileFilter(".bpg");
  desc->AddAttribute(AttrVec2, p + "Screeni", base + RV_OFFSETOF(ScreenEntry, m_screeni))->SetRange(0.0f, 1.0f);
  desc->AddAttribute(AttrVec2, p + "Screenf", base + RV_OFFSETOF(ScreenEntry, m_screenf))->SetRange(0.0f, 1.0f);
  desc->AddAttribute(AttrEnum, p + "Detail", base + RV_OFFSETOF(ScreenEntry, m_detail))
      ->SetEnumNames(kDetailNames, 8);
  desc->AddAttribute(AttrVec2, p + "Shape", base + RV_OFFSETOF(ScreenEntry, m_shape))->SetRange(0.0f, 1.0f);
  desc->AddAttribute(AttrInt, p + "StartFrame", base + RV_OFFSETOF(ScreenEntry, m_startFrame));
  desc->AddAttribute(AttrBool, p + "Enabled", base + RV_OFFSETOF(ScreenEntry, m_enabled));
}

}  // namespace

ClassDesc* fxPinvaleScreens::RegisterAttributes() {
  ClassDesc* desc = GetClassDesc();
  desc->AddAttribute(AttrButton, "CopyAll", RV_OFFSETOF(fxPinvaleScreens, m_onCopyAll))
      ->SetTooltip("Copy first video on all 16 entries");
  desc->AddAttribute(AttrButton, "DumpImg", RV_OFFSETOF(fxPinvaleScreens, m_onDumpImg))
      ->SetTooltip("Dump decoded image for debug (fxPinvaleScreens.png)");
  const int screens = RV_OFFSETOF(fxPinvaleScreens, m_screens);
  for (int n = 1; n <= kScreenCount; ++n)
    RegisterScreenGroup(desc, n, screens + (n - 1) * int(sizeof(ScreenEntry)));
  desc->AddAttribute(AttrSeparator, "_Separator_", 0);
  desc->AddAttribute(AttrString, "PinvaleShaderFx", RV_OFFSETOF(fxPinvaleScreens, m_shaderFxName));
  desc->AddAttribute(AttrInt, "PinvaleShaderOffset", RV_OFFSETOF(fxPinvaleScreens, m_shaderOffset));
  desc->AddAttribute(AttrSeparator, "_Separator_", 0);
  desc->AddAttribute(AttrBool, "MultiThreaded", RV_OFFSETOF(fxPinvaleScreens, m_multiThreaded));
  desc->AddAttribute(AttrBool, "SystemTime", RV_OFFSETOF(fxPinvaleScreens, m_systemTime));
  desc->AddAttribute(AttrFloat, "ScaleTime", RV_OFFSETOF(fxPinvaleScreens, m_scaleTime))->SetRange(0.0f, 10.0f);
  return desc;
}

fxPinvaleScreens::fxPinvaleScreens(ClassDesc* desc)
    : fxBufferDisplay(desc),
      m_atlas(nullptr),
      m_frameCounter(0),
      m_multiThreaded(true),
      m_systemTime(false),
      m_lastClock(-1.0f),
      m_scaleTime(2.0f),
      m_shaderFx(nullptr),
      m_shaderOffset(0),
      m_onCopyAll(&fxPinvaleScreens::OnCopyAll),
      m_onDumpImg(&fxPinvaleScreens::OnDumpImg) {}

fxPinvaleScreens::~fxPinvaleScreens() {
  if (m_atlas) Kill();
}

//-----------------------------------------------------------------------------
// [SECTION] Init and Kill
//-----------------------------------------------------------------------------

void fxPinvaleScreens::Init() {
  AcquireDecodeWorkers();
  const uint32_t flags = kAtlasFramebufferFlags | (m_interpColor ? FB_LINEAR : 0u);
  m_t0.Create(m_name, kAtlasWidth, kAtlasHeight, kAtlasTargetFlags, flags);
  m_t1.Create(m_name, kAtlasWidth, kAtlasHeight, kAtlasTargetFlags, flags);
  m_atlasBlock.reset(new uint8_t[kAtlasBytes + kAtlasAlignment]);
  const uintptr_t address = reinterpret_cast<uintptr_t>(m_atlasBlock.get());
  m_atlas = m_atlasBlock.get() + (kAtlasAlignment - address % kAtlasAlignment) % kAtlasAlignment;
  std::memset(m_atlas, 0, kAtlasBytes);
  // Both targets hold the empty wall before any reader can sample them, and
  // before any decode step may write into the atlas.
  UploadAtlas(m_t0);
  UploadAtlas(m_t1);
  OpenScreens();
  m_frameCounter = 0;
  m_lastClock = -1.0f;
  ResolveShaderEffect();
  FeedShaderUniforms();
}

void fxPinvaleScreens::OpenScreens() {
  int worker = 0;
  for (int i = 0; i < kScreenCount; ++i) {
    ScreenEntry& s = m_screens[i];
    s.Close();
    s.m_slot = i;
    s.m_fileBytes.clear();
    if (s.m_bpg.empty()) continue;
    DataPack::Get().LoadFileToVector(s.m_bpg, s.m_fileBytes);
    if (!s.Open(m_atlas, i) || s.m_startFrame == 0) continue;
    // Two steps a frame: one prepares it, the next finds no line left.
    GetDecodeWorker(worker).QueueFrames(&s, 2 * StartFrames(s));
    worker = (worker + 1) % kDecodeWorkerCount;
  }
}

// Init decodes every frame ahead, and the next Update waits for them: a
// count from a sequence file is held to what a short screen loop can need,
// so that Init ends in bounded time.
int fxPinvaleScreens::StartFrames(const ScreenEntry& s) {
  if (s.m_startFrame <= kMaxStartFrames) return s.m_startFrame;
  AppLog::Get().AddLog("[fxPinvaleScreens] \"%s\": StartFrame %d is more than %d frames: %d used\n",
                       s.m_bpg.c_str(), s.m_startFrame, kMaxStartFrames, kMaxStartFrames);
  return kMaxStartFrames;
}

void fxPinvaleScreens::ResolveShaderEffect() {
  m_shaderFx = nullptr;
  if (m_shaderFxName.empty() || !m_owner) return;
  fxBase* fx = m_owner->FindItem(m_shaderFxName);
  if (fx && fx->IsKindOf("fxShaderBase")) m_shaderFx = static_cast<fxShaderBase*>(fx);
}

void fxPinvaleScreens::Kill() {
  // No step may still write into the atlas or use a decoder below.
  ReleaseDecodeWorkers();
  m_t0.Destroy(true);
  m_t1.Destroy(true);
  m_atlasBlock.reset();
  m_atlas = nullptr;
  ReleaseScreens();
}

void fxPinvaleScreens::ReleaseScreens() {
  for (ScreenEntry& s : m_screens) {
    s.Close();
    s.m_fileBytes.clear();
    s.m_fileBytes.shrink_to_fit();
  }
}

RenderTarget* fxPinvaleScreens::GetBuffer() { return (m_frameCounter & 1u) ? &m_t1 : &m_t0; }

//-----------------------------------------------------------------------------
// [SECTION] Per-frame work
//-----------------------------------------------------------------------------

float fxPinvaleScreens::FrameStep() {
  const float now = float(glfwGetTime());
  // The first step after Init on the wall clock is now + 1 (last clock -1).
  const float dt = m_systemTime ? now - m_lastClock : m_appliedDelta;
  m_lastClock = now;
  return std::fmax(dt, 0.0f) * m_scaleTime;
}

void fxPinvaleScreens::ScheduleDecodes(float dt) {
  std::vector<ScreenDue> due(kScreenCount);
  for (int i = 0; i < kScreenCount; ++i) {
    m_screens[i].m_countdown -= dt;
    due[i] = {m_screens[i].m_countdown, m_screens[i].pending};
  }
  const std::vector<int> picks = PickDueScreens(due, kMaxPicksPerFrame);
  for (size_t k = 0; k < picks.size(); ++k) {
    ScreenEntry& s = m_screens[picks[k]];
    s.m_countdown = NextCountdown(s.m_countdown, s.m_frameDuration);
    if (m_multiThreaded)
      GetDecodeWorker(int(k)).QueueFrames(&s, 1);
    else
      s.DecodeStep();
  }
}

void fxPinvaleScreens::Update() {
  if (!m_atlas) return;
  ++m_frameCounter;
  ScheduleDecodes(FrameStep());
  // Also waits for the start-frame steps of Init, in both modes.
  WaitDecodeWorkersIdle();
  UploadAtlas((m_frameCounter & 1u) ? m_t0 : m_t1);
  FeedShaderUniforms();
}

void fxPinvaleScreens::UploadAtlas(RenderTarget& target) {
  if (!target.m_colorFramebuffer || !m_atlas) return;
  glBindTexture(GL_TEXTURE_2D, target.m_colorFramebuffer->GL()->m_colorTexture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, kAtlasWidth, kAtlasHeight, GL_RGBA, GL_UNSIGNED_BYTE, m_atlas);
  glBindTexture(GL_TEXTURE_2D, 0);
}

//-----------------------------------------------------------------------------
// [SECTION] Shader uniforms
//-----------------------------------------------------------------------------

namespace {

// Copies one block of values into the first non-constant entry of that name:
// block b of the array, as far as the entry reaches. The block's first word
// is counted in 64 bits: any int offset from a sequence file must land past
// the entry's end, never wrap round in front of it.
void FeedUniformBlock(rvProgram& program, const char* name, const uint32_t* words, int blockWords, int block) {
  for (const ShaderUniform& u : program.m_uniforms) {
    if (std::strcmp(u.name, name) != 0 || u.constant) continue;
    const int64_t first = int64_t(block) * blockWords;
    const int64_t n = int64_t(u.wordCount) - first;
    if (first >= 0 && n > 0)
      std::memcpy(program.m_values + u.valueWord + first, words, size_t(std::min<int64_t>(n, blockWords)) * 4);
    return;
  }
}

}  // namespace

void fxPinvaleScreens::FeedShaderUniforms() {
  if (!m_shaderFx) return;
  rvProgram& program = m_shaderFx->Program();
  // A negative block would write in front of the value area.
  if (!program.m_values || m_shaderOffset < 0) return;
  uint32_t detail[kScreenCount];
  float screen[kScreenCount * 4];
  float shape[kScreenCount * 2];
  for (int i = 0; i < kScreenCount; ++i) {
    const ScreenEntry& s = m_screens[i];
    const int32_t d = s.m_detail;
    std::memcpy(&detail[i], &d, 4);
    screen[4 * i + 0] = s.m_screeni.x;
    screen[4 * i + 1] = s.m_screeni.y;
    screen[4 * i + 2] = s.m_screenf.x;
    screen[4 * i + 3] = s.m_screenf.y;
    shape[2 * i + 0] = s.m_shape.x;
    shape[2 * i + 1] = s.m_shape.y;
  }
  uint32_t screenWords[kScreenCount * 4], shapeWords[kScreenCount * 2];
  std::memcpy(screenWords, screen, sizeof screen);
  std::memcpy(shapeWords, shape, sizeof shape);
  FeedUniformBlock(program, "pinvaleTexDetail", detail, kScreenCount, m_shaderOffset);
  FeedUniformBlock(program, "pinvaleTexScreen", screenWords, kScreenCount * 4, m_shaderOffset);
  FeedUniformBlock(program, "pinvaleObjShape", shapeWords, kScreenCount * 2, m_shaderOffset);
}

//-----------------------------------------------------------------------------
// [SECTION] Editor buttons
//-----------------------------------------------------------------------------

void fxPinvaleScreens::OnCopyAll(fxBase* fx) {
  fxPinvaleScreens* self = static_cast<fxPinvaleScreens*>(fx);
  for (int i = 1; i < kScreenCount; ++i) self->m_screens[i].m_bpg = self->m_screens[0].m_bpg;
  for (ScreenEntry& s : self->m_screens) s.m_enabled = true;
  self->SetState(StateInitialized);
}

void fxPinvaleScreens::OnDumpImg(fxBase* fx) {
  fxPinvaleScreens* self = static_cast<fxPinvaleScreens*>(fx);
  if (!self->m_atlas) return;
  WaitDecodeWorkersIdle();  // the picture the workers are writing is complete
  stbi_write_png("fxPinvaleScreens.png", kAtlasWidth, kAtlasHeight, 4, self->m_atlas, int(kAtlasRowBytes));
}
