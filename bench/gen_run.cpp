// gen_run: writes a synthetic run directory for the engine's benchmarks.
//
// The directory receives the five comma-separated input files under their run
// file names and the control file VELTRASOM.INP, as the front end would leave
// them.  Everything is derived from one std::mt19937 stream, and only from its
// raw 32-bit output (no library distributions, no transcendental functions, no
// printf of floating point), so a given seed gives the same bytes on every
// machine and standard library.
//
// Usage: gen_run --out DIR [options]; gen_run --help lists the options.

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kMaxMetrics = 200;
constexpr int kMaxIndices = 100;
constexpr int kMaxSamples = 300;
constexpr int kMaxSimulations = 100000;
constexpr std::size_t kMaxRecord = 5000;
constexpr int kRows = 8;      // top-level groups 1 … 8
constexpr int kColumns = 8;   // bottom-level groups 1 … 8 of a row
constexpr int kSpecFields = 17;

struct Options {
  std::string out;
  int metrics = 50;
  int indices = 10;
  int samples = 20;
  int sims = 100000;
  double missing = 0.02;
  std::uint32_t seed = 1;
  int run_seed = 4711;
  std::string transforms = "mixed";  // "mixed" or one code 0 … 4
  double eqr_fraction = 0.2;
  double index_share = 0.6;
  int rule = 0;  // 0: rule types 1 … 5 in turn; 1 … 5: that one everywhere
  int e0_code = 2;
  int e1_code = 1;
  int band = 2;
  double corr_max = 0.3;
};

void usage(std::ostream& os) {
  os << "usage: gen_run --out DIR [options]\n"
        "  --shape NAME       typical (50 metrics, 10 indices, 20 samples, N 100000),\n"
        "                     maximal (200, 100, 5, N 20000) or reading (200, 20, 300,\n"
        "                     N 100); options after it override its values\n"
        "  --metrics M        individual metrics, 1 … 200 (default 50)\n"
        "  --indices X        multi-metric index rows, 0 … 100 (default 10); at most\n"
        "                     73 of them can hold a value (one per group cell of the\n"
        "                     rule table), further ones share a cell and stay inert\n"
        "  --samples S        samples, 1 … 300 (default 20)\n"
        "  --sims N           simulations per sample, 0 … 100000 (default 100000)\n"
        "  --missing F        fraction of observed values that are missing (0.02)\n"
        "  --seed K           seed of this generator (default 1)\n"
        "  --run-seed R       random number seed written for the engine,\n"
        "                     -32768 … 32767 (default 4711; -1 asks for the clock)\n"
        "  --transforms T     mixed (codes 0 … 4 in turn) or one code 0 … 4\n"
        "  --eqr-fraction F   fraction of metrics given as EQRs (0.2)\n"
        "  --index-share F    fraction of metrics that belong to an index (0.6)\n"
        "  --rule R           0: rule types 1 … 5 in turn (default); 1 … 5 everywhere\n"
        "  --e0-code C        1 per sample, 2 one value per metric (default), 3 none\n"
        "  --e1-code C        1 per sample (default), 2 one value per metric, 3 none\n"
        "  --band B           correlated neighbours on each side (default 2)\n"
        "  --corr-max R       largest |correlation| of direct neighbours (0.3); lag k\n"
        "                     is limited to R / k\n";
}

[[noreturn]] void fail(const std::string& message) {
  std::cerr << "gen_run: " << message << "\n";
  std::exit(2);
}

// ---- numbers -------------------------------------------------------------

class Stream {
 public:
  explicit Stream(std::uint32_t seed) : engine_(seed) {}
  std::uint32_t bits() { return static_cast<std::uint32_t>(engine_()); }
  // Uniform in (0, 1): exact in double, the same everywhere.
  double uniform() { return (static_cast<double>(bits()) + 0.5) / 4294967296.0; }
  double between(double lo, double hi) { return lo + (hi - lo) * uniform(); }
  // Approximately standard normal: the sum of twelve uniforms less six.  The
  // sum is formed in integers, so it is exact.
  double normal() {
    std::uint64_t sum = 0;
    for (int i = 0; i < 12; ++i) sum += bits();
    return static_cast<double>(sum) / 4294967296.0 + 12.0 / 8589934592.0 - 6.0;
  }
  bool chance(double p) { return uniform() < p; }

