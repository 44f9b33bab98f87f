#include "engine/report/results.h"

namespace mondrake {

using namespace layout;

namespace {

const char* const kStatusColumns = ",Status,%high,%good,%moderate,%poor,%bad,";

// Appends text after the row's trailing blanks have been removed.
void append(std::string& row, std::string_view text) {
  const std::size_t end = row.find_last_not_of(' ');
  row.resize(end == std::string::npos ? 0 : end + 1);
  row.append(text);
}

std::string trimmed(std::string_view s) {
  const std::size_t end = s.find_last_not_of(' ');
  return std::string(s.substr(0, end == std::string_view::npos ? 0 : end + 1));
}

void append_percentages(std::string& out, const float* pct, const char* after) {
  for (int c = 0; c < kClasses; ++c) {
    append_fixed(out, pct[c], 6, 1);
    out += after;
  }
}

// "," label "," and the five percentages of a class and its tallies.
std::string status_block(ClassCode code, const float* pct) {
  std::string block = ",";
  block += class_label(code);
  block += ",";
  append_percentages(block, pct, ",");
  return block;
}

std::string slot_block(const RunContext& ctx, int i, int s) {
  const SampleTables& t = ctx.sample;
  std::string block;
  for (float v : {ctx.OBS.v[i][s], ctx.E0.v[i][s], ctx.E1.v[i][s], t.obs_eqr[i], t.sd[i],
                  t.lower[i], t.upper[i]}) {
    append_fixed(block, v, 8, 3);
    block += ",";
  }
  block += class_label(t.obs_class[i]);
  block += ",";
  append_percentages(block, t.pct[i], ",  ");
  block += ",";
  return block;
}

void write_row(RunContext& ctx, std::string row, bool pad) {
  if (pad && row.size() < kRecordLength) row.resize(kRecordLength, ' ');
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
  const SampleTables& t = ctx.sample;
  std::string row;
  append_text(row, ctx.sampname[s].view().substr(0, 50), 50);
  row += status_block(t.obs_group[0][0], t.group_pct[0][0]);
  for (int g = 1; g < kGroups; ++g) {
    if (is_reported_group(ctx, g)) append(row, status_block(t.obs_group[g][0], t.group_pct[g][0]));
  }
  append(row, ",");
  for (int i = 1; i <= ctx.cigband.nslot; ++i) {
    if (is_reported_slot(ctx, i)) append(row, slot_block(ctx, i, s));
  }
  return trimmed(row);
}

void write_sample_log(RunContext& ctx, int s) {
  const char* label = class_label(ctx.sample.obs_group[0][0]);
  for (TextOut* out : {&ctx.log, &ctx.console}) {
    out->put({nl, lit(" Sample"), I(5), lit(" : "), A(40), lit(" : Overall class : "), A()},
             {s, ctx.sampname[s].view().substr(0, 40), std::string_view(label)});
  }
  std::fflush(stdout);
}

void write_results_headings(RunContext& ctx) {
  for (int row = 1; row <= 3; ++row) write_row(ctx, heading_row(ctx, row), true);
}

void write_results_row(RunContext& ctx, int s) { write_row(ctx, data_row(ctx, s), false); }

}  // namespace mondrake
