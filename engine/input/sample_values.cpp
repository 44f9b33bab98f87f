// The observed values file and the E0 and E1 files.  Their reading is
// interleaved: the three header lines, the set-up of the value tables, then
// the metric rows of each file in turn.
#include <string>

#include "engine/input/readers.h"
#include "engine/input/record.h"

namespace mondrake {

using namespace layout;

namespace {

// What differs between the E0 and the E1 file.
struct EFile {
  InputFile RunContext::*file;
  int RunContext::*code;
  SampleTable RunContext::*table;
  const char* short_name;  // "EZERO"
  const char* symbol;      // "E0"
  const char* long_name;   // " E0 (EZERO) values file"
  int control;             // control name shown in the Cell A1 report
};

const EFile kEzero{&RunContext::ezero, &RunContext::e0code, &RunContext::E0,
                   "EZERO", "E0", " E0 (EZERO) values file", 4};
const EFile kEone{&RunContext::eone, &RunContext::e1code, &RunContext::E1,
                  "EONE", "E1", " E1 (EONE) values file", 5};

[[noreturn]] void obs_header_problem(TextOut& log, std::string_view record) {
  std::string shown(record.substr(0, std::min<std::size_t>(record.size(), kNameLength)));
  shown.resize(kNameLength, ' ');
  log.put({nl, nl, lit(" Problem reading header line of METRIC"), lit(" Observed values file :"),
           nl, X(1), A(100), nl, nl, lit(" Check file and re-run"), nl, lit("   ")},
          {std::string_view(shown)});
  fatal_stop();
}

void read_obs_header(RunContext& ctx) {
  std::string& record = ctx.record;
  if (!ctx.obs.read(record)) obs_header_problem(ctx.log, "");
  std::vector<Name> names;
  if (!HEADNAMES(record, names)) obs_header_problem(ctx.log, record);
  ctx.nsamp = static_cast<int>(names.size());
  ctx.log.put({nl, lit(" Number of samples ="), I(5), nl, lit("   ")}, {ctx.nsamp});
  if (ctx.nsamp > kMaxSamples) {
    ctx.log.empty();
    ctx.log.put({lit(" maximum number of samples which can be used ="), I(4)}, {kMaxSamples});
    ctx.log.line(" Reduce number of samples and re-run.");
    ctx.log.line("   ");
    fatal_stop();
  }
  for (int k = 1; k <= ctx.nsamp; ++k) ctx.sampname[k] = names[static_cast<std::size_t>(k - 1)];
}

[[noreturn]] void cell_a1_problem(RunContext& ctx, const EFile& e) {
  std::string sym = e.symbol, name = e.short_name;
  ctx.log.put({nl, nl, lit(" Problem : Cell A1 of the " + name + " file does not begin"),
               lit(" with a 1, 2 or 3"), nl, lit(" to denote whether the " + sym + " values are"),
               nl, lit(" zero, constant across samples,"),
               lit(" or variable between samples repsectively"), nl,
               lit(" " + name + " file is :"), nl, X(1), A(), nl, nl,
               lit(" Correct file and re-run"), nl, lit("   ")},
              {std::string_view(ctx.control[static_cast<std::size_t>(e.control)])});
  fatal_stop();
}

[[noreturn]] void e_header_problem(RunContext& ctx, const EFile& e, const Name& observed,
                                   const Name& here) {
  std::string sym = e.symbol, name = e.short_name;
  ctx.log.put({nl, nl, lit(" Problem reading header line of file holding"),
               lit(" the " + sym + " (" + name + ") values for each Sample :"), nl,
               lit(" Check Sample names are the same as in the Observed values file"), nl, nl,
               lit(" Sample name in Observed file : "), A(50), nl,
               lit(" Sample name in " + name + " file : "), A(50), nl,
               lit(" Check file and re-run"), nl, lit("   ")},
              {observed.view(), here.view()});
  fatal_stop();
}

void read_e_header(RunContext& ctx, const EFile& e) {
  InputFile& file = ctx.*e.file;
  int& code = ctx.*e.code;
  const Name blank;
  if (!file.read(ctx.record)) e_header_problem(ctx, e, blank, blank);
  std::int32_t value = 0;
  READVALS(ctx.record, {ReadTarget::integer(&value)}, ReadMode::lenient);
  code = value;
  if (code < 1 || code > 3) cell_a1_problem(ctx, e);
  if (code != 1) return;
  std::vector<Name> names;
  if (!HEADNAMES(ctx.record, names)) e_header_problem(ctx, e, blank, blank);
  const int n = static_cast<int>(names.size());
  for (int k = 1; k <= n; ++k) {
    const Name& here = names[static_cast<std::size_t>(k - 1)];
    if (k > ctx.nsamp) e_header_problem(ctx, e, blank, here);
    if (!ISTRSAME(ctx.sampname[k], here)) e_header_problem(ctx, e, ctx.sampname[k], here);
  }
  if (n < ctx.nsamp) e_header_problem(ctx, e, ctx.sampname[n + 1], names.back());
}

void set_up_tables(RunContext& ctx) {
  const int nslot = ctx.cigband.nslot;
  for (int s = 1; s <= nslot; ++s) {
    if (ctx.e1code == 3) ctx.slots.e1sd[s] = 0;
    const bool metric = ctx.cbandlim.use[s] == kUseMetric;
    for (int k = 1; k <= ctx.nsamp; ++k) {
      ctx.OBS.v[s][k] = kMissing;
      ctx.E0.v[s][k] = metric && ctx.e0code == 3 ? 0.0f : kMissing;
      ctx.E1.v[s][k] = metric && ctx.e1code == 3 ? 1.0f : kMissing;
    }
  }
}

[[noreturn]] void missing_names(TextOut& log, std::initializer_list<Item> file_part,
                                const char* advice) {
  std::vector<Item> items{nl, nl, lit(" Some of the Selected Metric names are not in the")};
  items.insert(items.end(), file_part);
  items.insert(items.end(), {nl, nl, lit(advice), nl, lit("  "), nl});
  log.put(items, {});
  fatal_stop();
}

void read_obs_rows(RunContext& ctx) {
  std::string value_text;
  for (int s = 1; s <= ctx.cigband.nmet; ++s) {
    if (!FINDROW(ctx.obs, ctx.slots.name[s], value_text, ctx.log)) {
      missing_names(ctx.log, {nl, lit(" OBSERVED Metric values file")},
                    " Check both files for EXACT agreement (including case and spaces),"
                    " then correct and re-run");
    }
    READVALS(value_text, {ReadTarget::real(&ctx.OBS.v[s][1], ctx.nsamp)}, ReadMode::strict);
    ctx.obs.restart();
  }
}

void read_e_rows(RunContext& ctx, const EFile& e) {
  const int code = ctx.*e.code;
  if (code == 3) return;
  InputFile& file = ctx.*e.file;
  SampleTable& table = ctx.*e.table;
  std::string value_text;
  for (int s = 1; s <= ctx.cigband.nmet; ++s) {
    if (!FINDROW(file, ctx.slots.name[s], value_text, ctx.log)) {
      missing_names(ctx.log, {lit(e.long_name)},
                    " Check both files for agreement, then correct and re-run");
    }
    float* cells = &table.v[s][1];
    if (code == 1) {
      READVALS(value_text, {ReadTarget::real(cells, ctx.nsamp)}, ReadMode::strict);
    } else {
      READVALS(value_text, {ReadTarget::real(cells)}, ReadMode::strict);
      for (int k = 1; k < ctx.nsamp; ++k) cells[k] = cells[0];
    }
    file.restart();
  }
}

}  // namespace

void read_sample_values(RunContext& ctx) {
  read_obs_header(ctx);
  read_e_header(ctx, kEzero);
  read_e_header(ctx, kEone);
  set_up_tables(ctx);
  read_obs_rows(ctx);
  read_e_rows(ctx, kEzero);
  read_e_rows(ctx, kEone);
}

void read_input_data(RunContext& ctx) {
  read_sample_values(ctx);
  read_correlations(ctx);
}

}  // namespace mondrake
