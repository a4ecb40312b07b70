#ifndef DD_PENDINGFILE_H
#define DD_PENDINGFILE_H

#include <signal.h>

#include <fstream>
#include <ostream>
#include <stdexcept>
#include <string>

namespace double_description {

// A result or plot file that could not be created or written. The message is
// the line shown to the user.
class OutputError : public std::runtime_error {
public:
  explicit OutputError(const std::string& fileName)
      : std::runtime_error("Error: The file '" + fileName + "' could not be written!") {}
};

// The signals from outside the process (not its own faults) whose default
// action ends it. Threads other than the writing one keep them blocked.
void addAsynchronousEndingSignals(sigset_t& set);

// An output file that appears under its final name only once it is complete,
// so a reader finds either the earlier file untouched or the whole new one,
// never a part; of two writers of one name the later commit wins.
//
// The file is written without a name (O_TMPFILE) in the final name's
// directory, then linked under a unique hidden name and renamed over the
// final name by commit(), with the ending signals blocked in between: no
// signal, SIGKILL included, can leave anything behind. Where the filesystem
// refuses nameless files, or the descriptor directory is missing, it is
// written under the hidden name instead, which goes away on every failure,
// when the object is destroyed uncommitted, and when a signal whose default
// action ends the process comes while it is pending (SIGKILL excepted).
class PendingFile {
public:
  enum class Naming { NamelessWherePossible, Named };

  // Where the process's open files have names: a nameless file is reopened
  // for the stream and linked through it.
  static constexpr const char* DESCRIPTOR_DIRECTORY = "/proc/self/fd";

  // Creates the pending file; see isOpen().
  explicit PendingFile(std::string finalName, Naming naming = Naming::NamelessWherePossible,
                       std::string descriptorDirectory = DESCRIPTOR_DIRECTORY);
  // Removes the pending file unless it was committed.
  ~PendingFile();
  PendingFile(PendingFile const&) = delete;
  PendingFile& operator=(PendingFile const&) = delete;

  // False when the pending file could not be created; nothing exists then.
  bool isOpen() const { return mStream.is_open(); }
  std::ostream& stream() { return mStream; }
  bool isNameless() const { return mNameless >= 0; }
  // The hidden name of a named pending file, empty otherwise and once it is gone.
  std::string const& temporaryName() const { return mTemporaryName; }

  // Flushes and closes the stream and puts the file under the final name.
  // False, with the pending file removed and the final name untouched, when
  // anything of that or an earlier write failed.
  bool commit();

private:
  bool openNameless(std::string const& directory);
  void openNamed(std::string name);
  bool commitNameless();
  void discard();
  std::string descriptorPath() const;

  std::string mFinalName;
  std::string mDescriptorDirectory;
  std::string mHiddenName;
  std::string mTemporaryName;
  int mDirectory = -1;
  int mNameless = -1;
  std::ofstream mStream;
};

} // namespace double_description

#endif
