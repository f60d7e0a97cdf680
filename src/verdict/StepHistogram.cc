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
constexpr uint64_t kFarthest = StepHistogram::kMostFitted + 2;
// Chances are never taken as 0 or 1, whose logarithms are infinite.
constexpr double kTiny = 1e-9;

double LogFactorial(uint64_t n) {
  static const auto table = [] {
    std::array<double, StepHistogram::kCounts + 1> values{};
    for (size_t i = 0; i < values.size(); ++i) {
      values[i] = std::lgamma(static_cast<double>(i) + 1);
    }
    return values;
  }();
  return table[n];
}

// Frames missing and repeated, between them, against `perStep`.
struct Faults {
  double missing = 0;
  double repeated = 0;
  double kept = 0;  // frames up to perStep a step
};

// A step's count when `perStep` frames are sent, each lost with chance
// `loss`, and frames beyond them come as a Poisson count of mean `twice`.
struct Model {
  uint64_t perStep;
  double logKeep, logLose, logTwice, twice;

  Model(uint64_t frames, double loss, double twiceMean)
      : perStep(frames),
        logKeep(std::log(std::clamp(1 - loss, kTiny, 1 - kTiny))),
        logLose(std::log(std::clamp(loss, kTiny, 1 - kTiny))),
        logTwice(std::log(std::max(twiceMean, kTiny))),
        twice(std::max(twiceMean, kTiny)) {}

  double LogChance(uint64_t count) const {
    const auto k = static_cast<double>(perStep);
    const auto c = static_cast<double>(count);
    if (count <= perStep) {
      return LogFactorial(perStep) - LogFactorial(count) -
             LogFactorial(perStep - count) + c * logKeep +
             (k - c) * logLose - twice;
    }
    return k * logKeep + (c - k) * logTwice - twice -
           LogFactorial(count - perStep);
  }
};

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

}  // namespace

void StepHistogram::Add(uint64_t count, int64_t steps) {
  if (count < kCounts) {
    m_byCount[count] += steps;
    return;
  }
  if (m_largeSteps > 0 && count != m_largeCount) m_largeAlike = false;
  m_largeCount = count;
  m_largeSteps += steps;
  m_largeFrames += steps * static_cast<int64_t>(count);
}

int64_t StepHistogram::Steps() const {
  int64_t steps = m_largeSteps;
  for (const int64_t n : m_byCount) steps += n;
  return steps;
}

int64_t StepHistogram::Frames() const {
  int64_t frames = m_largeFrames;
  for (uint64_t count = 0; count < kCounts; ++count) {
    frames += m_byCount[count] * static_cast<int64_t>(count);
  }
  return frames;
}

StepHistogram::Verdict StepHistogram::Decide(const uint64_t* edges,
                                             int edgeCount) const {
  Verdict verdict;
  const int64_t stepCount = Steps();
  if (stepCount < kFewestSteps) return verdict;
  const auto faultsAt = [this](uint64_t perStep) {
    Faults faults;
    for (uint64_t count = 0; count < kCounts; ++count) {
      const auto steps = static_cast<double>(m_byCount[count]);
      const auto c = static_cast<double>(count);
      const auto k = static_cast<double>(perStep);
      faults.kept += steps * std::min(c, k);
      if (count < perStep) faults.missing += steps * (k - c);
      if (count > perStep) faults.repeated += steps * (c - k);
    }
    return faults;
  };
  const auto logLikelihood = [this](const Model& model) {
    double sum = 0;
    for (uint64_t count = 0; count < kCounts; ++count) {
      if (m_byCount[count] == 0) continue;
      sum += static_cast<double>(m_byCount[count]) * model.LogChance(count);
    }
    return sum;
  };
  const auto steps = static_cast<double>(stepCount);

  // Steps that all came alike tell their number, whatever it is.
  uint64_t alike = 0;
  int kinds = m_largeSteps > 0 ? (m_largeAlike ? 1 : 2) : 0;
  for (uint64_t count = 0; count < kCounts; ++count) {
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
    double best[kFarthest + 1];
    for (uint64_t k = 1; k <= kFarthest; ++k) {
      const Faults faults = faultsAt(k);
      const double kd = static_cast<double>(k);
      best[k] = logLikelihood(
          Model(k, 1 - faults.kept / (kd * steps), faults.repeated / steps));
    }
    int fits = 0;
    for (uint64_t k = 1; k <= kMostFitted; ++k) {
      const Faults faults = faultsAt(k);
      const double frames = static_cast<double>(k) * steps;
      if (faults.missing > Upper(frames, kCommonLoss) ||
          faults.repeated > Upper(frames, kCommonTwice)) {
        continue;
      }
      const double common = logLikelihood(
          Model(k, kCommonLoss, kCommonTwice * static_cast<double>(k)));
      bool beatsAll = true;
      for (uint64_t other = 1; other <= kFarthest; ++other) {
        if (other != k && best[other] > common) beatsAll = false;
      }
      if (beatsAll) {
        ++fits;
        verdict.perStep = static_cast<int64_t>(k);
      }
    }
    verdict.known = fits == 1;
  }
  if (!verdict.known) return Verdict();
  const auto perStep = static_cast<uint64_t>(verdict.perStep);
  for (uint64_t count = 0; count < kCounts; ++count) {
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
