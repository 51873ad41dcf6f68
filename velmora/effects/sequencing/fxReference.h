// fxReference: shows, inside a part B, one effect that lives in another
// sequence file A, for when B (normally played nested in A through an
// fxSequence of A) is played on its own. Init loads A into a temporary
// sequence without initialising it, finds the fxSequence of A that plays B
// (the host) and the named effect of A whose window overlaps the host's
// (the source), and builds a private copy of the source (the clone) by
// writing its attributes and drivers to JSON and loading them into a new
// object of the same class. Every life-cycle call is forwarded to the clone,
// whose clock follows this effect's. When B is itself nested, A shows the
// effect already, so no clone is built.
//
// The clone belongs to no sequence: lookups it makes through its owning
// sequence find nothing. Without a clone every forwarded call does nothing.
// Depends on rvSequence, fxSequence and the JSON form of properties. Owns
// the clone.
#pragma once
#include <json/json.h>

#include <string>

#include "sequence/fxBase.h"

class fxReference : public fxBase {
 public:
  static ClassDesc* GetClassDesc();
  static fxBase* Create(ClassDesc* desc);
  static ClassDesc* RegisterAttributes();

  explicit fxReference(ClassDesc* desc);
  ~fxReference() override;

  void Init() override;
  void Kill() override;
  void Prepare() override;
  void Unprepare() override;
  void Start() override;
  void Stop() override;
  void Update() override;
  void Seek(float delta, float localTime, float requestedTime) override;
  void RenameAttribute(std::string& name) override;
  void OnAttributeLoaded(AttributeDesc* attribute) override;
  void OnAttributeEdited(AttributeDesc* attribute) override;

  // A new effect of the source's class holding every value and driver of the
  // source, loaded through the same readers as a sequence item; state 0.
  static fxBase* CopyEffect(const fxBase* source);

  std::string m_sequenceFile;  // the sequence A holding the referenced effect
  std::string m_fxName;        // Name of that effect in A
  fxBase* m_clone;

 private:
  // The clone for this reference's sequence, or null (see the header text).
  fxBase* BuildClone() const;
  void ReleaseClone();
};
