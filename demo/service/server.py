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


# Entries carry a fixed date so every request gets the same bytes (a resumed
# download must splice into the same file).
PACKAGE_DATE = (2026, 1, 1, 0, 0, 0)


def make_package(package_sn, name):
    """A small zip with a readme that the boot entry opens."""
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        for entry, text in (("readme.txt", "%s (%s)\r\nInstalled by the demo service.\r\n" % (name, package_sn)),
                            ("bin/version.txt", "1.0.0\r\n")):
            z.writestr(zipfile.ZipInfo(entry, PACKAGE_DATE), text)
    return out.getvalue()


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


def order_data(base, package_sn, state, compress_link):
    package = next((p for p in PACKAGES if p["package_sn"] == package_sn), PACKAGES[0])
    data = {
        "state": state,
        "name": package["name"],
        "desc": "Package %s of the demo product" % package["package_sn"],
        "download_url": base + "/pkg/%s.zip" % package["package_sn"],
        "guide_link": base + "/pages/guide.html",
        "official_link": base + "/pages/official.html",
        "boot": [{"name": package["name"], "path": "readme.txt"}],
    }
    if compress_link:
        data["compress_link"] = compress_link
    return data


# ---------------------------------------------------------------------------
# Package faults for the download tests: a tag's configuration may pad the
# package, answer it with an error status, pace its ranged answers or cut
# them at a fixed offset. The answers stay the same bytes for the same
# configuration, so a resumed download splices into the same file.

PADDED_PACKAGES = {}   # (package bytes, pad) -> padded package bytes
PADDED_LOCK = threading.Lock()
PACE_STEP = 0.1        # seconds between paced pieces


def padded_package(data, pad):
    """The package with a stored entry of `pad` fixed pseudo-random bytes."""
    key = (data, pad)
    with PADDED_LOCK:
        if key not in PADDED_PACKAGES:
            out = io.BytesIO(data)
            with zipfile.ZipFile(out, "a", zipfile.ZIP_STORED) as z:
                z.writestr(zipfile.ZipInfo("data/pad.bin", PACKAGE_DATE), random.Random(pad).randbytes(pad))
            PADDED_PACKAGES[key] = out.getvalue()
        return PADDED_PACKAGES[key]


def serve_package(handler, data):
    """Answers a package request under the tag's package faults."""
    cfg = STATE.tag_config(handler.tag)
    pad = int(cfg.get("pkg_pad", 0))
    if pad > 0:
        data = padded_package(data, pad)
    status = int(cfg.get("pkg_status", 0))
    if status:
        return handler.send(status, b"", "text/plain")
    rate = int(cfg.get("pkg_rate", 0))
    cut_at = int(cfg.get("pkg_cut_at", 0))
    span = parse_single_range(handler.headers.get("Range", ""), len(data))
    if span is None or not (rate > 0 or cut_at > 0):
        return handler.send_ranged(data, "application/zip")
    start, end = span
    handler.send_response(206)
    handler.send_header("Content-Type", "application/zip")
    handler.send_header("Content-Length", str(end + 1 - start))
    handler.send_header("Accept-Ranges", "bytes")
    handler.send_header("Content-Range", "bytes %d-%d/%d" % (start, end, len(data)))
    handler.end_headers()
    # A cut ends every answer that covers the offset right there, whatever
    # was asked: a resumed request from the offset on is answered whole.
    stop = min(end + 1, cut_at) if start < cut_at else end + 1
    piece = max(1, int(rate * PACE_STEP)) if rate > 0 else len(data)
    pos = start
    while pos < stop:
        chunk = data[pos:min(stop, pos + piece)]
        handler.wfile.write(chunk)
        handler.wfile.flush()
        pos += len(chunk)
        if rate > 0 and pos < stop:
            time.sleep(PACE_STEP)
    if stop <= end:
        raise Drop()


def parse_single_range(header, size):
    """(first, last) of a "bytes=a-b" or "bytes=a-" header inside size; else None."""
    if not header.startswith("bytes=") or "," in header:
        return None
    first, _, last = header[6:].partition("-")
    try:
        start = int(first)
        end = min(int(last), size - 1) if last else size - 1
    except ValueError:
        return None
    return (start, end) if 0 <= start <= end else None


# ---------------------------------------------------------------------------
# Shared state: per-tag configuration, order counters, the log.


class State:
    def __init__(self, log_path):
        self.lock = threading.Lock()
        self.config = {}        # tag -> dict
        self.order_calls = {}   # (tag, package_sn) -> count
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

    def next_order_call(self, tag, package_sn):
        with self.lock:
            n = self.order_calls.get((tag, package_sn), 0)
            self.order_calls[(tag, package_sn)] = n + 1
            return n

    def record(self, entry):
        with self.lock:
            self.seq += 1
            entry["seq"] = self.seq
            line = json.dumps(entry, ensure_ascii=False)
            with open(self.log_path, "a", encoding="utf-8") as f:
                f.write(line + "\n")


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
        STATE.record({
            "time": round(time.time(), 3),
            "tag": self.tag,
            "method": self.command,
            "path": path,
            "target": self.path,
            "range": self.headers.get("Range", ""),
            "content_type": self.headers.get("Content-Type", ""),
            "user_agent": self.headers.get("User-Agent", ""),
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
        if path.startswith("/pkg/") and path.endswith(".zip"):
            sn = path[5:-4]
            package = next((p for p in PACKAGES if p["package_sn"] == sn), None)
            if package:
                return serve_package(self, make_package(sn, package["name"]))
        if path == "/res/Compress.dll" and self.server.compress_dll:
            with open(self.server.compress_dll, "rb") as f:
                return self.send_ranged(f.read(), "application/octet-stream")
        self.send(404, b'{"code":404,"data":null}')

    def send_ranged(self, data, ctype):
        rng = self.headers.get("Range", "")
        if rng.startswith("bytes=") and "," not in rng:
            first, _, last = rng[6:].partition("-")
            try:
                start = int(first) if first else max(0, len(data) - int(last))
                end = int(last) if (first and last) else len(data) - 1
            except ValueError:
                return self.send(200, data, ctype, {"Accept-Ranges": "bytes"})
            if start >= len(data):
                return self.send(416, b"", ctype, {"Content-Range": "bytes */%d" % len(data)})
            end = min(end, len(data) - 1)
            return self.send(206, data[start:end + 1], ctype,
                             {"Accept-Ranges": "bytes", "Content-Range": "bytes %d-%d/%d" % (start, end, len(data))})
        self.send(200, data, ctype, {"Accept-Ranges": "bytes"})

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
            if not isinstance(cfg, dict) or cfg.get("mode", "normal") not in MODES:
                return self.send(400, b'{"error":"unknown configuration"}')
            STATE.set_config(tag, cfg)
            return self.send_json({"tag": tag, "config": cfg})
        self.send(404, b"{}")


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
    ap.add_argument("--lifetime", type=float, default=0, help="stop after this many seconds (0: never)")
    ap.add_argument("--idle", type=float, default=0, help="stop after this many idle seconds (0: never)")
    args = ap.parse_args()

    log_path = os.path.abspath(args.log)
    open(log_path, "a").close()
    STATE = State(log_path)
    server = Server((args.host, args.port), Handler)
    server.pictures = make_pictures()
    server.compress_dll = args.compress_dll
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
