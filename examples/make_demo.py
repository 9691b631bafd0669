#!/usr/bin/env python3
"""Writes the demo song (demo.mid) and its lyrics (demo.txt, Shift-JIS) for the quick start.

A format-1 file: track 0 holds the tempo map (120 bpm, then 96 bpm from bar 9) and the 4/4 meter;
track 1 plays a simple melody, one phrase of two bars for each lyric line.
"""
import struct
from pathlib import Path

DIVISION = 480


def vlq(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.insert(0, 0x80 | (value & 0x7F))
        value >>= 7
    return bytes(out)


def chunk(tag, data):
    return tag + struct.pack(">I", len(data)) + data


def tempo_track():
    ev = b""
    ev += vlq(0) + b"\xFF\x58\x04\x04\x02\x18\x08"          # 4/4
    ev += vlq(0) + b"\xFF\x51\x03" + (500000).to_bytes(3, "big")   # 120 bpm
    ev += vlq(8 * 4 * DIVISION) + b"\xFF\x51\x03" + (625000).to_bytes(3, "big")  # 96 bpm from bar 9
    ev += vlq(8 * 4 * DIVISION) + b"\xFF\x2F\x00"
    return chunk(b"MTrk", ev)


# Sixteen bars of melody: (note, length in quarters) per phrase of two bars.
PHRASES = [
    [(60, 1), (62, 1), (64, 1), (65, 1), (67, 2), (67, 2)],
    [(69, 1), (67, 1), (65, 1), (64, 1), (62, 4)],
    [(64, 1), (65, 1), (67, 1), (72, 1), (71, 2), (67, 2)],
    [(65, 1), (64, 1), (62, 1), (60, 1), (60, 4)],
]


def melody_track():
    ev = vlq(0) + b"\xC0\x00"   # piano
    pending = 0
    for phrase in PHRASES * 2:
        for note, quarters in phrase:
            ev += vlq(pending) + bytes([0x90, note, 96])
            ev += vlq(quarters * DIVISION - 20) + bytes([0x80, note, 0])
            pending = 20
    ev += vlq(pending) + b"\xFF\x2F\x00"
    return chunk(b"MTrk", ev)


LYRICS = [
    "あさの ひかりが まどを たたく",
    "ねむい めをして そらを みあげる",
    "きのうの ゆめは どこへ いったの",
    "ちいさな こえで うたを うたおう",
    "かぜが はこぶ はなの かおり",
    "とおい まちまで とどけて おくれ",
    "ゆうやけ そらに ほしが ひかる",
    "また あした ここで あいましょう",
]


def main():
    here = Path(__file__).resolve().parent
    header = chunk(b"MThd", struct.pack(">HHH", 1, 2, DIVISION))
    (here / "demo.mid").write_bytes(header + tempo_track() + melody_track())
    (here / "demo.txt").write_bytes("".join(line + "\r\n" for line in LYRICS).encode("cp932"))


if __name__ == "__main__":
    main()
