// Nested sequences and the editing layer. A frame of a timeline whose items
// run flat, against the same items played through an fxSequence; the JSON
// copy an fxReference makes of an effect with key-framed drivers; and one
// headless GUI frame of the curve view over an item with three drivers.
// Run by hand:
//   build/bench/bench_nested_sequence
#include <benchmark/benchmark.h>
#include <imgui.h>

#include "sequence/fxBase.h"
#include "effects/sequencing/fxReference.h"
#include "effects/sequencing/fxSequence.h"
#include "sequence/ClassRegistry.h"
#include "sequence/Driver.h"
#include "sequence/DriverKeyFrame.h"
#include "sequence/ImCurveEdit.h"
#include "sequence/rvCurveEdit.h"
#include "sequence/rvSequence.h"
#include "BenchMain.h"

namespace {

fxBase* MakeItem(int start, int end) {
  fxBase* fx = fxBase::Create(GetClassRegistry()[0]);
  fx->m_start = start;
  fx->m_end = end;
  return fx;
}

// Three key-framed base attributes with a hundred keys each.
void AddDrivers(fxBase* fx) {
  for (const char* name : {"TimeScale", "FadeIn", "FadeOut"}) {
    auto* keys = static_cast<KeyFrameDriver*>(CreateDriver(fx, DriverKeyFrame, fx->m_classDesc->FindAttribute(name)));
    for (int i = 0; i < 100; ++i) keys->SetKey(i / 10.0f, 1.0f + (i % 5) * 0.1f);
    fx->m_drivers.push_back(keys);
  }
}

void PlayFrames(benchmark::State& state, rvSequence& sequence) {
  sequence.StartPlaying();
  for (auto _ : state) {
    sequence.Update(1.0f / 60.0f);
    if (!sequence.m_playing) sequence.StartPlaying();
  }
  state.SetItemsProcessed(state.iterations());
  sequence.Clear();
}

void FlatTimeline(benchmark::State& state) {
  rvSequence sequence(1);
  for (int i = 0; i < state.range(0); ++i) sequence.AppendItem(MakeItem(0, 36000));
  PlayFrames(state, sequence);
}
BENCHMARK(FlatTimeline)->Arg(10)->Arg(100);

// The items of the flat case inside one fxSequence (its file is missing, so
// Init keeps the items appended here).
void NestedTimeline(benchmark::State& state) {
  ClassDesc* desc = GetClassRegistry()[1];
  rvSequence sequence(1);
  auto* nest = static_cast<fxSequence*>(desc->m_create(desc));
  nest->m_end = 36000;
  for (int i = 0; i < state.range(0); ++i) nest->m_sequence.AppendItem(MakeItem(0, 36000));
  sequence.AppendItem(nest);
  PlayFrames(state, sequence);
}
BENCHMARK(NestedTimeline)->Arg(10)->Arg(100);

void ReferenceCopy(benchmark::State& state) {
  fxBase* source = MakeItem(120, 720);
  AddDrivers(source);
  for (auto _ : state) {
    fxBase* clone = fxReference::CopyEffect(source);
    benchmark::DoNotOptimize(clone);
    delete clone;
  }
  delete source;
}
BENCHMARK(ReferenceCopy);

void CurveViewFrame(benchmark::State& state) {
  ImGui::CreateContext();
  ImGuiIO& io = ImGui::GetIO();
  io.DisplaySize = ImVec2(1280, 720);
  io.DeltaTime = 1.0f / 60.0f;
  io.IniFilename = nullptr;
  unsigned char* pixels;
  int w, h;
  io.Fonts->GetTexDataAsRGBA32(&pixels, &w, &h);
  fxBase* item = MakeItem(120, 720);
  AddDrivers(item);
  rvCurveEdit edit;
  edit.m_currentItem = item;
  edit.m_max = ImVec2(720.0f, 2.0f);
  for (auto _ : state) {
    io.MousePos = ImVec2(300, 150);
    ImGui::NewFrame();
    ImGui::Begin("Curves");
    ImCurveEdit::DrawCurveEditor(edit, ImVec2(1200, 300), 1);
    ImGui::End();
    ImGui::Render();
  }
  delete item;
  ImGui::DestroyContext();
}
BENCHMARK(CurveViewFrame);

}  // namespace

VELMORA_BENCHMARK_MAIN()
