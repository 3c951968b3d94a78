#!/usr/bin/env python3
"""Fault-injecting HTTP/1.1 server for the project's tests, demo, benchmarks and soak runs.

  python3 tests/support/http_server.py --root DIR --port-file F [--log F] [--port N]
      [--rules F] [--control-port-file F] [--tls CERT KEY] [--idle-timeout S] [--proxy]

Serves the files under DIR on 127.0.0.1 (port 0 by default: the kernel picks a free port,
written to --port-file once the server accepts connections). Lifetime guards and the control
protocol are described in testserver_common.py; the control routes are served on the main
port and, with --control-port-file, on a plain-HTTP port of their own (for clients that
cannot speak TLS when the main port speaks HTTPS; TLS clients should use "localhost").

Files. GET, HEAD and POST serve the file named by the path (percent-decoded, below DIR;
"..", folders and missing files get 404). Keep-alive is on. Every reply carries
Content-Length, Accept-Ranges: bytes, ETag and Last-Modified. A POST's body is read and
logged; its reply is the file, as for a GET without Range.

Ranges (GET and HEAD, one range "bytes=A-B", "bytes=A-" or "bytes=-N"): 206 with
Content-Range; B beyond the end is cut to the end; a suffix longer than the file gives the
whole file; A at or beyond the end, or a suffix of 0, gives 416 with "Content-Range: bytes
*/SIZE". A malformed Range, several ranges, or an If-Range that matches neither the ETag nor
the Last-Modified date gives the whole file with 200.

Faults are rules, added with POST /_control/rules (a JSON object or an array of them; a
batch with one bad rule adds none), cleared with POST /_control/clear-rules (or
/_control/reset, which also clears the log and the attempt counters), or loaded at start
from --rules F (a JSON array). For each request the first rule that matches
and still has uses left is applied; a rule that is passed over for another does not count
the request. Fields of a rule:
  path          the request path exactly as sent, without the query; "*" matches every path
  method        only requests with this method
  skip          let this many matching requests through untouched first (default 0)
  times         apply to this many requests, then retire (default: no limit)
  status        reply with this status and a short text (or `body`) in place of the file
  body          reply with this text (status 200 unless `status` says otherwise)
  content_type  Content-Type of `body` (default text/plain)
  html          a text/html page ("network notice") with status 200, in place of the file
  redirect      a chain of this many redirects, through /_redirect/..., ending at `to`
  to            target of the redirect chain (default: the requested path and query again;
                an absolute URL may point at another server)
  redirect_status  status of each redirect (default 302)
  reset         true: close the connection with a TCP reset, before any reply
  ignore_range  true: answer 200 with the whole file even when a Range was asked
  length_delta  announce a Content-Length wrong by this many bytes, send the true body,
                then close the connection
  no_length     true: no Content-Length; the body ends when the connection closes
  close_after   send the headers and this many body bytes, then close the connection
  stall         seconds to stall (a negative number: until the client goes away or the
                server stops), before the status line, or after `stall_after` body bytes
  stall_after   body bytes sent before the stall (at the body's end when it is shorter)
  drip          send the body at this many bytes per second
  headers       an object of extra response headers
Examples:
  {"path": "/pkg.bin", "times": 2, "status": 503}     first two requests 503, then served
  {"path": "/pkg.bin", "times": 1, "close_after": 1000}
  {"path": "/pkg.bin", "stall": -1}                    stall forever, before any reply
  {"path": "/pkg.bin", "drip": 10}                     10 bytes/s
  {"path": "/pkg.bin", "redirect": 3}                  3 redirects, then the file

Proxy mode (--proxy): the server is also a forward HTTP proxy. A request whose target is an
absolute URL ("GET http://127.0.0.2:8080/pkg.bin") is matched against the rules by the URL's
path; a rule that replaces the reply (status, body, html, redirect, reset...) answers in the
proxy's name (a proxy's error page, a captive portal), the faults on the wire apply to what
is relayed, and otherwise the request goes on, without its hop-by-hop headers, to 127.0.0.1
at the URL's port, whose reply is relayed (502 when nothing answers there). Whatever host the
URL names, the proxy only ever connects to 127.0.0.1: tests name other loopback addresses
(127.0.0.2) to tell proxied requests from direct ones without any name lookup. Requests with
a plain path are served from DIR as usual (a proxy auto-config script, for instance).

Log. One JSON object per request, in arrival order, written when the request has been read
and the reply decided (so before a stall): seq, conn (connection number: equal numbers mean
one kept-alive connection), attempt (n-th request for this path), method, target, path,
range (the Range header, "" when none), headers ("Name: value" lines), body (a POST's body),
status (the status sent or about to be sent; 0 for a reset), rule (index of the applied
rule, -1 for none), faults (names of the rule's fault fields, comma-separated), time
(seconds since start), sent (body bytes written to the connection so far: the control
route's log shows it growing; the file keeps 0); in proxy mode the target of a proxied request is its absolute URL and
its path the URL's path. Redirect hops through /_redirect/ are ordinary requests and are
logged (a rule for "*" does not apply to them); control requests are not logged.
"""

