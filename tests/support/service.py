#!/usr/bin/env python3
"""Stand-in for the vendor support service that cvreport uploads reports to.

The end-to-end tests and benchmarks point the upload worker at this server
instead of the real service.  It speaks just enough HTTP/1.1 to behave like
the real thing from libcurl's point of view (Digest authentication,
keep-alive, 100-continue, chunked bodies) and records everything it saw so a
test can assert on what the client actually sent.

Usage:
  service.py --record-dir DIR (--user U --password P | --no-auth) [options]

Options:
  --bind ADDR          address to listen on (default 127.0.0.1)
  --port N             port, 0 = ephemeral (default 0)
  --port-file F        write the listening port here (atomically, after listen)
  --pid-file F         write our pid here
  --record-dir D       where requests.jsonl and stored uploads go (required)
  --user U --password P  Digest credentials the client must present
  --no-auth            accept every request without authentication
  --realm R            Digest realm (default "cvreport-support")
  --mode M             reply mode (default "ok"), see "Modes" below
  --repid ID           report id handed out by the ok modes (default 100001)
  --no-store           do not keep uploaded file parts on disk (benchmarks)
  --https --cert-dir D serve TLS with a throwaway self-signed certificate,
                       generated once in D (cert.pem, key.pem) for
                       CN=localhost, SAN IP:127.0.0.1 and DNS:localhost
  --stall-max S        longest a "stall" connection is held open (default 600)
  --idle-timeout S     drop a connection that sends nothing for S seconds
                       (default 120)

Modes (what an authenticated, well-formed upload gets; 401s never vary):
  ok                200 text/plain  "REPID=<id>\n\nThank you for your report.\n"
  ok-norepid        200 text/plain  "STATUS=accepted\n\nReport received.\n"
  ok-charset        like ok, with "Content-Type: text/plain; charset=utf-8"
  error500          500 text/plain  "ERRCODE=17\n\nDisk full\n"
  html              200 text/html   a small "Thank you" page
  html500           500 text/html   a small "Internal Server Error" page
  notype            200, no Content-Type, "REPID=<id>\n"
  close-mid-upload  read about 64 KiB of the body, then shut the socket
                    down and close it without a reply
  stall             after the headers, read nothing and answer nothing
  big-reply         200 text/plain  "REPID=<id>\n\n" and 3 MiB of lines
  error500-long     500 text/plain  "ERRCODE=18\n\n" and 300 lines (about 11 KB)
  escapes           200 text/plain  a REPID and a text holding a terminal-title
                    sequence, a screen clear, a bell and a carriage return
                    that would draw a "ProblemID:" line of its own
  escapes500        500 text/plain  "ERRCODE=17" and a text with the same
  empty503          503, no Content-Type, an empty body
  redirect          302 to file:///etc/shadow, no Content-Type, an empty body
  trickle           200 text/plain  "REPID=<id>" and then a few bytes a
                    second, never finishing (up to --stall-max seconds);
                    recorded with outcome "trickled"
  slow-read         as "ok", but the body is read at 2 MiB a second, so
                    that a test can interrupt an upload that would finish
  close-after-body  read the whole body, record it (outcome
                    "closed-after-body", with its parts), then close the
                    connection without an answer

Modes with a count fail the first N times and then behave as "ok"; the
count starts again whenever the mode in force changes:
  reset-connections:N  reset (RST, SO_LINGER 0) each of the first N
                    connections as soon as it is accepted, before a
                    request is read; each recorded with outcome
                    "reset-at-accept" (method and auth null)
  reset-mid-body:N  read about 64 KiB of an authenticated upload's body,
                    then reset the connection; outcome "reset-mid-body"
  busy:N:S          answer an authenticated upload, body read, with 503
                    text/plain "ERRCODE=503\n\nThe service is busy.\n" and
                    "Retry-After: S" (S as given: seconds or an HTTP-date)

Nothing is printed on stdout.  One log line per request goes to stderr.
Port and pid files are removed again on a clean exit (SIGTERM/SIGINT).

If <record-dir>/mode exists, its stripped content replaces --mode for each
new request, so a test can switch behaviour without a restart.  An unknown
mode name is answered with 500 "ERRCODE=99" and recorded, so that a typo in a
test fails loudly instead of silently behaving like "ok".

A "stall" connection ends when the peer resets or hangs up, but a client
that gave up while part of its body was still queued towards us cannot be
noticed: its FIN waits behind data we refuse to read.  Such a connection is
held until --stall-max, so tests using stall should pass a small value.

Every request (including 401s) becomes one JSON line in
<record-dir>/requests.jsonl, written before the client can observe our answer
(so a test that just saw the client finish can read it without racing us):

  n             request number, from 1, across all connections
  time          unix time the request line was read
  conn          connection number; req_on_conn counts requests on it
                (a Digest retry on a kept-alive connection has the same conn)
  client_port   the client's source port
  method, path, http_version   from the request line (path as sent)
  headers       {lowercased name: value}; repeated headers joined by ", "
  mode          the mode in force for this request
  auth          "none" (no Authorization), "ok", "bad", or "stale" (right
                credentials for a nonce we no longer know; answered with
                stale=true so the client retries); "ok" for all with --no-auth
  auth_scheme   first word of the Authorization header, lowercased, or null
  digest_user   username from the Authorization header (Digest, or the user
                part of Basic credentials), or null
  status        what we answered, or null if we never answered
  outcome       "replied", "closed-mid-upload", "stalled", "client-gone"
                (connection dropped before the body was complete) or
                "server-error"
  parts         null unless a multipart body was parsed; else, in order:
                {name, filename, content_type, size, sha256, value,
                 value_truncated, stored, complete, headers}
                value is the text of parts without a filename (first 64 KiB),
                null for file parts; stored is the file name in the record
                dir (upload-<n>-<name>.bin) or null; complete is false for a
                part cut off by the end of the body
  body_bytes    request body bytes read (after removing chunked framing)
  error         null, or why the request was odd (400s, dropped connections)

Bodies that are not multipart/form-data, or are malformed, get 400 with
"ERRCODE=400"; methods other than POST get 405 (after authentication).
Text taken from the wire (header values, part names, filenames, form values)
is decoded as UTF-8 with errors="surrogateescape": valid UTF-8 reads
naturally, and any other byte b shows up as the code point U+DC00+b, which
Python turns back into the original bytes with
s.encode("utf-8", "surrogateescape").  HTTP request header values are the
exception: they come from http.server, which decodes them as latin-1.
"""

