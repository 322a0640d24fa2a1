#!/usr/bin/env python3
"""make-corpus.py - writes the seed inputs of the fuzz targets into fuzz/corpus/<target>/.

A few well-formed inputs per target, each reaching a different branch; the fuzzer grows its own
corpus from them in the build directory. Run from anywhere: python3 fuzz/make-corpus.py
"""
import gzip
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")

RSP, ALM = 2, 3
EXT = 1640


def message(msg_type, transaction=7, oper=4, res_type=4, res_id=6, ret=0, length=2448,
            manager_byte=0, reg_type=0):
    """A CM message of length bytes: header, operation, ids, key pattern, record pattern, ret."""
    m = bytearray(2448)
    struct.pack_into("<IIIIIIHH", m, 0, 13, 1, 0x1234, 0xFFFFFFFF, msg_type, manager_byte,
                     transaction, 0)
    struct.pack_into("<III", m, 28, oper, res_type, res_id)
    m[40:92] = bytes((0x30 + i) % 256 for i in range(52))
    m[96:1168] = bytes((0x40 + i) % 256 for i in range(1072))
    if reg_type:
        struct.pack_into("<I", m, 136, reg_type)
    struct.pack_into("<I", m, 1168, ret)
    m[EXT:2448] = bytes((0x70 + i) % 256 for i in range(808))
    return bytes(m[:length])


