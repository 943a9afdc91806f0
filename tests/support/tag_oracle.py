#!/usr/bin/python3
"""Reads and writes audio tags with mutagen, independently of the system.

  tag_oracle.py read FILE
      prints the file's tags as one JSON object: the fields a converter
      keeps (title, artist, album, albumartist, track, tracktotal, disc,
      disctotal, date, genre, composer, comment, isrc, catalog), "cover"
      (the front cover's bytes in hex), "replaygain" (whether any
      ReplayGain value is present), "container" (the tag's kind) and, for
      ID3v2, "id3version" and "id3encodings" (each frame's text encoding:
      0 Latin-1, 1 UTF-16, 2 UTF-16BE, 3 UTF-8).
  tag_oracle.py write FILE JSON
      adds the fields of JSON (same names; "cover" is a path to a picture)
      to FILE: an APEv2 tag for .ape, an id3 chunk for .wav, Vorbis
      comments with METADATA_BLOCK_PICTURE for .ogg, freeform atoms for the
      fields ffmpeg does not write to .m4a.
"""
import base64
import json
import sys

import mutagen
from mutagen import apev2, id3, mp4
from mutagen.flac import Picture

FIELDS = ["title", "artist", "album", "albumartist", "track", "tracktotal", "disc",
          "disctotal", "date", "genre", "composer", "comment", "isrc", "catalog"]

VORBIS = {"title": "TITLE", "artist": "ARTIST", "album": "ALBUM",
          "albumartist": "ALBUMARTIST", "date": "DATE", "genre": "GENRE",
          "composer": "COMPOSER", "comment": "COMMENT", "isrc": "ISRC",
          "catalog": "CATALOGNUMBER", "track": "TRACKNUMBER",
          "tracktotal": "TRACKTOTAL", "disc": "DISCNUMBER", "disctotal": "DISCTOTAL"}
APE = {"title": "Title", "artist": "Artist", "album": "Album",
       "albumartist": "Album Artist", "date": "Year", "genre": "Genre",
       "composer": "Composer", "comment": "Comment", "isrc": "ISRC",
       "catalog": "Catalog"}
ID3 = {"title": "TIT2", "artist": "TPE1", "album": "TALB", "albumartist": "TPE2",
       "genre": "TCON", "composer": "TCOM", "isrc": "TSRC"}


def split_pair(result, key, total_key, text):
    number, _, total = str(text).partition("/")
    if number.strip():
        result[key] = str(int(number))
    if total.strip():
        result[total_key] = str(int(total))


def read_vorbis(tags, result):
    get = lambda key: tags.get(key) or tags.get(key.lower())
    for field, key in VORBIS.items():
        values = get(key)
        if values:
            result[field] = values[0]
    if "comment" not in result and get("DESCRIPTION"):
        result["comment"] = get("DESCRIPTION")[0]
    for key in ("track", "disc"):
        if key in result:
            split_pair(result, key, key + "total", result[key])
    result["replaygain"] = any(k.upper().startswith("REPLAYGAIN") for k in tags.keys())


def read_id3(tags, result, version):
    result["container"] = "id3"
    result["id3version"] = version
    for field, key in ID3.items():
        if key in tags:
            result[field] = str(tags[key].text[0])
    if "TRCK" in tags:
        split_pair(result, "track", "tracktotal", tags["TRCK"].text[0])
    if "TPOS" in tags:
        split_pair(result, "disc", "disctotal", tags["TPOS"].text[0])
    if "TDRC" in tags:
        result["date"] = str(tags["TDRC"].text[0])
    comments = [f for f in tags.getall("COMM") if not f.desc]
    if comments:
        result["comment"] = str(comments[0].text[0])
    for frame in tags.getall("TXXX"):
        if frame.desc.upper() == "CATALOGNUMBER":
            result["catalog"] = str(frame.text[0])
    pictures = tags.getall("APIC")
    front = [p for p in pictures if p.type == 3] or pictures
    if front:
        result["cover"] = front[0].data.hex()
    result["id3encodings"] = {f.FrameID: int(f.encoding) for f in tags.values()
                              if hasattr(f, "encoding")}
    result["replaygain"] = any("REPLAYGAIN" in f.desc.upper() for f in tags.getall("TXXX"))


def read_ape(tags, result):
    result["container"] = "apev2"
    lower = {k.lower(): v for k, v in tags.items()}
    for field, key in APE.items():
        if key.lower() in lower:
            result[field] = str(lower[key.lower()])
    if "track" in lower:
        split_pair(result, "track", "tracktotal", str(lower["track"]))
    if "disc" in lower:
        split_pair(result, "disc", "disctotal", str(lower["disc"]))
    cover = lower.get("cover art (front)")
    if cover is not None:
        result["cover"] = cover.value.split(b"\0", 1)[1].hex()
    result["replaygain"] = any(k.startswith("replaygain") for k in lower)


