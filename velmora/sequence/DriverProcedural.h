// Procedural drivers: values computed from the effect's local time alone, no
// keys. Noise (gradient noise with octaves), sine (sum of up to four waves)
// and triangle (triangle or sawtooth) map a wave in -1..1 onto the driver's
// _fMin.._fMax; the variable driver reads a named process-wide value.
// Stateless between evaluations. Depends on the driver base. Main thread only.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "sequence/Driver.h"

class SinusDriver : public NoneDriver {
 public:
  static constexpr int kMaxTerms = 4;
  // Registers "_Count", "_Period", "_Phase", "_AmplitudeFactor".
  SinusDriver(fxBase* fx, AttributeDesc* attribute);

  float Evaluate(float t) override;
  void DrawEditor() override;
  // Draws every term's period, phase and amplitude from platform::CRand.
  void RandomizeTerms();

  int _Count;  // sine terms used, 1..4
  float _Period[kMaxTerms];           // seconds per cycle
  float _Phase[kMaxTerms];            // cycles
  float _AmplitudeFactor[kMaxTerms];  // weight of each term
};

class TriangleDriver : public NoneDriver {
 public:
  // Registers "_fSymmetry".
  TriangleDriver(fxBase* fx, AttributeDesc* attribute);

  float Evaluate(float t) override;
  void DrawEditor() override;

  float _fSymmetry;  // share of the cycle spent rising, 0..1
};

class NoiseDriver : public NoneDriver {
 public:
  static constexpr int kMaxOctaves = 8;
  // Registers "_nOctaves", "_fPersistence".
  NoiseDriver(fxBase* fx, AttributeDesc* attribute);

  float Evaluate(float t) override;
  void DrawEditor() override;

  int _nOctaves;  // octaves added to the first, 0..8
  float _fPersistence;  // amplitude factor from one octave to the next
};

// The process-wide variables a VariableDriver reads: (name, value) pairs,
// created empty on first use; the first entry of a name wins.
std::vector<std::pair<std::string, float>>& GetDriverVariables();

class VariableDriver : public NoneDriver {
 public:
  // Registers "_sVarName".
  VariableDriver(fxBase* fx, AttributeDesc* attribute);

  // The first table entry named exactly _sVarName; positive infinity when
  // there is none.
  float Evaluate(float t) override;
  void DrawEditor() override;

  std::string _sVarName;
};
