// SPDX-License-Identifier: MIT
#include "report/MarkedRunLine.h"

#include <cinttypes>

#include "report/Formatted.h"

namespace {

std::string Number(int64_t value) { return std::to_string(value); }

std::string Range(const MissingRange& range) {
  return range.first == range.last
             ? Number(range.first)
             : Number(range.first) + " to " + Number(range.last);
}

std::string Missing(const MarkedTotals& run) {
  std::string text = Number(run.missing) + " missing";
  for (int i = 0; i < run.placeCount; ++i) {
    text += (i == 0 ? " (" : ", ") + Range(run.places[i]);
  }
  if (run.placeCount > 0) text += run.morePlaces ? ", ...)" : ")";
  return text;
}

std::string Figures(const MarkedTotals& run) {
  if (run.exact && run.missing == 0 && run.repeated == 0 &&
      run.outOfOrder == 0 && run.damaged == 0) {
    return "none missing, repeated, out of order or damaged";
  }
  const std::string rest = Number(run.outOfOrder) + " out of order, " +
                           Number(run.damaged) + " damaged";
  return run.exact ? Missing(run) + ", " + Number(run.repeated) +
                         " repeated, " + rest
                   : rest + ", missing and repeated cannot tell";
}

std::string Line(const char* device, const MarkedTotals& run) {
  std::string line = run.runs > 1
                         ? "marked runs of " + std::string(device) + ", " +
                               Number(run.runs) + " of them:"
                         : Formatted("marked run %05" PRIX32 " of %s:", run.tag,
                                     device);
  line += Number(run.frames) + " frames, ";
  if (run.runs == 1) line += "numbers 0 to " + Number(run.latest) + ", ";
  line += run.lastCame ? "the last; " : "the end cannot tell; ";
  return line + Figures(run) + "\n";
}

}  // namespace

std::string MarkedRunLines(const char* device, const VerdictReport& report) {
  std::string lines;
  for (int i = 0; i < report.markedCount; ++i) {
    lines += Line(device, report.marked[i]);
  }
  return lines;
}

std::string MarkedRunStartLine(uint32_t tag, const char* device) {
  return Formatted("marked run %05" PRIX32 " from %s\n", tag, device);
}