 private:
  std::mt19937 engine_;
};

// Fixed-point text of v with d decimals, formed in integers (halves away from
// zero).  A value that rounds to zero is written without a sign.
std::string fixed(double v, int d) {
  double scale = 1.0;
  for (int i = 0; i < d; ++i) scale *= 10.0;
  double a = std::floor(std::fabs(v) * scale + 0.5);
  auto k = static_cast<long long>(a);
  std::string digits = std::to_string(k);
  if (d > 0) {
    if (digits.size() <= static_cast<std::size_t>(d))
      digits.insert(0, static_cast<std::size_t>(d) + 1 - digits.size(), '0');
    digits.insert(digits.size() - static_cast<std::size_t>(d), ".");
  }
  return (v < 0 && k != 0 ? "-" : "") + digits;
}

// ---- the model of a run ----------------------------------------------------

enum class Kind { kScore, kCount, kAbundance, kProportion, kPercent, kEqr };

struct Metric {
  std::string name;
  Kind kind = Kind::kScore;
  int transform = 0;
  bool as_eqr = false;
  int decimals = 2;
  double e0 = 0.0;       // value at EQR 0
  double e1 = 1.0;       // mean value at EQR 1
  double lo = 0.0, hi = 1e9;  // range of a valid observed value
  double sd = 0.0;
  double bias = 0.0, bias_sd = 0.0, e1_sd = 0.0;
  double limits[4] = {};
  bool has_limits = true;
  int mgp1 = 0, mgp2 = 0;
  double wt1 = 1.0, wt2 = 1.0;
  int index = -1;        // index whose group the metric belongs to
};

struct Index {
  std::string name;
  int mgp1 = 0, mgp2 = 0;
  double limits[4] = {};
  int after_metric = -1;  // written after this metric row (-1: at the end)
};

struct Cell {
  int row, column;  // column 0: directly in the row (row 0: overall level)
};

void falling_limits(Stream& rng, double* limits) {
  double top = rng.between(0.75, 0.90);
  double step = rng.between(0.15, 0.22);
  for (int k = 0; k < 4; ++k) limits[k] = top - step * k;
  limits[3] = std::max(limits[3], 0.05);
}

Metric make_metric(Stream& rng, const Options& o, int i, int transform,
                   bool as_eqr) {
  Metric m;
  char name[16];
  std::snprintf(name, sizeof name, "M%03d", i + 1);
  m.name = name;
  m.transform = transform;
  m.as_eqr = as_eqr;
  if (as_eqr) {
    m.kind = Kind::kEqr;
    m.transform = 0;
    m.decimals = 3;
    m.e0 = 0.0;
    m.e1 = 1.0;
    m.lo = 0.0;
    m.hi = 1.2;
    m.sd = rng.between(0.03, 0.08);
  } else {
    switch (transform) {
      case 1:
        m.kind = Kind::kCount;
        m.decimals = 0;
        m.e1 = std::floor(rng.between(15.0, 60.0));
        m.sd = rng.between(0.25, 0.5);
        break;
      case 2:
        m.kind = Kind::kAbundance;
        m.decimals = 0;
        m.e1 = std::floor(rng.between(200.0, 2000.0));
        m.sd = rng.between(0.25, 0.5);
        break;
      case 3:
        m.kind = Kind::kProportion;
        m.decimals = 3;
        m.e1 = rng.between(0.4, 0.8);
        m.hi = 0.999;
        m.sd = rng.between(0.04, 0.08);
        break;
      case 4:
        m.kind = Kind::kPercent;
        m.decimals = 1;
        m.e1 = rng.between(40.0, 80.0);
        m.hi = 99.9;
        m.sd = rng.between(0.04, 0.08);
        break;
      default:
        m.kind = Kind::kScore;
        m.decimals = 2;
        m.e0 = 1.0;
        m.e1 = rng.between(4.0, 8.0);
        m.sd = rng.between(0.1, 0.3);
        break;
    }
    // Some scores and percentages fall as quality rises (a tolerance score,
    // a share of tolerant taxa): E0 then lies above E1.
    bool falling = (transform == 0 || transform == 4) && rng.chance(0.25) &&
                   o.e0_code != 3 && o.e1_code != 3;
    if (falling) {
      double worst = m.e1;
      m.e1 = m.kind == Kind::kScore ? m.e0 : 0.1 * worst;
      m.e0 = worst;
    }
    if (o.e0_code == 3) m.e0 = 0.0;
    if (o.e1_code == 3) {
      m.e1 = 1.0;
      m.decimals = 3;
    }
  }
  if (i % 7 == 3) {
    m.bias_sd = 0.05 * std::fabs(m.e1 - m.e0);
    m.bias = -0.02 * std::fabs(m.e1 - m.e0);
  }
  if (!as_eqr && i % 5 == 1) m.e1_sd = 0.03 * std::fabs(m.e1);
  falling_limits(rng, m.limits);
  if (i % 4 == 2) m.wt2 = 2.0;
  if (i % 6 == 5) m.wt1 = 2.0;
  return m;
}

