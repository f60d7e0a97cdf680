// SPDX-License-Identifier: MIT
#include "verdict/StepHistogram.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// The faults a link is taken to have, unless the counts say otherwise: a
// lossy link loses up to a tenth of its frames and doubles a hundredth.
constexpr double kCommonLoss = 0.1;
constexpr double kCommonTwice = 0.01;
// Counts that these faults give less often than this do not fit them; the
// normal distribution's quantile for the same chance, for large counts.
constexpr double kRarest = 1e-4;
constexpr double kRarestZ = 3.719;
// Expected counts up to this are summed term by term; above, the normal
// distribution, skew corrected, serves.
constexpr double kMostSummed = 30;
// The numbers of frames per step that a fit is weighed against, each with
// the loss and duplication that explain the counts best.
constexpr size_t kFarthest = StepHistogram::kMostFitted + 2;
// Chances are never taken as 0 or 1, whose logarithms are infinite.
constexpr double kTiny = 1e-9;

// log n! for the counts kept, made before any frame comes.
const auto kLogFactorials = [] {
  std::array<double, StepHistogram::kCounts + 1> values{};
  for (size_t i = 0; i < values.size(); ++i) {
    values[i] = std::lgamma(static_cast<double>(i) + 1);
  }
  return values;
}();

double LogFactorial(size_t n) { return kLogFactorials[n]; }

// What a step's count tells against `perStep` frames a step: frames
// missing and repeated, kept (up to perStep a step), and the parts of the
// counts' log chance that do not depend on the faults.
struct Fit {
  double missing = 0;
  double repeated = 0;
  double kept = 0;
  // Sum over the steps of log (perStep choose count), of those up to
  // perStep, less log (count - perStep)! of those above.
  double logWays = 0;
};

// The log chance of the counts of `steps` steps with `fit`, when each of
// perStep frames is lost with chance `loss`, and frames beyond them come as
// a Poisson count of mean `twice`.
double LogLikelihood(const Fit& fit, double steps, double loss, double twice) {
  const double mean = std::max(twice, kTiny);
  return fit.logWays + fit.kept * std::log(std::clamp(1 - loss, kTiny, 1 - kTiny)) +
         fit.missing * std::log(std::clamp(loss, kTiny, 1 - kTiny)) +
         fit.repeated * std::log(mean) - steps * mean;
}

// The count that `frames` frames, each with `chance`, exceed less often
// than kRarest.
double Upper(double frames, double chance) {
  const double mean = frames * chance;
  if (mean <= kMostSummed) {
    double term = std::exp(frames * std::log1p(-chance));
    double below = term;
    double count = 0;
    while (1 - below >= kRarest && count < frames) {
      term *= (frames - count) / (count + 1) * chance / (1 - chance);
      below += term;
      ++count;
    }
    return count;
  }
  const double spread = std::sqrt(mean * (1 - chance));
  const double skew = (1 - 2 * chance) / spread;
  return mean +
         spread * (kRarestZ + (kRarestZ * kRarestZ - 1) * skew / 6);
}

// The fits against 1 to kFarthest frames a step of the steps `byCount[c]`
// of which came with c frames.
using Fits = std::array<Fit, kFarthest + 1>;

Fits FitAll(const int64_t* byCount) {
  Fits fits{};
  // Counts up to kFarthest may lie on either side of a number of frames.
  for (size_t count = 0; count <= kFarthest; ++count) {
    const auto n = static_cast<double>(byCount[count]);
    if (n == 0) continue;
    const auto c = static_cast<double>(count);
    for (size_t k = 1; k <= kFarthest; ++k) {
      Fit& fit = fits[k];
      const auto kd = static_cast<double>(k);
      if (count <= k) {
        fit.missing += n * (kd - c);
        fit.kept += n * c;
        fit.logWays += n * (LogFactorial(k) - LogFactorial(count) -
                            LogFactorial(k - count));
      } else {
        fit.repeated += n * (c - kd);
        fit.kept += n * kd;
        fit.logWays -= n * LogFactorial(count - k);
      }
    }
  }
  // Those above lie above all: summed once, but for their factorials.
  double steps = 0;
  double frames = 0;
  double logFactorials[kFarthest + 1] = {};
  for (size_t count = kFarthest + 1; count < StepHistogram::kCounts; ++count) {
    const auto n = static_cast<double>(byCount[count]);
    if (n == 0) continue;
    steps += n;
    frames += n * static_cast<double>(count);
    for (size_t k = 1; k <= kFarthest; ++k) {
      logFactorials[k] += n * LogFactorial(count - k);
    }
  }
  for (size_t k = 1; k <= kFarthest; ++k) {
    const auto kd = static_cast<double>(k);
    fits[k].repeated += frames - kd * steps;
    fits[k].kept += kd * steps;
    fits[k].logWays -= logFactorials[k];
  }
  return fits;
}

}  // namespace

