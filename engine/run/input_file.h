// An input file of the run, read record by record.
//
// The whole file is taken into memory when it is opened, so the many
// restarts of the row searches cost no file I/O.  Records are read whole,
// however long; the line end (LF, or CR LF) is not part of the record.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "stop.h"

namespace mondrake {

class InputFile {
 public:
  InputFile() = default;

  // Opens the named file; a file that cannot be read is a run-time failure.
  void open(const char* name, ReadPosition* where);
  // For tests and in-memory use: the records of the given text.
  void open_text(const char* name, std::string_view text, ReadPosition* where);

  // The next record, or false at the end of the file.
  bool read(std::string& record);
  void restart() { next_ = 0; }
  bool is_open() const { return open_; }
  const char* name() const { return name_; }
  // Record number (from 1) of the record read last.
  long line() const { return static_cast<long>(next_); }
  std::size_t records() const { return lines_.size(); }

  // Index (from 0) of the record the next read returns.
  std::size_t next_index() const { return next_; }
  // Moves past the next record without copying it and without touching the
  // read position; false at the end of the file.
  bool skip() {
    if (next_ >= lines_.size()) return false;
    ++next_;
    return true;
  }
  // Points the read position at the record read or skipped last, as a read
  // of it would have done.
  void mark_position();

  // A record as the row search prepared it.  The searches of a file restart
  // it after every row they find, so each record is prepared once and later
  // searches only compare names.  Forgotten when the file is opened again.
  struct PreparedRow {
    enum State : std::uint8_t { kUnseen, kSkip, kRow };
    State state = kUnseen;
    std::string name;    // the row name, 100 characters
    std::string values;  // the value text
  };
  // The memo of record index (from 0) i < records().
  PreparedRow& prepared(std::size_t i);

 private:
  const char* name_ = "";
  bool open_ = false;
  std::vector<std::string> lines_;
  std::size_t next_ = 0;
  ReadPosition* where_ = nullptr;
  std::vector<PreparedRow> prepared_;
};

}  // namespace mondrake
