#!/usr/bin/env python3
"""Writes the seed corpus of every fuzz target into fuzz/corpus/<target>/.

The targets read their choices with libFuzzer's FuzzedDataProvider: numbers are taken from the end of
the input, texts and byte runs from its front. The seeds below are built the same way, so each starts a
target on a meaningful conversation or file instead of noise. Run it again after changing a target's
input layout."""

import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

REQUESTS = {"N": 0, "R": 1, "W": 2, "G": 3, "C": 4, "S": 5, "T": 6}

CONFIG_4 = (b"X$A$Serbatoio 1     $080000$00123$01800$01700$00300$00150$00000$00050$65516$00000$"
            b"00002$00003$00000$00010$00000$00000$02500$30000")
CONFIG_16 = CONFIG_4 + b"$" + b"00001$" * 12


class Provider:
    """Builds an input as FuzzedDataProvider will take it apart."""

    def __init__(self):
        self.front = b""
        self.back = []  # bytes in the order they are consumed from the end

    def byte(self, value):
        self.back.append(value & 0xFF)

    def text(self, data):
        # ConsumeRandomLengthString: a backslash followed by another character ends the text.
        self.front += data.replace(b"\\", b"\\\\") + b"\\ "

    def raw(self, data):
        self.front += data

    def data(self):
        return self.front + bytes(reversed(self.back))


def receive_path(request, state, deliveries, channel=1, sms=(b"", b"", b"", b"")):
    p = Provider()
    p.byte(0)  # language
    for text in sms:
        p.text(text)
    p.byte(REQUESTS[request])
    p.byte(state)
    p.byte(channel)
    for delivery in deliveries:
        for start in range(0, len(delivery), 254):
            piece = delivery[start:start + 254]
            p.byte(len(piece))
            p.raw(piece)
    return p.data()


def sms_reply(line, texts):
    p = Provider()
    p.text(line)
    p.byte(len(texts))
    for text in texts:
        p.text(text)
    return p.data()


def config_payload(locale, channel, description, address, product, unit, numbers, relays, sixteen):
    p = Provider()
    p.byte(1)  # the configuration payload
    p.byte(locale)
    p.byte(channel + 1)
    p.text(description)
    p.byte(0)  # no character beyond Latin-1
    p.text(address)
    p.byte(0)
    p.byte(product + 1)
    p.byte(unit + 1)
    for number in numbers:
        p.text(number)
        p.byte(0)
    for relay in relays:
        p.byte(relay + 1)
    p.byte(1 if sixteen else 0)
    return p.data()


def table_payload(rows, row_count):
    p = Provider()
    p.byte(0)  # the table payload
    p.byte(len(rows))
    for level, volume in rows:
        for value in (level, volume):
            p.byte(5)  # a whole value 0..65001
            p.back.extend(struct.pack(">H", value))  # the first byte taken is the high one
    p.back.extend(struct.pack(">H", row_count + 2))
    return p.data()


def table_lines(count, end=b"65000\t65000\r\n"):
    return b"".join(b"%d\t%d\r\n" % (n * 10, n * 52) for n in range(count)) + end