void StepHistogram::Add(uint64_t count, int64_t steps) {
  m_steps += steps;
  if (count < kCounts) {
    m_byCount[count] += steps;
    m_frames += steps * static_cast<int64_t>(count);
    return;
  }
  if (m_largeSteps > 0 && count != m_largeCount) m_largeAlike = false;
  m_largeCount = count;
  m_largeSteps += steps;
  m_largeFrames += steps * static_cast<int64_t>(count);
}

StepHistogram::Verdict StepHistogram::Decide(const uint64_t* edges,
                                             int edgeCount) const {
  Verdict verdict;
  const int64_t stepCount = Steps();
  if (stepCount < kFewestSteps) return verdict;
  const auto steps = static_cast<double>(stepCount);

  // Steps that all came alike tell their number, whatever it is.
  uint64_t alike = 0;
  int kinds = m_largeSteps > 0 ? (m_largeAlike ? 1 : 2) : 0;
  for (size_t count = 0; count < kCounts; ++count) {
    if (m_byCount[count] == 0) continue;
    ++kinds;
    alike = count;
  }
  if (kinds == 1) {
    verdict.perStep = static_cast<int64_t>(m_largeSteps > 0 ? m_largeCount
                                                            : alike);
    verdict.known = verdict.perStep > 0;
  } else if (m_largeSteps == 0) {
    // The one number that fits the counts with the common faults at least
    // as well as every other number fits them with its own best faults.
    const Fits fits = FitAll(m_byCount);
    double best[kFarthest + 1];
    for (size_t k = 1; k <= kFarthest; ++k) {
      const Fit& fit = fits[k];
      best[k] = LogLikelihood(fit, steps,
                              1 - fit.kept / (static_cast<double>(k) * steps),
                              fit.repeated / steps);
    }
    int fitting = 0;
    for (size_t k = 1; k <= kMostFitted; ++k) {
      const Fit& fit = fits[k];
      const double frames = static_cast<double>(k) * steps;
      if (fit.missing > Upper(frames, kCommonLoss) ||
          fit.repeated > Upper(frames, kCommonTwice)) {
        continue;
      }
      const double common = LogLikelihood(fit, steps, kCommonLoss,
                                          kCommonTwice * static_cast<double>(k));
      bool beatsAll = true;
      for (size_t other = 1; other <= kFarthest; ++other) {
        if (other != k && best[other] > common) beatsAll = false;
      }
      if (beatsAll) {
        ++fitting;
        verdict.perStep = static_cast<int64_t>(k);
      }
    }
    verdict.known = fitting == 1;
  }
  if (!verdict.known) return Verdict();
  const auto perStep = static_cast<uint64_t>(verdict.perStep);
  for (size_t count = 0; count < kCounts; ++count) {
    const int64_t n = m_byCount[count];
    if (count < perStep) verdict.missing += n * static_cast<int64_t>(perStep - count);
    if (count > perStep) verdict.repeated += n * static_cast<int64_t>(count - perStep);
  }
  if (m_largeSteps > 0 && m_largeCount > perStep) {
    verdict.repeated += m_largeSteps * static_cast<int64_t>(m_largeCount - perStep);
  }
  for (int i = 0; i < edgeCount; ++i) {
    if (edges[i] > perStep) {
      verdict.repeated += static_cast<int64_t>(edges[i] - perStep);
    }
  }
  return verdict;
}