import argparse
import base64
import hashlib
import hmac
import http.server
import json
import os
import re
import secrets
import select
import signal
import socket
import socketserver
import ssl
import struct
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

MODES = (
    "ok", "ok-norepid", "ok-charset", "error500", "html", "html500",
    "notype", "close-mid-upload", "stall", "big-reply", "error500-long",
    "escapes", "escapes500", "empty503", "redirect", "trickle", "slow-read",
    "close-after-body", "reset-connections", "reset-mid-body", "busy",
)
# Modes that take a count (and busy, a Retry-After) after a colon.
COUNTED_MODES = ("reset-connections", "reset-mid-body", "busy")


def mode_known(mode):
    """Whether mode names a mode, with a count where it takes one."""
    name, _, rest = mode.partition(":")
    if name not in COUNTED_MODES:
        return name in MODES and not rest
    count, _, extra = rest.partition(":")
    return count.isdigit() and (bool(extra) == (name == "busy"))

# How fast a "slow-read" upload is taken in, in bytes a second.
SLOW_READ_RATE = 2 * 1024 * 1024

# What a hostile service might put in its text: a terminal title (OSC), a
# bell, a screen clear (CSI), and a carriage return that draws over the line.
HOSTILE_TEXT = b"\x1b]0;owned\x07Disk\x1b[2J full\rProblemID: 999"

# 256 KiB reads keep the per-call Python overhead negligible next to the
# memcpy/hash work, while bounding memory per connection.
READ_CHUNK = 256 * 1024
VALUE_CAP = 64 * 1024
CLOSE_AFTER = 64 * 1024
BIG_REPLY_SIZE = 3 * 1024 * 1024
MAX_PART_HEADERS = 64 * 1024
MAX_NONCES = 10000


def log(msg):
    sys.stderr.write("[support-service] %s\n" % msg)
    sys.stderr.flush()


def wire_text(b):
    return b.decode("utf-8", "surrogateescape")


# ---------------------------------------------------------------------------
# Header parameter parsing (Content-Disposition, Content-Type, Authorization)
# ---------------------------------------------------------------------------

def parse_params(s, sep):
    """Split 'a=b; c="d\\"e"' style parameter lists.

    Hand-rolled rather than email.message because the Authorization header
    uses ',' as separator and we want exact control over quoted-string
    unescaping (libcurl backslash-escapes quotes in names).
    Returns a dict with lowercased keys; bare tokens map to None.
    """
    out = {}
    i, n = 0, len(s)
    while i < n:
        while i < n and s[i] in " \t" + sep:
            i += 1
        if i >= n:
            break
        j = i
        while j < n and s[j] not in "=" + sep:
            j += 1
        key = s[i:j].strip().lower()
        if j >= n or s[j] == sep:
            if key:
                out.setdefault(key, None)
            i = j + 1
            continue
        j += 1  # past '='
        while j < n and s[j] in " \t":
            j += 1
        if j < n and s[j] == '"':
            j += 1
            val = []
            while j < n and s[j] != '"':
                if s[j] == "\\" and j + 1 < n:
                    j += 1
                val.append(s[j])
                j += 1
            value = "".join(val)
            j += 1  # closing quote
            while j < n and s[j] != sep:
                j += 1
        else:
            k = j
            while k < n and s[k] != sep:
                k += 1
            value = s[j:k].strip()
            j = k
        if key:
            out[key] = value
        i = j + 1
    return out


def split_header_value(value):
    """'type; a=b' -> ('type', {'a': 'b'})"""
    head, _, rest = value.partition(";")
    return head.strip().lower(), parse_params(rest, ";")


# ---------------------------------------------------------------------------
# Streaming multipart/form-data parser
# ---------------------------------------------------------------------------

class MultipartError(Exception):
    pass