import argparse
import email.utils
import http.client
import itertools
import mimetypes
import os
import re
import select
import socket
import ssl
import struct
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import testserver_common as common  # noqa: E402

CHUNK = 64 * 1024
REDIRECT_PREFIX = '/_redirect/'
HTML_PAGE = (b'<!DOCTYPE html>\n<html><head><meta charset="utf-8"><title>Network notice</title>'
             b'</head>\n<body><h1>Network notice</h1><p>Please sign in to continue.</p>'
             b'</body></html>\n')

RULE_FIELDS = {
    'path': str, 'method': str, 'skip': int, 'times': int, 'status': int, 'body': str,
    'content_type': str, 'html': bool, 'redirect': int, 'to': str, 'redirect_status': int,
    'reset': bool, 'ignore_range': bool, 'length_delta': int, 'no_length': bool,
    'close_after': int, 'stall': (int, float), 'stall_after': int, 'drip': int,
    'headers': dict,
}
MATCH_FIELDS = ('path', 'method', 'skip', 'times')
# Headers of one connection, which a proxy does not pass on (RFC 9110, 7.6.1).
HOP_BY_HOP = {'connection', 'keep-alive', 'proxy-connection', 'proxy-authorization',
              'proxy-authenticate', 'te', 'trailer', 'transfer-encoding', 'upgrade'}


class Rule(common.ScriptedRule):
    FIELDS = RULE_FIELDS
    KEY = 'path'
    KIND = 'rule'

    def __init__(self, fields):
        super().__init__(fields)
        if fields.get('drip', 1) <= 0:
            raise common.ControlError('"drip" must be a positive rate')

    def applies_to(self, request):
        method, path = request
        wanted = self.fields['path']
        any_path = wanted == '*' and not path.startswith(REDIRECT_PREFIX)
        return (any_path or wanted == path) and self.fields.get('method', method) == method

    def faults(self):
        return ','.join(k for k in self.fields if k not in MATCH_FIELDS)


NO_RULE = Rule({'path': '*'})


class State:
    """What clients and tests share: rules, attempt counters, the log."""

    def __init__(self, root, log):
        self.root = os.path.realpath(root)
        self.log = log
        self.rules = common.RuleBook(Rule)
        self._lock = threading.Lock()
        self._attempts = {}
        self.connections = itertools.count(1)
        self.started = time.monotonic()

    def reset(self, body=b''):
        self.rules.clear()
        with self._lock:
            self._attempts = {}
        return 'ok\n'

    def choose(self, method, path):
        """Counts the attempt and picks the rule to apply: (attempt, index, rule)."""
        with self._lock:
            attempt = self._attempts.get(path, 0) + 1
            self._attempts[path] = attempt
        index, rule = self.rules.choose((method, path))
        return attempt, index, rule


class Reply:
    """One decided reply: status, headers and where the body comes from."""

    def __init__(self, status):
        self.status = status
        self.headers = []
        self.payload = b''       # the body, unless a file range is sent
        self.file_path = None
        self.first = 0           # file range [first, first + length)
        self.length = 0
        self.close = False

    def body_size(self):
        return self.length if self.file_path else len(self.payload)


RANGE_RE = re.compile(r'^bytes=(\d*)-(\d*)$')


