#!/usr/bin/python3
"""Reads an audio file written by Tonebridge, independently of Tonebridge.

Prints one JSON object: the container, the audio codec, the sample rate, the
channel count, the bits per sample (PCM), the tags under common names, the
cover (its SHA-1 and type) and, for PCM containers, the SHA-1 of the samples
as big-endian signed integers, to compare with the FLAC source decoded by
`flac -d --force-raw-format --endian=big --sign=signed`.
"""
import hashlib
import json
import struct
import sys

import mutagen
from mutagen.id3 import ID3


def sha1(data):
    return hashlib.sha1(data).hexdigest()


def ieee_extended(raw):
    exponent, mantissa = struct.unpack(">HQ", raw)
    sign = -1 if exponent & 0x8000 else 1
    exponent &= 0x7FFF
    if exponent == 0 and mantissa == 0:
        return 0
    return int(round(sign * mantissa * 2.0 ** (exponent - 16383 - 63)))


def chunks(data, start, big_endian=True, aligned=True):
    position = start
    while position + 8 <= len(data):
        name = data[position:position + 4]
        size = struct.unpack(">I" if big_endian else "<I", data[position + 4:position + 8])[0]
        yield name, data[position + 8:position + 8 + size]
        position += 8 + size + (size & 1 if aligned else 0)


def swap_to_big_endian(pcm, width):
    return b"".join(pcm[i:i + width][::-1] for i in range(0, len(pcm), width))


def id3_tags(tags):
    names = {"TIT2": "title", "TPE1": "artist", "TALB": "album", "TDRC": "date",
             "TRCK": "track", "TCON": "genre", "TPOS": "disc"}
    result, cover, raw = {}, None, {}
    if tags is None:
        return result, cover, raw
    for frame in tags.values():
        if frame.FrameID in names:
            result[names[frame.FrameID]] = str(frame.text[0])
        if frame.FrameID == "APIC":
            cover = {"sha1": sha1(frame.data), "mime": frame.mime, "type": int(frame.type)}
        elif frame.FrameID == "TXXX":
            raw.setdefault("TXXX:" + frame.desc, []).extend(str(text) for text in frame.text)
        elif frame.FrameID == "USLT":
            raw.setdefault("USLT", []).append(frame.text)
        elif hasattr(frame, "text"):
            raw.setdefault(frame.FrameID, []).extend(str(text) for text in frame.text)
    raw["version"] = ["2.%d" % tags.version[1]]
    return result, cover, raw


