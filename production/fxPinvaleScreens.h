// fxPinvaleScreens: the screen wall. Up to 16 looping BPG videos play side
// by side in one 4096 x 200 RGBA atlas, decoded on the eight decode
// workers, uploaded every frame into one of two render targets in turn and
// offered to other effects as a buffer (GetBuffer answers the target the
// latest Update did not write). Per-screen values go to three uniform arrays
// of a shader effect that draws the wall.
//
// Depends on the BPG reader, the decode workers, the schedule arithmetic,
// render targets, the data pack and the shader effect's uniform table. Owns
// the atlas, the 16 screens with their file bytes and decoders, and both
// atlas targets. Main thread, except ScreenEntry::DecodeStep on a worker.
#pragma once
#include <glm/glm.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "effects/buffers/fxBuffer.h"
#include "production/BpgDecoder.h"
#include "production/DecodeWorker.h"
#include "production/ScreenSchedule.h"

class fxShaderBase;

// One screen: its file, its decoder and where its picture goes. A decode
// step runs on a worker or on the main thread and writes only this entry
// and its own slot of the atlas.
struct ScreenEntry : DecodeJob {
  ScreenEntry() = default;
  ~ScreenEntry() override;
  ScreenEntry(const ScreenEntry&) = delete;
  ScreenEntry& operator=(const ScreenEntry&) = delete;

  // Reads the file bytes that the caller loaded, opens a decoder and places
  // the picture in slot `slot` of the atlas. False (and no decoder) when the
  // bytes do not decode or the picture is larger than a slot.
  bool Open(uint8_t* atlas, int slot);
  void Close();
  // One step: prepares a new frame when restart is on, then copies its lines
  // into the slot (see the .cpp); a disabled screen clears its slot instead.
  void DecodeStep() override;

  std::string m_bpg;
  std::vector<uint8_t> m_fileBytes;
  BPGDecoderContext* m_decoder = nullptr;
  BPGImageInfo m_info;
  uint8_t* m_atlas = nullptr;  // the atlas while the decoder is open
  AtlasPlacement m_line0;
  float m_frameDuration = 0.0f;
  float m_countdown = 0.0f;
  int m_slot = 0;
  int m_width = 0, m_height = 0;
  glm::vec2 m_screeni{0.0f};
  glm::vec2 m_screenf{1.0f};
  glm::vec2 m_shape{0.0f};
  int m_detail = 0;
  int m_startFrame = 0;
  bool m_restart = false;
  bool m_enabled = true;
  bool m_startedOnce = false;  // the first start shows the frame decoded at Open

 private:
  void ClearSlot();
  void PrepareFrame();
  void CopyLines();
};

class fxPinvaleScreens : public fxBufferDisplay {
 public:
  static ClassDesc* GetClassDesc();
  static fxBase* Create(ClassDesc* desc);
  static ClassDesc* RegisterAttributes();

  explicit fxPinvaleScreens(ClassDesc* desc);
  ~fxPinvaleScreens() override;

  void Init() override;
  void Kill() override;
  void Update() override;
  RenderTarget* GetBuffer() override;

  // Writes the per-screen values into the shader effect's value area.
  void FeedShaderUniforms();
  static void OnCopyAll(fxBase* fx);
  static void OnDumpImg(fxBase* fx);

  const uint8_t* Atlas() const { return m_atlas; }
  uint32_t FrameCounter() const { return m_frameCounter; }
  fxShaderBase* ShaderEffect() const { return m_shaderFx; }
  RenderTarget& AtlasTarget(int i) { return i == 0 ? m_t0 : m_t1; }

  // Frames decoded ahead at Init are held to this many (one log line past it).
  static constexpr int kMaxStartFrames = 1024;

  std::unique_ptr<uint8_t[]> m_atlasBlock;
  uint8_t* m_atlas;  // 256-byte aligned inside the block
  uint32_t m_frameCounter;
  ScreenEntry m_screens[kScreenCount];
  RenderTarget m_t0, m_t1;
  bool m_multiThreaded;
  bool m_systemTime;
  float m_lastClock;
  float m_scaleTime;
  fxShaderBase* m_shaderFx;
  int m_shaderOffset;
  std::string m_shaderFxName;
  AttrButtonFunc m_onCopyAll;
  AttrButtonFunc m_onDumpImg;

 private:
  void OpenScreens();
  static int StartFrames(const ScreenEntry& s);
  void ReleaseScreens();
  void ResolveShaderEffect();
  float FrameStep();
  void ScheduleDecodes(float dt);
  void UploadAtlas(RenderTarget& target);
};