def parse_range(header, size):
    """(first, length) to send, 'unsatisfiable', or None for "send the whole file"."""
    m = RANGE_RE.match(header.strip())
    if not m or (not m.group(1) and not m.group(2)):
        return None
    if not m.group(1):
        suffix = int(m.group(2))
        if suffix == 0 or size == 0:
            return 'unsatisfiable'
        suffix = min(suffix, size)
        return size - suffix, suffix
    first = int(m.group(1))
    if m.group(2) and int(m.group(2)) < first:
        return None
    if first >= size:
        return 'unsatisfiable'
    last = int(m.group(2)) if m.group(2) else size - 1
    last = min(last, size - 1)
    return first, last - first + 1


class Handler(common.QuietHandlerMixin, BaseHTTPRequestHandler):
    protocol_version = 'HTTP/1.1'
    server_version = 'KeltoTestServer/1.0'

    def setup(self):
        super().setup()
        self.conn_id = next(self.server.state.connections)
        # A reply goes out as a header block and then a body: without this, the body of a
        # small reply on a kept-alive connection waits for the client's delayed ACK (40 ms).
        self.connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.handshake_failed = False
        if self.server.tls:
            try:
                self.connection.settimeout(30)
                self.connection.do_handshake()
                self.connection.settimeout(None)
            except (OSError, ssl.SSLError):
                self.handshake_failed = True

    def handle(self):
        if not self.handshake_failed:
            super().handle()

    def do_GET(self):
        self._serve()

    do_HEAD = do_POST = do_GET

    def _serve(self):
        state = self.server.state
        self.server.lifetime.touch()
        raw_path, _, query = self.path.partition('?')
        try:
            body = common.read_request_body(self)
        except ValueError:
            self.close_connection = True
            common.send_plain(self, 400, 'malformed request body framing\n')
            return
        if raw_path.startswith(common.CONTROL_PREFIX):
            self.server.routes.handle(self, self.command, raw_path, body)
            return
        origin_port = None
        if self.server.proxy and self.path.startswith('http://'):
            url = urllib.parse.urlsplit(self.path)
            raw_path, query = url.path or '/', url.query
            origin_port = url.port or 80
        attempt, index, rule = state.choose(self.command, raw_path)
        reply = self._decide(raw_path, query, rule, origin_port, body)
        entry = {
            'conn': self.conn_id, 'attempt': attempt, 'method': self.command,
            'target': self.path, 'path': raw_path,
            'range': self.headers.get('Range', ''),
            'headers': ''.join('%s: %s\n' % kv for kv in self.headers.items()),
            'body': common.bytes_text(body),
            'status': 0 if rule and rule.get('reset') else reply.status,
            'rule': index, 'faults': rule.faults() if rule else '',
            'time': round(time.monotonic() - state.started, 4), 'sent': 0,
        }
        state.log.append(entry)
        self.log_entry = entry
        rule = rule or NO_RULE
        if rule.get('reset'):
            self._reset()
            return
        stall = rule.get('stall')
        if stall is not None and rule.get('stall_after') is None:
            self._stall(stall)
        self._send(reply, rule)

    # Pass 1: the reply without faults on the wire (those come while sending).
    def _decide(self, raw_path, query, rule, origin_port=None, body=b''):
        rule = rule or NO_RULE
        redirect = rule.get('redirect', 0)
        if redirect > 0:
            target = rule.get('to') or raw_path + ('?' + query if query else '')
            return self._redirect_reply(rule.get('redirect_status', 302), redirect, target)
        if raw_path.startswith(REDIRECT_PREFIX):
            hop = self._redirect_hop(raw_path)
            if hop:
                return hop
        if rule.get('html'):
            reply = self._text_reply(rule.get('status', 200), HTML_PAGE, 'text/html; charset=utf-8')
        elif rule.get('body') is not None:
            reply = self._text_reply(rule.get('status', 200), common.text_bytes(rule.get('body')),
                                     rule.get('content_type', 'text/plain'))
        elif rule.get('status') is not None:
            status = rule.get('status')
            text = ('%d %s\n' % (status, self.responses.get(status, ('',))[0])).encode()
            reply = self._text_reply(status, text, 'text/plain')
        elif origin_port is not None:
            reply = self._forward_reply(origin_port, raw_path + ('?' + query if query else ''), body)
        else:
            reply = self._file_reply(raw_path, rule.get('ignore_range', False))
        for name, value in rule.get('headers', {}).items():
            reply.headers.append((name, str(value)))
        return reply

    def _text_reply(self, status, payload, content_type):
        reply = Reply(status)
        reply.payload = payload
        reply.headers.append(('Content-Type', content_type))
        return reply

    def _redirect_reply(self, status, hops, target):
        # Each hop is a request of its own: /_redirect/<hops left>/<quoted final target>.
        if hops > 1:
            location = '%s%d/%s' % (REDIRECT_PREFIX, hops - 1, urllib.parse.quote(target, safe=''))
        else:
            location = target
        reply = self._text_reply(status, ('redirect to %s\n' % location).encode('latin-1'),
                                 'text/plain')
        reply.headers.append(('Location', location))
        return reply

    def _redirect_hop(self, raw_path):
        m = re.match(r'^%s(\d+)/(.+)$' % re.escape(REDIRECT_PREFIX), raw_path)
        if not m:
            return None
        return self._redirect_reply(302, int(m.group(1)), urllib.parse.unquote(m.group(2)))

    def _forward_reply(self, port, target, body):
        """The reply of 127.0.0.1:port to this request, as a proxy relays it."""
        headers = {k: v for k, v in self.headers.items() if k.lower() not in HOP_BY_HOP}
        origin = http.client.HTTPConnection('127.0.0.1', port, timeout=30)
        try:
            origin.request(self.command, target, body=body or None, headers=headers)
            answer = origin.getresponse()
            reply = Reply(answer.status)
            reply.payload = answer.read()
            reply.headers = [(k, v) for k, v in answer.getheaders()
                             if k.lower() not in HOP_BY_HOP and k.lower() != 'content-length']
            return reply
        except (OSError, http.client.HTTPException) as e:
            return self._text_reply(502, ('proxy: 127.0.0.1:%d: %s\n' % (port, e)).encode(),
                                    'text/plain')
        finally:
            origin.close()

    def _file_reply(self, raw_path, ignore_range):
        state = self.server.state
        try:
            relative = urllib.parse.unquote(raw_path, errors='strict').lstrip('/')
            parts = [p for p in relative.split('/') if p]
            full = os.path.realpath(os.path.join(state.root, *parts)) if parts else state.root
        except (UnicodeDecodeError, ValueError):
            full, parts = state.root, []
        inside = full.startswith(state.root + os.sep)
        if '..' in parts or not inside or not os.path.isfile(full):
            return self._text_reply(404, b'not found\n', 'text/plain')
        st = os.stat(full)
        size = st.st_size
        etag = '"%x-%x"' % (size, int(st.st_mtime))
        modified = email.utils.formatdate(st.st_mtime, usegmt=True)
        reply = Reply(200)
        reply.file_path = full
        reply.first, reply.length = 0, size
        reply.headers += [('Content-Type', mimetypes.guess_type(full)[0] or
                           'application/octet-stream'),
                          ('Accept-Ranges', 'bytes'), ('ETag', etag),
                          ('Last-Modified', modified)]
        wanted = self.headers.get('Range')
        if_range = self.headers.get('If-Range')
        if (wanted is None or ignore_range or self.command == 'POST'
                or (if_range is not None and if_range.strip() not in (etag, modified))):
            return reply
        chosen = parse_range(wanted, size)
        if chosen == 'unsatisfiable':
            unsatisfiable = self._text_reply(416, b'range not satisfiable\n', 'text/plain')
            unsatisfiable.headers.append(('Content-Range', 'bytes */%d' % size))
            return unsatisfiable
        if chosen is not None:
            reply.status = 206
            reply.first, reply.length = chosen
            reply.headers.append(('Content-Range', 'bytes %d-%d/%d' % (
                reply.first, reply.first + reply.length - 1, size)))
        return reply

    # Pass 2: the wire, with the faults that act while sending.
    def _send(self, reply, rule):
        size = reply.body_size()
        if rule.get('no_length'):
            reply.close = True
        else:
            reply.headers.append(('Content-Length', str(max(0, size + rule.get('length_delta', 0)))))
        if rule.get('length_delta') or rule.get('close_after') is not None:
            reply.close = True
        self.send_response(reply.status)
        for name, value in reply.headers:
            self.send_header(name, value)
        if reply.close:
            self.send_header('Connection', 'close')
        self.end_headers()
        self.wfile.flush()
        if reply.close:
            self.close_connection = True
        if self.command == 'HEAD':
            return
        limit = rule.get('close_after')
        limit = size if limit is None else min(limit, size)
        stall_after = rule.get('stall_after')
        sent = 0
        for chunk in self._body_chunks(reply, limit):
            if stall_after is not None and sent <= stall_after < sent + len(chunk):
                cut = stall_after - sent
                self._write(chunk[:cut], rule)
                self._stall(rule.get('stall', -1))
                stall_after = None
                chunk = chunk[cut:]
            self._write(chunk, rule)
            sent += len(chunk)
        if stall_after is not None and stall_after >= sent:
            self._stall(rule.get('stall', -1))

    def _body_chunks(self, reply, limit):
        if not reply.file_path:
            yield reply.payload[:limit]
            return
        with open(reply.file_path, 'rb') as f:
            f.seek(reply.first)
            left = min(limit, reply.length)
            while left > 0:
                data = f.read(min(CHUNK, left))
                if not data:
                    break  # the file shrank under us; the client sees a short body
                left -= len(data)
                yield data

    def _write(self, data, rule):
        rate = rule.get('drip')
        if not rate:
            self._write_counted(data)
            return
        step = max(1, rate // 10)
        for i in range(0, len(data), step):
            if self.server.lifetime.stopping.is_set():
                raise ConnectionAbortedError('server stopping')
            piece = data[i:i + step]
            self._write_counted(piece)
            # The piece, not the step: a chunk of the file shorter than a step must not take
            # a whole step's time, or fast rates come out far too slow.
            time.sleep(len(piece) / rate)

    def _write_counted(self, data):
        self.wfile.write(data)
        entry = self.log_entry
        self.server.state.log.note(entry, 'sent', entry['sent'] + len(data))

    def _stall(self, seconds):
        """Sleeps; a negative time lasts until the client closes or the server stops."""
        deadline = None if seconds < 0 else time.monotonic() + seconds
        stopping = self.server.lifetime.stopping
        while not stopping.is_set():
            if deadline is not None and time.monotonic() >= deadline:
                return
            if self._client_gone():
                raise ConnectionAbortedError('client went away during a stall')
        raise ConnectionAbortedError('server stopping')

    def _client_gone(self):
        """Waits up to 0.1 s; true when the client closed its end."""
        if self.server.tls:
            # TLS sockets cannot peek; a stall there ends with the server or a failed write.
            self.server.lifetime.stopping.wait(0.1)
            return False
        readable, _, _ = select.select([self.connection], [], [], 0.1)
        if not readable:
            return False
        try:
            if self.connection.recv(1, socket.MSG_PEEK) == b'':
                return True
        except OSError:
            return True
        time.sleep(0.1)  # the client sent more; keep stalling without spinning
        return False

    def _reset(self):
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack('ii', 1, 0))
        self.connection.close()
        self.close_connection = True


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('--root', required=True)
    parser.add_argument('--port-file', required=True)
    parser.add_argument('--log')
    parser.add_argument('--port', type=int, default=0)
    parser.add_argument('--rules')
    parser.add_argument('--control-port-file')
    parser.add_argument('--tls', nargs=2, metavar=('CERT', 'KEY'))
    parser.add_argument('--idle-timeout', type=float, default=600)
    parser.add_argument('--proxy', action='store_true',
                        help='also a forward proxy to 127.0.0.1 (see the description)')
    args = parser.parse_args()
    if not os.path.isdir(args.root):
        parser.error('--root %s is not a folder' % args.root)

    lifetime = common.Lifetime(args.idle_timeout)
    log = common.RequestLog(args.log)
    state = State(args.root, log)
    routes = common.ControlRoutes(lifetime, log, state.reset)
    state.rules.serve(routes, 'rules')
    if args.rules:
        state.rules.add_file(parser, '--rules', args.rules)

    server = common.make_http_listener(args.port, Handler, lifetime, routes)
    server.state = state
    server.tls = bool(args.tls)
    server.proxy = args.proxy
    if args.tls:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.tls[0], args.tls[1])
        # The handshake runs on the handler's thread: a silent client cannot block accept().
        server.socket = context.wrap_socket(server.socket, server_side=True,
                                            do_handshake_on_connect=False)
    servers = [server]
    if args.control_port_file:
        control = common.make_http_listener(0, common.ControlHandler, lifetime, routes)
        servers.append(control)
        common.write_port_file(args.control_port_file, control.server_address[1])
    common.write_port_file(args.port_file, server.server_address[1])
    common.run_until_stopped(lifetime, servers, log)


if __name__ == '__main__':
    main()
