#include "app/dd_classic.h"

#include "core/DDPendingFile.h"
#include "core/DDWorkerPool.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>

namespace double_description {

namespace {

const std::string STARS(83, '*');
const std::string DASHES(83, '-');
const char* const COMPLEXITY_PLOT = "COMPLEXITY_PLOT";
const char* const VER_BIT_DISTRIBUTION_PLOT = "VER_BIT_DISTRIBUTION_PLOT";

// Writes the stream into the file when asked to, then releases the stream.
bool flushPlot(const char* name, const std::string& fileName, bool write) {
  std::stringstream* stream = loggers[name];
  bool written = true;
  if (write && stream != nullptr) {
    PendingFile file(fileName);
    if (file.isOpen())
      file.stream() << stream->str();
    if (!file.commit()) {
      std::cout << OutputError(fileName).what() << std::endl;
      written = false;
    }
  }
  delete stream;
  loggers.erase(name);
  return written;
}

} // namespace

void printBanner() {
  std::cout << STARS << std::endl
            << "* Redivez" << std::string(73, ' ') << '*' << std::endl
            << '*' << std::string(81, ' ') << '*' << std::endl
            << '*' << std::string(81, ' ') << '*' << std::endl
            << STARS << std::endl
            << std::endl;
}

void printComputationBox() {
  std::cout << DASHES << std::endl
            << '|' << std::string(34, ' ') << "COMPUTATION" << std::string(36, ' ') << '|'
            << std::endl
            << DASHES << std::endl;
}

// strncmp stops at the argument's terminating zero, so nothing past it is read.
bool isHelpRequest(const char* argument) {
  return std::strncmp(argument, "--help", 6) == 0 || std::strncmp(argument, "-help", 5) == 0 ||
         std::strncmp(argument, "-h", 2) == 0;
}

void openPlotStreams() {
  const auto mode = std::ios::in | std::ios::out;
  loggers[COMPLEXITY_PLOT] = new std::stringstream(mode);
  loggers[VER_BIT_DISTRIBUTION_PLOT] = new std::stringstream(mode);
}

bool writePlotFiles(const std::string& plotFile) {
  const bool complexityWritten = flushPlot(COMPLEXITY_PLOT, plotFile, true);
  // The empty second plot must not wipe the first when both name one file.
  std::error_code ignored;
  const bool sameFile = complexityWritten &&
                        std::filesystem::equivalent(plotFile, VER_BIT_DISTRIBUTION_FILE, ignored);
  const bool distributionWritten =
      flushPlot(VER_BIT_DISTRIBUTION_PLOT, VER_BIT_DISTRIBUTION_FILE, !sameFile);
  return complexityWritten && distributionWritten;
}

std::optional<unsigned> threadCount(const char* setting, unsigned available) {
  if (setting == nullptr)
    return available;
  const std::optional<unsigned> limit = WorkerPool::parseThreadCount(setting);
  if (!limit)
    return std::nullopt;
  return std::min(available, *limit);
}

int classicMain(int argc, const char* const* argv) {
  printBanner();
  if (argc <= 1 || isHelpRequest(argv[1])) {
    std::cout << "Usage: redivez MATRIX_FILE [CONFIGURATION_FILE]" << std::endl;
    return FAILURE_STATUS;
  }
  const std::optional<unsigned> threads = threadCount(std::getenv("REDIVEZ_THREADS"));
  if (!threads) {
    std::cout << "Error: REDIVEZ_THREADS must be a positive integer!" << std::endl;
    return FAILURE_STATUS;
  }
  Options* options = Options::current();
  if (argc > 2 && !options->readSettingsFile(argv[2])) {
    std::cout << "Error: The configuration file either doesn't exist or is corrupt!" << std::endl;
    return FAILURE_STATUS;
  }
  if (options->mAdjacencyTest == PARTITIONED_SETS_TEST)
    return generate<DualSetRayGenerator>(argv[1], *threads);
  return generate<SingleSetRayGenerator>(argv[1], *threads);
}

} // namespace double_description
