#include "settings/DDRunSettings.h"

namespace double_description {

RunSettings::RunSettings(Options const& options)
    : mAdjacencyTest(options.mAdjacencyTest), mDegenerateTree(options.mDegenerateTree),
      mNondegenerateTree(options.mNondegenerateTree), mVerificationTree(options.mVerificationTree),
      mPlotting(options.plotting()) {}

} // namespace double_description
