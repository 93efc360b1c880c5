#!/usr/bin/env python3
"""Writes the fuzz targets' starting inputs: a few valid update files, list files, addresses
under program folders, download scripts and time pairs, each in the form its target reads.

usage: scripts/fuzz-seeds.py DIR    (one folder per target under DIR, rewritten each time)
"""
import os
import shutil
import struct
import sys


def cp932(text):
    return text.encode("cp932")


def update_file_seeds():
    # The first byte chooses the piece size the loader reads with (0xFF: the whole file).
    files = {
        "plain": "単価アップデートファイル\r\n"
        "1-01-0001-0001-0001,異形棒鋼 D13,JIS G3112 SD295,67000,71000,3,110,27\r\n"
        "1-01-0001-0001-0002,異形棒鋼 D16,JIS G3112 SD295,68000,72000,3,110,27\r\n",
        "unordered-duplicates": "3-02-0010-0001-0001,b,,1,2,3,4,5\n"
        "3-02-0001-0001-0001,a,,1,2,3,4,5\n"
        "3-02-0010-0001-0001,b2,,9,9,9,9,9\n",
        "ignored-bytes": "2-05-0044-0007-0001,old,,1\n"
        "2-05-0300-0007-0001,variant,,2\n"
        "1-05-0044-0263-0001,other,,3\n"
        "2-05-0044-0007-0001,new,,4\n",
        "quotes-and-numbers": '1-01-0002-0003-0004,"A,B",""note"",-5,12abc,300,70000, +7\r\n'
        "1-01-0002-0003-0005,123456789012345678901234567890X,,4294967297,,,,\r\n",
        "line-ends": "\r\n\r\n1-01-0001-0001-0001,a\r\r\n\n1-01-0001-0001-0002,b\n\r"
        "1-01-0001-0001-0003,c",
        "long-line": "1-01-0001-0001-0001," + "x" * 280 + "\r\n1-01-0001-0001-0002,y\r\n",
        "empty": "",
    }
    seeds = {}
    for name, text in files.items():
        for prefix in (0x00, 0x07, 0xFF):
            seeds["%s-%02x" % (name, prefix)] = bytes([prefix]) + cp932(text)
    return seeds


def url_list_seeds():
    files = {
        "plain": "月次,http://update.example.jp/monthly.costupdate\r\n"
        "四半期,http://update.example.jp/q.costupdate\r\n",
        "quoting": "a,b,c\r\n'x,y',z\r\nab'c,d'e,u\r\n'a\"b',u\r\n'a''b',u\r\n"
        "a\r\na,\r\na,''\r\na,,b\r\n,b\r\n a , b \r\n",
        "line-ends": "a,1\r\r\nb,2\nc\r,3\r\n\n\r\n,\nd,4\x1ae,5\r\n",
        "long-fields": "n" * 300 + "," + "u" * 300 + "\r\n",
    }
    return {name: cp932(text) for name, text in files.items()}


def cache_path_seeds():
    # The program folder's length, the folder, then the address.
    dirs = [b"C:\\Program Files\\CostUpdate\\", cp932("C:\\ソフト\\表\\"), b"D:\\" + b"p" * 240 + b"\\"]
    urls = [
        b"http://update.example.jp/a/b.dat",
        b"https://h:8080/x?y=1&z=2",
        b"ftp://H/x",
        b"http://h/..\\..\\x",
        b"http://h\\con.dat",
        b"http://h/\\AUX .txt",
        cp932("http://h/表con.dat"),
        cp932("http://ソ..\\x"),
        b"http://h/" + b"u" * 300,
    ]
    seeds = {}
    for i, d in enumerate(dirs):
        for j, u in enumerate(urls):
            seeds["dir%d-url%d" % (i, j)] = bytes([len(d)]) + d + u
    return seeds


