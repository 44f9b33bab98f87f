// The second pass over the metric specification file: column labels, the
// rule table with its row labels and weights, then one slot per metric or
// index row.
#include <string>

#include "engine/input/readers.h"
#include "engine/input/record.h"

namespace mondrake {

using namespace layout;

namespace {

constexpr int kLabelLength = 25;

[[noreturn]] void header_problem(TextOut& log) {
  log.empty();
  log.empty();
  log.line(" Problem reading header lines of METRIC SPEC file :");
  fatal_stop();
}

void read_header_line(RunContext& ctx) {
  if (!ctx.metspec.read(ctx.record)) header_problem(ctx.log);
}

// Takes the text before the first comma off `text`.  A missing comma, or a
// comma that is the last non-blank character, means the header is wrong.
std::string_view strip_field(std::string_view& text, TextOut& log) {
  int len = trimmed_length(text);
  int p = first_pos(text.substr(0, static_cast<std::size_t>(len)), ',');
  if (p == 0 || p == len) header_problem(log);
  std::string_view field = text.substr(0, static_cast<std::size_t>(p - 1));
  text = text.substr(static_cast<std::size_t>(p), static_cast<std::size_t>(len - p));
  return field;
}

std::string fixed_text(std::string_view s, int len) {
  std::string t(s.substr(0, std::min<std::size_t>(s.size(), static_cast<std::size_t>(len))));
  t.resize(static_cast<std::size_t>(len), ' ');
  return t;
}

void read_column_labels(RunContext& ctx) {
  read_header_line(ctx);
  std::string_view rest = ctx.record;
  for (int k = 0; k < 4; ++k) strip_field(rest, ctx.log);
  for (std::string& label : ctx.col_label) label.assign(kLabelLength, ' ');
  READVALS(rest, {ReadTarget::text(ctx.col_label.data(), kLabelLength, kGroups)},
           ReadMode::strict);
}

void write_rule_heading(RunContext& ctx) {
  TextOut& log = ctx.log;
  log.empty();
  log.line(" Multi-metric rule types for top level (rows)");
  log.line(" and bottom level hierarchical groupings of metrics:");
  log.line(" (blanks or zeroes are treated as default type = 1 = worst case)");
  log.empty();
  std::string heading(23, ' ');
  for (const std::string& label : ctx.col_label) heading += " " + label.substr(0, 4);
  log.line(heading + "  Weight");
}

[[noreturn]] void negative_weight(TextOut& log, const char* what,
                                  std::string_view who, const char* weight,
                                  float value) {
  log.empty();
  log.line(std::string(" Negative weight in the row of ") + what + " :");
  log.line(" " + std::string(who.substr(0, static_cast<std::size_t>(trimmed_length(who)))));
  log.put({lit(" "), lit(weight), lit(" ="), F(10, 3)}, {static_cast<double>(value)});
  log.line(" Weights must be zero or positive.");
  log.line(" Correct METRIC SPECIFICATION file and re-run.");
  log.line("   ");
  fatal_stop();
}

void read_rule_row(RunContext& ctx, int row) {
  CIGBAND& ig = ctx.cigband;
  ig.rowwt[row] = 1.0f;
  for (std::int16_t& rule : ig.rule[row]) rule = 0;
  read_header_line(ctx);
  std::string_view rest = ctx.record;
  std::string_view label;
  for (int k = 0; k < 4; ++k) label = strip_field(rest, ctx.log);
  std::string& row_label = ctx.row_label[static_cast<std::size_t>(row)];
  if (trimmed_length(label) == 0) {
    row_label.clear();
    append_integer(row_label, row, 2);
    row_label = fixed_text("MG" + row_label, kLabelLength);
  } else {
    row_label = fixed_text(label, kLabelLength);
  }
  if (row == 0) {
    READVALS(rest, {ReadTarget::int16(&ig.rule[0][0])}, ReadMode::strict);
    ctx.log.put({A(20), I(5)}, {std::string_view(row_label), ig.rule[0][0]});
    return;
  }
  READVALS(rest, {ReadTarget::int16(ig.rule[row], kGroups), ReadTarget::real(&ig.rowwt[row])},
           ReadMode::strict);
  if (ig.rowwt[row] < 0) negative_weight(ctx.log, "metric group", row_label, "Weight", ig.rowwt[row]);
  std::vector<Value> values{std::string_view(row_label)};
  for (std::int16_t rule : ig.rule[row]) values.emplace_back(static_cast<long long>(rule));
  values.emplace_back(static_cast<double>(ig.rowwt[row]));
  static const Item row_echo[] = {A(20), rep(kGroups, {I(5)}), F(7, 3)};
  ctx.log.put(row_echo, values);
}

void write_metric_heading(TextOut& log) {
  log.empty();
  log.line("Metric name" + std::string(35, ' ') + "USE   O/EQR  INT  MGP1  Wt1   MGP2  Wt2");
  log.line(std::string(51, ' ') + " 1/2");
}

// A metric or index row starts from these values.
void set_defaults(RunContext& ctx, int s) {
  CBANDLIM& band = ctx.cbandlim;
  CIGBAND& ig = ctx.cigband;
  SlotTable& t = ctx.slots;
  band.use[s] = 0;
  t.oeqr[s] = t.intf[s] = t.trans[s] = 0;
  for (float& l : band.lim[s]) l = kMissing;
  t.sd[s] = t.bias[s] = t.biassd[s] = t.e1sd[s] = 0;
  ig.mgp[s][0] = ig.mgp[s][1] = 0;
  ig.wt[s][0] = ig.wt[s][1] = 1.0f;
}

void read_slot(RunContext& ctx, int s, const Name& name, std::string_view values) {
  CBANDLIM& band = ctx.cbandlim;
  CIGBAND& ig = ctx.cigband;
  SlotTable& t = ctx.slots;
  set_defaults(ctx, s);
  t.name[s] = name;
  READVALS(values,
           {ReadTarget::int16(&band.use[s]), ReadTarget::int16(&t.oeqr[s]),
            ReadTarget::int16(&t.intf[s]), ReadTarget::real(band.lim[s], 4),
            ReadTarget::real(&t.sd[s]), ReadTarget::int16(&t.trans[s]),
            ReadTarget::real(&t.bias[s]), ReadTarget::real(&t.biassd[s]),
            ReadTarget::real(&t.e1sd[s]), ReadTarget::int16(&ig.mgp[s][0]),
            ReadTarget::real(&ig.wt[s][0]), ReadTarget::int16(&ig.mgp[s][1]),
            ReadTarget::real(&ig.wt[s][1])},
           ReadMode::strict);
}

void check_slot(RunContext& ctx, int s) {
  const SlotTable& t = ctx.slots;
  std::string_view name = t.name[s].view();
  if (ctx.cbandlim.use[s] == kUseMetric && (t.trans[s] < 0 || t.trans[s] > 4)) {
    TextOut& log = ctx.log;
    log.empty();
    log.line(" Transformation code of metric :");
    log.line(" " + std::string(name.substr(0, static_cast<std::size_t>(trimmed_length(name)))));
    log.put({lit(" is"), I(6), lit("; the codes allowed are 0, 1, 2, 3 and 4.")}, {t.trans[s]});
    log.line(" Correct METRIC SPECIFICATION file and re-run.");
    log.line("   ");
    fatal_stop();
  }
  const char* what = ctx.cbandlim.use[s] == kUseMetric ? "metric" : "MMI";
  if (ctx.cigband.wt[s][0] < 0) negative_weight(ctx.log, what, name, "Wt1", ctx.cigband.wt[s][0]);
  if (ctx.cigband.wt[s][1] < 0) negative_weight(ctx.log, what, name, "Wt2", ctx.cigband.wt[s][1]);
}

void echo_slot(RunContext& ctx, int number, int s) {
  const CIGBAND& ig = ctx.cigband;
  ctx.log.put({I(3), X(1), A(40), I(5), I(5), I(7), X(1), I(5), F(7, 3), I(5), F(7, 3)},
              {number, ctx.slots.name[s].view(), ctx.cbandlim.use[s], ctx.slots.oeqr[s],
               ctx.slots.intf[s], ig.mgp[s][0], static_cast<double>(ig.wt[s][0]),
               ig.mgp[s][1], static_cast<double>(ig.wt[s][1])});
}

void set_direction(CBANDLIM& band, int s) {
  band.dir[s] = band.lim[s][3] > band.lim[s][0] ? 1 : -1;
}

void move_slot(RunContext& ctx, int from, int to) {
  CBANDLIM& band = ctx.cbandlim;
  CIGBAND& ig = ctx.cigband;
  SlotTable& t = ctx.slots;
  t.name[to] = t.name[from];
  band.use[to] = band.use[from];
  t.oeqr[to] = t.oeqr[from];
  t.intf[to] = t.intf[from];
  for (int k = 0; k < 4; ++k) band.lim[to][k] = band.lim[from][k];
  t.sd[to] = t.sd[from];
  t.trans[to] = t.trans[from];
  t.bias[to] = t.bias[from];
  t.biassd[to] = t.biassd[from];
  t.e1sd[to] = t.e1sd[from];
  ig.mgp[to][0] = ig.mgp[from][0];
  ig.mgp[to][1] = ig.mgp[from][1];
  ig.wt[to][0] = ig.wt[from][0];
  ig.wt[to][1] = ig.wt[from][1];
  band.dir[to] = band.dir[from];
}

void read_metric_rows(RunContext& ctx) {
  CIGBAND& ig = ctx.cigband;
  TextOut& log = ctx.log;
  ig.nmet = ig.nmmi = 0;
  write_metric_heading(log);
  Name name;
  std::string value_text;
  while (ctx.metspec.read(ctx.record)) {
    comma_extend(ctx.record);
    ROWNAME(ctx.record, name, value_text, log);
    std::int16_t use = 0;
    READVALS(value_text, {ReadTarget::int16(&use)}, ReadMode::strict);
    int s;
    if (use == kUseMetric) {
      if (++ig.nmet > kMaxMetrics) {
        log.empty();
        log.put({lit(" maximum number of metrics which can be used ="), I(4)}, {kMaxMetrics});
        log.line(" Reduce number of metrics and re-run.");
        log.line("   ");
        fatal_stop();
      }
      s = ig.nmet;
    } else if (use == kUseIndex) {
      if (++ig.nmmi > kMaxIndices) {
        log.empty();
        log.line(" maximum number of MMIs which can be used = 100");
        log.line(" Reduce number of MMIs used and re-run.");
        log.line("   ");
        fatal_stop();
      }
      s = kMaxMetrics + ig.nmmi;
    } else {
      continue;
    }
    read_slot(ctx, s, name, value_text);
    check_slot(ctx, s);
    if (use == kUseMetric) echo_slot(ctx, s, s);
    set_direction(ctx.cbandlim, s);
  }
}

void place_indices(RunContext& ctx) {
  CIGBAND& ig = ctx.cigband;
  ig.nslot = static_cast<std::int16_t>(ig.nmet + ig.nmmi);
  if (ig.nmmi == 0) return;
  ctx.log.line("   ");
  for (int m = 1; m <= ig.nmmi; ++m) {
    move_slot(ctx, kMaxMetrics + m, ig.nmet + m);
    echo_slot(ctx, m, ig.nmet + m);
  }
}

void write_counts(RunContext& ctx) {
  const CIGBAND& ig = ctx.cigband;
  TextOut& log = ctx.log;
  log.put({nl, lit(" Number of individual metrics to be used ="), I(5)}, {ig.nmet});
  if (ig.nmmi > 0)
    log.put({nl, lit(" Number of Multi-metric indices (MMI) to be used ="), I(5)}, {ig.nmmi});
  if (ig.nmet == 0) {
    log.empty();
    log.empty();
    log.line(" No metric selected for Uncertainty assessment");
    log.line(" Correct METRIC SPECIFICATION file and re-run.");
    log.empty();
    log.line("   ");
    fatal_stop();
  }
}

}  // namespace

void load_metric_spec(RunContext& ctx) {
  ctx.metspec.restart();
  for (int k = 1; k <= 6; ++k) read_header_line(ctx);
  read_column_labels(ctx);
  write_rule_heading(ctx);
  for (int row = 0; row < kGroups; ++row) read_rule_row(ctx, row);
  ctx.log.empty();
  for (int k = 17; k <= 20; ++k) read_header_line(ctx);
  read_metric_rows(ctx);
  place_indices(ctx);
  write_counts(ctx);
}

}  // namespace mondrake
