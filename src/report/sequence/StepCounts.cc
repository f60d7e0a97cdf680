// SPDX-License-Identifier: MIT
#include "report/sequence/StepCounts.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The log-likelihood of a step beyond what a number of frames per step
// explains: a rare one does not decide, many do.
constexpr double kBeyond = -30;

// k times log(p): 0 when k is, minus infinity when only p is.
double Times(uint64_t k, double p) {
  if (k == 0) return 0;
  return p > 0 ? static_cast<double>(k) * std::log(p)
               : -std::numeric_limits<double>::infinity();
}

double LogFactorial(uint64_t n) {
  return std::lgamma(static_cast<double>(n) + 1);
}

// The chance that a step of `perStep` frames comes with `count`, each frame
// lost with chance `lost` and twice with chance `twice`: the sum over how
// many came twice, whose terms fall fast once past the largest.
double Chance(uint64_t perStep, uint64_t count, double lost, double twice) {
  constexpr int kMostTerms = 64;
  double sum = 0, before = 0;
  uint64_t doubled = count > perStep ? count - perStep : 0;
  for (int term = 0; term < kMostTerms; ++term, ++doubled) {
    const uint64_t gone = perStep + doubled - count;
    if (gone + doubled > perStep) break;
    const uint64_t once = perStep - gone - doubled;
    const double chance = std::exp(LogFactorial(perStep) - LogFactorial(gone) -
                                   LogFactorial(doubled) - LogFactorial(once) +
                                   Times(gone, lost) + Times(doubled, twice) +
                                   Times(once, 1 - lost - twice));
    sum += chance;
    if (chance < before && chance < sum * 1e-12) break;
    before = chance;
  }
  return sum;
}

// How likely the counts are with `perStep` frames a step, each lost and
// each twice with the chances that the frames missing and over tell.
double Fit(const uint64_t* counts, const uint64_t* steps, int n,
           uint64_t perStep) {
  double lost = 0, twice = 0, total = 0;
  for (int i = 0; i < n; ++i) {
    const double weight = static_cast<double>(steps[i]);
    if (counts[i] < perStep) {
      lost += weight * static_cast<double>(perStep - counts[i]);
    } else {
      twice +=
          weight * static_cast<double>(std::min(counts[i] - perStep, perStep));
    }
    total += weight * static_cast<double>(perStep);
  }
  lost /= total;
  twice = std::min(kMostTwice, twice / total);
  double fit = 0;
  for (int i = 0; i < n; ++i) {
    if (steps[i] == 0) continue;
    const double chance = Chance(perStep, counts[i], lost, twice);
    fit += static_cast<double>(steps[i]) *
           (chance > 0 ? std::max(kBeyond, std::log(chance)) : kBeyond);
  }
  return fit;
}

}  // namespace

uint64_t PerStepOf(const uint64_t* counts, const uint64_t* steps, int n) {
  uint64_t perStep = 0;
  double best = -std::numeric_limits<double>::infinity();
  for (int i = 0; i < n; ++i) {
    if (counts[i] == 0 || steps[i] == 0) continue;
    const double fit = Fit(counts, steps, n, counts[i]);
    // Of two that explain the counts as well, the fewer frames a step.
    if (fit > best || (fit == best && counts[i] < perStep)) {
      best = fit;
      perStep = counts[i];
    }
  }
  return perStep;
}

void StepCounts::Places::Miss(int64_t step, int64_t steps, int64_t frames) {
  if (step - 1 == lastMissed && count > 0) {
    if (open) places[count - 1].frames += frames;
  } else if (count < kPlaces) {
    places[count++] = {step, frames};
    open = true;
  } else {
    more = true;
    open = false;
  }
  lastMissed = step + steps - 1;
}

void StepCounts::Add(int64_t step, uint64_t count) {
  Skip(step - 1);
  if (count > m_most) Rise(step, count);
  Record(count, 1);
  MissUnder(step, 1, count);
  m_last = step;
}

void StepCounts::AddEmpty(int64_t step, int64_t steps) {
  Skip(step - 1);
  Record(0, static_cast<uint64_t>(steps));
  MissUnder(step, steps, 0);
  m_last = step + steps - 1;
}

void StepCounts::Skip(int64_t step) {
  if (step > m_last) Record(m_most, static_cast<uint64_t>(step - m_last));
  m_last = std::max(m_last, step);
}

