// The correlated sampling error: one draw of a multivariate normal vector
// for the metrics.
#pragma once

#include "engine/run/limits.h"
#include "engine/run/text_out.h"
#include "engine/simulation/random.h"

namespace mondrake {

// The lower-triangular Cholesky factor F of the last factorisation (the
// covariance matrix is F times its transpose), kept from one draw to the
// next.  F(i, j), j <= i, stands at factor_pos(i, j, size): the triangle
// column after column, positions from 1.  Large (80 KB): keep it with the
// run's tables, not on the stack.
struct MvnormState {
  float factor[kPackedTriangle + 1];
  int size = 0;  // number of variates of the stored factor; 0: none yet
};

inline int factor_pos(int i, int j, int n) { return (j - 1) * (2 * n - j) / 2 + i; }

// Draws out[i] = mean[i] + sum over j <= i of F(i, j) * y[j], i = 1 … n,
// with y[1] … y[n] drawn by RANDOM_NORMAL in that order: exactly n deviates
// per call, whatever the values are.
//
//   cov   the covariance matrix as a packed lower triangle, positions from 1
//         as packed(r, s) in run_context.h (row after row)
//   mean  mean[1] … mean[n]; out[1] … out[n] receives the draw (index 0 of
//         both is not used)
//   first factorise cov before drawing (the first simulation of a sample);
//         otherwise the stored factor is reused.  A factor of another size
//         (or none at all) is never reused: cov is factorised instead.
//
// 1 <= n <= kMaxMetrics.  A metric whose pivot is exactly 0 (a sampling SD
// of 0, or a correlation of exactly +-1 with earlier metrics) gets a factor
// column of zeros, so that metric adds no independent error of its own.
// A negative or not-a-number pivot means the correlations are not valid:
// the message goes to the console and to the log and the run stops, before
// anything is drawn.  So does n < 1.
void RANDOM_MVNORM(RandomState& rng, MvnormState& st, int n, const float* cov,
                   const float* mean, float* out, bool first, TextOut& console,
                   TextOut& log);

// RANDOM_MVNORM in two steps, for deviates drawn elsewhere (in the same
// order).  mvnorm_prepare makes the checks and the factorisation of
// RANDOM_MVNORM (stopping the run the same way); mvnorm_apply then forms
// out[i] = mean[i] + sum over j <= i of F(i, j) * y[j - 1] with the stored
// factor, exactly as RANDOM_MVNORM does with its own draws.
void mvnorm_prepare(MvnormState& st, int n, const float* cov, bool first,
                    TextOut& console, TextOut& log);
// The factorisation of mvnorm_prepare without its messages: false (and no
// usable factor) when the matrix is not positive definite.
bool mvnorm_factorise(MvnormState& st, int n, const float* cov);
void mvnorm_apply(const MvnormState& st, int n, const float* mean, const float* y,
                  float* out);

// The sums of mvnorm_apply, a stretch of columns at a time: adds F(i, j) *
// y[j - 1] to acc[i - 1] for the columns j = from … to in that order (rows
// j … n of each), every step in double, rounded to single.  Each sum takes
// its columns in ascending order whichever way the columns are split, so
// starting from acc[i - 1] = mean[i] and running the columns 1 … k, then
// k + 1 … n (on another thread, say) gives exactly what mvnorm_apply
// gives.  1 <= from, to <= n; nothing happens when from > to.
void mvnorm_columns(const MvnormState& st, int n, int from, int to, const float* y,
                    float* acc);

}  // namespace mondrake