// Observed value of a metric whose EQR would be eqr at reference value e1.
double observed(const Metric& m, double eqr, double e1) {
  if (m.as_eqr) return std::clamp(eqr, m.lo, m.hi);
  double v = m.e0 + eqr * (e1 - m.e0);
  return std::clamp(v, m.lo, m.hi);
}

// ---- writing ---------------------------------------------------------------

class Writer {
 public:
  Writer(const std::filesystem::path& dir, const char* name)
      : path_(dir / name), out_(path_, std::ios::binary) {
    if (!out_) fail("cannot write " + path_.string());
  }
  void line(const std::string& text) {
    if (text.size() > kMaxRecord)
      fail(path_.filename().string() + ": a record of " +
           std::to_string(text.size()) + " characters (at most 5000)");
    out_ << text << '\n';
  }
  ~Writer() {
    out_.flush();
    if (!out_) std::cerr << "gen_run: write error on " << path_ << "\n";
  }

 private:
  std::filesystem::path path_;
  std::ofstream out_;
};

// A record of the metric specification: exactly 17 fields, as a spreadsheet
// saves a sheet whose widest rows are the metric rows.
std::string spec_record(std::vector<std::string> fields) {
  fields.resize(kSpecFields);
  std::string s;
  for (int i = 0; i < kSpecFields; ++i) {
    if (i) s += ',';
    s += fields[static_cast<std::size_t>(i)];
  }
  return s;
}

std::string weight_text(double w) { return w == 2.0 ? "2" : "1"; }

// ---- options ---------------------------------------------------------------

int to_int(const std::string& flag, const char* text, long lo, long hi) {
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(text, &end, 10);
  if (errno || end == text || *end || v < lo || v > hi)
    fail(flag + " wants a whole number from " + std::to_string(lo) + " to " +
         std::to_string(hi));
  return static_cast<int>(v);
}

double to_fraction(const std::string& flag, const char* text, double lo,
                   double hi) {
  char* end = nullptr;
  double v = std::strtod(text, &end);
  if (end == text || *end || !(v >= lo && v <= hi))
    fail(flag + " wants a number from " + fixed(lo, 2) + " to " + fixed(hi, 2));
  return v;
}

void apply_shape(Options& o, const std::string& shape) {
  if (shape == "typical") {
    o.metrics = 50, o.indices = 10, o.samples = 20, o.sims = 100000;
  } else if (shape == "maximal") {
    o.metrics = 200, o.indices = 100, o.samples = 5, o.sims = 20000;
  } else if (shape == "reading") {
    o.metrics = 200, o.indices = 20, o.samples = 300, o.sims = 100;
  } else {
    fail("unknown shape " + shape + " (typical, maximal, reading)");
  }
}

