#ifndef DD_PARTTESTWORKER_H
#define DD_PARTTESTWORKER_H

#include "core/DDMatrix.h"
#include "dualset/DDCertificateAssigner.h"
#include "dualset/DDFaceProver.h"
#include "dualset/DDLinearDependenceCache.h"

namespace double_description {

// What one thread of a shared partitioned-sets pass works with: its own face
// prover, and an assigner over a draft of the run's certificate store, whose
// rays count their references when they are filed.
struct PartTestWorker {
  PartTestWorker(Matrix const& working, LinearDependenceCache const& store)
      : mDrafts(working, store),
        mAssigner(mDrafts, working.getRowCount(), working.getColumns(), false),
        mFaceProver(static_cast<unsigned short>(working.getRowCount()),
                    static_cast<unsigned short>(working.getColumns() - 2)) {}

  LinearDependenceCache mDrafts;
  CertificateAssigner mAssigner;
  FaceProver mFaceProver;
};

} // namespace double_description

#endif