class Part:
    """Accumulates what we record about one form part while it streams by."""

    def __init__(self, index, headers, store_dir, req_n, used_names):
        self.index = index
        self.headers = headers
        cd = headers.get("content-disposition")
        self.name = None
        self.filename = None
        if cd is not None:
            _, params = split_header_value(cd)
            self.name = params.get("name")
            self.filename = params.get("filename")
            star = params.get("filename*")
            if star and "''" in star:
                charset, _, encoded = star.partition("''")
                try:
                    self.filename = urllib.parse.unquote(
                        encoded, encoding=charset or "utf-8",
                        errors="surrogateescape")
                except LookupError:
                    pass
        self.content_type = headers.get("content-type")
        self.size = 0
        self.sha = hashlib.sha256()
        self.value = bytearray() if self.filename is None else None
        self.value_truncated = False
        self.complete = False
        self.stored = None
        self.fh = None
        if self.filename is not None and store_dir is not None:
            base = re.sub(r"[^A-Za-z0-9._-]", "_", self.name or "unnamed")
            fname = "upload-%d-%s.bin" % (req_n, base)
            k = 2
            while fname in used_names:
                fname = "upload-%d-%s-%d.bin" % (req_n, base, k)
                k += 1
            used_names.add(fname)
            self.stored = fname
            self.fh = open(os.path.join(store_dir, fname), "wb")

    def write(self, data):
        if not data:
            return
        self.size += len(data)
        self.sha.update(data)
        if self.fh is not None:
            self.fh.write(data)
        if self.value is not None and not self.value_truncated:
            room = VALUE_CAP - len(self.value)
            if len(data) > room:
                self.value += data[:room]
                self.value_truncated = True
            else:
                self.value += data

    def finish(self, complete):
        self.complete = complete
        if self.fh is not None:
            self.fh.close()
            self.fh = None

    def record(self):
        return {
            "name": self.name,
            "filename": self.filename,
            "content_type": self.content_type,
            "size": self.size,
            "sha256": self.sha.hexdigest(),
            "value": None if self.value is None else wire_text(bytes(self.value)),
            "value_truncated": self.value_truncated,
            "stored": self.stored,
            "complete": self.complete,
            "headers": self.headers,
        }


class MultipartStream:
    """Incremental multipart/form-data parser.

    Data is fed in arbitrary slices; we only ever keep a tail shorter than
    the delimiter between feeds (plus, transiently, one part's header
    block), so memory stays bounded whatever the upload size.  Delimiter
    search is bytes.find on the buffer, which runs at memory speed.
    """

    PREAMBLE, AFTER_DELIM, HEADERS, DATA, EPILOGUE = range(5)

    def __init__(self, boundary, store_dir, req_n):
        self.delim = b"\r\n--" + boundary
        self.keep = len(self.delim) - 1
        # A CRLF in front lets the very first delimiter (which has none)
        # match the same pattern as all the others.
        self.buf = b"\r\n"
        self.state = self.PREAMBLE
        self.parts = []
        self.cur = None
        self.store_dir = store_dir
        self.req_n = req_n
        self.used_names = set()

    def feed(self, data):
        buf = self.buf + data if self.buf else data
        delim = self.delim
        while True:
            st = self.state
            if st == self.DATA or st == self.PREAMBLE:
                i = buf.find(delim)
                if i < 0:
                    if len(buf) > self.keep:
                        cut = len(buf) - self.keep
                        if st == self.DATA:
                            self.cur.write(buf[:cut])
                        buf = buf[cut:]
                    break
                if st == self.DATA:
                    self.cur.write(buf[:i])
                    self.cur.finish(True)
                    self.cur = None
                buf = buf[i + len(delim):]
                self.state = self.AFTER_DELIM
            elif st == self.AFTER_DELIM:
                if len(buf) < 2:
                    break
                if buf[:2] == b"--":
                    self.state = self.EPILOGUE
                    buf = b""
                    break
                j = buf.find(b"\r\n")
                if j < 0:
                    if len(buf) > 1024:
                        raise MultipartError("garbage after boundary")
                    break
                if buf[:j].strip(b" \t"):
                    raise MultipartError("boundary string followed by %r"
                                         % bytes(buf[:min(j, 40)]))
                buf = buf[j:]  # keep CRLF: an empty header block is "\r\n\r\n"
                self.state = self.HEADERS
            elif st == self.HEADERS:
                k = buf.find(b"\r\n\r\n")
                if k < 0:
                    if len(buf) > MAX_PART_HEADERS:
                        raise MultipartError("part header block too large")
                    break
                hdrs = self._parse_part_headers(buf[2:k])
                buf = buf[k + 4:]
                self.cur = Part(len(self.parts), hdrs, self.store_dir,
                                self.req_n, self.used_names)
                self.parts.append(self.cur)
                self.state = self.DATA
            else:  # EPILOGUE: ignored by definition
                buf = b""
                break
        self.buf = buf

    @staticmethod
    def _parse_part_headers(block):
        out = {}
        last = None
        for line in block.split(b"\r\n"):
            if not line:
                continue
            if line[:1] in (b" ", b"\t") and last is not None:
                out[last] += " " + wire_text(line.strip())
                continue
            name, colon, value = line.partition(b":")
            if not colon:
                raise MultipartError("malformed part header %r" % line[:60])
            last = wire_text(name.strip()).lower()
            v = wire_text(value.strip())
            out[last] = out[last] + ", " + v if last in out else v
        return out

    def close(self):
        """Returns None when the body ended properly, else why not."""
        if self.cur is not None:
            self.cur.finish(False)
            self.cur = None
        if self.state != self.EPILOGUE:
            return "body ended before the closing boundary"
        return None

    def abort(self):
        if self.cur is not None:
            self.cur.finish(False)
            self.cur = None

    def records(self):
        return [p.record() for p in self.parts]


# ---------------------------------------------------------------------------
# Request bodies
# ---------------------------------------------------------------------------

class ClientGone(Exception):
    pass


class BadFraming(Exception):
    pass