Options parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    std::string flag = argv[i];
    if (flag == "--help" || flag == "-h") {
      usage(std::cout);
      std::exit(0);
    }
    if (i + 1 >= argc) {
      usage(std::cerr);
      fail("missing value after " + flag);
    }
    const char* v = argv[++i];
    if (flag == "--out") o.out = v;
    else if (flag == "--shape") apply_shape(o, v);
    else if (flag == "--metrics") o.metrics = to_int(flag, v, 1, kMaxMetrics);
    else if (flag == "--indices") o.indices = to_int(flag, v, 0, kMaxIndices);
    else if (flag == "--samples") o.samples = to_int(flag, v, 1, kMaxSamples);
    else if (flag == "--sims") o.sims = to_int(flag, v, 0, kMaxSimulations);
    else if (flag == "--missing") o.missing = to_fraction(flag, v, 0.0, 1.0);
    else if (flag == "--seed")
      o.seed = static_cast<std::uint32_t>(std::strtoul(v, nullptr, 10));
    else if (flag == "--run-seed") o.run_seed = to_int(flag, v, -32768, 32767);
    else if (flag == "--transforms") o.transforms = v;
    else if (flag == "--eqr-fraction") o.eqr_fraction = to_fraction(flag, v, 0.0, 1.0);
    else if (flag == "--index-share") o.index_share = to_fraction(flag, v, 0.0, 1.0);
    else if (flag == "--rule") o.rule = to_int(flag, v, 0, 5);
    else if (flag == "--e0-code") o.e0_code = to_int(flag, v, 1, 3);
    else if (flag == "--e1-code") o.e1_code = to_int(flag, v, 1, 3);
    else if (flag == "--band") o.band = to_int(flag, v, 0, kMaxMetrics - 1);
    else if (flag == "--corr-max") o.corr_max = to_fraction(flag, v, 0.0, 0.99);
    else {
      usage(std::cerr);
      fail("unknown option " + flag);
    }
  }
  if (o.out.empty()) {
    usage(std::cerr);
    fail("--out DIR is required");
  }
  if (o.transforms != "mixed" &&
      (o.transforms.size() != 1 || o.transforms[0] < '0' || o.transforms[0] > '4'))
    fail("--transforms wants mixed or one code 0 … 4");
  // Diagonal dominance keeps the correlation matrix positive definite for any
  // signs: every row's off-diagonal sum stays below 1 with room to spare for
  // the two-decimal rounding and the engine's single-precision factorisation.
  double row_sum = 0.0;
  for (int k = 1; k <= o.band; ++k) row_sum += 2.0 * o.corr_max / k;
  if (row_sum > 0.95)
    fail("--band and --corr-max give rows of correlations summing to " +
         fixed(row_sum, 2) + "; keep 2 * corr-max * (1 + 1/2 + … + 1/band) <= 0.95");
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  Options o = parse(argc, argv);
  Stream rng(o.seed);
  const int M = o.metrics;
  const int X = o.indices;
  const int S = o.samples;

  // Metrics: transformation codes in turn (or one for all), a share given as
  // EQRs spread evenly through the list.
  std::vector<Metric> metrics;
  metrics.reserve(static_cast<std::size_t>(M));
  int eqr_metrics = static_cast<int>(std::floor(o.eqr_fraction * M + 0.5));
  for (int i = 0; i < M; ++i) {
    bool as_eqr = (static_cast<long>(i + 1) * eqr_metrics) / M >
                  (static_cast<long>(i) * eqr_metrics) / M;
    int t = o.transforms == "mixed" ? i % 5 : o.transforms[0] - '0';
    metrics.push_back(make_metric(rng, o, i, t, as_eqr));
  }

  // Group cells that can hold an index: the 64 bottom-level groups (column
  // outer, so the first indices spread over the rows), then the rows
  // themselves, then the overall level.
  std::vector<Cell> index_cells;
  for (int j = 1; j <= kColumns; ++j)
    for (int r = 1; r <= kRows; ++r) index_cells.push_back({r, j});
  for (int r = 1; r <= kRows; ++r) index_cells.push_back({r, 0});
  index_cells.push_back({0, 0});
  const int active = std::min({X, M, static_cast<int>(index_cells.size())});
  if (X > active)
    std::cerr << "gen_run: " << X - active << " of " << X
              << " index rows share a group cell with an earlier index and hold"
                 " no value (at most "
              << active << " can)\n";

  int rule[kRows + 1][kColumns + 1] = {};
  std::vector<Index> indices(static_cast<std::size_t>(X));
  for (int k = 0; k < X; ++k) {
    Index& x = indices[static_cast<std::size_t>(k)];
    char name[16];
    std::snprintf(name, sizeof name, "MMI%03d", k + 1);
    x.name = name;
    const Cell& c = index_cells[static_cast<std::size_t>(active ? k % active : 0)];
    x.mgp1 = c.row;
    x.mgp2 = c.column;
    falling_limits(rng, x.limits);
    if (k < active) rule[c.row][c.column] = 6;
  }

  // Members of the indices, spread evenly through the metric list; every
  // active index gets at least one.  The other metrics go to the free cells:
  // bottom-level groups, directly to a row, directly to the overall level.
  int members = 0;
  if (active > 0) {
    members = std::max(active, static_cast<int>(std::floor(o.index_share * M + 0.5)));
    members = std::min(members, M);
  }
  std::vector<Cell> bottom_free, direct_free;
  for (int j = 1; j <= kColumns; ++j)
    for (int r = 1; r <= kRows; ++r)
      if (rule[r][j] != 6) bottom_free.push_back({r, j});
  for (int r = 1; r <= kRows; ++r)
    if (rule[r][0] != 6) direct_free.push_back({r, 0});
  if (rule[0][0] != 6) direct_free.push_back({0, 0});
  std::vector<Cell> free_cells;
  for (std::size_t b = 0, d = 0; b < bottom_free.size() || d < direct_free.size();) {
    for (int n = 0; n < 2 && b < bottom_free.size(); ++n) free_cells.push_back(bottom_free[b++]);
    if (d < direct_free.size()) free_cells.push_back(direct_free[d++]);
  }
  if (free_cells.empty()) members = M;
  const int others = M - members;
  const int used_free =
      others > 0 ? std::min<int>(static_cast<int>(free_cells.size()),
                                 std::max(1, (others + 2) / 3))
                 : 0;

  int next_member = 0, next_other = 0;
  for (int i = 0; i < M; ++i) {
    Metric& m = metrics[static_cast<std::size_t>(i)];
    bool member = (static_cast<long>(i + 1) * members) / M >
                  (static_cast<long>(i) * members) / M;
    if (member) {
      int k = next_member++ % active;
      Index& x = indices[static_cast<std::size_t>(k)];
      m.index = k;
      m.mgp1 = x.mgp1;
      m.mgp2 = x.mgp2;
      m.has_limits = false;  // classed with the index's limits
      if (x.after_metric < 0) x.after_metric = i;
    } else {
      const Cell& c = free_cells[static_cast<std::size_t>(next_other++ % used_free)];
      m.mgp1 = c.row;
      m.mgp2 = c.column;
    }
  }

  // Rule types of the cells in use (6 stays for index cells).
  int turn = 0;
  auto next_rule = [&]() { return o.rule ? o.rule : 1 + (turn++ % 5); };
  for (int r = 1; r <= kRows; ++r)
    for (int j = 1; j <= kColumns; ++j)
      if (rule[r][j] != 6)
        for (const Metric& m : metrics)
          if (m.mgp1 == r && m.mgp2 == j) {
            rule[r][j] = next_rule();
            break;
          }
  for (int r = 1; r <= kRows; ++r)
    if (rule[r][0] != 6) rule[r][0] = next_rule();
  if (rule[0][0] != 6) rule[0][0] = o.rule ? o.rule : 1;

  // Site quality: a gradient from near-natural to heavily impacted, with a
  // little spread per metric.
  std::vector<double> quality(static_cast<std::size_t>(S));
  for (int s = 0; s < S; ++s)
    quality[static_cast<std::size_t>(s)] = rng.between(0.15, 1.05);
  std::vector<std::string> sample_names;
  for (int s = 0; s < S; ++s) {
    char name[16];
    std::snprintf(name, sizeof name, "S%03d", s + 1);
    sample_names.emplace_back(name);
  }

  // Values: per metric and sample the E1 (site-specific), the observed value
  // and whether it is missing.
  const std::size_t cells = static_cast<std::size_t>(M) * static_cast<std::size_t>(S);
  std::vector<double> e1(cells), obs(cells);
  std::vector<std::uint8_t> missing(cells);
  for (int i = 0; i < M; ++i) {
    const Metric& m = metrics[static_cast<std::size_t>(i)];
    for (int s = 0; s < S; ++s) {
      std::size_t c = static_cast<std::size_t>(i) * static_cast<std::size_t>(S) +
                      static_cast<std::size_t>(s);
      double ref = m.e1;
      if (!m.as_eqr && o.e1_code == 1) ref = m.e1 * (1.0 + 0.05 * rng.normal());
      if (m.decimals == 0) ref = std::max(1.0, std::floor(ref + 0.5));
      e1[c] = ref;
      double eqr = std::clamp(quality[static_cast<std::size_t>(s)] + 0.07 * rng.normal(), 0.02, 1.15);
      obs[c] = observed(m, eqr, ref);
      missing[c] = rng.chance(o.missing) ? 1 : 0;
    }
  }

  std::filesystem::path dir(o.out);
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) fail("cannot create " + dir.string() + ": " + ec.message());

  // Metric specification.
  {
    Writer w(dir, "VELTRASOM_METSPEC.csv");
    w.line(spec_record({"Synthetic metric specification written by gen_run"}));
    w.line(spec_record({"metrics " + std::to_string(M) + "; indices " + std::to_string(X) +
                        "; samples " + std::to_string(S) + "; generator seed " +
                        std::to_string(o.seed)}));
    for (int n = 3; n <= 6; ++n) w.line(spec_record({}));
    w.line(spec_record({"", "", "", "Group", "Top", "Sub1", "Sub2", "Sub3", "Sub4",
                        "Sub5", "Sub6", "Sub7", "Sub8", "Weight"}));
    w.line(spec_record({"", "", "", "Overall", std::to_string(rule[0][0])}));
    for (int r = 1; r <= kRows; ++r) {
      std::vector<std::string> f(4);
      if (r == 7) f[0] = "Number of simulations required", f[1] = std::to_string(o.sims);
      if (r == 8) f[0] = "Integer random number seed", f[1] = std::to_string(o.run_seed);
      f[3] = "Group" + std::to_string(r);
      for (int j = 0; j <= kColumns; ++j) f.push_back(std::to_string(rule[r][j]));
      f.push_back("1");
      w.line(spec_record(f));
    }
    for (int n = 17; n <= 19; ++n) w.line(spec_record({}));
    w.line(spec_record({"Metric name", "Use", "O/EQR", "INT", "Limit H/G", "Limit G/M",
                        "Limit M/P", "Limit P/B", "Sampling SD", "Transf.", "Bias",
                        "Bias SD", "E1 SD", "MGP1", "Wt1", "MGP2", "Wt2"}));
    auto index_row = [&](const Index& x) {
      w.line(spec_record({x.name, "6", "1", "0", fixed(x.limits[0], 2), fixed(x.limits[1], 2),
                          fixed(x.limits[2], 2), fixed(x.limits[3], 2), "", "", "", "", "",
                          std::to_string(x.mgp1), "1", std::to_string(x.mgp2), "1"}));
    };
    for (int i = 0; i < M; ++i) {
      const Metric& m = metrics[static_cast<std::size_t>(i)];
      std::vector<std::string> f = {m.name, "1", m.as_eqr ? "1" : "2", "0"};
      for (double l : m.limits) f.push_back(m.has_limits ? fixed(l, 2) : "");
      f.push_back(fixed(m.sd, 3));
      f.push_back(std::to_string(m.transform));
      f.push_back(m.bias != 0.0 ? fixed(m.bias, 3) : "");
      f.push_back(m.bias_sd != 0.0 ? fixed(m.bias_sd, 3) : "");
      f.push_back(m.e1_sd != 0.0 ? fixed(m.e1_sd, 3) : "");
      f.push_back(std::to_string(m.mgp1));
      f.push_back(weight_text(m.wt1));
      f.push_back(std::to_string(m.mgp2));
      f.push_back(weight_text(m.wt2));
      w.line(spec_record(f));
      for (const Index& x : indices)
        if (x.after_metric == i) index_row(x);
    }
    for (const Index& x : indices)
      if (x.after_metric < 0) index_row(x);
  }

  auto header = [&](const std::string& corner) {
    std::string s = corner;
    for (const std::string& n : sample_names) s += ',' + n;
    return s;
  };

  // Observed values.  Missing values take the three forms a user writes: an
  // empty field, "Not Calculated" and -9.
  {
    Writer w(dir, "VELTRASOM_OBS.csv");
    w.line(header("Metric"));
    int form = 0;
    for (int i = 0; i < M; ++i) {
      const Metric& m = metrics[static_cast<std::size_t>(i)];
      std::string s = m.name;
      for (int k = 0; k < S; ++k) {
        std::size_t c = static_cast<std::size_t>(i) * static_cast<std::size_t>(S) +
                        static_cast<std::size_t>(k);
        s += ',';
        if (missing[c]) {
          static const char* const kForms[] = {"", "Not Calculated", "-9"};
          s += kForms[form++ % 3];
        } else {
          s += fixed(obs[c], m.decimals);
        }
      }
      if (s.size() > kMaxRecord) {  // too long with the words: empty fields only
        s = m.name;
        for (int k = 0; k < S; ++k) {
          std::size_t c = static_cast<std::size_t>(i) * static_cast<std::size_t>(S) +
                          static_cast<std::size_t>(k);
          s += ',';
          if (!missing[c]) s += fixed(obs[c], m.decimals);
        }
      }
      w.line(s);
    }
  }

  // E0 and E1.  Metrics given as EQRs still need a row: 0 and 1.
  auto e_file = [&](const char* file, int code, bool is_e1) {
    Writer w(dir, file);
    if (code == 3) {
      w.line("3");
      return;
    }
    w.line(code == 1 ? header("1") : std::string(is_e1 ? "2,E1" : "2,E0"));
    for (int i = 0; i < M; ++i) {
      const Metric& m = metrics[static_cast<std::size_t>(i)];
      int d = m.as_eqr ? 0 : std::max(m.decimals, m.kind == Kind::kScore ? 2 : 0);
      std::string s = m.name;
      int n = code == 1 ? S : 1;
      for (int k = 0; k < n; ++k) {
        std::size_t c = static_cast<std::size_t>(i) * static_cast<std::size_t>(S) +
                        static_cast<std::size_t>(k);
        double v = is_e1 ? (m.as_eqr ? 1.0 : e1[c]) : (m.as_eqr ? 0.0 : m.e0);
        s += ',' + fixed(v, d);
      }
      w.line(s);
    }
  };
  e_file("VELTRASOM_EZERO.csv", o.e0_code, false);
  e_file("VELTRASOM_EONE.csv", o.e1_code, true);

  // Correlations: a band of neighbours in metric order, |r| <= corr-max / lag.
  {
    Writer w(dir, "VELTRASOM_CORR.csv");
    w.line("Metric 1,Metric 2,Correlation");
    for (int i = 0; i < M; ++i)
      for (int k = 1; k <= o.band && i + k < M; ++k) {
        double r = (2.0 * rng.uniform() - 1.0) * o.corr_max / k;
        std::string text = fixed(r, 2);
        if (text == "0.00") continue;  // no record: correlation 0
        w.line(metrics[static_cast<std::size_t>(i)].name + ',' +
               metrics[static_cast<std::size_t>(i + k)].name + ',' + text);
      }
  }

  // Control file: the names a user might have chosen for the workbooks.
  {
    Writer w(dir, "VELTRASOM.INP");
    for (const char* n : {".", "synthetic-metspec.xlsx", "synthetic-observed.xlsx",
                          "synthetic-e0.xlsx", "synthetic-e1.xlsx",
                          "synthetic-correlations.xlsx", "synthetic-results.xlsx",
                          "synthetic.log"})
      w.line(n);
  }
  return 0;
}
