#include "engine/simulation/mvnorm.h"

#include <cmath>

#include "engine/run/stop.h"

namespace mondrake {

namespace {

// The user reads the console, but is sent to the log when a run fails, so
// both get the message.
[[noreturn]] void stop_with(TextOut& console, TextOut& log,
                            std::initializer_list<std::string_view> lines) {
  for (TextOut* out : {&console, &log}) {
    for (std::string_view l : lines) out->line(l);
  }
  fatal_stop();
}

[[noreturn]] void not_positive_definite(TextOut& console, TextOut& log) {
  stop_with(console, log,
            {"", "", "ERROR:",
             " Sampling Variance-Covariance matrix is not positive-definite.",
             " Set of Correlations are not valid", " Revise & try again", "   "});
}

int packed_cov(int r, int s) { return r * (r - 1) / 2 + s; }

}  // namespace

bool mvnorm_factorise(MvnormState& st, int n, const float* cov) {
  // Cholesky factorisation: COV values are single, the sums are carried in
  // double, the factor is stored in single, and each column is scaled by the
  // reciprocal of its stored (single) diagonal element.
  st.size = 0;  // no usable factor until this one is complete
  float* F = st.factor;
  auto at = [n](int i, int j) { return factor_pos(i, j, n); };

  for (int i = 1; i <= n; ++i) {
    double v = cov[packed_cov(i, i)];
    for (int m = 1; m < i; ++m) {
      const double f = F[at(i, m)];
      v -= f * f;
    }
    if (!(v >= 0)) return false;  // negative or NaN

    const float d = static_cast<float>(std::sqrt(v));
    F[at(i, i)] = d;
    if (d == 0.0f) {
      // The metric has no error of its own: nothing below the pivot can be
      // scaled by it, and the column stays zero rather than infinite.
      for (int j = i + 1; j <= n; ++j) F[at(j, i)] = 0.0f;
      continue;
    }
    const double y = 1.0 / d;
    for (int j = i + 1; j <= n; ++j) {
      double sum = cov[packed_cov(j, i)];
      for (int m = 1; m < i; ++m) sum -= double{F[at(i, m)]} * F[at(j, m)];
      F[at(j, i)] = static_cast<float>(sum * y);
    }
  }
  st.size = n;
  return true;
}

namespace {

void factorise(MvnormState& st, int n, const float* cov, TextOut& console,
               TextOut& log) {
  if (!mvnorm_factorise(st, n, cov)) not_positive_definite(console, log);
}

}  // namespace

void mvnorm_prepare(MvnormState& st, int n, const float* cov, bool first,
                    TextOut& console, TextOut& log) {
  if (n < 1) {
    for (TextOut* o : {&console, &log}) o->free_text({"SIZE OF VECTOR IS NON POSITIVE"});
    fatal_stop();
  }
  if (first || st.size != n) factorise(st, n, cov, console, log);
}

namespace {

// The column step of the correlated error is most of the loop's work at many
// metrics.  Every lane of its vectors does the same operations as the plain
// code (single to double, the product, which is exact in double, the sum in
// double, then single), so a copy built for wider vector registers gives the
// same bits; it is chosen on the first call, where the processor has them.
#if defined(__GNUC__)
#define MONDRAKE_INLINE inline __attribute__((always_inline))
#else
#define MONDRAKE_INLINE inline
#endif

MONDRAKE_INLINE void add_columns_body(
    const float* __restrict factor, int n, int from, int to, const float* __restrict y,
    float* __restrict acc) {
  for (int j = from; j <= to; ++j) {
    const double yj = y[j - 1];
    const float* column = factor + factor_pos(j, j, n);  // F(j..n, j)
    float* a = acc + (j - 1);
    const int len = n - j + 1;
    int k = 0;
    // Eight sums at a time: loads first, then the stores, so that the
    // compiler forms them in vector registers.
    for (; k + 8 <= len; k += 8) {
      double s[8];
      for (int l = 0; l < 8; ++l) s[l] = a[k + l] + column[k + l] * yj;
      for (int l = 0; l < 8; ++l) a[k + l] = static_cast<float>(s[l]);
    }
    for (; k < len; ++k) a[k] = static_cast<float>(a[k] + column[k] * yj);
  }
}

using AddColumns = void (*)(const float*, int, int, int, const float*, float*);

void add_columns_plain(const float* factor, int n, int from, int to, const float* y,
                       float* acc) {
  add_columns_body(factor, n, from, to, y, acc);
}

#if defined(__GNUC__) && defined(__x86_64__)
__attribute__((target("avx2"))) void add_columns_avx2(const float* factor, int n, int from,
                                                      int to, const float* y, float* acc) {
  add_columns_body(factor, n, from, to, y, acc);
}

AddColumns choose_add_columns() {
  return __builtin_cpu_supports("avx2") ? add_columns_avx2 : add_columns_plain;
}
#else
AddColumns choose_add_columns() { return add_columns_plain; }
#endif

void add_columns(const float* factor, int n, int from, int to, const float* y, float* acc) {
  static const AddColumns chosen = choose_add_columns();
  chosen(factor, n, from, to, y, acc);
}

}  // namespace

void mvnorm_columns(const MvnormState& st, int n, int from, int to, const float* y,
                    float* acc) {
  add_columns(st.factor, n, from, to, y, acc);
}

void mvnorm_apply(const MvnormState& st, int n, const float* mean, const float* y,
                  float* out) {
  // The sums run in a local array, which shares no memory with the factor.
  float acc[kMaxMetrics];
  for (int i = 0; i < n; ++i) acc[i] = mean[i + 1];
  add_columns(st.factor, n, 1, n, y, acc);
  for (int i = 0; i < n; ++i) out[i + 1] = acc[i];
}

void RANDOM_MVNORM(RandomState& rng, MvnormState& st, int n, const float* cov,
                   const float* mean, float* out, bool first, TextOut& console,
                   TextOut& log) {
  mvnorm_prepare(st, n, cov, first, console, log);
  float y[kMaxMetrics];
  for (int j = 0; j < n; ++j) y[j] = RANDOM_NORMAL(rng);
  mvnorm_apply(st, n, mean, y, out);
}

}  // namespace mondrake