class BodyReader:
    """Reads a request body framed by Content-Length or chunked encoding."""

    def __init__(self, rfile, length=None, chunked=False):
        self.rfile = rfile
        self.chunked = chunked
        self.remaining = 0 if chunked else (length or 0)
        self.done = not chunked and not self.remaining
        self.total = 0

    def _read_exact_line(self):
        line = self.rfile.readline(4096)
        if not line:
            raise ClientGone("connection closed inside chunked body")
        if not line.endswith(b"\n"):
            raise BadFraming("chunk line too long")
        return line

    def read(self, n=READ_CHUNK):
        if self.done:
            return b""
        if self.chunked and self.remaining == 0:
            line = self._read_exact_line()
            size_txt = line.split(b";", 1)[0].strip()
            try:
                size = int(size_txt, 16)
            except ValueError:
                raise BadFraming("bad chunk size %r" % size_txt[:20])
            if size == 0:
                while self._read_exact_line() not in (b"\r\n", b"\n"):
                    pass  # trailers are ignored
                self.done = True
                return b""
            self.remaining = size
        data = self.rfile.read(min(n, self.remaining))
        if not data:
            raise ClientGone("connection closed after %d body bytes"
                             % self.total)
        self.remaining -= len(data)
        self.total += len(data)
        if self.remaining == 0:
            if self.chunked:
                if self._read_exact_line() not in (b"\r\n", b"\n"):
                    raise BadFraming("chunk not followed by CRLF")
            else:
                self.done = True
        return data

    def drain(self):
        while self.read():
            pass


# ---------------------------------------------------------------------------
# Digest authentication
# ---------------------------------------------------------------------------

def md5hex(s):
    return hashlib.md5(s.encode("utf-8", "surrogateescape")).hexdigest()