void StepCounts::Record(uint64_t count, uint64_t steps) {
  m_frames += static_cast<int64_t>(count * steps);
  if (count < kSmall) {
    m_small[count] += steps;
    return;
  }
  for (int i = 0; i < m_largeUsed; ++i) {
    if (m_large[i].count == count) {
      m_large[i].steps += steps;
      return;
    }
  }
  if (m_largeUsed < kLarge) {
    m_large[m_largeUsed++] = {count, steps};
    return;
  }
  m_otherSteps += steps;
  m_otherFrames += static_cast<int64_t>(count * steps);
}

void StepCounts::MissUnder(int64_t step, int64_t steps, uint64_t count) {
  const uint64_t top = std::min(m_most, kSmall - 1);
  for (uint64_t perStep = count + 1; perStep <= top; ++perStep) {
    m_places[perStep].Miss(step, steps,
                           static_cast<int64_t>(perStep - count) * steps);
  }
  if (m_most >= kSmall && count < m_most) {
    m_mostPlaces.Miss(step, steps,
                      static_cast<int64_t>(m_most - count) * steps);
  }
}

void StepCounts::Rise(int64_t step, uint64_t count) {
  const int64_t before = step - m_first - 1;
  const auto restart = [&](Places* places, uint64_t perStep) {
    *places = Places();
    if (before > 0) {
      places->Miss(m_first + 1, before,
                   static_cast<int64_t>(perStep) * before - m_frames);
    }
  };
  for (uint64_t perStep = m_most + 1; perStep <= std::min(count, kSmall - 1);
       ++perStep) {
    restart(&m_places[perStep], perStep);
  }
  if (count >= kSmall) restart(&m_mostPlaces, count);
  m_most = count;
}

uint64_t StepCounts::PerStep(const uint64_t* edges, int edgeCount) const {
  uint64_t counts[kSmall + kLarge];
  uint64_t steps[kSmall + kLarge];
  int n = 0;
  for (uint64_t count = 0; count < kSmall; ++count) {
    if (m_small[count] > 0) {
      counts[n] = count;
      steps[n++] = m_small[count];
    }
  }
  for (int i = 0; i < m_largeUsed; ++i) {
    counts[n] = m_large[i].count;
    steps[n++] = m_large[i].steps;
  }
  const uint64_t perStep = PerStepOf(counts, steps, n);
  return perStep > 0 ? perStep : *std::max_element(edges, edges + edgeCount);
}

StepCounts::Verdict StepCounts::Decide(int64_t lastInterior,
                                       const uint64_t* edges, int edgeCount) {
  Skip(lastInterior);
  Verdict verdict;
  const uint64_t perStep = PerStep(edges, edgeCount);
  if (perStep > m_most) Rise(lastInterior + 1, perStep);
  verdict.perStep = perStep;
  verdict.frames = m_frames;
  const auto judge = [&](uint64_t count, uint64_t steps) {
    const int64_t frames = static_cast<int64_t>(steps);
    if (count < perStep)
      verdict.missing += static_cast<int64_t>(perStep - count) * frames;
    if (count > perStep)
      verdict.repeated += static_cast<int64_t>(count - perStep) * frames;
  };
  for (uint64_t count = 0; count < kSmall; ++count)
    judge(count, m_small[count]);
  for (int i = 0; i < m_largeUsed; ++i)
    judge(m_large[i].count, m_large[i].steps);
  // Counts that found no slot are netted against the frames per step.
  const int64_t net =
      m_otherFrames - static_cast<int64_t>(perStep * m_otherSteps);
  (net > 0 ? verdict.repeated : verdict.missing) += net > 0 ? net : -net;
  for (int i = 0; i < edgeCount; ++i) {
    if (edges[i] > perStep)
      verdict.repeated += static_cast<int64_t>(edges[i] - perStep);
  }
  const Places* places = perStep < kSmall    ? &m_places[perStep]
                         : perStep == m_most ? &m_mostPlaces
                                             : nullptr;
  if (places == nullptr) {
    verdict.placesKnown = verdict.missing == 0;
    return verdict;
  }
  std::copy(places->places, places->places + places->count, verdict.places);
  verdict.placeCount = places->count;
  verdict.morePlaces = places->more;
  return verdict;
}
