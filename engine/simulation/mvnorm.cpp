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

void mvnorm_apply(const MvnormState& st, int n, const float* mean, const float* y,
                  float* out) {
  // The sums run in a local array: the compiler then knows they share no
  // memory with the factor, and forms four of them at a time.  Each step
  // still adds one product in double and rounds the sum to single.
  float acc[kMaxMetrics + 4];
  for (int i = 0; i < n; ++i) acc[i] = mean[i + 1];
  for (int j = 1; j <= n; ++j) {
    const double yj = y[j - 1];
    const float* column = st.factor + factor_pos(j, j, n);  // F(j..n, j)
    float* a = acc + (j - 1);
    const int len = n - j + 1;
    int k = 0;
    for (; k + 4 <= len; k += 4) {
      const float c0 = column[k], c1 = column[k + 1], c2 = column[k + 2], c3 = column[k + 3];
      a[k] = static_cast<float>(a[k] + c0 * yj);
      a[k + 1] = static_cast<float>(a[k + 1] + c1 * yj);
      a[k + 2] = static_cast<float>(a[k + 2] + c2 * yj);
      a[k + 3] = static_cast<float>(a[k + 3] + c3 * yj);
    }
    for (; k < len; ++k) a[k] = static_cast<float>(a[k] + column[k] * yj);
  }
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
