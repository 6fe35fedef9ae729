#!/usr/bin/env python3
"""HTTP/1.1 test service for the network tests (standard library only).

Listens on 127.0.0.1 on ports the system picks: one plain HTTP port and, when
certificates are given, one TLS port per test certificate. Writes what it
listens on to a JSON file (--info) and stops by itself after an idle time,
after a hard lifetime, or on GET /_shutdown.

The behaviour of each answer is chosen by the request's query (see
README.md), so tests are stateless and can run in parallel; each request
carries a tag chosen by its test, and the log is kept per tag.
"""

import argparse
import hashlib
import json
import os
import select
import socket
import socketserver
import ssl
import struct
import sys
import threading
import time
import traceback
import urllib.parse
from http.server import BaseHTTPRequestHandler

# ---------------------------------------------------------------------------
# Generated bodies: byte i of the body for a seed comes from a table of
# random bytes; each 4096-byte block is a copy of the table at a start chosen
# by the block index, so any range can be produced without storage and a
# misplaced block or a shifted splice is detected.

MASK = (1 << 64) - 1
BLOCK = 4096
TABLE_SPAN = 1 << 20          # block starts are taken in [0, TABLE_SPAN)
TABLE_LEN = TABLE_SPAN + BLOCK


def splitmix64(x):
    z = (x + 0x9E3779B97F4A7C15) & MASK
    z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & MASK
    z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & MASK
    return z ^ (z >> 31)


_tables = {}
_tables_lock = threading.Lock()


