#include "uMidiFile.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int64_t kDefaultTempo = 500'000;  // microseconds per quarter note (120 bpm)
// The synthesiser counts tracks in one signed byte; more cannot be played.
constexpr int kMaxTracks = 127;
// Longer songs come only from damaged or hostile files; refusing them keeps
// every length, in samples and in 100-ns units, far from overflowing.
constexpr double kMaxSeconds = 24 * 3600;

bool HasTag(std::span<const uint8_t> Bytes, size_t At, const char* Tag) {
  return Bytes.size() >= At + 4 && std::memcmp(Bytes.data() + At, Tag, 4) == 0;
}

uint32_t BigEndian32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
uint16_t BigEndian16(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }
uint32_t LittleEndian32(const uint8_t* p) {
  return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

struct TTempoChange {
  int64_t Tick;
  int64_t MicrosPerQuarter;
};

// Reads the events of one track chunk: its end tick and its tempo changes.
class TTrackReader {
public:
  explicit TTrackReader(std::span<const uint8_t> Data) : FData(Data) {}

  // Running status survives meta and system-exclusive events: files from
  // the wild rely on it, although the format says it should not. Out gets
  // the track's events with every status byte written out, so that the
  // synthesiser reads them as they were read here.
  bool Read(std::vector<TTempoChange>& Tempi, int64_t& EndTick, std::vector<uint8_t>& Out,
            std::string& Reason) {
    uint8_t running = 0;
    bool endOfTrack = false;
    while (FPos < FData.size()) {
      const size_t eventStart = FPos;
      uint32_t delta = 0;
      if (!ReadNumber(delta)) return Fail(Reason, "a delta time runs past the end of its track");
      FTick += delta;
      Out.insert(Out.end(), FData.begin() + eventStart, FData.begin() + FPos);
      uint8_t status = 0;
      if (!Next(status)) return Fail(Reason, "a track ends inside an event");
      if (status < 0x80) {
        if (running == 0) return Fail(Reason, "a data byte without a status byte");
        status = running;
        --FPos;  // the byte was the event's first data byte
      }
      Out.push_back(status);
      const size_t bodyStart = FPos;
      if (status == 0xFF) {
        uint8_t type = 0;
        uint32_t length = 0;
        if (!Next(type) || !ReadNumber(length) || length > FData.size() - FPos)
          return Fail(Reason, "a meta event runs past the end of its track");
        if (type == 0x51 && length == 3) {
          const uint8_t* p = FData.data() + FPos;
          Tempi.push_back({FTick, int64_t(p[0]) << 16 | int64_t(p[1]) << 8 | p[2]});
        }
        FPos += length;
        endOfTrack = type == 0x2F;
      } else if (status == 0xF0 || status == 0xF7) {
        uint32_t length = 0;
        if (!ReadNumber(length) || length > FData.size() - FPos)
          return Fail(Reason, "a system-exclusive event runs past the end of its track");
        FPos += length;
      } else if (status >= 0xF0) {
        return Fail(Reason, "an event type that a file cannot hold");
      } else {
        const size_t dataBytes = (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 1 : 2;
        if (dataBytes > FData.size() - FPos)
          return Fail(Reason, "a channel event runs past the end of its track");
        FPos += dataBytes;
        running = status;
      }
      Out.insert(Out.end(), FData.begin() + bodyStart, FData.begin() + FPos);
      if (endOfTrack) break;
    }
    EndTick = FTick;
    return true;
  }

private:
  static bool Fail(std::string& Reason, const char* What) {
    Reason = std::string("damaged MIDI file: ") + What;
    return false;
  }
  bool Next(uint8_t& Byte) {
    if (FPos >= FData.size()) return false;
    Byte = FData[FPos++];
    return true;
  }
  // A variable-length quantity: at most four bytes of seven bits.
  bool ReadNumber(uint32_t& Value) {
    Value = 0;
    for (int i = 0; i < 4; ++i) {
      uint8_t byte = 0;
      if (!Next(byte)) return false;
      Value = Value << 7 | (byte & 0x7F);
      if ((byte & 0x80) == 0) return true;
    }
    return false;
  }

  std::span<const uint8_t> FData;
  size_t FPos = 0;
  int64_t FTick = 0;
};

// The Standard MIDI File inside a RIFF "RMID" form: its "data" chunk.
std::optional<std::span<const uint8_t>> UnwrapRiff(std::span<const uint8_t> Bytes) {
  size_t pos = 12;
  while (pos + 8 <= Bytes.size()) {
    const size_t size = LittleEndian32(Bytes.data() + pos + 4);
    if (size > Bytes.size() - pos - 8) return std::nullopt;
    if (HasTag(Bytes, pos, "data")) return Bytes.subspan(pos + 8, size);
    pos += 8 + size + (size & 1);  // chunks are padded to even sizes
  }
  return std::nullopt;
}

void AppendChunk(std::vector<uint8_t>& Out, const char* Tag, const std::vector<uint8_t>& Body) {
  const uint32_t size = static_cast<uint32_t>(Body.size());
  Out.insert(Out.end(), Tag, Tag + 4);
  for (int shift = 24; shift >= 0; shift -= 8)
    Out.push_back(static_cast<uint8_t>(size >> shift));
  Out.insert(Out.end(), Body.begin(), Body.end());
}

double SecondsAt(int64_t EndTick, std::vector<TTempoChange> Tempi, int Division) {
  // A tempo change later in the list wins over one at the same tick, as
  // when the synthesiser applies them track by track.
  std::stable_sort(Tempi.begin(), Tempi.end(),
                   [](const TTempoChange& a, const TTempoChange& b) { return a.Tick < b.Tick; });
  double micros = 0;
  int64_t tick = 0;
  int64_t tempo = kDefaultTempo;
  for (const TTempoChange& change : Tempi) {
    if (change.Tick >= EndTick) break;
    micros += double(change.Tick - tick) * double(tempo);
    tick = change.Tick;
    tempo = change.MicrosPerQuarter;
  }
  micros += double(EndTick - tick) * double(tempo);
  return micros / Division / 1e6;
}

}  // namespace

bool LooksLikeMidi(std::span<const uint8_t> Head) {
  return HasTag(Head, 0, "MThd") || (HasTag(Head, 0, "RIFF") && HasTag(Head, 8, "RMID"));
}

std::optional<TMidiSong> ParseMidiSong(std::span<const uint8_t> Bytes, std::string& Reason) {
  if (HasTag(Bytes, 0, "RIFF")) {
    const auto inner = HasTag(Bytes, 8, "RMID") ? UnwrapRiff(Bytes) : std::nullopt;
    if (!inner) {
      Reason = "damaged RIFF MIDI file: no complete \"data\" chunk";
      return std::nullopt;
    }
    Bytes = *inner;
  }
  if (!HasTag(Bytes, 0, "MThd") || Bytes.size() < 14 || BigEndian32(Bytes.data() + 4) < 6) {
    Reason = "not a Standard MIDI File";
    return std::nullopt;
  }
  TMidiSong song;
  const uint32_t headerSize = BigEndian32(Bytes.data() + 4);
  song.Format = BigEndian16(Bytes.data() + 8);
  song.Tracks = BigEndian16(Bytes.data() + 10);
  const uint16_t division = BigEndian16(Bytes.data() + 12);
  if (song.Format > 1) {
    Reason = "MIDI file of type " + std::to_string(song.Format) +
             " (independent songs) is not supported";
    return std::nullopt;
  }
  if (division & 0x8000) {
    Reason = "MIDI file timed in SMPTE frames is not supported";
    return std::nullopt;
  }
  if (division == 0 || song.Tracks == 0 || song.Tracks > kMaxTracks) {
    Reason = "MIDI file with " + std::to_string(song.Tracks) + " tracks and a time division of " +
             std::to_string(division) + " cannot be played";
    return std::nullopt;
  }
  song.Division = division;
  if (headerSize > Bytes.size() - 8) {
    Reason = "damaged MIDI file: the header runs past the end";
    return std::nullopt;
  }

  // The synthesiser reads a six-byte header only; a longer one is cut.
  AppendChunk(song.Smf, "MThd", std::vector<uint8_t>(Bytes.begin() + 8, Bytes.begin() + 14));
  std::vector<TTempoChange> tempi;
  size_t pos = 8 + headerSize;
  int found = 0;
  while (found < song.Tracks) {
    if (pos + 8 > Bytes.size()) {
      Reason = "damaged MIDI file: " + std::to_string(song.Tracks - found) +
               " of its tracks are missing";
      return std::nullopt;
    }
    const uint32_t size = BigEndian32(Bytes.data() + pos + 4);
    if (size > Bytes.size() - pos - 8) {
      Reason = "damaged MIDI file: a track runs past the end of the file";
      return std::nullopt;
    }
    if (HasTag(Bytes, pos, "MTrk")) {
      int64_t endTick = 0;
      std::vector<uint8_t> events;
      if (!TTrackReader(Bytes.subspan(pos + 8, size)).Read(tempi, endTick, events, Reason))
        return std::nullopt;
      song.EndTick = std::max(song.EndTick, endTick);
      AppendChunk(song.Smf, "MTrk", events);
      ++found;
    }
    pos += 8 + size;  // chunks of other kinds are skipped
  }
  song.Seconds = SecondsAt(song.EndTick, std::move(tempi), song.Division);
  if (!(song.Seconds <= kMaxSeconds)) {
    Reason = "damaged MIDI file: its tempo map makes it last more than a day";
    return std::nullopt;
  }
  return song;
}
