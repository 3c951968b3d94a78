#!/usr/bin/env python3
"""Fault-injecting test servers of the tests, benchmarks, soak and demo: HTTP, or DNS.

  test_server.py --port-file F [--root DIR] [--port N] [--control-port-file F] [--rules F]
      [--tls CERT KEY] [--proxy] [--dns]

Listens on 127.0.0.1 (port 0, the default, lets the kernel pick) and writes the port to F,
whole, once it serves. It stops when its parent exits (shell scripts rely on this) or when
the last "tether" of its control port closes, or none came within a minute (Windows tests
under Wine, whose parent tells nothing: Wine starts Unix programs through a double fork).

HTTP: GET, HEAD and POST serve the file of the percent-decoded path below DIR (else 404),
keep-alive on. One Range "bytes=A-B", "bytes=A-" or "bytes=-N" gets 206 (B cut to the end);
one that starts at or past the end gets 416 "bytes */SIZE"; any other Range, the whole file.
--tls CERT KEY speaks HTTPS. With --proxy, a request for an absolute URL is matched by the
URL's path and, unless a rule answers it, relayed to 127.0.0.1 at the URL's port whatever
host it names (502 when nothing answers there); CONNECT HOST:PORT (no rules) opens a tunnel
to 127.0.0.1:PORT the same way, logged with the target HOST:PORT.

Rules, one per line, are query strings ("path=/pkg.bin&times=2&status=503"); a request takes
the first rule that matches and has uses left. HTTP fields: path ("*": any but redirect
hops), method, times (then the rule retires); in place of the file: status (and a short
text), body with Content-Type `type` (none when empty), html=1 (a "network notice" page),
redirect=N (a chain of N redirects, status `redirect_status` or 302, through /_redirect/...,
ending at `to` or the request's own target); on the wire: reset=1 (a TCP reset before any
reply), ignore_range=1, length_delta=N (Content-Length wrong by N, the true body, then
close), no_length=1 (the body ends with the connection), close_after=N (N body bytes, then
close), stall=S (seconds, negative: until the client leaves; before the status line, or
after `stall_after` body bytes), drip=N (bytes per second).
DNS (--dns) answers UDP queries by the scripts whose `name` matches (any case; "*" for any),
else NXDOMAIN. Fields: name, times, a (an address; repeatable), cname (before the
addresses), record=TYPE OWNER DATA (repeatable; 1 an address, 5 a name, others hex data),
rcode, truncated=1, wrong_id=N (copies with a wrong identifier first), silent=1, delay_ms,
compress=0 (owner names in full), raw=HEX (the reply; the query's identifier replaces its
first two bytes unless raw_keep_id=1).

Control port: one command line per connection, answered with text, then closed: "rule LINE"
("ok" or "error: why"), "clear" (the rules), "reset" (rules and log), "log", "stop",
"tether" (held open by the owner). The log has one line per request, tab-separated fields,
each percent-encoded. HTTP: seq, method, target (a proxied request's absolute URL), path,
Range header, status (0 for a reset), body bytes sent so far (growing while the reply goes
out), request headers ("Name: value" lines), request body. DNS: seq, identifier bytes in
hex, flags, qdcount, name, qtype, qclass, the whole query in hex.
"""

import argparse
import http.client
import io
import mimetypes
import os
import re
import select
import socket
import socketserver
import ssl
import struct
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

REDIRECT = '/_redirect/'
HTML_PAGE = (b'<!DOCTYPE html>\n<html><head><title>Network notice</title></head>\n'
             b'<body><h1>Network notice</h1><p>Please sign in to continue.</p></body></html>\n')
# Headers of one connection, which a proxy does not pass on.
HOP_BY_HOP = {'connection', 'keep-alive', 'proxy-connection', 'proxy-authorization',
              'proxy-authenticate', 'te', 'trailer', 'transfer-encoding', 'upgrade',
              'content-length'}
SENT = 6  # the log field of the body bytes sent


