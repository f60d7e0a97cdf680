// SPDX-License-Identifier: MIT
#include "summary/SummaryJson.h"

#include <cstring>

#include "can/TransmitWait.h"
#include "report/ErrorFrameText.h"
#include "report/Formatted.h"
#include "report/TimingLines.h"
#include "summary/JsonText.h"

namespace {

// The version of the record's keys; a change that takes a key away or
// changes its meaning raises it.
constexpr int kFormat = 1;

const char* EndingName(Ending ending) {
  switch (ending) {
    case Ending::kNone: return nullptr;
    case Ending::kCount: return "count";
    case Ending::kFrames: return "number";
    case Ending::kQuiet: return "quiet-for";
    case Ending::kDuration: return "duration";
    case Ending::kInterrupt: return "SIGINT";
    case Ending::kTerminate: return "SIGTERM";
    case Ending::kHangUp: return "SIGHUP";
  }
  return nullptr;
}

// A marked run's tag, as the lines write it.
std::string JsonTag(uint32_t tag) { return Formatted("%05X", tag); }

void StringOrNull(JsonText* json, const char* text) {
  if (text != nullptr && *text != '\0') {
    json->String(text);
  } else {
    json->Null();
  }
}

void Settings(JsonText* json, const RunSettings& s) {
  json->Open('{');
  json->Key("device").String(s.device);
  json->Key("filter").Integer(s.filter);
  json->Key("loop").Integer(s.loopback);
  json->Key("rcvown").Integer(s.rcvOwn);
  if (s.brs >= 0) json->Key("BRS").Integer(s.brs);
  json->Key("write").Integer(s.model);
  json->Key("frametype").Integer(s.frameType);
  json->Key("size").Integer(s.dlc);
  json->Key("time_us").Integer(s.sleepTime);
  json->Key("countonce").Integer(s.countOnce);
  json->Key("count").Integer(s.count);
  json->Key("id").Unsigned(s.id);
  json->Key("data").Unsigned(s.data);
  json->Key("grow").Integer(s.grow);
  json->Key("show").Integer(s.showModel);
  json->Key("path").String(s.path);
  json->Key("mark").Integer(s.mark);
  json->Key("number").Integer(s.frames);
  json->Key("quiet_for_us").Integer(s.quietMicros);
  json->Key("duration_us").Integer(s.durationMicros);
  json->Key("verdict").Bool(s.verdict);
  json->Key("journal").String(s.journal);
  json->Close('{');
}

// One end of the bus limit: the frames of `bits`, `nanos` each.
void LimitEnd(JsonText* json, const FrameBits& bits, int64_t nanos,
              const RunSummary& s) {
  json->Open('{');
  json->Key("bits").Integer(bits.nominal);
  json->Key("data_bits").Integer(bits.data);
  json->Key("frame_ns").Integer(nanos);
  json->Key("frames_per_second").Integer(1000000000 / nanos);
  json->Key("share_percent");
  if (s.timed && s.elapsedMicros > 0) {
    json->Tenths(BusShare(s.frames, nanos, s.elapsedMicros));
  } else {
    json->Null();
  }
  json->Close('{');
}

void BusLimit(JsonText* json, const RunSummary& s) {
  const int64_t shortest = FrameNanosOn(s.after, s.bits.fewest);
  const int64_t longest = FrameNanosOn(s.after, s.bits.most);
  json->Key("bus_limit");
  if (!s.after.can || shortest == 0) {
    json->Null();
    return;
  }
  json->Open('{');
  json->Key("bitrate").Unsigned(s.after.timing.nominal.bitrate);
  json->Key("data_bitrate");
  if (s.bits.fewest.data > 0) {
    json->Unsigned(DataBitrate(s.after));
  } else {
    json->Null();
  }
  json->Key("shortest");
  LimitEnd(json, s.bits.fewest, shortest, s);
  json->Key("longest");
  LimitEnd(json, s.bits.most, longest, s);
  json->Close('{');
}

void Send(JsonText* json, const RunSummary& s) {
  json->Key("marked_tag");
  if (s.marked) {
    json->String(JsonTag(s.markTag));
  } else {
    json->Null();
  }
  json->Key("refused").Open('{');
  json->Key("count").Integer(s.refused);
  json->Key("reason");
  if (s.refused == 0) {
    json->Null();
  } else {
    json->String(s.refusalReason == 0 ? "short write"
                                      : strerror(s.refusalReason));
  }
  json->Close('{');
  json->Key("untransmitted");
  if (UntransmittedKnown(s.before, s.latest, s.frames)) {
    json->Integer(Untransmitted(s.before, s.latest, s.frames));
  } else {
    json->Null();
  }
  BusLimit(json, s);
}

void CountOrNull(JsonText* json, const Figure& figure) {
  if (figure.known) {
    json->Integer(figure.value);
  } else {
    json->Null();
  }
}

void MarkedRuns(JsonText* json, const VerdictReport& r) {
  json->Key("marked_runs").Open('[');
  for (int i = 0; i < r.markedCount; ++i) {
    const MarkedTotals& run = r.marked[i];
    json->Open('{');
    json->Key("tag");
    if (run.runs == 1) {
      json->String(JsonTag(run.tag));
    } else {
      json->Null();
    }
    json->Key("runs").Integer(run.runs);
    json->Key("frames").Integer(run.frames);
    json->Key("latest").Integer(run.latest);
    json->Key("last_came").Bool(run.lastCame);
    json->Key("missing");
    run.exact ? json->Integer(run.missing) : json->Null();
    json->Key("repeated");
    run.exact ? json->Integer(run.repeated) : json->Null();
    json->Key("out_of_order").Integer(run.outOfOrder);
    json->Key("damaged").Integer(run.damaged);
    json->Key("missing_places").Open('[');
    for (int p = 0; p < run.placeCount; ++p) {
      json->Open('[');
      json->Integer(run.places[p].first);
      json->Integer(run.places[p].last);
      json->Close('[');
    }
    json->Close('[');
    json->Close('{');
  }
  json->Close('[');
}

void Sequences(JsonText* json, const VerdictReport& r) {
  json->Key("sequences").Open('[');
  for (int i = 0; i < r.shapeCount; ++i) {
    const ShapeTotals& shape = r.shapes[i];
    json->Open('{');
    json->Key("extended").Bool(shape.kindBits != 0);
    json->Key("length").Unsigned(shape.length);
    json->Key("fill");
    shape.fill >= 0 && !shape.mixed ? json->Integer(shape.fill) : json->Null();
    json->Key("frames").Integer(shape.frames);
    json->Key("sequences");
    CountOrNull(json, shape.sequences);
    json->Key("first_id");
    shape.identifiersKnown ? json->Unsigned(shape.firstId) : json->Null();
    json->Key("last_id");
    shape.identifiersKnown ? json->Unsigned(shape.lastId) : json->Null();
    json->Key("fewest_per_step");
    shape.perStepKnown ? json->Integer(shape.fewestPerStep) : json->Null();
    json->Key("most_per_step");
    shape.perStepKnown ? json->Integer(shape.mostPerStep) : json->Null();
    json->Key("missing");
    CountOrNull(json, shape.missing);
    json->Key("repeated");
    CountOrNull(json, shape.repeated);
    json->Key("out_of_order");
    CountOrNull(json, shape.outOfOrder);
    json->Close('{');
  }
  json->Close('[');
  json->Key("other_frames").Integer(r.other);
}

void Receive(JsonText* json, const RunSummary& s) {
  json->Key("expected");
  if (s.settings.frames > 0) {
    json->Integer(s.settings.frames);
  } else {
    json->Null();
  }
  json->Key("dropped");
  if (s.dropsKnown) {
    json->Unsigned(s.drops);
  } else {
    json->Null();
  }
  json->Key("unread").Integer(s.unread);
  if (s.judged) {
    MarkedRuns(json, s.runs);
    Sequences(json, s.runs);
  }
}

// The controller's timing facts after the run (before it, for a run that
// did not begin), in the order of the timing lines; null where there are
// none.
void Timing(JsonText* json, const RunSummary& s) {
  const LinkFacts& facts = s.after.can ? s.after : s.before;
  json->Key("timing");
  if (!facts.can) {
    json->Null();
    return;
  }
  const LinkTiming& t = facts.timing;
  json->Open('{');
  json->Key("clock_hz").Unsigned(t.clock);
  json->Key("bitrate").Unsigned(t.nominal.bitrate);
  json->Key("sample_point_permille").Unsigned(t.nominal.sample_point);
  json->Key("time_quantum_ns").Unsigned(t.nominal.tq);
  json->Key("sjw").Unsigned(t.nominal.sjw);
  json->Key("data_bitrate").Unsigned(t.data.bitrate);
  json->Key("data_sample_point_permille").Unsigned(t.data.sample_point);
  json->Key("data_sjw").Unsigned(t.data.sjw);
  json->Key("tdc");
  if (!t.tdc.present) {
    json->String("none");
  } else if (!t.TdcOn()) {
    json->String("off");
  } else {
    json->Open('{');
    json->Key("mode").String(
        (t.ctrlmode & CAN_CTRLMODE_TDC_AUTO) != 0 ? "auto" : "manual");
    json->Key("tdcv");
    t.tdc.valueTold ? json->Unsigned(t.tdc.tdcv) : json->Null();
    json->Key("tdco").Unsigned(t.tdc.tdco);
    json->Key("tdcf").Unsigned(t.tdc.tdcf);
    json->Close('{');
  }
  json->Key("modes").String(ModeNames(t.ctrlmode));
  json->Key("restart_ms");
  facts.restartMs >= 0 ? json->Integer(facts.restartMs) : json->Null();
  json->Close('{');
}

void ErrorFrames(JsonText* json, const ErrorCounts& e) {
  const auto phases = [json](const char* key, const uint64_t* counts) {
    json->Key(key).Open('{');
    json->Key("arbitration").Unsigned(counts[kArbitration]);
    json->Key("data_phase").Unsigned(counts[kDataPhase]);
    json->Key("elsewhere").Unsigned(counts[kElsewhere]);
    json->Close('{');
  };
  json->Key("error_frames").Open('{');
  json->Key("frames").Unsigned(e.frames);
  json->Key("at_least").Bool(e.dropped > 0);
  json->Key("no_ack").Unsigned(e.noAck);
  phases("bit0", e.bit0);
  phases("bit1", e.bit1);
  phases("bit", e.bit);
  json->Key("stuff").Unsigned(e.stuff);
  json->Key("form").Unsigned(e.form);
  json->Key("crc").Unsigned(e.crc);
  json->Key("on_receive").Unsigned(e.onReceive);
  json->Key("rx_overflow").Unsigned(e.rxOverflow);
  json->Key("tx_overflow").Unsigned(e.txOverflow);
  json->Key("error_warning").Unsigned(e.warning);
  json->Key("error_passive").Unsigned(e.passive);
  json->Key("bus_off").Unsigned(e.busOff);
  json->Key("restarts").Unsigned(e.restarts);
  json->Key("transceiver").Unsigned(e.transceiver);
  json->Key("likely_cause");
  StringOrNull(json, e.OfTheBus() > 0 ? LikelyCause(e) : nullptr);
  json->Close('{');
}

void Controller(JsonText* json, const RunSummary& s) {
  const bool both = s.before.can && s.after.can;
  const LinkFacts& a = s.before;
  const LinkFacts& b = s.after;
  json->Key("lost");
  if (both) {
    json->Unsigned(Growth(a.Lost(), b.Lost()));
  } else {
    json->Null();
  }
  json->Key("bus_trouble");
  if (both) {
    json->Open('{');
    json->Key("bus_errors").Unsigned(Growth(a.device.bus_error, b.device.bus_error));
    json->Key("error_warning")
        .Unsigned(Growth(a.device.error_warning, b.device.error_warning));
    json->Key("error_passive")
        .Unsigned(Growth(a.device.error_passive, b.device.error_passive));
    json->Key("bus_off").Unsigned(Growth(a.device.bus_off, b.device.bus_off));
    json->Key("restarts").Unsigned(Growth(a.device.restarts, b.device.restarts));
    json->Key("tx_errors").Unsigned(b.errors.txerr);
    json->Key("rx_errors").Unsigned(b.errors.rxerr);
    json->Close('{');
  } else {
    json->Null();
  }
  json->Key("state_before");
  StringOrNull(json, a.can ? StateName(a.state) : nullptr);
  json->Key("state");
  StringOrNull(json, b.can ? StateName(b.state) : nullptr);
  if (both) {
    ErrorFrames(json, s.errors);
  } else {
    json->Key("error_frames").Null();
  }
}

void Figures(JsonText* json, const RunSummary& s) {
  json->Key("frames").Integer(s.frames);
  json->Key("time_us");
  if (s.timed) {
    json->Integer(s.elapsedMicros);
  } else {
    json->Null();
  }
  json->Key("speed");
  if (s.timed && s.elapsedMicros > 0) {
    json->Integer(s.frames * 1000000 / s.elapsedMicros);
  } else {
    json->Null();
  }
  if (s.run == RunSummary::Run::kSend) {
    Send(json, s);
  } else {
    Receive(json, s);
  }
  Controller(json, s);
}

void Files(JsonText* json, const RunSummary& s) {
  json->Key("frame_files").Open('[');
  for (const SavedLines& file : s.saved) {
    json->Open('{');
    json->Key("option").String(file.option);
    json->Key("path").String(file.path);
    json->Key("lines").Integer(file.lines);
    json->Key("unwritten").Integer(file.lost);
    json->Key("error");
    StringOrNull(json, file.lost > 0 ? strerror(file.error) : nullptr);
    json->Close('{');
  }
  json->Close('[');
}

void Judged(JsonText* json, const RunSummary& s, const Verdict& verdict) {
  const bool error = !s.failure.empty() || s.LinesLost() > 0 ||
                     s.run == RunSummary::Run::kNone;
  json->Key("verdict").Open('{');
  json->Key("result").String(error ? "error"
                             : verdict.Passed() ? "pass"
                                                : "fail");
  json->Key("failed").Open('[');
  for (const Check& check : verdict.checks) {
    if (check.outcome != Outcome::kPass) json->String(check.name);
  }
  json->Close('[');
  json->Key("checks").Open('[');
  for (const Check& check : verdict.checks) {
    json->Open('{');
    json->Key("name").String(check.name);
    json->Key("result").String(OutcomeName(check.outcome));
    json->Key("detail").String(check.detail);
    json->Close('{');
  }
  json->Close('[');
  json->Close('{');
}

}  // namespace

std::string SummaryJson(const RunSummary& s, const Verdict& verdict,
                        int exitStatus) {
  JsonText json;
  json.Open('{');
  json.Key("format").Integer(kFormat);
  json.Key("program").String(s.program);
  json.Key("version").String(s.version);
  json.Key("interface").String(s.settings.device);
  json.Key("kind");
  StringOrNull(&json, s.before.kind);
  json.Key("settings");
  Settings(&json, s.settings);
  json.Key("run");
  StringOrNull(&json, s.run == RunSummary::Run::kSend      ? "send"
                      : s.run == RunSummary::Run::kReceive ? "receive"
                                                           : nullptr);
  json.Key("error");
  StringOrNull(&json, !s.failure.empty()     ? s.failure.c_str()
                      : s.LinesLost() > 0    ? "frame lines unwritten"
                                             : nullptr);
  json.Key("ended_by");
  StringOrNull(&json, EndingName(s.ending));
  Timing(&json, s);
  if (s.run != RunSummary::Run::kNone) Figures(&json, s);
  Files(&json, s);
  Judged(&json, s, verdict);
  json.Key("exit_status").Integer(exitStatus);
  json.Close('{');
  return json.Text() + "\n";
}
