// Text output: every line the engine writes goes through one of these.
//
// A line is described as a list of items (literal texts, text, integer and
// fixed-point fields, blank skips, line breaks and repeat groups) and the
// values are placed into it from left to right.  A description reads much
// like the line it makes:
//
//   log.put({nl, lit(" Number of samples ="), I(5), nl, lit("   ")}, {nsamp});
//
// Lines end with CR LF on every destination.
#pragma once

#include <cstdio>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace mondrake {

namespace layout {

struct Item {
  enum Kind { kLiteral, kText, kInteger, kFixed, kSkip, kBreak, kRepeat };
  Kind kind;
  std::string_view literal{};
  int width = -1;     // text without a width: -1
  int decimals = 0;
  int count = 0;      // repeat count, or blanks of a skip
  std::vector<Item> group{};
};

inline Item lit(std::string_view s) { return {Item::kLiteral, s}; }
inline Item A(int w = -1) { return {Item::kText, {}, w}; }
inline Item I(int w) { return {Item::kInteger, {}, w}; }
inline Item F(int w, int d) { return {Item::kFixed, {}, w, d}; }
inline Item X(int n) { return {Item::kSkip, {}, -1, 0, n}; }
inline Item rep(int n, std::initializer_list<Item> items) {
  return {Item::kRepeat, {}, -1, 0, n, std::vector<Item>(items)};
}
inline const Item nl{Item::kBreak};

using Value = std::variant<std::string_view, long long, double>;

}  // namespace layout

// Field rules, exposed for the writers that build records field by field.
// Halves round away from zero, judged on the exact binary value; a negative
// value that rounds to zero loses its sign; overflow gives w asterisks.
void append_integer(std::string& out, long long v, int w);
void append_fixed(std::string& out, double v, int w, int d);
void append_text(std::string& out, std::string_view v, int w);

// Lays values into a description; returns the finished lines (no line ends).
std::vector<std::string> lay_out(std::span<const layout::Item> items,
                                 std::span<const layout::Value> values);

class TextOut {
 public:
  TextOut() = default;                         // collects into text()
  explicit TextOut(std::FILE* f) : file_(f) {}

  void put(std::initializer_list<layout::Item> items,
           std::initializer_list<layout::Value> values = {});
  void put(std::span<const layout::Item> items,
           std::span<const layout::Value> values);
  // One blank followed by the texts, each in its full length.
  void free_text(std::initializer_list<std::string_view> texts);
  void empty() { line({}); }
  void line(std::string_view s);  // a finished line, written as it stands

  const std::string& text() const { return text_; }
  std::FILE* file() const { return file_; }

 private:
  std::FILE* file_ = nullptr;
  std::string text_;
};

}  // namespace mondrake