FIELDS = {'path': str, 'method': str, 'times': int, 'status': int, 'body': str, 'type': str,
          'html': int, 'redirect': int, 'to': str, 'redirect_status': int, 'reset': int,
          'ignore_range': int, 'length_delta': int, 'no_length': int, 'close_after': int,
          'stall': float, 'stall_after': int, 'drip': int, 'name': str, 'a': list,
          'cname': str, 'record': list, 'rcode': int, 'truncated': int, 'wrong_id': int,
          'silent': int, 'delay_ms': int, 'compress': int, 'raw': str, 'raw_keep_id': int}


class Rule(dict):
    def __init__(self, line):
        super().__init__()
        try:
            for key, value in urllib.parse.parse_qsl(line.strip(), keep_blank_values=True,
                                                     strict_parsing=True, encoding='latin-1'):
                if FIELDS[key] is list:
                    self.setdefault(key, []).append(value)
                else:
                    self[key] = FIELDS[key](value)
        except KeyError as e:
            raise ValueError('unknown field %s' % e)
        self.key = self.get('path', self.get('name', '').lower())
        if not self.key:
            raise ValueError('a rule needs a path or a name ("*" for any)')
        self.left = self.get('times', -1)


NO_RULE = Rule('path=*')


class Server:
    """What the handlers share: rules, log and the end of the run."""

    def __init__(self, options):
        self.options = options
        self.lock = threading.Lock()
        self.rules = []
        self.log = []
        self.tethers = 0
        self.stopping = threading.Event()

    def choose(self, key, method=None):
        with self.lock:
            for rule in self.rules:
                any_key = rule.key == '*' and not key.startswith(REDIRECT)
                if (any_key or rule.key == key) and rule.get('method', method) == method:
                    if rule.left != 0:
                        rule.left -= 1
                        return rule
        return None

    def record(self, *fields):
        with self.lock:
            self.log.append([len(self.log) + 1] + list(fields))
            return self.log[-1]

    def command(self, command, argument):
        with self.lock:
            if command == 'rule':
                self.rules.append(Rule(argument))
            elif command in ('clear', 'reset'):
                self.rules = []
                if command == 'reset':
                    self.log = []
            elif command == 'log':
                return ''.join('\t'.join(urllib.parse.quote(str(field), safe='',
                                                            encoding='latin-1')
                                         for field in entry) + '\n' for entry in self.log)
            elif command != 'stop':
                raise ValueError('unknown command %r' % command)
        return 'ok\n'

    def tether(self, change):
        with self.lock:
            self.tethers += change
            if not self.tethers:
                self.stopping.set()


class Control(socketserver.StreamRequestHandler):
    def handle(self):
        server = self.server.app
        command, _, argument = self.rfile.readline().decode('latin-1').strip().partition(' ')
        if command == 'tether':
            self.wfile.write(b'ok\n')
            server.tether(+1)
            try:
                while self.connection.recv(4096):
                    pass
            except OSError:
                pass
            server.tether(-1)
            return
        try:
            self.wfile.write(server.command(command, argument).encode('latin-1'))
        except ValueError as e:
            self.wfile.write(('error: %s\n' % e).encode('latin-1'))
        if command == 'stop':
            server.stopping.set()


def parse_range(header, size):
    """(first, length) to send, 'unsatisfiable', or None for the whole file."""
    m = re.match(r'^bytes=(\d*)-(\d*)$', header.strip())
    if not m or not (m.group(1) or m.group(2)):
        return None
    if not m.group(1):
        suffix = min(int(m.group(2)), size)
        return (size - suffix, suffix) if suffix else 'unsatisfiable'
    first = int(m.group(1))
    if m.group(2) and int(m.group(2)) < first:
        return None
    last = min(int(m.group(2) or size - 1), size - 1)
    return (first, last - first + 1) if first < size else 'unsatisfiable'


