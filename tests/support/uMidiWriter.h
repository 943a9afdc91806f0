// Standard MIDI Files written by tests: tracks from events at absolute
// ticks, the header, the RIFF "RMID" wrapping, and one small song with two
// instruments and a tempo change. Plain functions, safe on any thread.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace morvotest {

// One event at an absolute tick: the status byte and its data (for meta
// events 0xFF, type, length, data).
struct TMidiEvent {
  uint32_t Tick;
  std::vector<uint8_t> Bytes;
};

inline void AppendMidiNumber(std::vector<uint8_t>& Out, uint32_t Value) {
  uint8_t groups[5];
  int count = 0;
  do {
    groups[count++] = Value & 0x7F;
    Value >>= 7;
  } while (Value);
  while (count > 1)
    Out.push_back(groups[--count] | 0x80);
  Out.push_back(groups[0]);
}

inline void AppendBigEndian(std::vector<uint8_t>& Out, uint32_t Value, int Bytes) {
  for (int shift = (Bytes - 1) * 8; shift >= 0; shift -= 8)
    Out.push_back(uint8_t(Value >> shift));
}

// A track chunk ("MTrk") holding Events (sorted by tick here) and an
// end-of-track event at EndTick. With RunningStatus, a channel event that
// repeats the previous channel event's status byte leaves it out.
inline std::vector<uint8_t> MidiTrack(std::vector<TMidiEvent> Events, uint32_t EndTick,
                                      bool RunningStatus = false) {
  std::stable_sort(Events.begin(), Events.end(),
                   [](const auto& a, const auto& b) { return a.Tick < b.Tick; });
  Events.push_back({EndTick, {0xFF, 0x2F, 0x00}});
  std::vector<uint8_t> body;
  uint32_t tick = 0;
  uint8_t running = 0;
  for (const TMidiEvent& event : Events) {
    AppendMidiNumber(body, event.Tick - tick);
    tick = event.Tick;
    const uint8_t status = event.Bytes[0];
    const bool skipStatus = RunningStatus && status < 0xF0 && status == running;
    body.insert(body.end(), event.Bytes.begin() + (skipStatus ? 1 : 0), event.Bytes.end());
    if (status < 0xF0) running = status;
  }
  std::vector<uint8_t> chunk = {'M', 'T', 'r', 'k'};
  AppendBigEndian(chunk, uint32_t(body.size()), 4);
  chunk.insert(chunk.end(), body.begin(), body.end());
  return chunk;
}

inline std::vector<uint8_t> MidiFile(int Format, int Division,
                                     const std::vector<std::vector<uint8_t>>& Tracks) {
  std::vector<uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6};
  AppendBigEndian(file, uint32_t(Format), 2);
  AppendBigEndian(file, uint32_t(Tracks.size()), 2);
  AppendBigEndian(file, uint32_t(Division), 2);
  for (const auto& track : Tracks)
    file.insert(file.end(), track.begin(), track.end());
  return file;
}

// Smf inside a RIFF "RMID" form, as Windows stores ".rmi" files.
inline std::vector<uint8_t> RiffMidi(const std::vector<uint8_t>& Smf) {
  const auto le32 = [](std::vector<uint8_t>& Out, uint32_t Value) {
    for (int i = 0; i < 4; ++i)
      Out.push_back(uint8_t(Value >> (8 * i)));
  };
  const uint32_t padded = uint32_t(Smf.size() + (Smf.size() & 1));
  std::vector<uint8_t> file = {'R', 'I', 'F', 'F'};
  le32(file, 4 + 8 + padded);
  file.insert(file.end(), {'R', 'M', 'I', 'D', 'd', 'a', 't', 'a'});
  le32(file, uint32_t(Smf.size()));
  file.insert(file.end(), Smf.begin(), Smf.end());
  if (Smf.size() & 1) file.push_back(0);
  return file;
}

inline std::vector<uint8_t> TempoEvent(uint32_t MicrosPerQuarter) {
  return {0xFF,
          0x51,
          0x03,
          uint8_t(MicrosPerQuarter >> 16),
          uint8_t(MicrosPerQuarter >> 8),
          uint8_t(MicrosPerQuarter)};
}

// The test song: 480 ticks a quarter; 120 bpm, from tick 960 on 150 bpm;
// piano on channel 0 and strings on channel 1, every note released before
// the end at tick 3840, so that it lasts 1.0 s + 2.4 s = 3.4 s.
struct TTestSong {
  static constexpr int kDivision = 480;
  static constexpr uint32_t kTempoChangeTick = 960;
  static constexpr uint32_t kEndTick = 3840;
  static constexpr uint32_t kFirstTempo = 500000, kSecondTempo = 400000;

  static double Seconds() {
    return double(kTempoChangeTick) * kFirstTempo / kDivision / 1e6 +
           double(kEndTick - kTempoChangeTick) * kSecondTempo / kDivision / 1e6;
  }
  static std::vector<TMidiEvent> TempoMap() {
    return {{0, TempoEvent(kFirstTempo)}, {kTempoChangeTick, TempoEvent(kSecondTempo)}};
  }
  static std::vector<TMidiEvent> Notes() {
    std::vector<TMidiEvent> notes = {{0, {0xC0, 0}}, {0, {0xC1, 48}}};
    const uint8_t piano[] = {60, 64, 67, 72, 67, 64};
    for (int i = 0; i < 6; ++i) {
      notes.push_back({uint32_t(i) * 480, {0x90, piano[i], 100}});
      notes.push_back({uint32_t(i) * 480 + 400, {0x80, piano[i], 0}});
    }
    notes.push_back({240, {0x91, 48, 90}});
    notes.push_back({1700, {0x81, 48, 0}});
    notes.push_back({1920, {0x91, 55, 90}});
    notes.push_back({3300, {0x81, 55, 0}});
    return notes;
  }
  // Type 1: the tempo map in its own track, the notes in a second one.
  static std::vector<uint8_t> Type1(bool RunningStatus = false) {
    return MidiFile(1, kDivision,
                    {MidiTrack(TempoMap(), kEndTick), MidiTrack(Notes(), kEndTick, RunningStatus)});
  }
  // Type 0: everything in one track.
  static std::vector<uint8_t> Type0() {
    std::vector<TMidiEvent> all = TempoMap();
    for (auto& note : Notes())
      all.push_back(note);
    return MidiFile(0, kDivision, {MidiTrack(all, kEndTick)});
  }
};

}  // namespace morvotest
