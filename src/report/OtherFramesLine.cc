// SPDX-License-Identifier: MIT
#include "report/OtherFramesLine.h"

#include "can/FrameImage.h"
#include "frame/FrameText.h"

std::string OtherFramesLine(const VerdictReport& report) {
  if (report.markedCount + report.shapeCount == 0 || report.other == 0) {
    return "";
  }
  const ReceivedFrame& frame = report.firstOther;
  char text[kFrameLineSize];
  const size_t size =
      BuildFrameLine(text, KindOf(frame.canId), IdentifierOf(frame.canId),
                     static_cast<int>(frame.length), frame.data);
  return "other frames:" + std::to_string(report.other) +
         ", the first: " + std::string(text, size);
}