def read_mp4(tags, result):
    result["container"] = "mp4"
    names = {"\xa9nam": "title", "\xa9ART": "artist", "\xa9alb": "album",
             "aART": "albumartist", "\xa9day": "date", "\xa9gen": "genre",
             "\xa9wrt": "composer", "\xa9cmt": "comment"}
    for key, field in names.items():
        if key in tags:
            result[field] = str(tags[key][0])
    for key, field in (("trkn", "track"), ("disk", "disc")):
        if key in tags:
            number, total = tags[key][0]
            result[field] = str(number)
            if total:
                result[field + "total"] = str(total)
    for key, field in (("ISRC", "isrc"), ("CATALOGNUMBER", "catalog")):
        atom = "----:com.apple.iTunes:" + key
        if atom in tags:
            result[field] = bytes(tags[atom][0]).decode("utf-8")
    if "covr" in tags:
        result["cover"] = bytes(tags["covr"][0]).hex()
    result["replaygain"] = any("replaygain" in k.lower() for k in tags.keys())


def read(path):
    audio = mutagen.File(path)
    result = {}
    if audio is None:
        raise SystemExit("mutagen cannot read " + path)
    tags = audio.tags
    if isinstance(tags, id3.ID3):
        read_id3(tags, result, tags.version[1])
    elif isinstance(tags, apev2.APEv2):
        read_ape(tags, result)
    elif isinstance(tags, mp4.MP4Tags):
        read_mp4(tags, result)
    elif tags is not None:
        result["container"] = "vorbis"
        read_vorbis(tags, result)
        pictures = list(getattr(audio, "pictures", []))
        for block in tags.get("METADATA_BLOCK_PICTURE", []):
            pictures.append(Picture(base64.b64decode(block)))
        front = [p for p in pictures if p.type == 3] or pictures
        if front:
            result["cover"] = front[0].data.hex()
    print(json.dumps(result, ensure_ascii=False))


def write(path, fields):
    cover = open(fields["cover"], "rb").read() if "cover" in fields else None
    track = "/".join(x for x in (fields.get("track"), fields.get("tracktotal")) if x)
    disc = "/".join(x for x in (fields.get("disc"), fields.get("disctotal")) if x)
    if path.endswith(".ape"):
        tags = apev2.APEv2()
        for field, key in APE.items():
            if field in fields:
                tags[key] = fields[field]
        if track:
            tags["Track"] = track
        if disc:
            tags["Disc"] = disc
        tags["REPLAYGAIN_TRACK_GAIN"] = "-3.00 dB"
        if cover:
            tags["Cover Art (Front)"] = apev2.APEValue(b"front.jpg\0" + cover, apev2.BINARY)
        tags.save(path)
    elif path.endswith(".wav"):
        audio = mutagen.File(path)
        if audio.tags is None:
            audio.add_tags()
        tags = audio.tags
        for field, key in ID3.items():
            if field in fields:
                tags.add(getattr(id3, key)(encoding=3, text=fields[field]))
        if track:
            tags.add(id3.TRCK(encoding=3, text=track))
        if disc:
            tags.add(id3.TPOS(encoding=3, text=disc))
        if "date" in fields:
            tags.add(id3.TDRC(encoding=3, text=fields["date"]))
        if "comment" in fields:
            tags.add(id3.COMM(encoding=3, lang="eng", desc="", text=fields["comment"]))
        tags.add(id3.TXXX(encoding=3, desc="REPLAYGAIN_TRACK_GAIN", text="-3.00 dB"))
        if cover:
            tags.add(id3.APIC(encoding=3, mime="image/jpeg", type=3, desc="", data=cover))
        audio.save()
    elif path.endswith(".ogg"):
        audio = mutagen.File(path)
        if cover:
            picture = Picture()
            picture.type = 3
            picture.mime = "image/jpeg"
            picture.data = cover
            audio["METADATA_BLOCK_PICTURE"] = [base64.b64encode(picture.write()).decode("ascii")]
        audio.save()
    elif path.endswith(".m4a"):
        audio = mutagen.File(path)
        for field, key in (("isrc", "ISRC"), ("catalog", "CATALOGNUMBER")):
            if field in fields:
                audio["----:com.apple.iTunes:" + key] = [mp4.MP4FreeForm(fields[field].encode("utf-8"))]
        audio.save()
    else:
        raise SystemExit("no writer for " + path)


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "read":
        read(sys.argv[2])
    elif len(sys.argv) == 4 and sys.argv[1] == "write":
        write(sys.argv[2], json.loads(sys.argv[3]))
    else:
        raise SystemExit(__doc__)
