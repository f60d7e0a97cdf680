// SPDX-License-Identifier: MIT
#include "report/sequence/SequenceLine.h"

#include <linux/can.h>

#include <cinttypes>

#include "can/FrameImage.h"
#include "report/Formatted.h"
#include "frame/FrameText.h"

namespace {

// Standard identifiers in 3 digits, extended ones in 8.
std::string Identifier(uint32_t id, uint32_t mask) {
  return mask == CAN_SFF_MASK ? Formatted("%03" PRIX32, id)
                              : Formatted("%08" PRIX32, id);
}

std::string Number(int64_t value) { return std::to_string(value); }

std::string PerStep(const SequenceTotals& totals) {
  const std::string fewest = std::to_string(totals.fewestPerStep);
  if (totals.fewestPerStep != totals.mostPerStep) {
    return fewest + " to " + std::to_string(totals.mostPerStep) +
           " frames per step";
  }
  return fewest + (totals.fewestPerStep == 1 ? " frame" : " frames") +
         " per step";
}

std::string Missing(const SequenceTotals& totals) {
  std::string text = Number(totals.missing) + " missing";
  if (totals.placeCount == 0 || !totals.placesKnown) return text;
  for (int i = 0; i < totals.placeCount; ++i) {
    const MissingPlace& place = totals.places[i];
    text += (i == 0 ? " (" : ", ") + Number(place.frames) + " after " +
            Identifier(place.afterId, place.idMask);
  }
  return text + (totals.morePlaces ? ", ...)" : ")");
}

// The kind label of frame lines without its padding, the length and the
// fill byte.
std::string Shape(const SequenceTotals& totals) {
  if (totals.mixed) return " (other shapes)";
  const std::string label = KindLabel(KindOf(totals.kindBits));
  std::string text = " (" + label.substr(0, label.find(' ')) + ", " +
                     Number(totals.length) +
                     (totals.length == 1 ? " byte" : " bytes");
  if (totals.fill >= 0) text += Formatted(", fill %02X", totals.fill);
  return text + ")";
}

std::string Line(const char* device, const SequenceTotals& totals, bool named) {
  std::string line = "sequence of " + std::string(device) +
                     (named ? Shape(totals) : "") + ":" +
                     Number(totals.frames) + " frames";
  if (totals.sequences > 1) {
    line += " in " + Number(totals.sequences) + " sequences";
  }
  line += ", identifiers " + Identifier(totals.firstId, totals.firstMask) +
          " to " + Identifier(totals.lastId, totals.lastMask) + ", " +
          PerStep(totals) + ", ";
  if (totals.missing == 0 && totals.repeated == 0 && totals.outOfOrder == 0) {
    return line + "none missing, repeated or out of order\n";
  }
  return line + Missing(totals) + ", " + Number(totals.repeated) +
         " repeated, " + Number(totals.outOfOrder) + " out of order\n";
}

}  // namespace

std::string SequenceLines(const char* device, const SequenceReport& report) {
  std::string lines;
  for (int i = 0; i < report.lineCount; ++i) {
    lines += Line(device, report.lines[i], report.lineCount > 1);
  }
  return lines;
}

std::string ForeignLine(const SequenceReport& report) {
  if (report.lineCount == 0 || report.foreign == 0) return "";
  const ReceivedFrame& frame = report.firstForeign;
  char text[kFrameLineSize];
  const size_t size =
      BuildFrameLine(text, KindOf(frame.canId), IdentifierOf(frame.canId),
                     static_cast<int>(frame.length), frame.data);
  return "not of the sequence:" + Number(report.foreign) +
         ", the first: " + std::string(text, size);
}
