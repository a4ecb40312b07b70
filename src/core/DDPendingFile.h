#ifndef DD_PENDINGFILE_H
#define DD_PENDINGFILE_H

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

// An output file that appears under its final name only once it is complete.
// It is written under a unique temporary name in the final name's directory
// and renamed over the final name by commit(), so a reader finds either the
// earlier file untouched or the whole new one, never a part; of two writers
// of one name the later commit wins. The temporary file goes away on every
// failure, when the object is destroyed uncommitted, and when the process is
// ended by SIGTERM, SIGINT or SIGHUP while the file is pending.
class PendingFile {
public:
  // Creates the temporary file; see isOpen().
  explicit PendingFile(std::string finalName);
  // Removes the temporary file unless it was committed.
  ~PendingFile();
  PendingFile(PendingFile const&) = delete;
  PendingFile& operator=(PendingFile const&) = delete;

  // False when the temporary file could not be created; nothing exists then.
  bool isOpen() const { return mStream.is_open(); }
  std::ostream& stream() { return mStream; }
  // The temporary file's path, empty once it is gone.
  std::string const& temporaryName() const { return mTemporaryName; }

  // Flushes and closes the stream and renames the file over the final name.
  // False, with the temporary file removed and the final name untouched,
  // when anything of that or an earlier write failed.
  bool commit();

private:
  void discard();

  std::string mFinalName;
  std::string mTemporaryName;
  std::ofstream mStream;
};

} // namespace double_description

#endif