def read_iff(path, data):
    info = {"container": data[8:12].decode("latin-1")}
    compression = b"NONE"
    pcm = b""
    tags, cover, raw = {}, None, {}
    for name, body in chunks(data, 12):
        if name == b"COMM":
            channels, frames, bits = struct.unpack(">hIh", body[:8])
            info.update(channels=channels, bits=bits, sample_rate=ieee_extended(body[8:18]))
            if info["container"] == "AIFC":
                compression = body[18:22]
        elif name == b"SSND":
            offset = struct.unpack(">I", body[:4])[0]
            pcm = body[8 + offset:]
        elif name in (b"ID3 ", b"id3 "):
            tags, cover, raw = id3_tags(mutagen.File(path).tags)
    info["codec"] = "pcm_" + compression.decode("latin-1")
    if compression == b"sowt":
        pcm = swap_to_big_endian(pcm, (info["bits"] + 7) // 8)
    elif compression == b"raw ":
        # 8-bit offset binary: the same samples as signed bytes.
        pcm = bytes((b - 128) & 0xFF for b in pcm)
    info.update(tags=tags, raw=raw, cover=cover, pcm_sha1=sha1(pcm))
    return info


def read_wav(data):
    info = {"container": "WAVE", "tags": {}, "raw": {}, "cover": None}
    names = {b"INAM": "title", b"IART": "artist", b"IPRD": "album", b"ICRD": "date",
             b"IGNR": "genre", b"IPRT": "track", b"ITRK": "track"}
    pcm = b""
    for name, body in chunks(data, 12, big_endian=False):
        if name == b"fmt ":
            tag, channels, rate = struct.unpack("<HHI", body[:8])
            bits = struct.unpack("<H", body[14:16])[0]
            info.update(codec="pcm_le", channels=channels, sample_rate=rate, bits=bits)
        elif name == b"data":
            pcm = body
        elif name == b"LIST" and body[:4] == b"INFO":
            for key, value in chunks(body, 4, big_endian=False):
                text = value.rstrip(b"\0").decode("utf-8")
                info["raw"].setdefault(key.decode("latin-1"), []).append(text)
                if key in names:
                    info["tags"][names[key]] = text
    width = (info["bits"] + 7) // 8
    if width == 1:
        pcm = bytes((b - 128) & 0xFF for b in pcm)
    info["pcm_sha1"] = sha1(swap_to_big_endian(pcm, width))
    return info


def read_caf(data):
    info = {"container": "CAF", "tags": {}, "raw": {}, "cover": None}
    # Apple's info keys, under the names the other containers' tags have.
    names = {"year": "date", "track number": "track"}
    position = 8
    pcm = b""
    while position + 12 <= len(data):
        name = data[position:position + 4]
        size = struct.unpack(">q", data[position + 4:position + 12])[0]
        body = data[position + 12:position + 12 + size]
        if name == b"desc":
            rate, fmt, flags, bytes_per_packet, frames, channels, bits = struct.unpack(">d4sIIIII", body)
            little = flags & 2
            info.update(codec="pcm_" + ("le" if little else "be"), sample_rate=int(rate),
                        channels=channels, bits=bits, little=bool(little))
        elif name == b"info":
            fields = body[4:].split(b"\0")
            for key, value in zip(fields[0::2], fields[1::2]):
                key, value = key.decode("utf-8"), value.decode("utf-8")
                info["raw"].setdefault(key, []).append(value)
                info["tags"][names.get(key, key)] = value
        elif name == b"data":
            pcm = body[4:]
        position += 12 + size
    if info.pop("little", False):
        pcm = swap_to_big_endian(pcm, (info["bits"] + 7) // 8)
    info["pcm_sha1"] = sha1(pcm)
    return info


def descriptor(data, position):
    """An MPEG-4 descriptor's tag, body start and body length."""
    tag = data[position]
    position += 1
    length = 0
    for _ in range(4):
        byte = data[position]
        position += 1
        length = (length << 7) | (byte & 0x7F)
        if not byte & 0x80:
            break
    return tag, position, length


def aac_channels(data):
    """The channel configuration of the AudioSpecificConfig in the esds box."""
    at = data.find(b"esds")
    if at < 0:
        return None
    tag, position, _ = descriptor(data, at + 8)
    if tag != 3:
        return None
    flags = data[position + 2]
    position += 3 + (2 if flags & 0x80 else 0) + (1 + data[position + 3] if flags & 0x40 else 0) + (2 if flags & 0x20 else 0)
    tag, position, _ = descriptor(data, position)
    if tag != 4:
        return None
    tag, position, _ = descriptor(data, position + 13)
    if tag != 5:
        return None
    bits = int.from_bytes(data[position:position + 5], "big")
    frequency_index = (bits >> 31) & 0xF
    shift = 27 if frequency_index != 15 else 3
    return (bits >> shift) & 0xF


def mp4_edit(data, start=0, end=None):
    """The movie's time scale and the audio track's first edit: (duration, media time)."""
    end = len(data) if end is None else end
    found = {}
    position = start
    while position + 8 <= end:
        size, kind = struct.unpack(">I4s", data[position:position + 8])
        if size < 8:
            break
        if kind == b"mvhd":
            version = data[position + 8]
            found["movie_timescale"] = struct.unpack(
                ">I", data[position + (20 if version == 0 else 28):][:4])[0]
        elif kind == b"elst" and "edit_list" not in found:
            version = data[position + 8]
            entry = data[position + 16:]
            duration, media_time = (struct.unpack(">Ii", entry[:8]) if version == 0
                                    else struct.unpack(">Qq", entry[:16]))
            found["edit_list"] = [duration, media_time]
        elif kind in (b"moov", b"trak", b"edts"):
            found.update({k: v for k, v in mp4_edit(data, position + 8, position + size).items()
                          if k not in found})
        position += size
    return found


def read_mp4(path, data):
    audio = mutagen.File(path)
    names = {"\xa9nam": "title", "\xa9ART": "artist", "\xa9alb": "album", "\xa9day": "date",
             "\xa9gen": "genre"}
    tags, cover, raw = {}, None, {}
    for key, value in (audio.tags or {}).items():
        if key in names:
            tags[names[key]] = str(value[0])
        if key == "trkn":
            tags["track"] = str(value[0][0])
        elif key == "disk":
            tags["disc"] = str(value[0][0])
        if key in ("trkn", "disk"):
            raw[key] = ["%d/%d" % pair for pair in value]
        elif key == "covr":
            kind = {13: "image/jpeg", 14: "image/png"}.get(value[0].imageformat, "other")
            # An MP4 cover has no picture type: it is the front cover.
            cover = {"sha1": sha1(bytes(value[0])), "mime": kind, "type": 3}
        elif key.startswith("----"):
            raw[key] = [bytes(item).decode("utf-8") for item in value]
        elif isinstance(value, bool):
            raw[key] = [str(int(value))]
        elif isinstance(value, list):
            raw[key] = [str(int(item)) if isinstance(item, bool) else str(item) for item in value]
    result = {"container": "MP4:" + data[8:12].decode("latin-1").strip(), "codec": audio.info.codec,
            "sample_rate": audio.info.sample_rate, "channels": aac_channels(data) or audio.info.channels,
            "bits": getattr(audio.info, "bits_per_sample", 0), "bitrate": audio.info.bitrate,
            "length": audio.info.length, "tags": tags, "raw": raw, "cover": cover}
    result.update(mp4_edit(data))
    return result


def read_ogg(path):
    import base64
    from mutagen.flac import Picture
    audio = mutagen.File(path)
    names = {"title": "title", "artist": "artist", "album": "album", "date": "date",
             "genre": "genre", "tracknumber": "track", "discnumber": "disc"}
    tags, cover, raw = {}, None, {}
    for key, values in (audio.tags or {}).items():
        key = key.lower()
        if key in names:
            tags[names[key]] = values[0]
        if key != "metadata_block_picture":
            raw[key.upper()] = list(values)
        else:
            picture = Picture(base64.b64decode(values[0]))
            cover = {"sha1": sha1(picture.data), "mime": picture.mime, "type": int(picture.type)}
    codec = "opus" if type(audio).__name__ == "OggOpus" else "vorbis"
    result = {"container": "OGG", "codec": codec,
              "sample_rate": getattr(audio.info, "sample_rate", 48000),
              "bitrate": getattr(audio.info, "bitrate", 0),
              "channels": audio.info.channels, "length": audio.info.length, "tags": tags,
              "raw": raw, "cover": cover}
    if codec == "opus":
        # The identification header's output gain (RFC 7845), in Q7.8 dB.
        with open(path, "rb") as handle:
            data = handle.read(512)
        head = data.find(b"OpusHead")
        result["output_gain"] = struct.unpack("<h", data[head + 16:head + 18])[0]
    return result


def read_mp3(path):
    audio = mutagen.File(path)
    tags, cover, raw = id3_tags(audio.tags)
    return {"container": "MP3", "codec": "mp3" if audio.info.layer == 3 else "other",
            "sample_rate": audio.info.sample_rate, "channels": audio.info.channels,
            "bitrate": audio.info.bitrate, "length": audio.info.length, "tags": tags, "raw": raw,
            "cover": cover, "bitrate_mode": str(audio.info.bitrate_mode).split(".")[-1],
            "encoder_info": audio.info.encoder_info}


def read(path):
    with open(path, "rb") as handle:
        data = handle.read()
    if data[:4] == b"FORM":
        return read_iff(path, data)
    if data[:4] == b"RIFF":
        return read_wav(data)
    if data[:4] == b"caff":
        return read_caf(data)
    if data[4:8] == b"ftyp":
        return read_mp4(path, data)
    if data[:4] == b"OggS":
        return read_ogg(path)
    return read_mp3(path)


if __name__ == "__main__":
    print(json.dumps(read(sys.argv[1])))
