// The length a WAV file's own header states, read from the file itself:
// FFmpeg trusts the file's size over a header that promises more, so it
// cannot tell a truncated WAV from a short one.
// Thread-safe (reads the file through its own stream).
#pragma once

#include <cstdint>
#include <string>

// Sample frames the "data" chunk of a RIFF, RF64 or BW64 WAVE file states
// (its size over the "fmt " block align); -1 when the header states no
// usable size (a stream written with an open size, a missing chunk, a
// file that is not WAVE).
int64_t WavStatedFrames(const std::string& Path);