class DigestAuth:
    def __init__(self, user, password, realm):
        self.user = user
        self.password = password
        self.realm = realm
        self.opaque = secrets.token_hex(8)
        self.lock = threading.Lock()
        self.nonces = {}  # nonce -> highest nc accepted so far

    def challenge(self, stale=False):
        nonce = secrets.token_hex(16)
        with self.lock:
            if len(self.nonces) >= MAX_NONCES:
                for old in list(self.nonces)[:MAX_NONCES // 2]:
                    del self.nonces[old]
            self.nonces[nonce] = 0
        h = ('Digest realm="%s", qop="auth", nonce="%s", opaque="%s", '
             'algorithm=MD5' % (self.realm, nonce, self.opaque))
        if stale:
            h += ", stale=true"
        return h

    def check(self, header, method, target):
        """Returns (state, username): state is none|ok|bad|stale.

        "stale" means the credentials were right but the nonce is not one we
        know (e.g. we were restarted); the client should retry silently.
        """
        if header is None:
            return "none", None
        scheme, _, rest = header.strip().partition(" ")
        if scheme.lower() == "basic":
            # Never acceptable, but name the user so a test can tell who
            # sent the password in the clear.
            try:
                raw = base64.b64decode(rest.strip(), validate=True)
                return "bad", wire_text(raw).partition(":")[0]
            except ValueError:
                return "bad", None
        if scheme.lower() != "digest":
            return "bad", None
        p = parse_params(rest, ",")
        user = p.get("username")
        need = ("username", "realm", "nonce", "uri", "response", "qop",
                "nc", "cnonce")
        if any(not p.get(k) for k in need):
            return "bad", user
        if p["realm"] != self.realm or p["qop"] != "auth":
            return "bad", user
        if p.get("algorithm", "MD5").upper() != "MD5":
            return "bad", user
        if p.get("opaque") != self.opaque:
            return "bad", user
        if not re.fullmatch(r"[0-9a-fA-F]{8}", p["nc"]):
            return "bad", user
        if not self._uri_matches(p["uri"], target):
            return "bad", user
        if user != self.user:
            return "bad", user
        ha1 = md5hex("%s:%s:%s" % (user, self.realm, self.password))
        ha2 = md5hex("%s:%s" % (method, p["uri"]))
        want = md5hex("%s:%s:%s:%s:%s:%s" % (ha1, p["nonce"], p["nc"],
                                             p["cnonce"], p["qop"], ha2))
        if not hmac.compare_digest(want, p["response"].lower()):
            return "bad", user
        nc = int(p["nc"], 16)
        with self.lock:
            last = self.nonces.get(p["nonce"])
            if last is None:
                return "stale", user
            if nc <= last:
                return "bad", user  # replayed nonce count
            self.nonces[p["nonce"]] = nc
        return "ok", user

    @staticmethod
    def _uri_matches(uri, target):
        if uri == target:
            return True
        parts = urllib.parse.urlsplit(target)
        path_q = parts.path + ("?" + parts.query if parts.query else "")
        # Clients in "IE style" leave the query out of the digest uri.
        return uri in (path_q, parts.path)


# ---------------------------------------------------------------------------
# HTTP server
# ---------------------------------------------------------------------------

class Recorder:
    def __init__(self, record_dir):
        self.lock = threading.Lock()
        self.n = 0
        self.conn_n = 0
        self.fh = open(os.path.join(record_dir, "requests.jsonl"), "a",
                       encoding="ascii")

    def next_request(self):
        with self.lock:
            self.n += 1
            return self.n

    def next_conn(self):
        with self.lock:
            self.conn_n += 1
            return self.conn_n

    def write(self, rec):
        line = json.dumps(rec, ensure_ascii=True)
        with self.lock:
            self.fh.write(line + "\n")
            self.fh.flush()


_big_reply_cache = []


def big_reply_tail():
    if not _big_reply_cache:
        lines = []
        size = 0
        i = 0
        while size < BIG_REPLY_SIZE:
            i += 1
            ln = ("Line %07d: the support service has a lot to say about "
                  "this report, none of which matters.\n" % i).encode()
            lines.append(ln)
            size += len(ln)
        _big_reply_cache.append(b"".join(lines))
    return _big_reply_cache[0]


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "SupportTestService/1.0"

    def version_string(self):
        return self.server_version

    # -- connection setup -------------------------------------------------

    def setup(self):
        self.timeout = self.server.cfg.idle_timeout
        super().setup()
        self.conn_id = self.server.recorder.next_conn()
        self.req_on_conn = 0

    def handle(self):
        conn = self.connection
        mode = self._current_mode()
        self.server.note_mode(mode)
        if mode.startswith("reset-connections:") and self.server.take_failure(mode):
            self.server.recorder.write({
                "n": self.server.recorder.next_request(), "time": time.time(),
                "conn": self.conn_id, "mode": mode, "method": None, "auth": None,
                "status": None, "outcome": "reset-at-accept", "parts": None,
                "body_bytes": 0})
            log("conn %d: reset at accept (%s)" % (self.conn_id, mode))
            self._reset()
            return
        if isinstance(conn, ssl.SSLSocket):
            # Handshake here, not in accept(), so one slow or broken client
            # cannot hold up the listening thread.
            try:
                conn.do_handshake()
            except (ssl.SSLError, OSError) as e:
                log("conn %d: TLS handshake failed: %s" % (self.conn_id, e))
                self.close_connection = True
                return
        try:
            super().handle()
        except (ConnectionError, ssl.SSLError) as e:
            log("conn %d: connection error: %s" % (self.conn_id, e))

    def handle_expect_100(self):
        # Whether to send "100 Continue" depends on authentication and mode,
        # which _serve() works out; never send it unconditionally.
        return True

    def log_request(self, code="-", size="-"):
        pass  # _serve() logs its own, richer line per request

    def log_message(self, fmt, *args):
        log("conn %d: %s" % (getattr(self, "conn_id", 0), fmt % args))

    def do_POST(self):
        self._serve()

    do_PUT = do_GET = do_HEAD = do_DELETE = do_PATCH = do_OPTIONS = do_POST

    # -- helpers ----------------------------------------------------------

    def _current_mode(self):
        path = os.path.join(self.server.cfg.record_dir, "mode")
        try:
            with open(path, encoding="utf-8") as f:
                m = f.read().strip()
                if m:
                    return m
        except FileNotFoundError:
            pass
        except OSError as e:
            log("cannot read %s: %s" % (path, e))
        return self.server.cfg.mode

    def _reply(self, status, body=b"", ctype="text/plain", extra=()):
        self.send_response(status)
        if ctype is not None:
            self.send_header("Content-Type", ctype)
        for k, v in extra:
            self.send_header(k, v)
        self.send_header("Content-Length", str(len(body)))
        if self.close_connection:
            self.send_header("Connection", "close")
        self.end_headers()
        if self.command != "HEAD" and body:
            view = memoryview(body)
            for off in range(0, len(body), READ_CHUNK):
                self.wfile.write(view[off:off + READ_CHUNK])

    def _mode_reply(self, mode):
        """(status, content type, body) for a successful upload."""
        repid = self.server.cfg.repid
        if mode in ("ok", "slow-read"):
            return 200, "text/plain", (
                "REPID=%s\n\nThank you for your report.\n" % repid).encode()
        if mode == "ok-norepid":
            return 200, "text/plain", b"STATUS=accepted\n\nReport received.\n"
        if mode == "ok-charset":
            return 200, "text/plain; charset=utf-8", (
                "REPID=%s\n\nThank you for your report.\n" % repid).encode()
        if mode == "error500":
            return 500, "text/plain", b"ERRCODE=17\n\nDisk full\n"
        if mode == "error500-long":
            # A message longer than any fixed buffer a client might use.
            lines = "".join("Detail line %04d of a long refusal.\n" % i for i in range(300))
            return 500, "text/plain", ("ERRCODE=18\n\n" + lines).encode()
        if mode == "html":
            return 200, "text/html", (
                b"<!DOCTYPE html>\n<html><head><title>Support</title></head>"
                b"<body><h1>Thank you</h1><p>Your report was received."
                b"</p></body></html>\n")
        if mode == "html500":
            return 500, "text/html", (
                b"<!DOCTYPE html>\n<html><head><title>500 Internal Server "
                b"Error</title></head><body><h1>Internal Server Error</h1>"
                b"<p>The server encountered an internal error.</p>"
                b"</body></html>\n")
        if mode == "escapes":
            return 200, "text/plain", (
                ("REPID=%s" % repid).encode() + b"\x1b]0;owned\x07\rProblemID: 999\n\n"
                + HOSTILE_TEXT + b"\n")
        if mode == "escapes500":
            return 500, "text/plain", b"ERRCODE=17\n\n" + HOSTILE_TEXT + b"\n"
        if mode == "empty503":
            return 503, None, b""
        if mode == "notype":
            return 200, None, ("REPID=%s\n" % repid).encode()
        if mode == "big-reply":
            return 200, "text/plain", (
                ("REPID=%s\n\n" % repid).encode() + big_reply_tail())
        return 500, "text/plain", (
            "ERRCODE=99\n\nTest service: unknown mode %r\n" % mode).encode()

    def _trickle(self, limit):
        """A 200 reply that comes three bytes every half second: faster than
        a stall, and never complete."""
        body = ("REPID=%s\n\n" % self.server.cfg.repid).encode()
        self.send_response(200)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", "1000000")
        self.end_headers()
        deadline = time.monotonic() + limit
        sent = 0
        try:
            while (time.monotonic() < deadline
                   and not self.server.stopping.is_set()):
                piece = body[sent:sent + 3] or b"..."
                sent += len(piece)
                self.wfile.write(piece)
                self.wfile.flush()
                time.sleep(0.5)
        except OSError:
            pass
        self._abrupt_close()

    def _wait_for_client_to_leave(self, limit):
        """Hold the connection without reading until the peer hangs up."""
        deadline = time.monotonic() + limit
        p = select.poll()
        p.register(self.connection.fileno(),
                   select.POLLRDHUP | select.POLLHUP | select.POLLERR)
        while time.monotonic() < deadline and not self.server.stopping.is_set():
            if p.poll(200):
                return "client hung up"
        return "stall limit reached"

    def _record(self, rec):
        self._recorded = True
        self.server.recorder.write(rec)

    def _reset(self):
        """Closes with an RST rather than a FIN: unsent and unread data go."""
        try:
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER,
                                       struct.pack("ii", 1, 0))
        except OSError:
            pass
        self.connection.close()
        self.close_connection = True

    def _abrupt_close(self):
        try:
            self.connection.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        self.connection.close()
        self.close_connection = True

    # -- the request ------------------------------------------------------

    def _serve(self):
        t0 = time.monotonic()
        self._recorded = False
        n = self.server.recorder.next_request()
        self.req_on_conn += 1
        mode = self._current_mode()
        headers = {}
        for k, v in self.headers.items():
            k = k.lower()
            headers[k] = headers[k] + ", " + v if k in headers else v
        rec = {
            "n": n,
            "time": time.time(),
            "conn": self.conn_id,
            "req_on_conn": self.req_on_conn,
            "client_port": self.client_address[1],
            "method": self.command,
            "path": self.path,
            "http_version": self.request_version,
            "headers": headers,
            "mode": mode,
            "auth": "none",
            "auth_scheme": None,
            "digest_user": None,
            "status": None,
            "outcome": None,
            "parts": None,
            "body_bytes": 0,
            "error": None,
        }
        try:
            send = self._serve_inner(rec, mode, headers)
        except Exception as e:
            # A fault of ours must still leave a record and a log line,
            # or a test would only see a vanished connection.
            import traceback
            traceback.print_exc()
            rec["error"] = "%s: %s" % (type(e).__name__, e)
            if not self._recorded:
                rec["outcome"] = "server-error"
                self._record(rec)
            self._abrupt_close()
            send = None
        log("n=%d conn=%d %s %s auth=%s user=%s mode=%s status=%s outcome=%s "
            "parts=%s body=%d %.3fs%s" % (
                n, self.conn_id, self.command, self.path, rec["auth"],
                rec["digest_user"], mode, rec["status"], rec["outcome"],
                "-" if rec["parts"] is None else len(rec["parts"]),
                rec["body_bytes"], time.monotonic() - t0,
                " error=" + rec["error"] if rec["error"] else ""))
        if send is not None:
            send()

    def _serve_inner(self, rec, mode, headers):
        """Does everything up to the reply.

        Returns a callable that sends the reply, so the record can be
        written first; None when the connection is already dealt with.
        """
        cfg = self.server.cfg
        rec_w = self._record

        te = headers.get("transfer-encoding", "").lower()
        chunked = "chunked" in te
        length = 0
        if not chunked and "content-length" in headers:
            try:
                length = int(headers["content-length"])
                if length < 0:
                    raise ValueError
            except ValueError:
                self.close_connection = True
                rec["status"] = 400
                rec["outcome"] = "replied"
                rec["error"] = "bad Content-Length"
                rec_w(rec)
                return lambda: self._reply(
                    400, b"ERRCODE=400\n\nBad Content-Length\n")
        body = BodyReader(self.rfile, length, chunked)
        has_body = chunked or length > 0
        expect = headers.get("expect", "").lower() == "100-continue" \
            and self.request_version != "HTTP/1.0"
        # Both framings at once: chunked wins, but we cannot trust the
        # client to agree, so never wait for a body we may not get and do
        # not reuse the connection afterwards.
        ambiguous = chunked and "content-length" in headers
        if ambiguous:
            self.close_connection = True
            rec["error"] = "both Transfer-Encoding and Content-Length sent"

        # Authentication first: a 401 must never depend on the mode.
        authz = self.headers.get("Authorization")
        if authz and authz.strip():
            rec["auth_scheme"] = authz.split(None, 1)[0].lower()
        if not cfg.no_auth:
            state, user = self.server.auth.check(authz, self.command, self.path)
            rec["auth"] = state
            rec["digest_user"] = user
            if state != "ok":
                if has_body:
                    if expect or ambiguous:
                        # The client is holding the body back for us; it may
                        # or may not send it after our 401, so the only
                        # unambiguous thing to do is close afterwards.
                        self.close_connection = True
                    else:
                        try:
                            body.drain()
                        except (ClientGone, BadFraming, ConnectionError,
                                TimeoutError, ssl.SSLError) as e:
                            rec["body_bytes"] = body.total
                            rec["outcome"] = "client-gone"
                            rec["error"] = str(e) or type(e).__name__
                            rec_w(rec)
                            self.close_connection = True
                            return None
                rec["body_bytes"] = body.total
                rec["status"] = 401
                rec["outcome"] = "replied"
                rec_w(rec)
                challenge = self.server.auth.challenge(stale=(state == "stale"))
                return lambda: self._reply(
                    # The service's own reply format: values, a blank
                    # line, then the text the reporter is shown.
                    401, b"ERRCODE=401\n\nAuthentication required.\n",
                    extra=[("WWW-Authenticate", challenge)])
        else:
            rec["auth"] = "ok"

        busy_after = None
        name = mode.partition(":")[0]
        if name in COUNTED_MODES and mode_known(mode):
            if name != "reset-connections" and self.server.take_failure(mode):
                busy_after = mode.split(":", 2)[2] if name == "busy" else None
                mode = name
            else:
                mode = "ok"

        if mode == "stall":
            rec["outcome"] = "stalled"
            rec_w(rec)
            why = self._wait_for_client_to_leave(cfg.stall_max)
            log("n=%d stall ended: %s" % (rec["n"], why))
            self._abrupt_close()
            return None

        if expect and has_body:
            self.send_response_only(100)
            self.end_headers()

        try:
            if mode in ("close-mid-upload", "reset-mid-body"):
                got = 0
                while got < CLOSE_AFTER:
                    d = body.read(min(READ_CHUNK, CLOSE_AFTER - got))
                    if not d:
                        break
                    got += len(d)
                rec["body_bytes"] = body.total
                if mode == "reset-mid-body":
                    rec["outcome"] = "reset-mid-body"
                    rec_w(rec)
                    self._reset()
                    return None
                rec["outcome"] = "closed-mid-upload"
                rec_w(rec)
                self._abrupt_close()
                return None

            if self.command != "POST":
                body.drain()
                rec["body_bytes"] = body.total
                rec["status"] = 405
                rec["outcome"] = "replied"
                rec_w(rec)
                return lambda: self._reply(
                    405, b"ERRCODE=405\n\nOnly POST is accepted here\n",
                    extra=[("Allow", "POST")])

            ctype, params = split_header_value(headers.get("content-type", ""))
            boundary = params.get("boundary")
            if ctype != "multipart/form-data" or not boundary:
                body.drain()
                rec["body_bytes"] = body.total
                rec["status"] = 400
                rec["outcome"] = "replied"
                rec["error"] = "not a multipart/form-data body with a boundary"
                rec_w(rec)
                return lambda: self._reply(
                    400, b"ERRCODE=400\n\nExpected multipart/form-data\n")

            store = None if cfg.no_store else cfg.record_dir
            mp = MultipartStream(boundary.encode("utf-8", "surrogateescape"),
                                 store, rec["n"])
            try:
                while True:
                    d = body.read(READ_CHUNK)
                    if not d:
                        break
                    mp.feed(d)
                    if mode == "slow-read":
                        time.sleep(len(d) / SLOW_READ_RATE)
                problem = mp.close()
            except MultipartError as e:
                mp.abort()
                body.drain()
                problem = str(e)
            except BaseException:
                mp.abort()
                rec["parts"] = mp.records()
                raise
            rec["parts"] = mp.records()
            rec["body_bytes"] = body.total
            if problem:
                rec["status"] = 400
                rec["outcome"] = "replied"
                rec["error"] = "malformed multipart body: " + problem
                rec_w(rec)
                return lambda: self._reply(
                    400, ("ERRCODE=400\n\nMalformed multipart body: %s\n"
                          % problem).encode())
        except (ClientGone, ConnectionError, TimeoutError, ssl.SSLError) as e:
            rec["body_bytes"] = body.total
            rec["outcome"] = "client-gone"
            rec["error"] = str(e) or type(e).__name__
            rec_w(rec)
            self.close_connection = True
            return None
        except BadFraming as e:
            rec["body_bytes"] = body.total
            rec["status"] = 400
            rec["outcome"] = "replied"
            rec["error"] = str(e)
            rec_w(rec)
            self.close_connection = True
            return lambda: self._reply(400, b"ERRCODE=400\n\nBad chunked body\n")

        if mode == "close-after-body":
            rec["outcome"] = "closed-after-body"
            rec_w(rec)
            self._abrupt_close()
            return None
        if mode == "busy":
            rec["status"] = 503
            rec["outcome"] = "replied"
            rec_w(rec)
            return lambda: self._reply(
                503, b"ERRCODE=503\n\nThe service is busy.\n",
                extra=[("Retry-After", busy_after)])
        if mode == "redirect":
            rec["status"] = 302
            rec["outcome"] = "replied"
            rec_w(rec)
            return lambda: self._reply(302, b"", None,
                                       extra=[("Location", "file:///etc/shadow")])
        if mode == "trickle":
            rec["status"] = 200
            rec["outcome"] = "trickled"
            rec_w(rec)
            return lambda: self._trickle(cfg.stall_max)

        status, rtype, rbody = self._mode_reply(mode)
        rec["status"] = status
        rec["outcome"] = "replied"
        if not mode_known(mode):
            rec["error"] = "unknown mode"
        rec_w(rec)
        return lambda: self._reply(status, rbody, rtype)


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    block_on_close = False
    allow_reuse_address = True
    counted_mode = None
    failures_left = 0
    failures_lock = threading.Lock()

    def note_mode(self, mode):
        """A mode other than the last one seen starts the count again; each
        new connection brings the mode in force here."""
        with self.failures_lock:
            if mode != self.counted_mode:
                self.counted_mode = mode
                counted = mode.partition(":")[0] in COUNTED_MODES and mode_known(mode)
                self.failures_left = int(mode.split(":")[1]) if counted else 0

    def take_failure(self, mode):
        """Whether this use of a counted mode is one of its first N."""
        self.note_mode(mode)
        with self.failures_lock:
            if self.failures_left <= 0:
                return False
            self.failures_left -= 1
            return True

    def server_bind(self):
        # HTTPServer.server_bind does a reverse DNS lookup we have no use for.
        socketserver.TCPServer.server_bind(self)
        host, port = self.server_address[:2]
        self.server_name = host
        self.server_port = port


