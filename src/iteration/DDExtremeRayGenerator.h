#ifndef DD_EXTREMERAYGENERATOR_H
#define DD_EXTREMERAYGENERATOR_H

#include "core/DDBitList.h"
#include "core/DDMatrix.h"
#include "core/DDPendingFile.h"
#include "core/DDResultLineWriter.h"
#include "core/DDSharingPolicy.h"
#include "core/DDWorkerPool.h"
#include "iteration/DDBitPatternTreeCacheEntry.h"
#include "iteration/DDRayCache.h"
#include "iteration/DDStepStatistics.h"
#include "settings/DDLogging.h"
#include "settings/DDRunSettings.h"

#include <sys/time.h>

#include <cstdint>
#include <iostream>
#include <memory>
#include <new>
#include <sstream>
#include <string>
#include <vector>

namespace double_description {

// Milliseconds between two wall-clock readings, rounded half up.
inline long elapsedMilliseconds(timeval const& t0, timeval const& t1) {
  return static_cast<long>((t1.tv_sec - t0.tv_sec) * 1000 + (t1.tv_usec - t0.tv_usec) / 1000.0 +
                           0.5);
}

// Result lines that one worker formats at a time.
constexpr std::size_t RESULT_CHUNK_LINES = 256;

// The double description iteration over the rows after the basis. Subclasses
// supply the initial rays and the adjacency search of one step.
template <class R> class ExtremeRayGenerator {
public:
  using Entry = BitPatternTreeCacheEntry<R>;
  using Cache = RayCache<R, Entry>;

  // The run follows settings, copied here. The adjacency searches of a step
  // share threads threads, by default one per processor the process may run
  // on.
  ExtremeRayGenerator(Matrix const& original, Matrix const& working, Matrix const& base,
                      RunSettings const& settings,
                      unsigned threads = WorkerPool::availableProcessors())
      : mOriginalMatrix(original), mWorkingMatrix(working), mSettings(settings),
        mRayCache(working, base, settings.mAdjacencyTest), mWorkers(threads) {}

  ExtremeRayGenerator(ExtremeRayGenerator const&) = delete;
  ExtremeRayGenerator& operator=(ExtremeRayGenerator const&) = delete;

  virtual StepStatistics enumerate(unsigned long step, Entry& entry) = 0;
  virtual void calculateBase() = 0;

  void run() {
    for (std::uint32_t i = mWorkingMatrix.getColumns(); i < mWorkingMatrix.getRowCount(); ++i)
      calculateStep(i);
  }

  void calculateStep(unsigned long i);

  // Writes the result file in the format T selects or, throwing OutputError,
  // leaves the file name as it was. The ray type supplies resultZeroSet<T>.
  template <class T> void writeExtremeRays(char const* fileName);

  virtual ~ExtremeRayGenerator() = default;

protected:
  Matrix const& mOriginalMatrix;
  Matrix const& mWorkingMatrix;
  const RunSettings mSettings;
  Cache mRayCache;
  WorkerPool mWorkers;
};

template <class R> void ExtremeRayGenerator<R>::calculateStep(unsigned long i) {
  Entry& entry = mRayCache.entry(static_cast<unsigned>(i), &mWorkers);
  const std::uint32_t d = mWorkingMatrix.getColumns();
  const std::uint32_t steps = mWorkingMatrix.getRowCount() - d;
  std::cout << "[" << static_cast<std::uint64_t>(i + 1 - d) << "/" << steps << "] "
            << "( pos. (deg.)/neg. (deg.)/elim. compl./ver. cand./acc./ver. lg(n)^3/ver. n/extr. "
               "rays) = ";

  timeval t0;
  gettimeofday(&t0, nullptr);
  StepStatistics s;
  try {
    s = enumerate(i, entry);
  } catch (std::bad_alloc const&) {
    // Whatever reports the failure starts on a line of its own.
    std::cout << std::endl;
    throw;
  }

  const std::uint32_t positives =
      static_cast<std::uint32_t>(entry.mPosDegenerate.size() + entry.mPosNondegenerate.size());
  const std::uint32_t negatives = static_cast<std::uint32_t>(entry.mNegative.size());
  std::cout << positives << "(" << s.mPosDegeneracy << ")/" << negatives << "(" << s.mNegDegeneracy
            << ")/" << s.mEliminationComplexity << "/" << s.mVerificationCandidates << "/"
            << s.mAccepted << "/";
  if (s.mVerificationLogComplexity == 0.0)
    std::cout << "-";
  else
    std::cout << s.mVerificationLogComplexity;
  std::cout << "/";
  if (s.mVerificationLinearComplexity == 0.0)
    std::cout << "-";
  else
    std::cout << s.mVerificationLinearComplexity;
  std::cout << "/";

  if (mSettings.mPlotting && s.mEliminationComplexity > 0) {
    // Without a registered stream (a generator run outside the driver) the
    // line is dropped rather than written through a null pointer.
    auto plot = loggers.find("COMPLEXITY_PLOT");
    if (plot != loggers.end() && plot->second != nullptr)
      *plot->second << static_cast<std::uint64_t>(i - d) << " " << s.mEliminationComplexity << " "
                    << s.mVerificationLogComplexity << " " << s.mVerificationLinearComplexity
                    << "\n";
  }

  mRayCache.finishStep(static_cast<unsigned>(i), &mWorkers);
  timeval t1;
  gettimeofday(&t1, nullptr);
  std::cout << static_cast<std::uint64_t>(mRayCache.mFinalRays.size())
            << ", dt=" << elapsedMilliseconds(t0, t1) << "ms" << std::endl;
}

template <class R>
template <class T>
void ExtremeRayGenerator<R>::writeExtremeRays(char const* fileName) {
  PendingFile output(fileName);
  if (!output.isOpen())
    throw OutputError(fileName);
  std::ostream& out = output.stream();
  out << "Extreme rays:\n";
  std::vector<R const*> const& rays = mRayCache.mFinalRays;
  const std::size_t n = rays.size();
  const SharingPolicy policy(&mWorkers);
  // Formatting exact numbers is most of the writing, some sixteen word
  // operations a coordinate. The workers format a window of lines chunk by
  // chunk, which are then written in order; the window keeps the text held
  // at once small.
  const std::size_t chunks = policy.chunks(n / RESULT_CHUNK_LINES,
                                           n * mWorkingMatrix.getColumns() * 16, 4);
  const std::size_t window = chunks == 1 ? n : chunks * RESULT_CHUNK_LINES;
  std::vector<std::unique_ptr<ResultLineWriter<T>>> writers(mWorkers.size());
  std::vector<BitList> scratch(mWorkers.size());
  for (auto& writer : writers)
    writer = std::make_unique<ResultLineWriter<T>>(mOriginalMatrix, mWorkingMatrix);
  for (std::size_t start = 0; start < n && out; start += window) {
    const std::size_t lines = std::min(n, start + window) - start;
    policy.run<std::stringstream>(
        lines, chunks == 1 ? 1 : (lines + RESULT_CHUNK_LINES - 1) / RESULT_CHUNK_LINES, out,
        [&](std::size_t from, std::size_t to, std::ostream& text, unsigned thread) {
          for (std::size_t i = start + from; i < start + to && text; ++i) {
            writers[thread]->write(text, resultZeroSet<T>(*rays[i], scratch[thread]),
                                   rays[i]->coordinates());
            text << '\n';
          }
        },
        [](std::ostream& whole, std::stringstream& text) {
          if (whole)
            whole << text.rdbuf();
        });
  }
  if (!output.commit())
    throw OutputError(fileName);
}

} // namespace double_description

#endif
