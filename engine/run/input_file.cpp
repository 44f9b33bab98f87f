#include "input_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace mondrake {

void InputFile::open_text(const char* name, std::string_view text,
                          ReadPosition* where) {
  name_ = name;
  where_ = where;
  lines_.clear();
  prepared_.clear();
  next_ = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    std::size_t stop = end == std::string_view::npos ? text.size() : end;
    std::size_t len = stop - start;
    if (len > 0 && text[start + len - 1] == '\r') --len;
    lines_.emplace_back(text.substr(start, len));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  open_ = true;
}

void InputFile::open(const char* name, ReadPosition* where) {
  std::FILE* f = std::fopen(name, "rb");
  if (!f) {
    run_failure(std::string("cannot open input file ") + name + ": " +
                    std::strerror(errno),
                false);
  }
  std::string text;
  char buf[1 << 16];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  bool failed = std::ferror(f);
  std::fclose(f);
  if (failed) run_failure(std::string("cannot read input file ") + name, false);
  open_text(name, text, where);
}

bool InputFile::read(std::string& record) {
  if (next_ >= lines_.size()) {
    if (where_) {
      where_->file = name_;
      where_->line = static_cast<long>(lines_.size()) + 1;
      where_->text.clear();
    }
    return false;
  }
  record = lines_[next_++];
  if (where_) {
    where_->file = name_;
    where_->line = static_cast<long>(next_);
    where_->text = record;
  }
  return true;
}

void InputFile::mark_position() {
  if (!where_) return;
  where_->file = name_;
  where_->line = static_cast<long>(next_);
  if (next_ > 0) {
    where_->text = lines_[next_ - 1];
  } else {
    where_->text.clear();
  }
}

InputFile::PreparedRow& InputFile::prepared(std::size_t i) {
  if (prepared_.size() < lines_.size()) prepared_.resize(lines_.size());
  return prepared_[i];
}

}  // namespace mondrake
