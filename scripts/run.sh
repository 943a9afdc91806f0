#!/usr/bin/env bash
# The main job: builds the program and makes a short three-track album (a
# WAV image and its cue sheet, Chinese titles included) in a scratch folder.
# With a display (DISPLAY or WAYLAND_DISPLAY set) the window morvo-encoder
# opens with the album handed over, as the player hands files over;
# without one, morvo-convert converts the album to all four formats.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
build="${MORVO_BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" -G Ninja >/dev/null
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then window=1; else window=0; fi
targets=(morvo-convert morvo_player_library morvo_codec_library)
[ "$window" = 1 ] && targets+=(morvo-encoder)
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

scratch=$(mktemp -d /tmp/morvo-demo.XXXXXX)
album="$scratch/album"
mkdir -p "$album"
# Three tones of 8, 6 and 7 seconds joined into one image.
ffmpeg -loglevel error -f lavfi -i "sine=frequency=440:duration=8" \
  -f lavfi -i "sine=frequency=554:duration=6" -f lavfi -i "sine=frequency=659:duration=7" \
  -filter_complex "[0][1][2]concat=n=3:v=0:a=1,aformat=channel_layouts=stereo" \
  -ar 44100 -c:a pcm_s16le "$album/演示专辑.wav"
cat > "$album/演示专辑.cue" <<'CUE'
PERFORMER "莫沃乐队"
TITLE "演示专辑"
FILE "演示专辑.wav" WAVE
  TRACK 01 AUDIO
    TITLE "晨曦"
    PERFORMER "莫沃乐队"
    INDEX 01 00:00:00
  TRACK 02 AUDIO
    TITLE "远方的河"
    PERFORMER "莫沃乐队"
    INDEX 01 00:08:00
  TRACK 03 AUDIO
    TITLE "归途"
    PERFORMER "莫沃乐队"
    INDEX 01 00:14:00
CUE

export MORVO_PROGRAM_DIR="$scratch"
if [ "$window" = 1 ]; then
  echo "Opening the window with $album/演示专辑.cue (its settings live in $scratch)"
  exec "$build/bin/morvo-encoder" /EncodeConvert "$album/演示专辑.cue"
fi
for fmt in mp3 ape wav flac; do
  echo "== $fmt"
  "$build/bin/morvo-convert" -f "$fmt" -o "$scratch/$fmt" -e overwrite "$album/演示专辑.cue"
done
echo
echo "Results are in $scratch:"
ls -l "$scratch"/mp3 "$scratch"/ape "$scratch"/wav "$scratch"/flac
