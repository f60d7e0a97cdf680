// SPDX-License-Identifier: MIT
#include "report/SequenceLine.h"

#include <linux/can.h>

#include <cinttypes>

#include "can/FrameImage.h"
#include "frame/FrameText.h"
#include "report/Formatted.h"

namespace {

// Standard identifiers in 3 digits, extended ones in 8.
std::string Identifier(uint32_t id, uint32_t mask) {
  return mask == CAN_SFF_MASK ? Formatted("%03" PRIX32, id)
                              : Formatted("%08" PRIX32, id);
}

std::string Number(int64_t value) { return std::to_string(value); }

// The figures of a line: those told, and the words of those that cannot be
// told, said together at the end.
struct Figures {
  std::string told;
  std::string untold[6];
  int untoldCount = 0;

  void Add(bool known, const std::string& text, const char* word) {
    if (known) {
      told += ", " + text;
    } else {
      untold[untoldCount++] = word;
    }
  }
  std::string Text() const {
    std::string text = told;
    for (int i = 0; i < untoldCount; ++i) {
      text += i == 0 ? ", " : i + 1 == untoldCount ? " and " : ", ";
      text += untold[i];
    }
    return untoldCount > 0 ? text + " cannot tell" : text;
  }
};

std::string PerStep(const ShapeTotals& shape) {
  const std::string fewest = Number(shape.fewestPerStep);
  if (shape.fewestPerStep != shape.mostPerStep) {
    return fewest + " to " + Number(shape.mostPerStep) + " frames per step";
  }
  return fewest + (shape.fewestPerStep == 1 ? " frame" : " frames") +
         " per step";
}

std::string Missing(const ShapeTotals& shape) {
  std::string text = Number(shape.missing.value) + " missing";
  // Places in frames, where every sequence had the same frames per step.
  if (shape.placeCount == 0 || shape.fewestPerStep != shape.mostPerStep) {
    return text;
  }
  for (int i = 0; i < shape.placeCount; ++i) {
    const EmptySteps& place = shape.places[i];
    text += (i == 0 ? " (" : ", ") +
            Number(place.steps * shape.mostPerStep) + " after " +
            Identifier(place.afterId, place.idMask);
  }
  return text + (shape.morePlaces ? ", ...)" : ")");
}

// The kind label of frame lines without its padding, the length and the
// fill byte.
std::string Shape(const ShapeTotals& shape) {
  if (shape.mixed) return " (other shapes)";
  const std::string label = KindLabel(KindOf(shape.kindBits));
  std::string text = " (" + label.substr(0, label.find(' ')) + ", " +
                     Number(shape.length) +
                     (shape.length == 1 ? " byte" : " bytes");
  if (shape.fill >= 0) text += Formatted(", fill %02X", shape.fill);
  return text + ")";
}

std::string Line(const char* device, const ShapeTotals& shape, bool named) {
  std::string line = "sequence of " + std::string(device) +
                     (named ? Shape(shape) : "") + ":" +
                     Number(shape.frames) + " frames";
  if (shape.sequences.known && shape.sequences.value > 1) {
    line += " in " + Number(shape.sequences.value) + " sequences";
  }
  Figures figures;
  if (!shape.sequences.known) figures.Add(false, "", "sequences");
  figures.Add(shape.identifiersKnown,
              "identifiers " + Identifier(shape.firstId, shape.firstMask) +
                  " to " + Identifier(shape.lastId, shape.lastMask),
              "identifiers");
  figures.Add(shape.perStepKnown, PerStep(shape), "frames per step");
  const bool whole = shape.missing.known && shape.repeated.known &&
                     shape.outOfOrder.known && shape.missing.value == 0 &&
                     shape.repeated.value == 0 && shape.outOfOrder.value == 0;
  if (whole) {
    return line + figures.Text() + ", none missing, repeated or out of order\n";
  }
  figures.Add(shape.missing.known, Missing(shape), "missing");
  figures.Add(shape.repeated.known, Number(shape.repeated.value) + " repeated",
              "repeated");
  figures.Add(shape.outOfOrder.known,
              Number(shape.outOfOrder.value) + " out of order", "out of order");
  return line + figures.Text() + "\n";
}

}  // namespace

std::string SequenceLines(const char* device, const VerdictReport& report) {
  std::string lines;
  for (int i = 0; i < report.shapeCount; ++i) {
    lines += Line(device, report.shapes[i], report.shapeCount > 1);
  }
  return lines;
}
