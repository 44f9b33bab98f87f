#include "engine/input/record.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "engine/run/stop.h"

namespace mondrake {

int first_pos(std::string_view text, char c) {
  std::size_t p = text.find(c);
  return p == std::string_view::npos ? 0 : static_cast<int>(p) + 1;
}

int trimmed_length(std::string_view text) {
  std::size_t p = text.find_last_not_of(' ');
  return p == std::string_view::npos ? 0 : static_cast<int>(p) + 1;
}

bool HEADNAMES(std::string_view record, std::vector<Name>& names) {
  names.clear();
  int c = first_pos(record, ',');
  if (c == 0) return false;
  // The corner cell is never a name.  The comma at c is not a blank, so the
  // trimmed length is at least c.
  std::string_view rest = record.substr(c, trimmed_length(record) - c);
  for (;;) {
    c = first_pos(rest, ',');
    names.emplace_back();
    names.back().assign(c > 0 ? rest.substr(0, c - 1) : rest);
    // An empty field (c == 1) or the last field (c == 0) ends the list.
    if (c <= 1) return true;
    rest.remove_prefix(c);
  }
}

void NOTCALC(std::string& record) {
  static constexpr std::string_view kNotCalculated = "Not Calculated";
  std::size_t from = 0;
  for (;;) {
    std::size_t p = record.find(kNotCalculated, from);
    if (p == std::string::npos) return;
    std::size_t comma = record.find(',', p + kNotCalculated.size());
    record.replace(p, comma == std::string::npos ? std::string::npos : comma - p,
                   "-9");
    // Nothing before p holds the words, and "-9" cannot start them.
    from = p;
  }
}

void comma_extend(std::string& record) {
  record.resize(static_cast<std::size_t>(trimmed_length(record)));
  record.append(kExtensionCommas, ',');
}

namespace {

// The part of text from index start (from 0) up to the trimmed length.
std::string_view up_to_trimmed(std::string_view text, std::size_t start) {
  std::size_t end = static_cast<std::size_t>(trimmed_length(text));
  return start < end ? text.substr(start, end - start) : std::string_view{};
}

}  // namespace

void ROWNAME(std::string_view extended_record, Name& name,
             std::string& value_text, TextOut& log) {
  std::string_view rec = extended_record;
  if (!rec.empty() && rec.front() == '"') {
    std::size_t close = rec.find('"', 1);
    if (close == std::string_view::npos) {
      std::string shown(rec.substr(0, 75));
      shown.resize(75, ' ');
      log.free_text({shown});
      log.free_text({"No second quote in metric name"});
      fatal_stop();
    }
    name.assign(rec.substr(0, close + 1));
    // The character after the closing quote is taken as the comma.
    value_text.assign(up_to_trimmed(rec, close + 2));
    return;
  }
  int c = first_pos(rec, ',');
  if (c == 0) {
    name.assign(rec.substr(0, static_cast<std::size_t>(trimmed_length(rec))));
    value_text.clear();
    return;
  }
  name.assign(rec.substr(0, static_cast<std::size_t>(c - 1)));
  value_text.assign(up_to_trimmed(rec, static_cast<std::size_t>(c)));
}

// ---- Free-form value read -------------------------------------------------

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool ends_value(char c) { return c == ' ' || c == ',' || c == '/'; }

// Optional sign, digits with an optional point (one digit at least), then an
// optional exponent letter E or D with an optionally signed integer.
bool is_real(std::string_view s) {
  std::size_t i = 0, n = s.size();
  if (i < n && (s[i] == '+' || s[i] == '-')) ++i;
  int digits = 0;
  while (i < n && is_digit(s[i])) ++i, ++digits;
  if (i < n && s[i] == '.') {
    ++i;
    while (i < n && is_digit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i == n) return true;
  if (s[i] != 'E' && s[i] != 'e' && s[i] != 'D' && s[i] != 'd') return false;
  ++i;
  if (i < n && (s[i] == '+' || s[i] == '-')) ++i;
  if (i == n) return false;
  while (i < n && is_digit(s[i])) ++i;
  return i == n;
}

bool is_whole(std::string_view s) {
  std::size_t i = 0;
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) ++i;
  if (i == s.size()) return false;
  for (; i < s.size(); ++i) {
    if (!is_digit(s[i])) return false;
  }
  return true;
}

// A value as it stands in the text, for a report.
std::string shown(std::string_view token) {
  constexpr std::size_t kMost = 60;
  if (token.size() <= kMost) return "'" + std::string(token) + "'";
  return "'" + std::string(token.substr(0, kMost)) + "...'";
}

class FreeFormReader {
 public:
  FreeFormReader(std::string_view text, ReadMode mode)
      : t_(text), mode_(mode) {}