def download_seeds():
    # Read by Parse in http_download_task_fuzz.cc: flags, [status], [Last-Modified], [cap],
    # destroy call, address length, [transport reason, where a redirect led], length mode,
    # delta, [raw length], then read steps: n*4 data of n+1 bytes, 1 data of a 16-bit size
    # + 1, 2 end of body, 3 failed read.
    def script(flags=0, status=None, last_modified=None, cap=None, destroy=0, url=20,
               reason=None, where=0, length_mode=0, delta=0, raw_length=None, ops=b""):
        flags |= (4 if status is not None else 0) | (8 if last_modified else 0)
        flags |= 0x40 if cap is not None else 0
        flags |= 0x80 if reason is not None else 0
        out = bytes([flags])
        out += struct.pack("<H", status) if status is not None else b""
        out += struct.pack("<8H", *last_modified) if last_modified else b""
        out += struct.pack("<H", cap) if cap is not None else b""
        out += bytes([destroy]) + struct.pack("<H", url)
        out += bytes([reason - 1, where]) if reason is not None else b""
        out += bytes([length_mode, delta])
        out += struct.pack("<Q", raw_length) if raw_length is not None else b""
        return out + ops

    big = b"\x01" + struct.pack("<H", 9999)
    lm = (2026, 3, 1, 9, 7, 5, 30, 999)
    return {
        "complete": script(ops=b"\x10\x20" + big + b"\x02"),
        "complete-length": script(length_mode=1, last_modified=lm, ops=b"\x10" + big + b"\x02"),
        "short-body": script(length_mode=5, delta=3, ops=b"\x10\x02"),
        "longer-than-announced": script(length_mode=3, delta=2, ops=b"\x40\x02"),
        "announced-at-cap": script(length_mode=7, delta=1, ops=b"\x10\x02"),
        "announced-over-cap": script(length_mode=7, delta=2, ops=b"\x02"),
        "announced-huge": script(length_mode=13, raw_length=1 << 40, ops=b"\x02"),
        "small-cap": script(cap=5000, ops=big + b"\x02"),
        "cap-announced": script(cap=100, length_mode=9, delta=2, ops=b"\x40\x02"),
        "status-404": script(status=404),
        "status-unknown": script(flags=2),
        "open-fails": script(flags=1),
        "read-fails": script(ops=b"\x10\x03"),
        "destroy-before-start": script(destroy=0xFF),
        "destroy-in-open": script(destroy=0xC0, ops=b"\x10\x02"),
        "destroy-in-read-deaf": script(flags=0x10, destroy=0xC2, ops=b"\x10\x10\x10\x02"),
        "start-again": script(flags=0x20, ops=b"\x10\x02"),
        "url-511": script(url=511),
        "url-512": script(url=512),
        "empty-body": script(ops=b"\x02"),
        # Reasons as DownloadFailure numbers; where: 1 http, 2 https, +4 an https address.
        "open-certificate-expired": script(flags=1, reason=9),
        "read-timed-out": script(reason=13, ops=b"\x10\x03"),
        "https-to-http": script(reason=1, where=5, ops=b"\x10\x02"),
        "https-to-https": script(reason=1, where=6, ops=b"\x10\x02"),
        "http-to-https": script(reason=1, where=2, ops=b"\x10\x02"),
    }


def is_outdated_seeds():
    def t(y, mo, d, h, mi, s, dow=0, ms=0):
        return struct.pack("<8H", y, mo, dow, d, h, mi, s, ms)

    file_time = t(2026, 12, 8, 10, 30, 15, 2, 999)
    return {
        "same-second": t(2026, 12, 8, 10, 30, 15, 5, 0) + file_time + t(2026, 12, 8, 10, 30, 14) + b"\0",
        "year-against-month": t(2027, 1, 1, 0, 0, 0) + file_time + t(0, 0, 0, 0, 0, 0) + b"\0",
        "invalid-fields": t(2026, 13, 40, 25, 61, 61) + t(65535, 0, 0, 0, 0, 0) + file_time + b"\0",
        "no-file": file_time * 3 + b"\1",
    }


def undo_file_seeds():
    """Undo files without their checksum and end mark (the target adds them to inputs whose
    first byte is odd, so each seed starts with "CU", 0x43): a header, then groups."""
    def record(code, name, price):
        item = struct.pack("<Q", code) + name.ljust(31, b"\0")[:31] + struct.pack("<BIIHH", 1, price, price, 110, 1)
        return item + b"\0" * 32

    def header(groups, items):
        return b"CUUNDO01" + b"C:\\CU\\".ljust(256, b"\0") + struct.pack("<8H", 2026, 12, 3, 9, 12, 30, 0, 5) + struct.pack("<II", groups, items)

    code = (1 << 56) | (1 << 48) | (1 << 32) | (1 << 16) | 1
    one = struct.pack("<QI", code, 1) + record(code, b"a1", 100) + struct.pack("<III", 2, 2, 0) + struct.pack("<I", 1) + record(code, b"a1 new", 110) + record(code + 1, b"a2", 5)
    empty = struct.pack("<QI", code, 0) + struct.pack("<II", 1, 1) + struct.pack("<I", 0) + record(code, b"new", 1)
    return {
        "one-group": header(1, 2) + one,
        "two-groups": header(2, 3) + one + empty,
        "no-groups": header(0, 0),
        "position-past-count": header(1, 1) + struct.pack("<QI", code, 0) + struct.pack("<III", 1, 1, 5) + record(code, b"x", 1),
    }


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    root = sys.argv[1]
    targets = {
        "update_file_fuzz": update_file_seeds(),
        "url_list_fuzz": url_list_seeds(),
        "cache_path_fuzz": cache_path_seeds(),
        "http_download_task_fuzz": download_seeds(),
        "is_outdated_fuzz": is_outdated_seeds(),
        "undo_file_fuzz": undo_file_seeds(),
    }
    for target, seeds in targets.items():
        folder = os.path.join(root, target)
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        for name, data in seeds.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
