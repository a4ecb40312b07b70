#ifndef DD_CLASSIC_H
#define DD_CLASSIC_H

#include <sys/time.h>

#include <iostream>
#include <optional>
#include <string>

#include "app/DDInput.h"
#include "core/DDBitList.h"
#include "core/DDRepresentationVector.h"
#include "core/DDWorkerPool.h"
#include "dualset/DDDualSetRayGenerator.h"
#include "iteration/DDExtremeRayGenerator.h"
#include "iteration/DDSingleSetRayGenerator.h"
#include "settings/DDLogging.h"
#include "settings/DDOptions.h"
#include "settings/DDRunSettings.h"

namespace double_description {

// Exit status of every failure (main's -1).
constexpr int FAILURE_STATUS = 255;

// Fixed name of the second plot file, in the working directory.
constexpr const char* VER_BIT_DISTRIBUTION_FILE = "ver_bit_distribution.plt";

void printBanner();
void printComputationBox();

// True when the argument asks for help ("--help", "-help", "-h" prefixes).
bool isHelpRequest(const char* argument);

// The threads of a run: the processors available, at most the count setting
// (REDIVEZ_THREADS) gives where it is set; none when it is set but not a
// positive integer.
std::optional<unsigned> threadCount(const char* setting,
                                    unsigned available = WorkerPool::availableProcessors());

// Everything main does. Failures of the matrix file leave as InputError.
int classicMain(int argc, const char* const* argv);

// Registers the two plot streams.
void openPlotStreams();
// Writes both plot streams to their files and releases them; false when a
// file could not be written (reported on standard output).
bool writePlotFiles(const std::string& plotFile);

} // namespace double_description

// One whole run over the matrix file: 0 when every file was written, 255
// otherwise. Failures of the matrix file leave as InputError.
template <class G> int generate(const char* matrixFile, unsigned threads) {
  using namespace double_description;
  Input input(matrixFile);
  Options* options = Options::current();
  std::cout << options->toString() << std::endl;
  printComputationBox();

  // The generator copies what it reads of the settings: it outlives them.
  G generator(input.mOriginalMatrix, input.mWorkingMatrix, input.mBaseMatrix,
              RunSettings(*options), threads);
  timeval t0, t1, t2, t3;
  gettimeofday(&t0, nullptr);
  const bool plotting = options->plotting();
  if (plotting)
    openPlotStreams();

  generator.calculateBase();
  gettimeofday(&t1, nullptr);
  generator.run();
  gettimeofday(&t2, nullptr);
  const long iterationTime = elapsedMilliseconds(t1, t2);

  bool written = true;
  if (plotting)
    written = writePlotFiles(options->mPlotFile);

  const std::string resultFile = std::string(matrixFile) + ".out";
  try {
    switch (options->mOutputFormat) {
    case INTEGER_VEC:
      generator.template writeExtremeRays<RepresentationVector>(resultFile.c_str());
      break;
    case DOUBLE_VEC:
      generator.template writeExtremeRays<OutputVector<double>>(resultFile.c_str());
      break;
    case ACTIVE_SET:
      generator.template writeExtremeRays<BitList>(resultFile.c_str());
      break;
    }
  } catch (const OutputError& error) {
    std::cout << error.what() << std::endl;
    written = false;
  }

  gettimeofday(&t3, nullptr);
  std::cout << "Narrowing and verification time: " << iterationTime << "ms" << std::endl;
  std::cout << "Overall time: " << elapsedMilliseconds(t0, t3) << "ms" << std::endl;

  delete options; // clears Options::mCurrent
  return written ? 0 : FAILURE_STATUS;
}

#endif
