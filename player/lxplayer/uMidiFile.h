// Standard MIDI Files as this library plays them: recognising one (plain
// "MThd" or wrapped in a RIFF "RMID" form), checking its structure, and the
// song's length from its tempo map. The synthesiser gets the plain Standard
// MIDI File bytes, so both wrappings sound the same.
// Plain functions on caller-owned data; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct TMidiSong {
  std::vector<uint8_t> Smf;  // "MThd" ... : what the synthesiser plays
  int Format = 0;            // 0 or 1
  int Tracks = 0;
  int Division = 0;     // ticks per quarter note
  int64_t EndTick = 0;  // where the longest track ends
  double Seconds = 0;   // EndTick through the tempo map
};

// True when the first bytes of a file announce MIDI data (at least 12 bytes
// are needed to tell a RIFF "RMID" form from other RIFF files).
bool LooksLikeMidi(std::span<const uint8_t> Head);

// Reads a whole file's bytes. nullopt with Reason when the file is not a
// playable Standard MIDI File of type 0 or 1 (damaged chunks, running past
// the end of a track, SMPTE time division, lasting more than a day, ...).
std::optional<TMidiSong> ParseMidiSong(std::span<const uint8_t> Bytes, std::string& Reason);