# ---------------------------------------------------------------------------
# TLS material
# ---------------------------------------------------------------------------

def ensure_cert(cert_dir):
    import fcntl
    os.makedirs(cert_dir, exist_ok=True)
    cert = os.path.join(cert_dir, "cert.pem")
    key = os.path.join(cert_dir, "key.pem")
    # Two services started at once on the same directory must not both
    # generate (and then mix up) key and certificate.
    with open(os.path.join(cert_dir, ".lock"), "w") as lk:
        fcntl.flock(lk, fcntl.LOCK_EX)
        if not (os.path.exists(cert) and os.path.exists(key)):
            tk, tc = key + ".tmp", cert + ".tmp"
            subprocess.run(
                ["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes",
                 "-keyout", tk, "-out", tc, "-days", "3650",
                 "-subj", "/CN=localhost",
                 "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost"],
                check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
            os.replace(tk, key)
            os.replace(tc, cert)
    return cert, key


def write_atomic(path, text):
    d = os.path.dirname(os.path.abspath(path))
    fd, tmp = tempfile.mkstemp(dir=d, prefix=".tmp-")
    with os.fdopen(fd, "w") as f:
        f.write(text)
    os.replace(tmp, path)


def main():
    ap = argparse.ArgumentParser(
        description="Test stand-in for the vendor support service.")
    ap.add_argument("--bind", default="127.0.0.1")
    ap.add_argument("--port", type=int, default=0)
    ap.add_argument("--port-file")
    ap.add_argument("--pid-file")
    ap.add_argument("--record-dir", required=True)
    ap.add_argument("--user")
    ap.add_argument("--password")
    ap.add_argument("--no-auth", action="store_true")
    ap.add_argument("--realm", default="cvreport-support")
    ap.add_argument("--mode", default="ok")
    ap.add_argument("--repid", default="100001")
    ap.add_argument("--no-store", action="store_true")
    ap.add_argument("--https", action="store_true")
    ap.add_argument("--cert-dir")
    ap.add_argument("--stall-max", type=float, default=600.0)
    ap.add_argument("--idle-timeout", type=float, default=120.0)
    cfg = ap.parse_args()
    if not cfg.no_auth and (cfg.user is None or cfg.password is None):
        ap.error("--user and --password are required unless --no-auth")
    if cfg.https and not cfg.cert_dir:
        ap.error("--https needs --cert-dir")
    if not mode_known(cfg.mode):
        ap.error("unknown --mode %r (one of %s)" % (cfg.mode, ", ".join(MODES)))
    os.makedirs(cfg.record_dir, exist_ok=True)
    cfg.record_dir = os.path.abspath(cfg.record_dir)

    if cfg.port_file:
        # A stale port file from an earlier run would send a waiting test to
        # the wrong place.
        try:
            os.unlink(cfg.port_file)
        except FileNotFoundError:
            pass

    Server.address_family = (socket.AF_INET6 if ":" in cfg.bind
                             else socket.AF_INET)
    server = Server((cfg.bind, cfg.port), Handler)
    server.cfg = cfg
    server.recorder = Recorder(cfg.record_dir)
    server.auth = None if cfg.no_auth else DigestAuth(cfg.user, cfg.password,
                                                      cfg.realm)
    server.stopping = threading.Event()

    if cfg.https:
        cert, key = ensure_cert(cfg.cert_dir)
        ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        ctx.load_cert_chain(cert, key)
        server.socket = ctx.wrap_socket(server.socket, server_side=True,
                                        do_handshake_on_connect=False)

    port = server.server_address[1]
    if cfg.pid_file:
        write_atomic(cfg.pid_file, "%d\n" % os.getpid())
    if cfg.port_file:
        write_atomic(cfg.port_file, "%d\n" % port)
    log("listening on %s:%d (%s, mode %s, auth %s)" % (
        cfg.bind, port, "https" if cfg.https else "http", cfg.mode,
        "off" if cfg.no_auth else "digest"))

    stop = threading.Event()

    def on_signal(signum, frame):
        stop.set()

    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGINT, on_signal)

    t = threading.Thread(target=server.serve_forever,
                         kwargs={"poll_interval": 0.1}, daemon=True)
    t.start()
    while not stop.wait(0.1):
        pass
    server.stopping.set()
    server.shutdown()
    server.server_close()
    for f in (cfg.port_file, cfg.pid_file):
        if f:
            try:
                os.unlink(f)
            except OSError:
                pass
    log("stopped")
    return 0


if __name__ == "__main__":
    sys.exit(main())
