// The sampling correlation file: one pair of metrics and its correlation
// per record, echoed as a lower-triangle table with the sampling SDs.
#include <string>
#include <vector>

#include "engine/input/readers.h"
#include "engine/input/record.h"

namespace mondrake {

using namespace layout;

namespace {

void set_up_matrices(RunContext& ctx) {
  const int n = ctx.cigband.nmet;
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j < i; ++j) ctx.CORR[packed(i, j)] = ctx.COV[packed(i, j)] = 0;
    const double sd = ctx.slots.sd[i];
    ctx.CORR[packed(i, i)] = 1;
    ctx.COV[packed(i, i)] = static_cast<float>(sd * sd);
  }
}

// The three fields of a record, or false when the record is to be skipped.
bool split_record(std::string_view record, std::string_view& first,
                  std::string_view& second, std::string_view& value) {
  int c1 = first_pos(record, ',');
  if (c1 <= 1) return false;
  first = record.substr(0, static_cast<std::size_t>(c1 - 1));
  int len = trimmed_length(record);
  if (len - c1 <= 2) return false;
  std::string_view rest = record.substr(static_cast<std::size_t>(c1),
                                        static_cast<std::size_t>(len - c1));
  int c2 = first_pos(rest, ',');
  if (c2 <= 1) return false;
  second = rest.substr(0, static_cast<std::size_t>(c2 - 1));
  int rest_len = trimmed_length(rest);
  if (rest_len - c2 <= 2) return false;
  value = rest.substr(static_cast<std::size_t>(c2), static_cast<std::size_t>(rest_len - c2));
  // An empty third field holds no correlation, whatever follows it.
  std::size_t third = value.find_first_not_of(' ');
  return third != std::string_view::npos && value[third] != ',';
}

void store_pair(RunContext& ctx, const std::vector<int>& firsts,
                const std::vector<int>& seconds, float r) {
  for (int k : firsts) {
    for (int j : seconds) {
      const int p = k > j ? packed(k, j) : packed(j, k);
      ctx.CORR[p] = r;
      ctx.COV[p] = static_cast<float>(static_cast<double>(r) * ctx.slots.sd[k] * ctx.slots.sd[j]);
    }
  }
}

// The metrics whose names equal the field, letter case counting and
// trailing blanks not.  `names` holds the metric names without their
// trailing blanks, trimmed once for the whole file.
void matching(const std::vector<std::string_view>& names, std::string_view field,
              std::vector<int>& out) {
  out.clear();
  field = field.substr(0, static_cast<std::size_t>(trimmed_length(field)));
  for (std::size_t k = 0; k < names.size(); ++k)
    if (names[k] == field) out.push_back(static_cast<int>(k) + 1);
}

void read_pairs(RunContext& ctx) {
  std::vector<std::string_view> names;
  for (int k = 1; k <= ctx.cigband.nmet; ++k) {
    std::string_view name = ctx.slots.name[k].view();
    names.push_back(name.substr(0, static_cast<std::size_t>(trimmed_length(name))));
  }
  std::vector<int> firsts, seconds;
  float r = 0;  // the correlation last read carries over between records
  std::string_view first, second, value;
  while (ctx.corr.read(ctx.record)) {
    if (!split_record(ctx.record, first, second, value)) continue;
    ReadStatus status = READVALS(value, {ReadTarget::real(&r)}, ReadMode::with_status);
    if (status == ReadStatus::end) break;
    if (status == ReadStatus::error) continue;
    matching(names, first, firsts);
    if (firsts.empty()) continue;
    matching(names, second, seconds);
    store_pair(ctx, firsts, seconds, r);
  }
}

void echo_table(RunContext& ctx) {
  const int n = ctx.cigband.nmet;
  TextOut& log = ctx.log;
  log.put({nl, lit("     Metric"), X(32), lit("SD     Sampling Correlations")});
  static const Item row[] = {I(4), X(1), A(34), F(7, 3), X(2), rep(300, {F(6, 2)})};
  std::vector<Value> values;
  for (int i = 1; i <= n; ++i) {
    values.assign({static_cast<long long>(i), ctx.slots.name[i].view(),
                   static_cast<double>(ctx.slots.sd[i])});
    for (int j = 1; j < i; ++j) values.emplace_back(static_cast<double>(ctx.CORR[packed(i, j)]));
    log.put(row, values);
    ctx.mean[i] = 0;
  }
  static const Item footer[] = {X(46), rep(300, {I(6)})};
  values.clear();
  for (int j = 1; j < n; ++j) values.emplace_back(static_cast<long long>(j));
  log.put(footer, values);
}

}  // namespace

void read_correlations(RunContext& ctx) {
  set_up_matrices(ctx);
  read_pairs(ctx);
  echo_table(ctx);
}

}  // namespace mondrake