  ReadStatus run(std::span<const ReadTarget> targets) {
    int wanted = 0;
    for (const ReadTarget& target : targets) wanted += std::max(target.n, 0);
    for (const ReadTarget& target : targets) {
      for (int k = 0; k < target.n; ++k) {
        skip_blanks();
        if (pos_ == t_.size()) return end(wanted);
        char c = t_[pos_];
        if (c == '/') return ReadStatus::ok;
        if (c == ',') {  // an empty field: the target keeps its value
          ++pos_;
          continue;
        }
        if (!read_value(target, k)) return ReadStatus::error;
        // The separator after a value: blanks, and at most one comma.
        skip_blanks();
        if (pos_ < t_.size() && t_[pos_] == ',') ++pos_;
      }
    }
    return ReadStatus::ok;
  }

 private:
  void skip_blanks() {
    while (pos_ < t_.size() && t_[pos_] == ' ') ++pos_;
  }

  std::string_view next_token() {
    std::size_t start = pos_;
    while (pos_ < t_.size() && !ends_value(t_[pos_])) ++pos_;
    return t_.substr(start, pos_ - start);
  }

  ReadStatus end(int wanted) {
    if (mode_ == ReadMode::strict) {
      run_failure(wanted == 1 ? std::string("the line ends before the value was read")
                              : "the line ends before all " +
                                    std::to_string(wanted) +
                                    " values were read");
    }
    return ReadStatus::end;
  }

  bool error(std::string report) {
    if (mode_ == ReadMode::strict) run_failure(std::move(report));
    return false;
  }

  bool read_value(const ReadTarget& target, int k) {
    switch (target.kind) {
      case ReadTarget::kReal:
        return read_real(static_cast<float*>(target.p)[k]);
      case ReadTarget::kInt32: {
        long long v;
        if (!read_whole(v, std::numeric_limits<std::int32_t>::min(),
                        std::numeric_limits<std::int32_t>::max())) {
          return false;
        }
        static_cast<std::int32_t*>(target.p)[k] = static_cast<std::int32_t>(v);
        return true;
      }
      case ReadTarget::kInt16: {
        long long v;
        if (!read_whole(v, std::numeric_limits<std::int16_t>::min(),
                        std::numeric_limits<std::int16_t>::max())) {
          return false;
        }
        static_cast<std::int16_t*>(target.p)[k] = static_cast<std::int16_t>(v);
        return true;
      }
      case ReadTarget::kText:
        return read_text(static_cast<std::string*>(target.p)[k], target.len);
    }
    return false;
  }

  bool read_real(float& out) {
    std::string_view token = next_token();
    if (!is_real(token)) return error(shown(token) + " is not a number");
    // A plain copy for the conversion: no leading plus, exponent letter E.
    std::string clean(token.front() == '+' ? token.substr(1) : token);
    for (char& c : clean) {
      if (c == 'D' || c == 'd') c = 'e';
    }
    const char* first = clean.data();
    const char* last = first + clean.size();
    float v = 0.0f;
    auto [ptr, ec] = std::from_chars(first, last, v);
    if (ec == std::errc::result_out_of_range) {
      // Too small is taken as the nearest value single precision holds,
      // zero or subnormal; too large becomes infinite and fails below.
      v = static_cast<float>(std::strtod(clean.c_str(), nullptr));
    } else if (ec != std::errc() || ptr != last) {
      return error(shown(token) + " is not a number");
    }
    if (std::isinf(v)) return error(shown(token) + " is out of range");
    out = v;
    return true;
  }

