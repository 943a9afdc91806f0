#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets (tests/fuzz/corpus/<target>/seed-*).

All seeds are our own: text written here, audio made from generated signals
with ffmpeg, flac and lame, and APE files from our own encoder through
morvo-convert. Run it again only to change the seeds; files that the fuzzers
found (regress-*) are kept.

    python3 tests/fuzz/make_seeds.py BUILD_DIR
"""
import pathlib
import shutil
import struct
import subprocess
import sys
import tempfile

HERE = pathlib.Path(__file__).resolve().parent
CORPUS = HERE / "corpus"


def write(target, name, data):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / ("seed-" + name)).write_bytes(data)


def clear_seeds():
    for path in CORPUS.glob("*/seed-*"):
        path.unlink()


def run(*args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


# --- audio -----------------------------------------------------------------

def lavfi(tmp, name, seconds, rate, channels, codec, extra=()):
    out = tmp / name
    run("ffmpeg", "-nostdin", "-y", "-v", "error", "-f", "lavfi", "-i",
        f"sine=frequency=440:sample_rate={rate}:duration={seconds}",
        "-f", "lavfi", "-i", f"anoisesrc=d={seconds}:r={rate}:a=0.1:seed=7",
        "-filter_complex", f"amix=inputs=2,aformat=channel_layouts={'mono' if channels == 1 else 'stereo' if channels == 2 else '5.1'}",
        "-map_metadata", "-1", "-fflags", "+bitexact", "-flags:a", "+bitexact",
        "-c:a", codec, *extra, str(out))
    return out


def audio_seeds(tmp, bin_dir):
    # The decoder's input: extension index (0 wav, 1 flac, 2 mp3, 3 ape,
    # 4 ogg, 5 none) and block size in byte 0, seek point in byte 1.
    def seed(name, ext_index, path, seek=128):
        write("decoder_fuzz", name, bytes([ext_index, seek]) + path.read_bytes())

    seed("pcm16-stereo.wav", 0, lavfi(tmp, "a.wav", 0.25, 8000, 2, "pcm_s16le"))
    seed("pcm8-mono.wav", 0 + 6, lavfi(tmp, "b.wav", 0.25, 8000, 1, "pcm_u8"), 40)
    seed("pcm24-stereo.wav", 0 + 12, lavfi(tmp, "c.wav", 0.1, 11025, 2, "pcm_s24le"))
    seed("float-mono.wav", 0, lavfi(tmp, "d.wav", 0.1, 8000, 1, "pcm_f32le"), 250)
    seed("pcm32-mono.wav", 0, lavfi(tmp, "e.wav", 0.1, 8000, 1, "pcm_s32le"), 1)
    seed("pcm8-6ch.wav", 0, lavfi(tmp, "f.wav", 0.05, 8000, 6, "pcm_u8"))
    seed("stereo.flac", 1, lavfi(tmp, "a.flac", 0.25, 8000, 2, "flac"))
    seed("mono24.flac", 1 + 6, lavfi(tmp, "b.flac", 0.1, 8000, 1, "flac",
                                     ("-sample_fmt", "s32", "-bits_per_raw_sample", "24")), 200)
    seed("mono.mp3", 2, lavfi(tmp, "a.mp3", 0.5, 8000, 1, "libmp3lame", ("-b:a", "16k")))
    seed("stereo-vbr.mp3", 2 + 6, lavfi(tmp, "b.mp3", 0.3, 22050, 2, "libmp3lame", ("-q:a", "9")), 10)
    seed("mono.ogg", 4, lavfi(tmp, "a.ogg", 0.5, 8000, 1, "libvorbis", ("-q:a", "0")))
    seed("opus.ogg", 4 + 6, lavfi(tmp, "b.ogg", 0.3, 8000, 1, "libopus", ("-b:a", "8k")), 90)
    seed("noext.wav", 5, lavfi(tmp, "g.wav", 0.05, 8000, 2, "pcm_s16le"))

    # Musepack (libmpcdec's side of the player library).
    mpc = tmp / "a.mpc"
    run("mpcenc", "--silent", "--quality", "2", str(lavfi(tmp, "mpc-src.wav", 0.3, 44100, 2, "pcm_s16le")), str(mpc))
    seed("stereo.mpc", 5, mpc, 100)

    # APE from our encoder, level 2000 and 4000.
    source = lavfi(tmp, "ape-src.wav", 0.25, 8000, 2, "pcm_s16le")
    for level, quality in (("2000", 1), ("4000", 3)):
        out = tmp / f"ape{level}"
        out.mkdir()
        run(str(bin_dir / "morvo-convert"), "-f", "ape", "--ape-level", str(quality), "-e", "2",
            "-o", str(out), str(source))
        seed(f"stereo-{level}.ape", 3 + 6 * (quality % 3), next(out.glob("*.ape")))


def midi_seeds():
    # Standard MIDI Files written here: the player library's own parser
    # checks them and FluidSynth renders them.
    def chunk(kind, body):
        return kind + struct.pack(">I", len(body)) + body

    def varlen(value):
        out = [value & 0x7F]
        value >>= 7
        while value:
            out.insert(0, 0x80 | (value & 0x7F))
            value >>= 7
        return bytes(out)

    def track(events):
        return chunk(b"MTrk", b"".join(varlen(delta) + data for delta, data in events) +
                     b"\x00\xff\x2f\x00")

    notes = [(0, b"\xc0\x00"), (0, b"\x90\x3c\x64"), (96, b"\x3c\x00"),  # running status
             (0, b"\x90\x40\x64"), (96, b"\x80\x40\x40"), (0, b"\xb0\x07\x50")]
    tempo = [(0, b"\xff\x51\x03\x07\xa1\x20"), (96, b"\xff\x51\x03\x03\xd0\x90"),
             (0, b"\xff\x58\x04\x04\x02\x18\x08")]
    type0 = chunk(b"MThd", struct.pack(">HHH", 0, 1, 96)) + track(tempo[:1] + notes)
    type1 = chunk(b"MThd", struct.pack(">HHH", 1, 2, 96)) + track(tempo) + track(notes)
    rmid = b"RIFF" + struct.pack("<I", 12 + len(type0)) + b"RMID" + b"data" + \
        struct.pack("<I", len(type0)) + type0
    # Byte 0: extension ".bin" (the kind is told by the first bytes).
    write("decoder_fuzz", "type0.mid", bytes([5, 128]) + type0)
    write("decoder_fuzz", "type1.mid", bytes([5 + 6, 60]) + type1)
    write("decoder_fuzz", "rmid.rmi", bytes([5, 200]) + rmid)


# --- text ------------------------------------------------------------------

def text_seeds():
    # Byte 0 picks the code page for text without a mark:
    # 0 system, 1 UTF-8, 2 CP936, 3 CP950, 4 CP1252, 5 CP932.
    gbk = "学习\r\n曲目 一\r\n".encode("gbk")
    seeds = {
        "ansi-crlf": b"\x00line one\r\nline two\r\n  blanks\t \r\n\r\nlast",
        "lf-cr": b"\x00a\n\rbc\rd\r\n",
        "utf8-bom": b"\x01\xef\xbb\xbf\xe4\xb8\xad\xe6\x96\x87\r\nzwei\r\n",
        "utf16le": b"\x00\xff\xfe" + "x\r\ny\r\n最后".encode("utf-16-le"),
        "utf16be-odd": b"\x00\xfe\xff" + "a\r\nb".encode("utf-16-be") + b"\x00",
        "gbk": b"\x02" + gbk,
        "gbk-system": b"\x00" + gbk,
        "big5": b"\x03" + "音樂\r\n".encode("big5"),
        "cp1252": b"\x04caf\xe9\r\nna\xefve\r\n",
        "sjis": b"\x05" + "音楽\n".encode("shift_jis"),
        "one-byte": b"\x00a",
        "invalid-utf8": b"\x01\xc3\x28\xa0\xa1\n\xf0\x28\x8c\xbc\n",
    }
    for name, data in seeds.items():
        write("text_reader_fuzz", name, data)


def cue_seeds():
    basic = ('REM GENRE Test\r\nPERFORMER "Album Artist"\r\nTITLE "Album"\r\n'
             'FILE "album.wav" WAVE\r\n  TRACK 01 AUDIO\r\n    TITLE "One"\r\n'
             '    INDEX 01 00:00:00\r\n  TRACK 02 AUDIO\r\n    TITLE "Two"\r\n'
             '    PERFORMER "Guest"\r\n    INDEX 00 00:00:05\r\n    INDEX 01 00:00:10\r\n')
    seeds = {
        "basic.cue": basic.encode(),
        "bom.cue": b"\xef\xbb\xbf" + basic.replace("One", "第一").encode(),
        "gbk.cue": basic.replace("One", "第一").replace("Album", "专辑").encode("gbk"),
        "utf16.cue": b"\xff\xfe" + basic.encode("utf-16-le"),
        "gaps.cue": ('FILE "album.wav" WAVE\nTRACK 1 AUDIO\nINDEX 01 00:00:00\nTRACK 2 AUDIO\n'
                     'INDEX 01 00:00:03\nTRACK 5 AUDIO\nINDEX 01 300:00:74\n').encode(),
        "other-name.cue": 'FILE "Other Name.wav" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n'.encode(),
        "ape-fallback.cue": 'FILE "album.flac" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n'.encode(),
        "unquoted.cue": 'FILE album.wav WAVE\nTRACK 01 AUDIO\n\tINDEX\t01\t00:00:01\n'.encode(),
        "bad-index.cue": 'FILE "album.wav" WAVE\nTRACK 01 AUDIO\nINDEX x1 00:00:00\n'.encode(),
        "no-time.cue": 'FILE "album.wav" WAVE\nTRACK 05\nINDEX 01\n'.encode(),
        "track-101.cue": ('FILE "album.wav" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n'
                          'TRACK 101 AUDIO\nTITLE "x"\nINDEX 01 00:01:00\nTRACK -1 AUDIO\n').encode(),
        "lowercase.cue": 'file "album.wav" wave\ntrack 01 audio\nindex 01 00:00:00\n'.encode(),
        "subfolder.cue": 'FILE "sub\\album.wav" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n'.encode(),
        "cr-only.cue": 'FILE "album.wav" WAVE\rTRACK 01 AUDIO\rINDEX 01 00:00:00\r'.encode(),
        "no-tracks.cue": 'TITLE "Only a title"\nCATALOG 0123456789012\nSONGWRITER "S"\n'.encode(),
    }
    for name, data in seeds.items():
        write("cue_parser_fuzz", name, data)


def cmd_stream_seeds():
    def string(s):
        units = s.encode("utf-16-le")
        return bytes([len(units) // 2]) + units
    seeds = {
        "ab": string("ab"),
        "empty": b"\x00",
        "truncated": b"\x02\x61\x00",
        "path": string("/home/用户/音乐/专辑.cue"),
        "two-paths": string("/a/b.wav") + string("") + string("/c/d.flac"),
        "longest": string("x" * 255),
        "surrogates": string("\U0001F3B5.mp3") + b"\x01\x00\xd8",
    }
    for name, data in seeds.items():
        write("cmd_stream_fuzz", name, data)


def profile_seeds():
    def seed(name, section, key, value, content):
        write("profile_fuzz", name, section + b"\0" + key + b"\0" + value + b"\0" + content)
    config = b"[General]\r\nDelAftSucc=0\r\nDestPath=/music/\r\n\r\n[MP3]\r\nMp3Mode=1\r\n"
    seed("replace", b"General", b"DestPath", b"/other/", config)
    seed("new-key", b"MP3", b"Mp3VBR", b"4", config)
    seed("new-section", b"Wav", b"OutputBps", b"2", config)
    seed("case", b"general", b"DESTPATH", b"x", config)
    seed("lf-no-end", b"A", b"k", b"v", b"; comment\n[A]\nk = old \n# note\n[B]\nk=b")
    seed("bom-quoted", b"S", b"q", b'"quoted"', b"\xef\xbb\xbf[S]\nq='x'\nn=0x1F\n")
    seed("refused", b"S]", b"k=", b"line\nbreak", config)
    seed("empty-file", b"General", b"TipShow", b"1", b"")
    seed("gbk-value", b"General", b"DestPath", "/音乐/".encode(), "[General]\nDestPath=/音乐/\n".encode("gbk"))
    seed("duplicates", b"S", b"k", b"new", b"[S]\nk=1\n[T]\nk=2\n[S]\nk=3\nj=4\n")


def config_seeds():
    # Ten settings bytes: MP3 mode, bitrate mode, CBR, ABR, VBR; APE; FLAC;
    # WAV; the three options as bits; TipShow.
    def seed(name, settings, content):
        write("config_fuzz", name, bytes(settings) + content)
    full = ("[General]\r\nDelAftSucc=1\r\nInsAftSucc=0\r\nAutoRead=1\r\nDestPath=/home/u/Morva/Convert/\r\n"
            "TipShow=1\r\n[MP3]\r\nMp3Mode=1\r\nBitRateMode=2\r\nMp3CBR=3\r\nMp3ABR=5\r\nMp3VBR=4\r\n"
            "[APE]\r\nQulity=2\r\n[FLAC]\r\nQulity=8\r\n[Wav]\r\nOutputBps=3\r\n").encode()
    seed("full", [0, 0, 3, 3, 4, 1, 1, 0, 0, 0], full)
    seed("missing-file-keys", [2, 1, 11, 0, 7, 4, 8, 3, 7, 1], b"")
    seed("odd-values", [255, 3, 12, 200, 8, 5, 9, 4, 5, 0],
         b"[MP3]\nMp3Mode=0x2\nBitRateMode=-1\nMp3CBR=99999999999\nMp3VBR= 7 \n[APE]\nQulity=abc\n"
         b"[General]\nDestPath=\"/quoted/\"\nTipShow=0x\n")
    seed("gbk-path", [1, 1, 1, 1, 1, 1, 1, 1, 1, 1], "[General]\nDestPath=/音乐/转换/\n".encode("gbk"))
    seed("bom-lower", [0] * 10, b"\xef\xbb\xbf[general]\nDELAFTSUCC=1\n[mp3]\nmp3mode=2\n")


def ape_seeds():
    # Byte 0: width (8, 16, 24, 32), channels (1, 2), level (1000..5000);
    # byte 1: rate, chunk size, stretch past one frame (0x10), keep 32-bit
    # low bytes (0x20); then the PCM.
    import random
    rng = random.Random(1234)
    for width in range(4):
        for channels in range(2):
            level = (width + channels) % 5
            pcm = bytes(rng.getrandbits(8) for _ in range(1200))
            write("ape_encoder_fuzz", f"w{width}-c{channels}-l{level}",
                  bytes([width + 4 * channels + 8 * level, 4 * width]) + pcm)
    # A loud 24-bit square wave at level 5000: sums that wrap in 32 bits.
    loud = b"".join(struct.pack("<i", v)[:3] * 2 for v in ([0x7FFFFF] * 40 + [-0x800000] * 40) * 8)
    write("ape_encoder_fuzz", "loud24-5000", bytes([2 + 4 + 8 * 4, 0]) + loud)
    ramp = b"".join(struct.pack("<h", (i * 37) % 65536 - 32768) for i in range(800))
    write("ape_encoder_fuzz", "stretch16-3000", bytes([1 + 8 * 2, 0x10]) + ramp)
    write("ape_encoder_fuzz", "low-bytes32", bytes([3, 0x20]) + bytes(range(256)) * 4)
    write("ape_encoder_fuzz", "empty", bytes([1 + 4, 0]))


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    bin_dir = pathlib.Path(sys.argv[1]).resolve() / "bin"
    clear_seeds()
    tmp = pathlib.Path(tempfile.mkdtemp())
    try:
        audio_seeds(tmp, bin_dir)
    finally:
        shutil.rmtree(tmp)
    midi_seeds()
    text_seeds()
    cue_seeds()
    cmd_stream_seeds()
    profile_seeds()
    config_seeds()
    ape_seeds()
    # The audio file that the cue sheets stand beside.
    data = HERE / "data"
    data.mkdir(exist_ok=True)
    (data / "album.wav").write_bytes((CORPUS / "decoder_fuzz" / "seed-pcm16-stereo.wav").read_bytes()[2:])


if __name__ == "__main__":
    main()
