#!/usr/bin/env python3
"""Demo web service for the installer (Python standard library only).

Answers the installer's service calls on 127.0.0.1 with one demo product
(two packages, an exit advertisement), serves the product's pictures and
packages, and records every request as one JSON line in a log file.

Every path may start with "/t/<tag>": the request is then logged under that
tag and answered by the tag's configuration (POST /_config/<tag>), so tests
running side by side each get their own scenario and their own log lines.
See README.md for the answers and the configuration keys.
"""

import argparse
import email.utils
import hashlib
import io
import json
import os
import random
import socket
import socketserver
import struct
import sys
import threading
import time
import traceback
import zipfile
import zlib
from http.server import BaseHTTPRequestHandler

# ---------------------------------------------------------------------------
# Pictures: small PNGs drawn at start-up (no files are read).


def png_bytes(width, height, pixel):
    """An 8-bit RGBA PNG whose pixel (x, y) is pixel(x, y) -> (r, g, b, a)."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)  # filter type None
        for x in range(width):
            rows.extend(bytes(pixel(x, y)))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b""))


def make_pictures():
    def icon(x, y):
        inside = (x - 31.5) ** 2 + (y - 31.5) ** 2 <= 30 ** 2
        return (40, 120, 220, 255) if inside else (0, 0, 0, 0)

    def banner(x, y):
        return (30 + x * 200 // 600, 60 + y * 150 // 200, 160, 255)

    def advert(x, y):
        stripe = ((x + y) // 40) % 2
        return (230, 80, 60, 255) if stripe else (250, 200, 60, 255)

    return {
        "icon.png": png_bytes(64, 64, icon),
        "banner.png": png_bytes(600, 200, banner),
        "ad.png": png_bytes(740, 580, advert),
    }


# ---------------------------------------------------------------------------
# Packages: the demo product's zip, the program package, the engine DLL, and
# the per-tag faults of their transfer (package_kind, package_version,
# package_drop_after, package_rate, compress_kind, and the pkg_* keys of the
# download tests; see README.md).

# Entries carry a fixed date so every request gets the same bytes (a resumed
# download must splice into the same file).
PACKAGE_DATE = (2026, 1, 1, 0, 0, 0)
# Last-Modified of version 0; each later version is one day newer.
PACKAGE_EPOCH = 1767225600  # 2026-01-01 00:00:00 UTC
DAY_S = 86400
# The product program inside the zip, the boot entry that starts it and the
# name of its desktop shortcut.
PRODUCT_EXE = "CorvelNotes.exe"
SHORTCUT_NAME = "Corvel Notes"
# The package served as a program (not a zip): the product itself.
PROGRAM_PACKAGE_SN = "CVL2026-SETUP"
# Default size of the data file that makes the download and the extraction
# long enough for their progress to show (--package-size changes it).
DEFAULT_DATA_BYTES = 4 * 1024 * 1024
# Each package_version adds this many bytes, so the size changes too.
VERSION_EXTRA_BYTES = 4096
# Bytes handed to the socket at once while streaming a body.
CHUNK_BYTES = 64 * 1024
# A throttled body is sent in about this many pieces per second.
RATE_STEPS_PER_S = 20
PACKAGE_KINDS = ("zip", "corrupt", "truncated", "zipslip")
COMPRESS_KINDS = ("normal", "missing", "corrupt", "truncated")
# Entries of the zip-slip package that point outside the folder they are
# extracted into.
ZIPSLIP_ENTRIES = ("..\\corvel-zipslip-1.txt", "../corvel-zipslip-2.txt", "/corvel-zipslip-3.txt",
                   "C:\\corvel-zipslip-4.txt", "sub/../../corvel-zipslip-5.txt")

README_TEXT = ("Corvel Notes %s\r\n演示产品，由演示服务安装。\r\n"
               "A small demo product installed by the demo service.\r\n")


# randbytes makes one integer of all the bits: pieces keep it small.
RANDOM_PIECE_BYTES = 1024 * 1024


def pseudo_random(size, seed):
    """size bytes that look random and are the same for the same seed."""
    r = random.Random(seed)
    return b"".join(r.randbytes(min(RANDOM_PIECE_BYTES, size - at)) for at in range(0, size, RANDOM_PIECE_BYTES))


def zip_of(entries, compresslevel=1):
    """A zip of (name, bytes[, compress type]) entries, deflated unless
    told otherwise, with the fixed entry date. Non-ASCII names are stored
    as UTF-8 (zipfile sets the flag)."""
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED, compresslevel=compresslevel) as z:
        for name, data, *kind in entries:
            info = zipfile.ZipInfo(name, PACKAGE_DATE)
            info.compress_type = kind[0] if kind else zipfile.ZIP_DEFLATED
            z.writestr(info, data)
    return out.getvalue()


class Blob:
    """Bytes served with their validators."""

    def __init__(self, data, ctype, version=0):
        self.data = data
        self.ctype = ctype
        digest = hashlib.sha1(data).hexdigest()[:16]
        self.etag = '"%s"' % digest
        self.last_modified = email.utils.formatdate(PACKAGE_EPOCH + version * DAY_S, usegmt=True)


class Packages:
    """Builds each package once per (serial, version, kind) and keeps it."""

    def __init__(self, product_exe, data_bytes, compress_dll):
        self.lock = threading.Lock()
        self.cache = {}
        self.data_bytes = data_bytes
        self.compress_dll = compress_dll
        if product_exe and os.path.isfile(product_exe):
            with open(product_exe, "rb") as f:
                self.exe = f.read()
        else:  # a stand-in that is no program: the service still answers without a build
            if product_exe:
                print("no demo product at %s: the packages carry a stand-in" % product_exe, flush=True)
            self.exe = b"MZ stand-in: start the service with --product-exe for the real demo product\r\n"

    def get(self, sn, version=0, kind="zip", pad=0):
        key = (sn, version, kind, pad)
        with self.lock:
            if key not in self.cache:
                self.cache[key] = self.build(sn, version, kind, pad)
            return self.cache[key]

    def build(self, sn, version, kind, pad):
        if sn == PROGRAM_PACKAGE_SN:
            return Blob(self.exe, "application/octet-stream", version)
        if kind == "zipslip":
            return Blob(zipslip_zip(), "application/zip", version)
        data = self.product_zip(sn, version, pad)
        if kind == "corrupt":
            data = damaged(data)
        elif kind == "truncated":
            data = data[:len(data) * 3 // 5]
        return Blob(data, "application/zip", version)

    def product_zip(self, sn, version, pad):
        name = next((p["name"] for p in PACKAGES if p["package_sn"] == sn), sn)
        size = self.data_bytes + version * VERSION_EXTRA_BYTES
        padding = [("data/pad.bin", pseudo_random(pad, "pad/%d" % pad), zipfile.ZIP_STORED)] if pad > 0 else []
        return zip_of([
            (PRODUCT_EXE, self.exe),
            ("说明.txt", (README_TEXT % name).encode("utf-8")),
            ("readme.txt", ("%s (%s)\r\nInstalled by the demo service.\r\n" % (name, sn)).encode("utf-8")),
            ("bin/version.txt", ("1.0.%d\r\n" % version).encode("ascii")),
        ] + padding + [
            ("数据/资料.bin", pseudo_random(size, "%s/%d" % (sn, version))),
        ])

    def engine(self, kind):
        """The engine DLL as compress_kind serves it; None: not found."""
        if not self.compress_dll or kind == "missing":
            return None
        with self.lock:
            if self.compress_dll not in self.cache:
                with open(self.compress_dll, "rb") as f:
                    self.cache[self.compress_dll] = f.read()
            data = self.cache[self.compress_dll]
        if kind == "corrupt":
            data = b"MZ" + pseudo_random(len(data) - 2, "engine")
        return Blob(data, "application/octet-stream")


def zipslip_zip():
    """One entry inside the folder it is extracted into, the others aiming
    outside it."""
    inside = [("readme.txt", b"inside the installation directory\r\n")]
    outside = [(name, b"outside the installation directory\r\n") for name in ZIPSLIP_ENTRIES]
    return zip_of(inside + outside)


def damaged(data):
    """The zip with a run of bytes in the middle of its data overwritten:
    the directory still reads, the entries' data does not check."""
    middle = len(data) // 2
    span = min(4096, len(data) // 8)
    return data[:middle] + bytes(b ^ 0x5A for b in data[middle:middle + span]) + data[middle + span:]


class Faults:
    """How a tag's configuration shapes one package answer: its pace and
    where its connection is cut. Two families of keys: package_rate and
    package_drop_after act on every answer; pkg_rate and pkg_cut_at (the
    download tests') only on ranged ones."""

    def __init__(self, cfg, tag):
        self.cfg = cfg
        self.tag = tag
        drop = cfg.get("package_drop_after")
        self.drop = {"bytes": drop} if isinstance(drop, int) else drop

    def rate(self, ranged):
        """Bytes per second of the answer, or None for full speed."""
        if self.cfg.get("package_rate"):
            return self.cfg["package_rate"]
        return self.cfg.get("pkg_rate") or None if ranged else None

    def cut(self, start, length, ranged):
        """Body bytes sent before the connection is closed, or None."""
        cut_at = self.cfg.get("pkg_cut_at", 0)
        if ranged and cut_at and start < cut_at < start + length:
            return cut_at - start
        if self.drop is not None and self.drop["bytes"] < length and STATE.take_drop(self.tag, self.drop.get("times")):
            return self.drop["bytes"]
        return None


def requested_range(header, size):
    """(first, last) of a single "bytes=" range, last clipped to size; None
    without a usable one. first may lie beyond the data (unsatisfiable)."""
    if not header.startswith("bytes=") or "," in header:
        return None
    first, _, last = header[6:].partition("-")
    try:
        start = int(first) if first else max(0, size - int(last))
        end = int(last) if (first and last) else size - 1
    except ValueError:
        return None
    return start, min(end, size - 1)


def package_url(base, sn):
    return base + "/pkg/%s.%s" % (sn, "exe" if sn == PROGRAM_PACKAGE_SN else "zip")


PAGES = {
    "service.html": "Customer service",
    "privacy.html": "Privacy policy",
    "agreement.html": "User agreement",
    "guide.html": "Installation guide",
    "official.html": "Official page",
    "ad.html": "Advertised page",
}

# ---------------------------------------------------------------------------
# The demo product and the answers built from it.

PRODUCT_SN = "CVL2026"
PACKAGES = [
    {"package_sn": "CVL2026-STD", "name": "Corvel Notes"},
    {"package_sn": "CVL2026-PRO", "name": "Corvel Notes 专业版"},
]


def base_url(handler):
    return "http://%s:%d%s" % (handler.server.server_address[0], handler.server.server_address[1],
                               handler.tag_prefix)


def settings_data(base):
    return {
        "customer_service_link": base + "/pages/service.html",
        "privacy_protocol_link": base + "/pages/privacy.html",
        "user_agreement_link": base + "/pages/agreement.html",
    }


def product_data(base, suicide):
    product = {
        "product_sn": PRODUCT_SN,
        "name": "Corvel Notes",
        "desc": "A small note-taking program, installed by the demo service. 演示产品",
        "icon": base + "/res/icon.png",
        "banner": base + "/res/banner.png",
        "pop_ad": {"enable": True, "img": base + "/res/ad.png", "link": base + "/pages/ad.html"},
        "packages": PACKAGES,
    }
    if suicide:
        product["suicide"] = True
    return product


# Known to the order call only: the installer reaches it when a test's
# products answer lists it.
PROGRAM_PACKAGE = {"package_sn": PROGRAM_PACKAGE_SN, "name": "Corvel Notes 安装程序"}


def order_data(base, package_sn, state, compress_link):
    package = next((p for p in PACKAGES + [PROGRAM_PACKAGE] if p["package_sn"] == package_sn), PACKAGES[0])
    sn = package["package_sn"]
    boot = [] if sn == PROGRAM_PACKAGE_SN else [{"name": package["name"], "path": PRODUCT_EXE}]
    data = {
        "state": state,
        "name": package["name"],
        "desc": "Package %s of the demo product" % sn,
        "download_url": package_url(base, sn),
        "guide_link": base + "/pages/guide.html",
        "official_link": base + "/pages/official.html",
        "boot": boot,
    }
    if compress_link:
        data["compress_link"] = compress_link
    return data


# ---------------------------------------------------------------------------
# Shared state: per-tag configuration, order counters, the log.


class State:
    def __init__(self, log_path):
        self.lock = threading.Lock()
        self.config = {}        # tag -> dict
        self.order_calls = {}   # (tag, package_sn) -> count
        self.drops = {}         # tag -> package answers cut short so far
        self.transfers = {}     # tag -> bodies streamed, with the bytes that went out
        self.seq = 0
        self.log_path = log_path
        self.last_activity = time.time()
        self.errors = 0

    def tag_config(self, tag):
        with self.lock:
            return dict(self.config.get(tag, {}))

    def set_config(self, tag, cfg):
        with self.lock:
            self.config[tag] = cfg
            for key in [k for k in self.order_calls if k[0] == tag]:
                del self.order_calls[key]
            self.drops.pop(tag, None)

    def next_order_call(self, tag, package_sn):
        with self.lock:
            n = self.order_calls.get((tag, package_sn), 0)
            self.order_calls[(tag, package_sn)] = n + 1
            return n

    def take_drop(self, tag, times):
        """True when this package answer of the tag is to be cut short:
        always when times is None, else only for the first `times` ones."""
        with self.lock:
            n = self.drops.get(tag, 0)
            if times is not None and n >= times:
                return False
            self.drops[tag] = n + 1
            return True

    def record_transfer(self, tag, transfer):
        with self.lock:
            self.transfers.setdefault(tag, []).append(transfer)

    def tag_transfers(self, tag):
        with self.lock:
            return list(self.transfers.get(tag, []))

    def record(self, entry):
        with self.lock:
            self.seq += 1
            entry["seq"] = self.seq
            line = json.dumps(entry, ensure_ascii=False)
            with open(self.log_path, "a", encoding="utf-8") as f:
                f.write(line + "\n")
            return self.seq


STATE = None

MODES = ("normal", "garbage", "empty", "drop", "suicide")
ENDPOINTS = {
    "/api/settings/info": "settings",
    "/api/resource/products": "products",
    "/api/common/pushed": "pushed",
    "/api/resource/order": "order",
}


class Drop(Exception):
    """Close the connection without an answer."""


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "CorvelDemo/1.0"
    timeout = 120

    def log_message(self, fmt, *args):  # quiet: the JSON log is the record
        pass

    # -- plumbing ----------------------------------------------------------

    def split_tag(self):
        path = self.path.split("?", 1)[0]
        self.tag = ""
        self.tag_prefix = ""
        if path.startswith("/t/"):
            rest = path[3:]
            tag, sep, tail = rest.partition("/")
            self.tag = tag
            self.tag_prefix = "/t/" + tag
            path = "/" + tail if sep else "/"
        self.untagged_path = path
        return path

    def read_body(self):
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length) if length > 0 else b""

    def send(self, status, body, ctype="application/json; charset=utf-8", extra=None):
        self.send_response(status)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        for k, v in (extra or {}).items():
            self.send_header(k, v)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def send_json(self, value, status=200):
        self.send(status, json.dumps(value, ensure_ascii=False).encode("utf-8"))

    def log_request_entry(self, path, raw_body):
        text = raw_body.decode("utf-8", errors="replace")
        try:
            parsed = json.loads(text) if text else None
        except ValueError:
            parsed = None
        self.request_seq = STATE.record({
            "time": round(time.time(), 3),
            "tag": self.tag,
            "method": self.command,
            "path": path,
            "target": self.path,
            "content_type": self.headers.get("Content-Type", ""),
            "user_agent": self.headers.get("User-Agent", ""),
            "range": self.headers.get("Range", ""),
            "if_range": self.headers.get("If-Range", ""),
            "body_text": text,
            "body": parsed,
        })

    def handle_one_request(self):
        STATE.last_activity = time.time()
        try:
            super().handle_one_request()
        except Drop:
            self.close_connection = True
            try:
                self.connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
        except (ConnectionError, socket.timeout):
            self.close_connection = True

    def guarded(self, fn):
        try:
            fn()
        except (Drop, ConnectionError, socket.timeout):
            raise
        except Exception:  # a fault of the service itself: visible, never a staged answer
            STATE.errors += 1
            sys.stderr.write("service error in %s %s\n%s" % (self.command, self.path, traceback.format_exc()))
            sys.stderr.flush()
            self.close_connection = True
            try:
                self.send(500, b'{"code":500,"data":null}')
            except OSError:
                pass

    # -- verbs -------------------------------------------------------------

    def do_GET(self):
        self.guarded(self.get)

    def do_HEAD(self):
        self.guarded(self.get)

    def do_POST(self):
        self.guarded(self.post)

    def get(self):
        path = self.split_tag()
        if path.startswith("/_"):
            return self.control_get(path)
        self.log_request_entry(path, b"")
        if path.startswith("/res/") and path[5:] in self.server.pictures:
            return self.send_ranged(self.server.pictures[path[5:]], "image/png")
        if path.startswith("/pages/") and path[7:] in PAGES:
            title = PAGES[path[7:]]
            page = "<!doctype html><meta charset=utf-8><title>%s</title><h1>%s</h1>" % (title, title)
            return self.send(200, page.encode("utf-8"), "text/html; charset=utf-8")
        if path.startswith("/pkg/"):
            return self.get_package(path[5:])
        if path == "/res/Compress.dll":
            return self.get_engine()
        self.send(404, b'{"code":404,"data":null}')

    # -- packages ------------------------------------------------------------

    def get_package(self, file_name):
        cfg = STATE.tag_config(self.tag)
        sn = file_name.rpartition(".")[0]
        known = [p["package_sn"] for p in PACKAGES] + [PROGRAM_PACKAGE_SN]
        if sn not in known or package_url("", sn) != "/pkg/" + file_name:
            return self.send(404, b'{"code":404,"data":null}')
        if cfg.get("pkg_status"):
            return self.send(cfg["pkg_status"], b"", "text/plain")
        blob = self.server.packages.get(sn, cfg.get("package_version", 0), cfg.get("package_kind", "zip"),
                                        cfg.get("pkg_pad", 0))
        self.send_ranged(blob.data, blob.ctype, blob, Faults(cfg, self.tag) if self.command == "GET" else None)

    def get_engine(self):
        kind = STATE.tag_config(self.tag).get("compress_kind", "normal")
        blob = self.server.packages.engine(kind)
        if blob is None:
            return self.send(404, b'{"code":404,"data":null}')
        if kind == "truncated":
            # The whole size announced, half of it sent, then the connection closed.
            return self.send_body(200, blob.data, blob.ctype, {}, cut=len(blob.data) // 2)
        self.send_ranged(blob.data, blob.ctype, blob)

    def send_ranged(self, data, ctype, blob=None, faults=None):
        """data whole (200) or the single range asked for (206). With a blob
        its validators go out, and an If-Range that names another version
        gets the whole new data. faults pace and cut the answer."""
        extra = {"Accept-Ranges": "bytes"}
        if blob is not None:
            extra.update({"ETag": blob.etag, "Last-Modified": blob.last_modified})
        if_range = self.headers.get("If-Range")
        same_version = blob is None or not if_range or if_range in (blob.etag, blob.last_modified)
        span = requested_range(self.headers.get("Range", ""), len(data)) if same_version else None
        status, start, body = 200, 0, memoryview(data)
        if span is not None:
            start, end = span
            if start >= len(data):
                return self.send(416, b"", ctype, {"Content-Range": "bytes */%d" % len(data)})
            extra["Content-Range"] = "bytes %d-%d/%d" % (start, end, len(data))
            status, body = 206, body[start:end + 1]
        if faults is None:
            return self.send_body(status, body, ctype, extra)
        ranged = status == 206
        self.send_body(status, body, ctype, extra, rate=faults.rate(ranged), cut=faults.cut(start, len(body), ranged))

    def send_body(self, status, body, ctype, extra, rate=None, cut=None):
        """Streams body in pieces, at most rate bytes/s when rate is set;
        with cut, raises Drop after that many body bytes. How many bytes
        went out is kept as the tag's transfer (GET /_transfers/<tag>)."""
        self.send_response(status)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        for k, v in extra.items():
            self.send_header(k, v)
        self.end_headers()
        if self.command == "HEAD":
            return
        limit = len(body) if cut is None else cut
        step = CHUNK_BYTES if not rate else max(1, min(CHUNK_BYTES, int(rate) // RATE_STEPS_PER_S))
        began = time.monotonic()
        sent = 0
        try:
            while sent < limit:
                piece = body[sent:min(limit, sent + step)]
                self.wfile.write(piece)
                sent += len(piece)
                if rate:
                    ahead = sent / float(rate) - (time.monotonic() - began)
                    if ahead > 0:
                        time.sleep(ahead)
            if cut is not None:
                self.wfile.flush()
                raise Drop()
        finally:
            self.record_transfer(status, extra, len(body), sent)

    def record_transfer(self, status, extra, length, sent):
        """One streamed body: the request it answers (its log seq), the
        first byte's offset in the file and the body bytes handed to the
        socket, whether the answer ended whole or was cut (by a fault or
        by the client going away)."""
        content_range = extra.get("Content-Range", "") if status == 206 else ""
        first = int(content_range.partition(" ")[2].partition("-")[0]) if content_range else 0
        STATE.record_transfer(self.tag, {
            "seq": getattr(self, "request_seq", 0),
            "path": self.untagged_path,
            "range": self.headers.get("Range", ""),
            "status": status,
            "first": first,
            "length": length,
            "sent": sent,
        })

    def post(self):
        path = self.split_tag()
        body = self.read_body()
        if path.startswith("/_"):
            return self.control_post(path, body)
        self.log_request_entry(path, body)
        endpoint = ENDPOINTS.get(path)
        if endpoint is None:
            return self.send(404, b'{"code":404,"data":null}')
        cfg = STATE.tag_config(self.tag)
        mode = cfg.get("mode", "normal")
        raw = cfg.get(endpoint)
        if raw is not None:      # an exact answer text chosen by the test
            return self.send(int(cfg.get("status", 200)), raw.encode("utf-8"))
        if mode == "drop":
            raise Drop()
        if mode == "garbage":
            return self.send(200, b"\x00<html>not json \xff\xfe", "text/html")
        if mode == "empty":
            return self.send(200, b"")
        self.answer(endpoint, body, cfg, mode)

    def answer(self, endpoint, body, cfg, mode):
        base = base_url(self)
        if endpoint == "settings":
            return self.send_json({"code": 0, "data": settings_data(base)})
        if endpoint == "products":
            return self.send_json({"code": 0, "data": [product_data(base, mode == "suicide")]})
        if endpoint == "pushed":
            return self.send_json({"code": 0, "data": {}})
        try:
            request = json.loads(body.decode("utf-8")) if body else {}
        except ValueError:
            request = {}
        sn = request.get("package_sn") if isinstance(request, dict) else None
        sn = sn if isinstance(sn, str) else PACKAGES[0]["package_sn"]
        states = cfg.get("order_states") or [2]
        n = STATE.next_order_call(self.tag, sn)
        state = states[min(n, len(states) - 1)]
        compress = self.server.compress_dll and base + "/res/Compress.dll"
        self.send_json({"code": 0, "data": order_data(base, sn, state, compress)})

    # -- control paths (never logged) --------------------------------------

    def control_get(self, path):
        if path == "/_info":
            return self.send_json(self.server.info)
        if path.startswith("/_transfers/"):
            return self.send_json(STATE.tag_transfers(path[len("/_transfers/"):]))
        if path == "/_shutdown":
            self.send_json({"stopping": True})
            threading.Thread(target=self.server.shutdown, daemon=True).start()
            return
        self.send(404, b"{}")

    def control_post(self, path, body):
        if path.startswith("/_config/"):
            tag = path[len("/_config/"):]
            try:
                cfg = json.loads(body.decode("utf-8")) if body else {}
            except ValueError:
                return self.send(400, b'{"error":"configuration is not JSON"}')
            if not isinstance(cfg, dict) or cfg.get("mode", "normal") not in MODES or not package_config_ok(cfg):
                return self.send(400, b'{"error":"unknown configuration"}')
            STATE.set_config(tag, cfg)
            return self.send_json({"tag": tag, "config": cfg})
        self.send(404, b"{}")


def package_config_ok(cfg):
    """The package keys of a tag's configuration have values we know."""
    def count(v, least):
        return isinstance(v, int) and not isinstance(v, bool) and v >= least

    drop = cfg.get("package_drop_after")
    if drop is not None and not count(drop, 0):
        if not isinstance(drop, dict) or not count(drop.get("bytes"), 0) or set(drop) - {"bytes", "times"}:
            return False
        if "times" in drop and not count(drop["times"], 1):
            return False
    return ((cfg.get("package_rate") is None or count(cfg["package_rate"], 1)) and
            all(count(cfg.get(key, 0), 0) for key in ("pkg_pad", "pkg_status", "pkg_rate", "pkg_cut_at")) and
            count(cfg.get("package_version", 0), 0) and
            cfg.get("package_kind", "zip") in PACKAGE_KINDS and
            cfg.get("compress_kind", "normal") in COMPRESS_KINDS)


class Server(socketserver.ThreadingMixIn, socketserver.TCPServer):
    daemon_threads = True
    allow_reuse_address = True


def win_path(path):
    """The Windows name of a Linux path as Wine's z: drive shows it."""
    return "Z:" + path.replace("/", "\\")


def main():
    global STATE
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("--host", default="127.0.0.1")
    ap.add_argument("--port", type=int, default=18080, help="0: any free port")
    ap.add_argument("--log", default="demo-service.jsonl", help="JSON-lines request log")
    ap.add_argument("--info", help="write host, port and log paths here once listening")
    ap.add_argument("--compress-dll", help="a 7-Zip engine DLL to offer as compress_link")
    ap.add_argument("--product-exe", help="the demo product program (DemoProduct.exe) the packages carry")
    ap.add_argument("--package-size", type=int, default=DEFAULT_DATA_BYTES,
                    help="bytes of the data file in each zip package")
    ap.add_argument("--lifetime", type=float, default=0, help="stop after this many seconds (0: never)")
    ap.add_argument("--idle", type=float, default=0, help="stop after this many idle seconds (0: never)")
    args = ap.parse_args()

    log_path = os.path.abspath(args.log)
    open(log_path, "a").close()
    STATE = State(log_path)
    server = Server((args.host, args.port), Handler)
    server.pictures = make_pictures()
    server.compress_dll = args.compress_dll
    server.packages = Packages(args.product_exe, args.package_size, args.compress_dll)
    host, port = server.server_address[:2]
    server.info = {
        "host": host, "port": port, "pid": os.getpid(),
        "base_url": "http://%s:%d" % (host, port),
        "log": log_path, "log_win": win_path(log_path),
    }
    if args.info:
        tmp = args.info + ".tmp"
        with open(tmp, "w") as f:
            json.dump(server.info, f)
        os.replace(tmp, args.info)
    print("demo service on http://%s:%d, log %s" % (host, port, log_path), flush=True)

    # The first package is built before anyone asks (a large one takes seconds).
    threading.Thread(target=server.packages.get, args=(PACKAGES[0]["package_sn"],), daemon=True).start()
    thread = threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.2}, daemon=True)
    thread.start()
    born = time.time()
    try:
        while thread.is_alive():
            time.sleep(0.5)
            now = time.time()
            if args.lifetime and now - born > args.lifetime:
                break
            if args.idle and now - STATE.last_activity > args.idle:
                break
    except KeyboardInterrupt:
        pass
    server.shutdown()
    server.server_close()
    return 1 if STATE.errors else 0


if __name__ == "__main__":
    sys.exit(main())
