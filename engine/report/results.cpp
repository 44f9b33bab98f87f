#include "engine/report/results.h"

namespace mondrake {

using namespace layout;

namespace {

const char* const kStatusColumns = ",Status,%high,%good,%moderate,%poor,%bad,";

// Removes the row's trailing blanks in place.
void trim(std::string& row) {
  const std::size_t end = row.find_last_not_of(' ');
  row.resize(end == std::string::npos ? 0 : end + 1);
}

// Appends text after the row's trailing blanks have been removed.
void append(std::string& row, std::string_view text) {
  trim(row);
  row.append(text);
}

std::string_view trimmed(std::string_view s) {
  const std::size_t end = s.find_last_not_of(' ');
  return s.substr(0, end == std::string_view::npos ? 0 : end + 1);
}

void append_percentages(std::string& out, const float* pct, const char* after) {
  for (int c = 0; c < kClasses; ++c) {
    append_fixed(out, pct[c], 6, 1);
    out += after;
  }
}

// "," label "," and the five class percentages of a group cell.
void append_status(std::string& row, ClassCode code, const float* pct) {
  trim(row);
  row += ",";
  row += class_label(code);
  row += ",";
  append_percentages(row, pct, ",");
}

void append_slot(std::string& row, const RunContext& ctx, int i, int s) {
  const SampleTables& t = ctx.sample;
  trim(row);
  for (float v : {ctx.OBS.v[i][s], ctx.E0.v[i][s], ctx.E1.v[i][s], t.obs_eqr[i], t.sd[i],
                  t.lower[i], t.upper[i]}) {
    append_fixed(row, v, 8, 3);
    row += ",";
  }
  row += class_label(t.obs_class[i]);
  row += ",";
  append_percentages(row, t.pct[i], ",  ");
  row += ",";
}

// The row of sample s, built in `row`: a buffer kept from sample to sample,
// so that once it has grown to the row's length no sample allocates.
void build_data_row(const RunContext& ctx, int s, std::string& row) {
  const SampleTables& t = ctx.sample;
  row.clear();
  append_text(row, ctx.sampname[s].view().substr(0, 50), 50);
  row += ",";
  row += class_label(t.obs_group[0][0]);
  row += ",";
  append_percentages(row, t.group_pct[0][0], ",");
  for (int g = 1; g < kGroups; ++g) {
    if (is_reported_group(ctx, g)) append_status(row, t.obs_group[g][0], t.group_pct[g][0]);
  }
  append(row, ",");
  for (int i = 1; i <= ctx.cigband.nslot; ++i) {
    if (is_reported_slot(ctx, i)) append_slot(row, ctx, i, s);
  }
  trim(row);
}

// Heading rows shorter than the record buffer are padded to its length.
void write_heading(RunContext& ctx, std::string row) {
  if (row.size() < kRecordLength) row.resize(kRecordLength, ' ');
  ctx.results.line(row);
}

}  // namespace

bool is_reported_slot(const RunContext& ctx, int slot) {
  const std::int16_t status = ctx.cbandlim.status[slot];
  return status == 1 || status == 3 || status == 5;
}

bool is_reported_group(const RunContext& ctx, int row) {
  return ctx.sample.obs_group[row][0] != kNoMembers;
}

std::string heading_row(const RunContext& ctx, int row) {
  std::string text;
  const int nslot = ctx.cigband.nslot;
  if (row == 1) {
    text = "Site/Waterbody Identifier";
    append(text, ",Multi-metric status (First Overall;");
    append(text, "then for each top level metric group (MG))");
  } else if (row == 2) {
    text = ",Overall,,,,,,,";
    for (int g = 1; g < kGroups; ++g) {
      if (!is_reported_group(ctx, g)) continue;
      std::string label = ctx.row_label[static_cast<std::size_t>(g)];
      label.resize(25, ' ');
      append(text, label + ",,,,,,,");
    }
    for (int i = 1; i <= nslot; ++i) {
      if (!is_reported_slot(ctx, i)) continue;
      append(text, trimmed(ctx.slots.name[i].view()));
      append(text, ",,,,,,,,,,,,,,");
    }
  } else {
    text = kStatusColumns;
    for (int g = 1; g < kGroups; ++g)
      if (is_reported_group(ctx, g)) append(text, kStatusColumns);
    for (int i = 1; i <= nslot; ++i) {
      if (!is_reported_slot(ctx, i)) continue;
      append(text, ",Observed,E0,E1,EQR,St Dev,Lower 2.5%,Upper 2.5%");
      append(text, kStatusColumns);
    }
  }
  return text;
}

std::string data_row(const RunContext& ctx, int s) {
  std::string row;
  build_data_row(ctx, s, row);
  return row;
}

void write_sample_log(RunContext& ctx, int s) {
  // Built field by field in the record buffer, which the readers no longer
  // need once the samples are reached.
  std::string& line = ctx.record;
  line.assign(" Sample");
  append_integer(line, s, 5);
  line += " : ";
  append_text(line, ctx.sampname[s].view().substr(0, 40), 40);
  line += " : Overall class : ";
  line += class_label(ctx.sample.obs_group[0][0]);
  for (TextOut* out : {&ctx.log, &ctx.console}) {
    out->empty();
    out->line(line);
  }
  std::fflush(stdout);
}

void write_results_headings(RunContext& ctx) {
  for (int row = 1; row <= 3; ++row) write_heading(ctx, heading_row(ctx, row));
}

void write_results_row(RunContext& ctx, int s) {
  build_data_row(ctx, s, ctx.record);
  ctx.results.line(ctx.record);
}

}  // namespace mondrake