SEEDS = {
    "fuzz_receive_path": {
        "handshake": receive_path("N", 1, [b"OK\r\n", b"?BH\r\n", b"$\r\n", CONFIG_16 + b"\r\n"]),
        "handshake_4_relays": receive_path("N", 1, [b">\r\n?A\r\n>\r\n" + CONFIG_4 + b"\r\n"]),
        "read_config_split": receive_path("R", 2, [CONFIG_4[:40], CONFIG_4[40:] + b"\r", b"\n"]),
        "read_config_bad_number": receive_path("R", 2, [CONFIG_4.replace(b"01800", b"18OO") + b"\r\n"]),
        "read_table": receive_path("G", 2, [b"0\t0\r\n10\t52\r\n", b"65000\t65000\r\n"]),
        "read_table_huge_number": receive_path("G", 2, [b"1\t2\r\n99999999999\t3\r\n65000\r\n"]),
        "read_table_2100_lines": receive_path("G", 2, [b"".join(b"%d\t%d\r" % (n, n) for n in range(2100)),
                                                       b"65000\r"]),
        "read_table_from_first": receive_path("G", 1, [b">\r\n" + table_lines(20)]),
        "write_config_confirmed": receive_path("W", 1, [b">\r\n", b"Dati NORMALE.\r\n", b"again\r\n"]),
        "send_table_confirmed": receive_path("C", 1, [b">\r\nnormale\r\n"], channel=3),
        "read_sms": receive_path("S", 1, [b">\r\n", b" 333123 ;+39 02 55;;Deposito Nord;extra;\r\n"]),
        "write_sms": receive_path("T", 1, [b">\r\nOK\r\n"], sms=(b"3331234567", b" 02 555 ", b"", b"Station")),
        "console_before_request": receive_path("N", 0, [b"hello\r\nworld\r\n\r\n"]),
        "high_bytes": receive_path("R", 2, [b"\xc8" + CONFIG_4 + b"\xff\r\n"]),
        "confirmed_state": receive_path("W", 4, [b"x\r\n"]),
    },
    "fuzz_config_reply": {
        "four_relays": CONFIG_4 + b"\x00",
        "four_relays_closed": CONFIG_4 + b"$\x00",
        "sixteen_relays": CONFIG_16 + b"\x01",
        "comma_fraction": CONFIG_4.replace(b"01700", b"1700,9").replace(b"00300", b"-3,7") + b"\x01",
        "point_fraction": CONFIG_4.replace(b"01700", b"1700.9") + b"\x02",
        "exponent": CONFIG_4.replace(b"01700", b" 1.7E3 ") + b"\x00",
        "short_code": b"X$A$desc$08$1$\x00",
        "empty": b"\x00",
    },
    "fuzz_table_reply": {
        "two_rows": b"0\t0\r100\t1250",
        "blanks_and_signs": b" 10 \t -20 \r1.5\t2,5\r\r\t\t5\r7\t8\t9",
        "too_large": b"1\t2\r4294967296\t1",
        "rows_200": b"\r".join(b"%05d\t%05d" % (n, n * 30) for n in range(200)),
    },
    "fuzz_sms_reply": {
        "record": sms_reply(b"3331234567;+39 02 555;;Deposito Nord;", [b"333", b" 444 ", b"", b"Nome"]),
        "fifth_field": sms_reply(b"a;b;c;d;e;f", [b"x" * 25]),
        "identification": sms_reply(b">BH", []),
        "normale": sms_reply(b"Dati NORMALE.", [b"1", b"2", b"3", b"4", b"5"]),
        "normale_lower": sms_reply(b"xnormale ", []),
    },
    "fuzz_table_import": {
        "exported": b"00000;00000\r\n00250;01200\r\n01800;65000\r\n",
        "header": b"Livello;Volume\r\n10;20\n1;2;3\n15;\n;15\n(1);[2]\n",
        "mixed_line_ends": b"1;2\r3;4\n5;6\r\n\r\n7;8",
        "decimal": b"12,5;7\n12.5;8\n000-5;00007\n",
        "too_large": b"1;2\n99999999999;5\n",
        "rows_2000": b"".join(b"%d;%d\r\n" % (n, n * 2) for n in range(2000)),
        "rows_2001": b"".join(b"%d;%d\n" % (n, n) for n in range(2001)),
    },
    "fuzz_payloads": {
        "config_worked_example": config_payload(1, 0, b"Serbatoio 1", b"123", 8, 0,
                                                [b"1800", b"1700,9", b"300", b"150", b"0", b"50", b"-20", b"0"],
                                                [2, 3, 0, 10] + [0] * 12, False),
        "config_sixteen": config_payload(0, 1, b"Tank with a long description", b"123456", 24, 1,
                                         [b" 42 ", b"-1", b"99999", b"123456", b"1e3", b"-65537", b"0", b"7"],
                                         list(range(11)) + [0, 1, 2, 3, 4], True),
        "config_dollar": config_payload(0, 0, b"a$b", b"1", 0, 0, [b"1"] * 8, [0] * 16, False),
        "table_example": table_payload([(0, 0), (100, 250), (1500, 12000)], 3),
        "table_refused": table_payload([(0, 0), (100, 65001)], 2),
    },
}

for target, seeds in SEEDS.items():
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)