def gen_table(seed):
    with _tables_lock:
        t = _tables.get(seed)
        if t is not None:
            return t
    base = (seed << 40) & MASK
    words = [splitmix64((base + k) & MASK) for k in range(TABLE_LEN // 8)]
    t = struct.pack("<%dQ" % len(words), *words)
    with _tables_lock:
        if len(_tables) > 16:
            _tables.clear()
        _tables[seed] = t
    return t


def block_start(seed, b):
    return splitmix64((((seed << 40) | (1 << 39)) + b) & MASK) % TABLE_SPAN


def gen_bytes(seed, offset, length):
    """Bytes [offset, offset + length) of the generated body for seed."""
    if length <= 0:
        return b""
    t = gen_table(seed)
    parts = []
    pos = offset
    end = offset + length
    while pos < end:
        b = pos // BLOCK
        within = pos - b * BLOCK
        n = min(BLOCK - within, end - pos)
        s = block_start(seed, b) + within
        parts.append(t[s:s + n])
        pos += n
    return b"".join(parts)


# ---------------------------------------------------------------------------
# Shared state: request log per tag, gates, per-tag overrides.

class State:
    def __init__(self):
        self.lock = threading.Condition()
        self.logs = {}          # tag -> list of entries
        self.gates = set()      # (tag, name) opened
        self.overrides = {}     # tag -> {key: value}
        self.seq = 0
        self.conn_seq = 0
        self.last_activity = time.monotonic()
        self.active = 0

    def next_conn(self):
        with self.lock:
            self.conn_seq += 1
            return self.conn_seq

    def log(self, tag, entry):
        """Appends entry to the tag's log; returns its 1-based index there."""
        with self.lock:
            self.seq += 1
            entry["seq"] = self.seq
            log = self.logs.setdefault(tag, [])
            log.append(entry)
            entry["tag_index"] = len(log)
            self.lock.notify_all()
            return len(log)

    def open_gate(self, tag, name):
        with self.lock:
            self.gates.add((tag, name))
            self.lock.notify_all()

    def wait_gate(self, tag, name, timeout):
        deadline = time.monotonic() + timeout
        with self.lock:
            while (tag, name) not in self.gates:
                left = deadline - time.monotonic()
                if left <= 0:
                    return False
                self.lock.wait(min(left, 1.0))
            return True

    def reset(self, tag):
        with self.lock:
            self.logs.pop(tag, None)
            self.overrides.pop(tag, None)
            self.gates = {g for g in self.gates if g[0] != tag}


STATE = State()
SHUTDOWN = threading.Event()
MAX_LOGGED_BODY = 1 << 20


NETWORK_ERRORS = (ConnectionError, BrokenPipeError, socket.timeout, ssl.SSLError, OSError)


def report_service_error(where):
    """Prints the exception being handled to stderr (the service log,
    which stop.sh checks); returns its text."""
    text = "service error in %s:\n%s" % (where, traceback.format_exc())
    sys.stderr.write(text)
    sys.stderr.flush()
    return text


class Reset(Exception):
    """Abort the connection with a TCP reset."""


class Drop(Exception):
    """Close the connection without a reset (after a cut body)."""


def parse_int(v, default=None):
    """Decimal, or hex with 0x; default when missing or malformed."""
    try:
        v = v.strip()
        return int(v[2:], 16) if v[:2].lower() == "0x" else int(v, 10)
    except (AttributeError, TypeError, ValueError):
        return default


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "CorvelTestService/1"
    sys_version = ""
    timeout = 120  # idle keep-alive connections close after this

    def setup(self):
        self.conn_id = STATE.next_conn()
        self.conn_requests = 0
        ctx = getattr(self.server, "ssl_context", None)
        if ctx is not None:
            self.request.settimeout(10)
            try:
                self.request = ctx.wrap_socket(self.request, server_side=True)
            except (ssl.SSLError, OSError) as e:
                STATE.log("_tls", {"conn": self.conn_id, "port_kind": self.server.kind,
                                   "event": "handshake failed", "error": str(e)})
                raise
            self.request.settimeout(None)
        super().setup()

    def log_message(self, fmt, *args):  # quiet
        pass

    # Every verb goes through one path.
    def do_GET(self):
        self.handle_any()

    do_POST = do_PUT = do_DELETE = do_HEAD = do_OPTIONS = do_PATCH = do_GET

    def handle_one_request(self):
        with STATE.lock:
            STATE.active += 1
            STATE.last_activity = time.monotonic()
        try:
            super().handle_one_request()
        except Reset:
            self.reset_connection()
        except Drop:
            self.close_connection = True
        except NETWORK_ERRORS:
            self.close_connection = True
        except Exception:
            report_service_error("request on connection %d" % self.conn_id)
            self.close_connection = True
        finally:
            with STATE.lock:
                STATE.active -= 1
                STATE.last_activity = time.monotonic()

    def reset_connection(self):
        self.close_connection = True
        try:
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        except OSError:
            pass
        # The file objects hold references to the socket: the reset is sent
        # only when the last one is gone. No TLS close_notify is sent either.
        for f in (self.rfile, self.wfile):
            try:
                f.close()
            except OSError:
                pass
        try:
            self.connection.close()
        except OSError:
            pass

    def finish(self):
        try:
            super().finish()
        except (OSError, ValueError):
            pass

    def read_body(self):
        te = (self.headers.get("Transfer-Encoding") or "").lower()
        if "chunked" in te:
            parts = []
            while True:
                line = self.rfile.readline(65537)
                if not line:
                    break
                size = int(line.split(b";")[0].strip() or b"0", 16)
                if size == 0:
                    while True:  # trailers
                        t = self.rfile.readline(65537)
                        if not t or t in (b"\r\n", b"\n"):
                            break
                    break
                parts.append(self.rfile.read(size))
                self.rfile.readline(3)
            return b"".join(parts)
        n = parse_int(self.headers.get("Content-Length"), 0) or 0
        return self.rfile.read(n) if n > 0 else b""

    # ------------------------------------------------------------------
    def handle_any(self):
        self.conn_requests += 1
        split = urllib.parse.urlsplit(self.path)
        path = split.path
        q = dict(urllib.parse.parse_qsl(split.query, keep_blank_values=True))
        body = self.read_body()
        tag = q.get("tag") or self.headers.get("X-Test-Tag") or ""

        if path.startswith("/_"):
            return self.control(path, q, tag)

        ov = None
        with STATE.lock:
            ov = dict(STATE.overrides.get(tag, {}))
        q.update(ov)

        entry = {
            "conn": self.conn_id,
            "conn_request": self.conn_requests,
            "port_kind": self.server.kind,
            "time": time.time(),
            "method": self.command,
            "target": self.path,
            "path": path,
            "query": split.query,
            "version": self.request_version,
            "headers": [[k, v] for k, v in self.headers.items()],
            "range": self.headers.get("Range") or "",
            "if_range": self.headers.get("If-Range") or "",
            "body_length": len(body),
            "body_hex": body[:MAX_LOGGED_BODY].hex(),
        }
        entry["status"] = 0
        entry["sent"] = 0
        entry["outcome"] = "open"
        index = STATE.log(tag, entry)
        if not fault_applies(q, index, self.headers.get("Range")):
            for k in FAULT_KEYS:
                q.pop(k, None)
        self.entry = entry
        outcome = "client gone"
        try:
            self.respond(q, tag, body)
            outcome = "complete"
        except Reset:
            outcome = "reset"
            raise
        except Drop as e:
            outcome = str(e) or "cut"
            raise
        except NETWORK_ERRORS:
            raise
        except Exception:
            # A fault of the service itself: it must not pass for the fault
            # a test stages. Logged, printed, and answered with status 599
            # when no status line was sent yet.
            outcome = "service error"
            text = report_service_error("%s %s (tag %s)" % (self.command, self.path, tag))
            with STATE.lock:
                entry["error"] = text
            if not entry["status"]:
                entry["status"] = 599
                try:
                    self.send_simple(599, text.encode("utf-8", "replace"))
                except NETWORK_ERRORS:
                    pass
            self.close_connection = True
        finally:
            with STATE.lock:
                entry["outcome"] = outcome

    def control(self, path, q, tag):
        if path == "/_log":
            with STATE.lock:
                data = json.dumps(STATE.logs.get(tag, [])).encode()
            return self.send_simple(200, data, "application/json")
        if path == "/_gate":
            STATE.open_gate(tag, q.get("name", ""))
            return self.send_simple(200, b"open\n")
        if path == "/_set":
            with STATE.lock:
                d = STATE.overrides.setdefault(tag, {})
                for k, v in q.items():
                    if k != "tag":
                        d[k] = v
            return self.send_simple(200, b"set\n")
        if path == "/_reset":
            STATE.reset(tag)
            return self.send_simple(200, b"reset\n")
        if path == "/_info":
            return self.send_simple(200, json.dumps(self.server.info).encode(), "application/json")
        if path == "/_shutdown":
            self.send_simple(200, b"bye\n")
            SHUTDOWN.set()
            return
        return self.send_simple(404, b"unknown control path\n")

    def send_simple(self, status, data, ctype="text/plain"):
        self.send_response(status)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(data)

    # ------------------------------------------------------------------
    def respond(self, q, tag, req_body):
        delay = parse_int(q.get("delay"), 0)
        if delay:
            time.sleep(delay / 1000.0)

        gate = q.get("gate")
        gate_at = parse_int(q.get("gate_at"), None)
        gate_ms = parse_int(q.get("gate_ms"), 120000)
        if gate is not None and gate_at is None:
            if not STATE.wait_gate(tag, gate, gate_ms / 1000.0):
                self.entry["status"] = 504
                return self.send_simple(504, b"gate timeout\n")

        if q.get("reset") == "now":
            raise Reset()

        status = parse_int(q.get("status"), 200)
        headers = []
        if self.headers.get("Range"):
            # A cache whose ranged answers come from another copy than its
            # whole ones.
            for key in ("etag", "last_modified", "seed"):
                if q.get("range_" + key) is not None:
                    q[key] = q["range_" + key]
        etag = q.get("etag")
        last_modified = q.get("last_modified")
        if etag is not None:
            headers.append(("ETag", etag))
        if last_modified is not None:
            headers.append(("Last-Modified", last_modified))

        # The body: echo, literal text or generated bytes.
        if q.get("echo") is not None:
            echo = {
                "method": self.command,
                "target": self.path,
                "version": self.request_version,
                "headers": [[k, v] for k, v in self.headers.items()],
                "body_hex": req_body.hex(),
                "conn": self.conn_id,
            }
            content = json.dumps(echo).encode()
            total = len(content)
            source = lambda off, n: content[off:off + n]
            default_ctype = "application/json"
        elif q.get("body") is not None:
            content = q["body"].encode("utf-8")
            total = len(content)
            source = lambda off, n: content[off:off + n]
            default_ctype = "text/plain; charset=utf-8"
        else:
            total = parse_int(q.get("size"), 0)
            seed = parse_int(q.get("seed"), 0) & 0xFFFFFF
            source = lambda off, n: gen_bytes(seed, off, n)
            default_ctype = "application/octet-stream"
        headers.append(("Content-Type", q.get("ctype", default_ctype)))

        accept = q.get("accept_ranges", "bytes")
        if accept != "none":
            headers.append(("Accept-Ranges", accept))

        first, last = 0, total - 1
        rng = self.headers.get("Range")
        ranges_mode = q.get("ranges", "yes")
        if status == 200 and rng and ranges_mode != "ignore":
            if_range = self.headers.get("If-Range")
            current = etag if etag is not None else last_modified
            if if_range is not None and if_range != current and q.get("if_range") != "ignore":
                rng = None  # validator changed: whole body
            if rng:
                parsed = parse_range(rng, total)
                if parsed == "unsatisfiable":
                    headers.append(("Content-Range", "bytes */%d" % total))
                    return self.send_body(416, headers, b"", 0, lambda o, n: b"", q)
                if parsed is not None:
                    a, b = parsed
                    fail_status = parse_int(q.get("range_status"), None)
                    fail_from = parse_int(q.get("range_from"), 0)
                    if fail_status is not None and a >= fail_from:
                        headers.append(("Content-Range", "bytes */%d" % total))
                        return self.send_body(fail_status, headers, b"", 0, lambda o, n: b"", q)
                    shift = parse_int(q.get("range_shift"), 0)
                    a = max(0, min(a + shift, total - 1))
                    b = max(a, min(b + shift, total - 1))
                    first, last = a, b
                    status = 206
                    headers.append(("Content-Range", "bytes %d-%d/%d" % (a, b, total)))

        if status in (301, 302, 303, 307, 308) and q.get("location"):
            headers.append(("Location", q["location"]))
        for k, v in q.items():
            if k.startswith("h_"):
                headers.append((k[2:], v))

        length = max(0, last - first + 1)
        return self.send_body(status, headers, None, length, lambda o, n: source(first + o, n), q)

    def send_body(self, status, headers, _unused, length, source, q):
        chunked = q.get("chunked") is not None
        length_mode = q.get("length")
        self.entry["status"] = status
        self.send_response(status)
        for k, v in headers:
            self.send_header(k, v)
        if chunked:
            self.send_header("Transfer-Encoding", "chunked")
        elif length_mode == "none":
            self.send_header("Connection", "close")
            self.close_connection = True
        elif length_mode is not None:
            # The body no longer frames the connection: do not reuse it.
            self.send_header("Content-Length", length_mode)
            self.close_connection = True
        else:
            self.send_header("Content-Length", str(length))
        if q.get("close") is not None:
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()
        self.wfile.flush()
        if self.command == "HEAD" or status in (204, 304):
            return

        cut = parse_int(q.get("cut"), None)
        reset_at = parse_int(q.get("reset"), None)
        stall = parse_int(q.get("stall"), None)
        stall_ms = parse_int(q.get("stall_ms"), 600000)
        gate = q.get("gate")
        gate_at = parse_int(q.get("gate_at"), None) if gate is not None else None
        gate_ms = parse_int(q.get("gate_ms"), 120000)
        rate = parse_int(q.get("rate"), 0)
        pause = parse_int(q.get("pause"), None)
        pause_ms = parse_int(q.get("pause_ms"), 800)
        next_pause = pause if pause and pause > 0 else None
        piece = parse_int(q.get("chunk"), 16384) if chunked else 65536
        piece = max(1, piece)
        if rate:
            piece = max(1, min(piece, rate // 20 or 1))

        sent = 0
        started = time.monotonic()
        tag = q.get("tag", "")
        stops = [x for x in (cut, reset_at, stall, gate_at) if x is not None]
        while True:
            # Events that fire at a byte position.
            if gate_at is not None and sent >= gate_at:
                gate_at = None
                if not STATE.wait_gate(tag, gate, gate_ms / 1000.0):
                    raise Drop("gate timeout")
            if stall is not None and sent >= stall:
                self.wfile.flush()
                self.hold(stall_ms)
                raise Drop("stalled")
            if reset_at is not None and sent >= reset_at:
                # A reset makes the peer's kernel drop what its program has
                # not read yet: give it time to take the bytes sent so far.
                time.sleep(parse_int(q.get("reset_wait"), 200) / 1000.0)
                raise Reset()
            if cut is not None and sent >= cut:
                raise Drop("cut")
            if next_pause is not None and sent >= next_pause and sent < length:
                self.wfile.flush()
                time.sleep(pause_ms / 1000.0)
                started += pause_ms / 1000.0  # a pause is not made up for by the rate
                next_pause += pause
            if sent >= length:
                break
            n = min(piece, length - sent)
            for s in stops + ([next_pause] if next_pause is not None else []):
                if s > sent:
                    n = min(n, s - sent)
            data = source(sent, n)
            if chunked:
                self.wfile.write(b"%x\r\n" % len(data) + data + b"\r\n")
            else:
                self.wfile.write(data)
            sent += n
            self.entry["sent"] = sent
            if rate:
                ahead = sent / rate - (time.monotonic() - started)
                if ahead > 0:
                    time.sleep(ahead)
        if chunked:
            self.wfile.write(b"0\r\n\r\n")
        if length_mode == "none":
            self.close_connection = True

    def hold(self, ms):
        """Send nothing until the client goes away or ms have passed."""
        deadline = time.monotonic() + ms / 1000.0
        sock = self.connection
        while not SHUTDOWN.is_set():
            left = deadline - time.monotonic()
            if left <= 0:
                return
            try:
                r, _, _ = select.select([sock], [], [], min(left, 0.5))
                if r:
                    if not sock.recv(65536):
                        return
            except (OSError, ssl.SSLError, ValueError):
                return


# Keys that only_nth / only_range_from limit to some requests of a tag.
FAULT_KEYS = ("status", "location", "delay", "gate", "gate_at", "reset", "cut", "stall", "rate",
              "length", "close", "range_status", "range_shift", "ranges", "pause")


def fault_applies(q, index, range_header):
    nth = q.get("only_nth")
    if nth is not None:
        wanted = {parse_int(x.strip(), -1) for x in nth.split(",")}
        if index not in wanted:
            return False
    start = q.get("only_range_from")
    if start is not None:
        parsed = parse_range(range_header, 1 << 62) if range_header else None
        if not isinstance(parsed, tuple) or parsed[0] < parse_int(start, 0):
            return False
    return True


def parse_range(value, total):
    """A single 'bytes=' range as (first, last) clamped to the body, None
    when it is not one single byte range (then the whole body is sent), or
    'unsatisfiable'."""
    value = value.strip()
    if not value.startswith("bytes=") or "," in value:
        return None
    spec = value[6:].strip()
    if "-" not in spec:
        return None
    a, b = spec.split("-", 1)
    a, b = a.strip(), b.strip()
    try:
        if a == "":
            n = int(b)
            if n <= 0:
                return "unsatisfiable"
            return (max(0, total - n), total - 1) if total > 0 else "unsatisfiable"
        first = int(a)
        last = int(b) if b != "" else total - 1
    except ValueError:
        return None
    if first >= total:
        return "unsatisfiable"
    if last < first:
        return None
    return first, min(last, total - 1)


class Server(socketserver.ThreadingMixIn, socketserver.TCPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 128

    def __init__(self, kind, ssl_context, info):
        self.kind = kind
        self.ssl_context = ssl_context
        self.info = info
        super().__init__(("127.0.0.1", 0), Handler)

    def handle_error(self, request, client_address):
        # Failed handshakes and resets are expected; anything else is a
        # fault of the service.
        if not isinstance(sys.exc_info()[1], NETWORK_ERRORS):
            report_service_error("connection from %s:%s" % client_address[:2])


def der_sha256(cert_path):
    with open(cert_path) as f:
        pem = f.read()
    return hashlib.sha256(ssl.PEM_cert_to_DER_cert(pem)).hexdigest().upper()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--info", required=True, help="file to write ports and certificate hashes to")
    ap.add_argument("--certs", help="folder with the test certificates")
    ap.add_argument("--idle", type=float, default=float(os.environ.get("CORVEL_SERVICE_IDLE", 900)))
    ap.add_argument("--lifetime", type=float, default=float(os.environ.get("CORVEL_SERVICE_LIFETIME", 2400)))
    args = ap.parse_args()

    info = {"host": "127.0.0.1", "pid": os.getpid(), "tls": {}}
    servers = []
    http = Server("http", None, info)
    info["http_port"] = http.server_address[1]
    servers.append(http)

    if args.certs:
        for kind in ("good", "untrusted", "expired", "wrongname"):
            crt = os.path.join(args.certs, kind + ".crt")
            key = os.path.join(args.certs, kind + ".key")
            if not (os.path.exists(crt) and os.path.exists(key)):
                continue
            ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            ctx.minimum_version = ssl.TLSVersion.TLSv1_2
            ctx.load_cert_chain(crt, key)
            s = Server(kind, ctx, info)
            info["tls"][kind] = {"port": s.server_address[1], "sha256": der_sha256(crt)}
            servers.append(s)
        ca = os.path.join(args.certs, "ca.crt")
        if os.path.exists(ca):
            info["ca_sha256"] = der_sha256(ca)

    for s in servers:
        threading.Thread(target=s.serve_forever, kwargs={"poll_interval": 0.2}, daemon=True).start()

    tmp = args.info + ".tmp"
    with open(tmp, "w") as f:
        json.dump(info, f, indent=1)
    os.replace(tmp, args.info)

    born = time.monotonic()
    while not SHUTDOWN.wait(0.5):
        now = time.monotonic()
        if now - born > args.lifetime:
            break
        with STATE.lock:
            idle = STATE.active == 0 and now - STATE.last_activity > args.idle
        if idle:
            break
    try:
        os.remove(args.info)
    except OSError:
        pass
    # Daemon threads may be blocked in transfers: leave without joining them.
    sys.stdout.flush()
    os._exit(0)


if __name__ == "__main__":
    main()
