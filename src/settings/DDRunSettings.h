#ifndef DD_RUNSETTINGS_H
#define DD_RUNSETTINGS_H

#include "settings/DDOptions.h"

namespace double_description {

// What the computation of a run reads of the settings, copied once where the
// run is set up. The generator keeps it by value and hands it down, so the
// settings object may be destroyed while the generator still exists.
struct RunSettings {
  AdjacencyTest mAdjacencyTest = COMBINATIONAL_TEST;
  TreeOptions mDegenerateTree;
  TreeOptions mNondegenerateTree;
  TreeOptions mVerificationTree;
  bool mPlotting = false;

  // The defaults of Options.
  RunSettings() = default;
  explicit RunSettings(Options const& options);
};

} // namespace double_description

#endif