class Http(BaseHTTPRequestHandler):
    protocol_version = 'HTTP/1.1'

    def log_message(self, *args):
        pass

    def handle(self):
        # Without it, the body of a small kept-alive reply waits for the client's delayed ACK.
        self.connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        try:
            if self.server.app.options.tls:
                self.connection.do_handshake()
            super().handle()
        except OSError:
            pass  # clients that leave, resets and stalls that end

    def do_GET(self):
        server = self.server.app
        body = self.rfile.read(int(self.headers.get('Content-Length') or 0))
        url = urllib.parse.urlsplit(self.path)
        rule = server.choose(url.path, self.command) or NO_RULE
        status, headers, payload = self.decide(rule, url, body)
        self.entry = server.record(self.command, self.path, url.path,
                                   self.headers.get('Range', ''),
                                   0 if rule.get('reset') else status, 0,
                                   ''.join('%s: %s\n' % kv for kv in self.headers.items()),
                                   body.decode('latin-1'))
        if rule.get('reset'):
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER,
                                       struct.pack('ii', 1, 0))
            self.connection.close()
            self.close_connection = True
            return
        if 'stall' in rule and 'stall_after' not in rule:
            self.stall(rule['stall'])
        self.send(status, headers, payload, rule)

    do_HEAD = do_POST = do_GET

    def do_CONNECT(self):
        server = self.server.app
        port = self.path.rpartition(':')[2]
        headers = ''.join('%s: %s\n' % kv for kv in self.headers.items())
        try:
            if not server.options.proxy or not port.isdigit():
                raise OSError('no tunnel to %s' % self.path)
            origin = socket.create_connection(('127.0.0.1', int(port)), timeout=30)
        except OSError as e:
            server.record(self.command, self.path, '', '', 502, 0, headers, '')
            self.send(502, [], ('proxy: %s\n' % e).encode(), NO_RULE)
            return
        server.record(self.command, self.path, '', '', 200, 0, headers, '')
        self.send_response(200, 'Connection established')
        self.end_headers()
        self.close_connection = True
        with origin:
            ends = [self.connection, origin]
            while not server.stopping.is_set():
                for end in select.select(ends, [], [], 0.1)[0]:
                    data = end.recv(1 << 16)
                    if not data:
                        return
                    ends[end is self.connection].sendall(data)

    def decide(self, rule, url, body):
        """The reply before the faults that act while it is sent: status, headers, body."""
        target = url.path + ('?' + url.query if url.query else '')
        hop = re.match(r'^%s(\d+)/(.+)$' % REDIRECT, url.path)
        if rule.get('redirect'):
            return self.redirect(rule['redirect'], rule.get('to') or target,
                                 rule.get('redirect_status', 302))
        if hop:
            return self.redirect(int(hop.group(1)), urllib.parse.unquote(hop.group(2)), 302)
        if rule.get('html'):
            return 200, [('Content-Type', 'text/html; charset=utf-8')], HTML_PAGE
        if 'body' in rule:
            kind = rule.get('type', 'text/plain')
            headers = [('Content-Type', kind)] if kind else []
            return rule.get('status', 200), headers, rule['body'].encode('latin-1')
        if 'status' in rule:
            text = '%d %s\n' % (rule['status'], self.responses.get(rule['status'], ('',))[0])
            return rule['status'], [('Content-Type', 'text/plain')], text.encode()
        if self.server.app.options.proxy and url.scheme == 'http':
            return self.relay(url.port or 80, target, body)
        return self.file(url.path, rule.get('ignore_range'))

    def redirect(self, hops, to, status):
        # Each hop is a request of its own: /_redirect/<hops left>/<quoted final target>.
        if hops > 1:
            to = '%s%d/%s' % (REDIRECT, hops - 1, urllib.parse.quote(to, safe=''))
        return status, [('Location', to)], ('redirect to %s\n' % to).encode()

    def relay(self, port, target, body):
        headers = {k: v for k, v in self.headers.items() if k.lower() not in HOP_BY_HOP}
        origin = http.client.HTTPConnection('127.0.0.1', port, timeout=30)
        try:
            origin.request(self.command, target, body=body or None, headers=headers)
            answer = origin.getresponse()
            kept = [(k, v) for k, v in answer.getheaders() if k.lower() not in HOP_BY_HOP]
            return answer.status, kept, answer.read()
        except (OSError, http.client.HTTPException) as e:
            return 502, [], ('proxy: 127.0.0.1:%d: %s\n' % (port, e)).encode()
        finally:
            origin.close()

    def file(self, path, ignore_range):
        root = os.path.realpath(self.server.app.options.root)
        full = os.path.realpath(os.path.join(root, urllib.parse.unquote(path).lstrip('/')))
        if not full.startswith(root + os.sep) or not os.path.isfile(full):
            return 404, [], b'not found\n'
        size = os.path.getsize(full)
        headers = [('Content-Type', mimetypes.guess_type(full)[0] or 'application/octet-stream')]
        wanted = self.headers.get('Range')
        span = None
        if wanted is not None and not ignore_range and self.command != 'POST':
            span = parse_range(wanted, size)
        if span == 'unsatisfiable':
            return 416, [('Content-Range', 'bytes */%d' % size)], b'range not satisfiable\n'
        if span is None:
            return 200, headers, (full, 0, size)
        headers.append(('Content-Range', 'bytes %d-%d/%d' % (span[0], sum(span) - 1, size)))
        return 206, headers, (full,) + span

    def send(self, status, headers, payload, rule):
        """Sends the reply, with the faults that act on the wire. `payload` holds the body, or
        names its (file, first byte, length)."""
        if isinstance(payload, bytes):
            body, size = io.BytesIO(payload), len(payload)
        else:
            body, size = open(payload[0], 'rb'), payload[2]
            body.seek(payload[1])
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        if not rule.get('no_length'):
            self.send_header('Content-Length', str(max(0, size + rule.get('length_delta', 0))))
        if {'no_length', 'length_delta', 'close_after'} & rule.keys():
            self.send_header('Connection', 'close')
            self.close_connection = True
        self.end_headers()
        limit = min(size, rule.get('close_after', size))
        pause = min(rule.get('stall_after', limit), limit)
        with body:
            if self.command != 'HEAD':
                self.pour(body, pause, rule.get('drip'))
                if 'stall_after' in rule:
                    self.stall(rule.get('stall', -1))
                self.pour(body, limit - pause, rule.get('drip'))

    def pour(self, body, count, rate):
        """Writes `count` bytes of `body`, at `rate` bytes per second when there is one."""
        step = max(1, rate // 10) if rate else 1 << 16
        while count > 0:
            data = body.read(min(step, count))
            if not data:
                return
            count -= len(data)
            self.wfile.write(data)
            self.entry[SENT] += len(data)
            if rate:
                time.sleep(len(data) / rate)

    def stall(self, seconds):
        """Sleeps; a negative time lasts until the client leaves (or the server stops)."""
        deadline = time.monotonic() + seconds if seconds >= 0 else float('inf')
        while time.monotonic() < deadline and not self.server.app.stopping.is_set():
            if select.select([self.connection], [], [], 0.1)[0]:
                # A peek below TLS, at the connection itself: b'' once the client closed it.
                if socket.socket.recv(self.connection, 1, socket.MSG_PEEK) == b'':
                    raise ConnectionAbortedError('the client left')
                time.sleep(0.1)  # the client sent more: stall on without spinning


def dns_name(text):
    out = b''
    for label in text.split('.'):
        if label:
            out += bytes([len(label)]) + label.encode('latin-1')
    return out + b'\0'


def dns_answer(rule, query, question, name):
    if 'raw' in rule:
        raw = bytes.fromhex(rule['raw'])
        return raw if rule.get('raw_keep_id') else query[:2] + raw[2:]
    records = [(None, 5, dns_name(rule['cname']))] if 'cname' in rule else []
    records += [(None, 1, socket.inet_aton(a)) for a in rule.get('a', [])]
    for record in rule.get('record', []):
        kind, owner, value = record.split(' ', 2)
        data = {'1': socket.inet_aton, '5': dns_name}.get(kind, bytes.fromhex)(value)
        records.append((owner, int(kind), data))
    flags = 0x8080 | (query[2] & 1) << 8 | rule.get('rcode', 0)
    flags |= 0x0200 if rule.get('truncated') else 0
    out = query[:2] + struct.pack('!HHHHH', flags, 1, len(records), 0, 0) + question
    for owner, kind, data in records:
        compress = owner is None and rule.get('compress', True)
        out += b'\xc0\x0c' if compress else dns_name(owner or name)
        out += struct.pack('!HHIH', kind, 1, 60, len(data)) + data
    return out


class Dns(socketserver.BaseRequestHandler):
    def handle(self):
        server = self.server.app
        query, sock = self.request
        labels, at = [], 12
        try:
            while query[at]:
                labels.append(query[at + 1:at + 1 + query[at]].decode('latin-1'))
                at += 1 + query[at]
            flags, qdcount = struct.unpack('!HH', query[2:6])
            qtype, qclass = struct.unpack('!HH', query[at + 1:at + 5])
        except (IndexError, struct.error):
            server.record('', '', '', '', '', '', query.hex())
            return
        name = '.'.join(labels)
        question = query[12:at + 5]
        server.record(query[:2].hex(), flags, qdcount, name, qtype, qclass, query.hex())
        rule = server.choose(name.lower())
        if rule is None:
            nxdomain = struct.pack('!HHHHH', 0x8083 | flags & 0x0100, 1, 0, 0, 0)
            sock.sendto(query[:2] + nxdomain + question, self.client_address)
            return
        answer = dns_answer(rule, query, question, name)
        wrong = bytes([answer[0] ^ 0xFF, answer[1] ^ 0x5A]) + answer[2:]
        time.sleep(rule.get('delay_ms', 0) / 1000)
        for datagram in [wrong] * rule.get('wrong_id', 0) + [answer] * (not rule.get('silent')):
            sock.sendto(datagram, self.client_address)


def listen(server_class, handler, port, app, tls=None):
    listener = server_class(('127.0.0.1', port), handler)
    listener.daemon_threads = True
    listener.app = app
    if tls:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(*tls)
        # The handshake runs on the handler's thread: a silent client cannot block accept().
        listener.socket = context.wrap_socket(listener.socket, server_side=True,
                                              do_handshake_on_connect=False)
    threading.Thread(target=listener.serve_forever, args=(0.1,), daemon=True).start()
    return listener


def write_port_file(path, port):
    with open(path + '.tmp', 'w') as f:
        f.write('%d\n' % port)
    os.replace(path + '.tmp', path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('--port-file', required=True)
    parser.add_argument('--root', default='.')
    parser.add_argument('--port', type=int, default=0)
    parser.add_argument('--control-port-file')
    parser.add_argument('--rules')
    parser.add_argument('--tls', nargs=2, metavar=('CERT', 'KEY'))
    parser.add_argument('--proxy', action='store_true')
    parser.add_argument('--dns', action='store_true')
    options = parser.parse_args()
    app = Server(options)
    try:
        with open(options.rules or os.devnull) as f:
            app.rules = [Rule(line) for line in f if line.strip()]
    except (OSError, ValueError) as e:
        parser.error('--rules %s: %s' % (options.rules, e))
    if options.dns:
        listeners = [listen(socketserver.ThreadingUDPServer, Dns, options.port, app)]
    else:
        listeners = [listen(ThreadingHTTPServer, Http, options.port, app, options.tls)]
    if options.control_port_file:
        listeners.append(listen(socketserver.ThreadingTCPServer, Control, 0, app))
        write_port_file(options.control_port_file, listeners[1].server_address[1])
    write_port_file(options.port_file, listeners[0].server_address[1])
    parent = os.getppid()
    started = time.monotonic()
    # A parent of 1 from the start: orphaned on purpose (Wine's double fork). A tether that
    # never comes (its owner died while the server started) ends the server after a minute.
    while not app.stopping.wait(0.2):
        orphaned = parent != 1 and os.getppid() != parent
        untethered = options.control_port_file and not app.tethers
        if orphaned or (untethered and time.monotonic() - started > 60):
            break
    # The control port closes last: once it refuses connections, everything else is closed.
    for listener in listeners:
        listener.shutdown()
        listener.server_close()
    os._exit(0)  # handler threads may still sit in a stall or a drip


if __name__ == '__main__':
    main()