def write(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def dispatch():
    for oper in range(1, 10):
        write("cm_dispatch_fuzz", "oper-%d" % oper, message(RSP, oper=oper, ret=oper % 2))
    write("cm_dispatch_fuzz", "short", message(RSP, length=1171))
    write("cm_dispatch_fuzz", "alarm", message(ALM))
    write("cm_dispatch_fuzz", "null-get-slot", message(RSP, oper=4, manager_byte=1 << 3))


def response():
    # member, id selector (36, 38, 104, the answer's, raw), raw id, transaction, sender; the answer
    # echoes the member's operation unless told otherwise
    opers = [1, 2, 3, 4, 11, 5, 8, 6, 9, 7, 2, 3]

    def case(member, selector, transaction=7, sender=0, msg_type=RSP, **rsp):
        rsp.setdefault("oper", opers[member])
        head = struct.pack("<BBIHB", member, selector, 6, transaction, sender)
        return head + message(msg_type, transaction=7, **rsp)
    write("cm_response_fuzz", "get-104", case(3, 2, res_id=104))
    write("cm_response_fuzz", "next-36", case(7, 0, res_id=36))
    write("cm_response_fuzz", "first-38", case(5, 1, res_id=38))
    write("cm_response_fuzz", "bysernum-own-id", case(4, 3, res_id=38))
    write("cm_response_fuzz", "count", case(9, 4))
    write("cm_response_fuzz", "get-104-answered-6", case(3, 2, res_id=6))
    write("cm_response_fuzz", "first-38-answered-36", case(5, 1, res_id=36))
    write("cm_response_fuzz", "get-answered-as-next", case(3, 4, oper=6))
    write("cm_response_fuzz", "other-res-type", case(3, 4, sender=4))
    write("cm_response_fuzz", "other-transaction", case(3, 4, transaction=8))
    write("cm_response_fuzz", "foreign", case(3, 4, sender=1))
    write("cm_response_fuzz", "short", case(6, 4, length=1300, res_id=36))
    write("cm_response_fuzz", "not-a-response", case(3, 4, msg_type=ALM))


def alarm():
    write("cm_alarm_fuzz", "alarm", message(ALM, length=1100))
    write("cm_alarm_fuzz", "event", message(4, length=1640))
    for mode, name in ((0, "sync"), (1, "async")):
        for reg_type in (1, 2, 3):
            write("cm_alarm_fuzz", "answer-%s-%d" % (name, reg_type),
                  message(RSP, length=1640, manager_byte=mode, reg_type=reg_type))


def trace():
    texts = [b"hello\n", b"%s %n %d %t 100%\n", b"x" * 600, b"[1,1,1]:[1]: filtered\n"]
    for writer in range(14):
        text = texts[writer % len(texts)]
        head = bytes([writer, 5, 4, 0x3F if writer % 2 else 0xC1, 1, 1, 0])
        write("trace_record_fuzz", "writer-%d" % writer, head + text)


def omci_frame(payload=48):
    eth = bytes(12) + b"\x88\xb5"
    return eth + bytes((0x10 + i) % 256 for i in range(payload))


def classic(frames, link=1, magic=0xA1B2C3D4):
    out = struct.pack("<IHHiIII", magic, 2, 4, 0, 0, 65535, link)
    for i, frame in enumerate(frames):
        out += struct.pack("<IIII", 1700000000 + i, 500 * i, len(frame), len(frame)) + frame
    return out


def block(block_type, body):
    pad = (-len(body)) % 4
    length = 12 + len(body) + pad
    return struct.pack("<II", block_type, length) + body + bytes(pad) + struct.pack("<I", length)


def pcapng(frames, link=1, tsresol=None):
    out = block(0x0A0D0D0A, struct.pack("<IHHq", 0x1A2B3C4D, 1, 0, -1))
    options = b""
    if tsresol is not None:
        options = struct.pack("<HHB3x", 9, 1, tsresol) + struct.pack("<HH", 0, 0)
    out += block(1, struct.pack("<HHI", link, 0, 65535) + options)
    for i, frame in enumerate(frames):
        ts = (1700000000 + i) * 1000000
        out += block(6, struct.pack("<IIIII", 0, ts >> 32, ts & 0xFFFFFFFF, len(frame),
                                    len(frame)) + frame)
    return out


# The first byte of a capsheet seed picks the command line: the plain conversion, --decode,
# --check or --check --json.
PLAIN, DECODE, CHECK, CHECK_JSON = (bytes([m]) for m in range(4))


def omci_message(tci, msg_type, device=0x0A, me_class=256, contents=b""):
    header = struct.pack(">HBBHH", tci, msg_type, device, me_class, 1)
    if device == 0x0B:
        return header + struct.pack(">H", len(contents)) + contents + bytes(4)
    return header + contents.ljust(32, b"\x00") + struct.pack(">II", 0x28, 0)


def between(dst, src, message, tags=b""):
    return bytes(5) + bytes([dst]) + bytes(5) + bytes([src]) + tags + b"\x88\xb5" + message


def capsheet():
    frames = [omci_frame(), bytes(20) + b"\x08\x00" + bytes(30), omci_frame(8)]
    write("capsheet_fuzz", "classic.pcap", PLAIN + classic(frames))
    write("capsheet_fuzz", "classic-swapped.pcap", PLAIN + classic(frames[:1], magic=0xD4C3B2A1)[:24])
    write("capsheet_fuzz", "pcapng.pcapng", PLAIN + pcapng(frames))
    write("capsheet_fuzz", "pcapng-nanoseconds.pcapng", PLAIN + pcapng(frames[:1], tsresol=9))
    cooked = bytes(14) + b"\x88\xb5" + bytes(range(48))
    write("capsheet_fuzz", "cooked-113.pcap", PLAIN + classic([cooked], link=113))
    write("capsheet_fuzz", "classic.pcap.gz", PLAIN + gzip.compress(classic(frames), mtime=0))
    exchange = [
        between(0xA, 1, omci_message(5, 0x48, contents=b"\x80\x00")),
        between(1, 0xA, omci_message(5, 0x28, contents=b"\x03")),
        between(0xA, 1, omci_message(6, 0x49, device=0x0B, me_class=263, contents=b"\x80\x00"),
                tags=b"\x88\xa8\x00\x0a\x81\x00\x00\x64"),
        between(1, 0xA, omci_message(6, 0x29, device=0x0B, me_class=263, contents=b"\x00\x80\x00"),
                tags=b"\x88\xa8\x00\x0a\x81\x00\x00\x64"),
        between(0xA, 1, omci_message(7, 0x44, me_class=268)),
    ]
    write("capsheet_fuzz", "decode-tagged.pcap", DECODE + classic(exchange))
    write("capsheet_fuzz", "check.pcapng", CHECK + pcapng(exchange, tsresol=9))
    write("capsheet_fuzz", "check-json.pcap", CHECK_JSON + classic(exchange))


if __name__ == "__main__":
    dispatch()
    response()
    alarm()
    trace()
    capsheet()