  bool read_whole(long long& out, long long lowest, long long highest) {
    std::string_view token = next_token();
    if (!is_whole(token)) {
      return error(shown(token) + (is_real(token) ? " is not a whole number"
                                                  : " is not a number"));
    }
    std::string_view digits = token.front() == '+' ? token.substr(1) : token;
    long long v = 0;
    auto [ptr, ec] =
        std::from_chars(digits.data(), digits.data() + digits.size(), v);
    if (ec != std::errc() || v < lowest || v > highest) {
      return error(shown(token) + " is out of range");
    }
    out = v;
    return true;
  }

  bool read_text(std::string& out, int len) {
    std::string value;
    char q = t_[pos_];
    if (q == '"' || q == '\'') {
      std::size_t start = pos_++;
      for (;;) {
        if (pos_ == t_.size()) {
          return error(shown(t_.substr(start)) + " has no closing quote");
        }
        char c = t_[pos_++];
        if (c != q) {
          value.push_back(c);
        } else if (pos_ < t_.size() && t_[pos_] == q) {
          value.push_back(q);
          ++pos_;
        } else {
          break;
        }
      }
      if (pos_ < t_.size() && !ends_value(t_[pos_])) {
        next_token();
        return error(shown(t_.substr(start, pos_ - start)) +
                     " is not a valid text");
      }
    } else {
      value = next_token();
    }
    value.resize(static_cast<std::size_t>(std::max(len, 0)), ' ');
    out = std::move(value);
    return true;
  }

  std::string_view t_;
  ReadMode mode_;
  std::size_t pos_ = 0;
};

}  // namespace

ReadStatus READVALS(std::string_view text, std::span<const ReadTarget> targets,
                    ReadMode mode) {
  return FreeFormReader(text, mode).run(targets);
}

ReadStatus READVALS(std::string_view text,
                    std::initializer_list<ReadTarget> targets, ReadMode mode) {
  return READVALS(text, std::span<const ReadTarget>(targets.begin(), targets.size()),
                  mode);
}

// ---- Name comparisons -----------------------------------------------------

namespace {

char lower_az(char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; }

}  // namespace

bool ISTRSAME(std::string_view a, std::string_view b) {
  a = a.substr(0, std::min<std::size_t>(a.size(), kNameLength));
  b = b.substr(0, std::min<std::size_t>(b.size(), kNameLength));
  std::size_t n = static_cast<std::size_t>(
      std::max(trimmed_length(a), trimmed_length(b)));
  for (std::size_t i = 0; i < n; ++i) {
    char ca = i < a.size() ? a[i] : ' ';
    char cb = i < b.size() ? b[i] : ' ';
    if (lower_az(ca) != lower_az(cb)) return false;
  }
  return true;
}

bool exact_same(std::string_view field, std::string_view name) {
  // Padding the shorter with blanks only ever adds trailing blanks.
  return field.substr(0, static_cast<std::size_t>(trimmed_length(field))) ==
         name.substr(0, static_cast<std::size_t>(trimmed_length(name)));
}

// ---- Metric row search ----------------------------------------------------

bool FINDROW(InputFile& file, const Name& metric, std::string& value_text,
             TextOut& log) {
  std::string record;
  for (;;) {
    std::size_t i = file.next_index();
    if (i >= file.records()) {
      file.read(record);  // sets the read position to the end of the file
      return false;
    }
    InputFile::PreparedRow& row = file.prepared(i);
    if (row.state == InputFile::PreparedRow::kUnseen) {
      file.read(record);
      NOTCALC(record);
      if (first_pos(record, ',') <= 1) {  // no comma, or an empty first field
        row.state = InputFile::PreparedRow::kSkip;
        continue;
      }
      comma_extend(record);
      Name name;
      ROWNAME(record, name, row.values, log);
      row.name.assign(name.view());
      row.state = InputFile::PreparedRow::kRow;
    } else {
      file.skip();
      if (row.state == InputFile::PreparedRow::kSkip) continue;
    }
    if (ISTRSAME(row.name, metric.view())) {
      file.mark_position();
      value_text = row.values;
      return true;
    }
  }
}

}  // namespace mondrake
