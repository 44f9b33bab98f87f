#include "engine/run/text_out.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace mondrake {

namespace {

void append_stars(std::string& out, int w) { out.append(static_cast<std::size_t>(w), '*'); }

void append_right(std::string& out, std::string_view s, int w) {
  if (static_cast<int>(s.size()) > w) {
    append_stars(out, w);
    return;
  }
  out.append(static_cast<std::size_t>(w) - s.size(), ' ');
  out.append(s);
}

// The magnitude of v rounded to d decimals, halves away from zero, as
// digits with the decimal point in place.  The product |v| * 10^d is exact
// in long double for the widths the engine writes (d <= 4, |v| < 2^53).
std::string fixed_digits(double v, int d) {
  char buf[512];
  if (d <= 4 && std::fabs(v) < 9.0e15) {
    long double scale = 1;
    for (int i = 0; i < d; ++i) scale *= 10;
    long double t = std::fabs(static_cast<long double>(v)) * scale;
    long double r = std::floor(t + 0.5L);
    unsigned long long n = static_cast<unsigned long long>(r);
    int len = std::snprintf(buf, sizeof buf, "%0*llu", d + 1, n);
    std::string s(buf, static_cast<std::size_t>(len));
    if (d > 0) s.insert(s.size() - static_cast<std::size_t>(d), 1, '.');
    else s.push_back('.');
    return s;
  }
  int len = std::snprintf(buf, sizeof buf, "%.*f", d, std::fabs(v));
  std::string s(buf, static_cast<std::size_t>(std::min<int>(len, sizeof buf - 1)));
  if (d == 0) s.push_back('.');
  return s;
}

}  // namespace

void append_integer(std::string& out, long long v, int w) {
  char buf[32];
  int len = std::snprintf(buf, sizeof buf, "%lld", v);
  append_right(out, {buf, static_cast<std::size_t>(len)}, w);
}

void append_fixed(std::string& out, double v, int w, int d) {
  if (std::isnan(v)) return append_right(out, "NaN", w);
  if (std::isinf(v)) return append_right(out, v < 0 ? "-Inf" : "Inf", w);
  std::string digits = fixed_digits(v, d);
  bool zero = digits.find_first_not_of("0.") == std::string::npos;
  bool negative = v < 0 && !zero;
  int need = static_cast<int>(digits.size()) + (negative ? 1 : 0);
  // A leading zero before the point is dropped when the field is too narrow.
  if (need > w && digits.size() > 1 && digits[0] == '0' && digits[1] == '.') {
    digits.erase(0, 1);
    --need;
  }
  if (need > w) return append_stars(out, w);
  out.append(static_cast<std::size_t>(w - need), ' ');
  if (negative) out.push_back('-');
  out.append(digits);
}

void append_text(std::string& out, std::string_view v, int w) {
  if (w < 0) {
    out.append(v);
  } else if (static_cast<int>(v.size()) >= w) {
    out.append(v.substr(0, static_cast<std::size_t>(w)));
  } else {
    out.append(static_cast<std::size_t>(w) - v.size(), ' ');
    out.append(v);
  }
}

namespace {

using layout::Item;
using layout::Value;

// Places values into a description, one line at a time.
class Layouter {
 public:
  Layouter(std::span<const Value> values, std::vector<std::string>& lines)
      : values_(values), lines_(lines) {}

  // Returns false once the values ran out at a field.
  bool run(std::span<const Item> items) {
    for (const Item& item : items) {
      switch (item.kind) {
        case Item::kLiteral:
          write(item.literal);
          break;
        case Item::kSkip:
          pending_ += item.count;
          break;
        case Item::kBreak:
          end_line();
          break;
        case Item::kRepeat:
          for (int k = 0; k < item.count; ++k)
            if (!run(item.group)) return false;
          break;
        default:
          if (next_ >= values_.size()) return false;
          field(item, values_[next_++]);
          break;
      }
    }
    return true;
  }

  bool values_left() const { return next_ < values_.size(); }
  std::size_t used() const { return next_; }
  void end_line() {
    lines_.push_back(std::move(line_));
    line_.clear();
    pending_ = 0;
  }

 private:
  void write(std::string_view s) {
    flush_skip();
    line_.append(s);
  }
  void flush_skip() {
    line_.append(static_cast<std::size_t>(pending_), ' ');
    pending_ = 0;
  }
  void field(const Item& item, const Value& v) {
    flush_skip();
    switch (item.kind) {
      case Item::kText:
        if (auto s = std::get_if<std::string_view>(&v)) append_text(line_, *s, item.width);
        break;
      case Item::kInteger:
        if (auto i = std::get_if<long long>(&v)) append_integer(line_, *i, item.width);
        else if (auto f = std::get_if<double>(&v)) append_integer(line_, static_cast<long long>(*f), item.width);
        break;
      case Item::kFixed:
        if (auto f = std::get_if<double>(&v)) append_fixed(line_, *f, item.width, item.decimals);
        else if (auto i = std::get_if<long long>(&v)) append_fixed(line_, static_cast<double>(*i), item.width, item.decimals);
        break;
      default:
        break;
    }
  }

  std::span<const Value> values_;
  std::vector<std::string>& lines_;
  std::size_t next_ = 0;
  std::string line_;
  int pending_ = 0;
};

bool has_field(std::span<const Item> items) {
  for (const Item& item : items) {
    if (item.kind == Item::kText || item.kind == Item::kInteger || item.kind == Item::kFixed) return true;
    if (item.kind == Item::kRepeat && item.count > 0 && has_field(item.group)) return true;
  }
  return false;
}

}  // namespace

std::vector<std::string> lay_out(std::span<const Item> items,
                                 std::span<const Value> values) {
  std::vector<std::string> lines;
  Layouter out(values, lines);
  bool complete = out.run(items);
  // Values left over continue on new lines from the last repeat group that
  // stands directly in the description, or from its beginning.
  std::span<const Item> again = items;
  for (std::size_t k = items.size(); k-- > 0;) {
    if (items[k].kind == Item::kRepeat) {
      again = items.subspan(k);
      break;
    }
  }
  while (complete && out.values_left() && has_field(again)) {
    out.end_line();
    complete = out.run(again);
  }
  out.end_line();
  return lines;
}

void TextOut::line(std::string_view s) {
  if (file_) {
    // An empty line's view may hold no buffer at all; the C library must not
    // be handed its null pointer, even for no bytes.
    if (!s.empty()) std::fwrite(s.data(), 1, s.size(), file_);
    std::fwrite("\r\n", 1, 2, file_);
  } else {
    text_.append(s);
    text_.append("\r\n");
  }
}

void TextOut::put(std::span<const layout::Item> items,
                  std::span<const layout::Value> values) {
  for (const std::string& l : lay_out(items, values)) line(l);
}

void TextOut::put(std::initializer_list<layout::Item> items,
                  std::initializer_list<layout::Value> values) {
  put(std::span<const layout::Item>(items.begin(), items.size()),
      std::span<const layout::Value>(values.begin(), values.size()));
}

void TextOut::free_text(std::initializer_list<std::string_view> texts) {
  std::string s = " ";
  for (std::string_view t : texts) s.append(t);
  line(s);
}

}  // namespace mondrake
