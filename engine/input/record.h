// Record reading operations shared by the input readers.
//
// The readers take every input file apart with these few operations on the
// record text: the first position of a character, the trimmed length, the
// header name list, the "Not Calculated" replacement, the comma extension,
// the row name, the free-form value read, the two name comparisons and the
// search of a file for the row of one metric.
//
// Records are held as read, without the blank padding of a fixed buffer:
// trailing blanks never matter to any operation here, and a record longer
// than the record buffer is kept whole instead of being cut.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/run/input_file.h"
#include "engine/run/run_context.h"
#include "engine/run/text_out.h"

namespace mondrake {

// Commas that the comma extension appends after the trimmed length.
inline constexpr int kExtensionCommas = 28;

// Position (from 1) of the first c in text; 0 when there is none.
int first_pos(std::string_view text, char c);
// Position (from 1) of the last character that is not a blank (code 32);
// 0 for an empty or all-blank text.  Tabs and other characters count.
int trimmed_length(std::string_view text);

// The names of a header line: the fields after the corner cell, up to and
// including the first empty field or the last field.  Each is cut to 100
// characters; quotes have no meaning.  False (names left empty) when the
// record has no comma.
bool HEADNAMES(std::string_view record, std::vector<Name>& names);

// Replaces every "Not Calculated", with whatever follows it in its field,
// by -9; text before it in the field stays.
void NOTCALC(std::string& record);

// Cuts the record to its trimmed length and appends 28 commas, so that a
// free-form read of a short row meets null values instead of its end.
// A record is never cut short, however long it is.
void comma_extend(std::string& record);

// Splits an extended record into its name and its value text.  A record
// that begins with a double quote has a quoted name: the name runs through
// the next double quote, quotes included, and the value text starts two
// characters after it.  Otherwise the name is the text before the first
// comma.  Either way the value text ends at the trimmed length.  A quoted
// name without a closing quote writes the missing-quote report to the log
// and stops the run.
void ROWNAME(std::string_view extended_record, Name& name,
             std::string& value_text, TextOut& log);

// ---- Free-form value read -------------------------------------------------

enum class ReadMode {
  strict,       // an error or an end is a run-time failure naming the text
  lenient,      // an error or an end just ends the read
  with_status,  // an error or an end ends the read; the caller decides
};

enum class ReadStatus { ok, error, end };

// One target of a free-form read: one variable, or a run of n consecutive
// cells (n values read in turn).
struct ReadTarget {
  enum Kind : std::uint8_t { kReal, kInt32, kInt16, kText };
  Kind kind;
  void* p;
  int n;
  int len;  // text targets: the length every value is cut or padded to

  static ReadTarget real(float* p, int n = 1) { return {kReal, p, n, 0}; }
  static ReadTarget integer(std::int32_t* p, int n = 1) {
    return {kInt32, p, n, 0};
  }
  static ReadTarget int16(std::int16_t* p, int n = 1) {
    return {kInt16, p, n, 0};
  }
  // n consecutive strings, each set to a value of exactly len characters.
  static ReadTarget text(std::string* p, int len, int n = 1) {
    return {kText, p, n, len};
  }
};

// Reads values from text into the targets, in order.
//
// Values are separated by a comma, by blanks, or by a comma with blanks
// around it.  An empty field between two commas, or a comma with only blanks
// before it at the start of the text, is a null value: its target keeps its
// value.  The end of the text after a comma is not a null value.  A slash
// ends the read: the targets not reached keep their values.  The read is
// complete once every target has been filled or passed by a null value; the
// rest of the text is not looked at.
//
// Reals: optional sign, digits with an optional decimal point (one digit at
// least), optional exponent (E or D, either case, optionally signed digits);
// rounded to single precision.  A value beyond the single-precision range is
// an error.  Whole numbers: optional sign and digits only, within the range
// of their target.  Texts: up to the next blank, comma or slash, or enclosed
// in double quotes or apostrophes (the enclosing character doubled stands
// for one).
//
// Values are stored as they are read, so after an error or an end the
// targets before it hold their new values.  Returns ok for a complete read
// (always, in strict mode, which does not return otherwise); in the other
// modes error or end.
ReadStatus READVALS(std::string_view text, std::span<const ReadTarget> targets,
                    ReadMode mode);
ReadStatus READVALS(std::string_view text,
                    std::initializer_list<ReadTarget> targets, ReadMode mode);

// ---- Name comparisons -----------------------------------------------------

// Names as 100-character texts, equal up to the longer trimmed length when
// the letters A to Z are taken as lower case; every other character must be
// identical.  Trailing blanks do not count, leading and inner blanks do.
bool ISTRSAME(std::string_view a, std::string_view b);
inline bool ISTRSAME(const Name& a, const Name& b) {
  return ISTRSAME(a.view(), b.view());
}

// A field and a name, equal character for character once the shorter is
// padded with blanks to the length of the longer; letter case counts.
bool exact_same(std::string_view field, std::string_view name);

// ---- Metric row search ----------------------------------------------------

// Reads on from the file's next record to the row whose name is the
// metric's (by ISTRSAME) and gives its value text; false at the end of the
// file.  Each record is taken through NOTCALC; records without a comma or
// with an empty first field are passed over; the others are extended and
// split by ROWNAME, which stops the run on a missing closing quote.
//
// Each record is prepared once, the first time any search reaches it, and
// remembered with the file, so the searches after a restart compare names
// only.  The read position names the found row afterwards (or the end of
// the file), as if every record had been read again.
bool FINDROW(InputFile& file, const Name& metric, std::string& value_text,
             TextOut& log);

}  // namespace mondrake
