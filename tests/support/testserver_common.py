"""Plumbing shared by the project's test servers (http_server.py, dns_server.py).

Lifetime. A test server must never outlive the test that started it, even when that test
crashes. Three guards end it, whichever fires first:
  - a tether: a client may open GET /_control/tether and keep the connection open; when the
    last tether closes (its owner exited, cleanly or not, and the kernel closed its socket) the
    server stops. Windows tests under Wine use this: Wine starts Unix programs through a double
    fork, so their parent process id tells nothing;
  - the parent: when the process that started the server goes away (its parent id changes),
    the server stops. Shell scripts that start a server in the background rely on this;
  - idleness: with no tether open, no request for --idle-timeout seconds stops it.

Control protocol. Plain HTTP/1.1 on 127.0.0.1, paths under /_control/:
  GET  /_control/ping     "ok"
  GET  /_control/log      the request log so far, one JSON object per line
  POST /_control/reset    forget the scripted behaviour and the log
  POST /_control/stop     stop the server
  GET  /_control/tether   held open by the owner; see above
plus the routes of each server. Bodies are JSON. Strings carry bytes as code points 0-255
(ISO-8859-1), in both directions, so any byte sequence survives a round trip exactly.

Port files are written whole (written aside, then renamed), so a reader that sees the file
sees the complete number.
"""

import json
import os
import socket
import sys
import threading
import time
import traceback
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

CONTROL_PREFIX = '/_control/'


def write_port_file(path, port):
    tmp = '%s.%d.tmp' % (path, os.getpid())
    with open(tmp, 'w') as f:
        f.write('%d\n' % port)
    os.replace(tmp, path)


def bytes_text(data):
    """Bytes as a JSON-safe string of code points 0-255."""
    return data.decode('latin-1')


def text_bytes(text):
    """The inverse of bytes_text; a code point above 255 is a caller error."""
    return text.encode('latin-1')


class Lifetime:
    """Decides when the server stops; see the module's description."""

    def __init__(self, idle_timeout):
        self.stopping = threading.Event()
        self.reason = ''
        self._idle_timeout = idle_timeout
        self._lock = threading.Lock()
        self._last_activity = time.monotonic()
        self._tethers = 0
        self._parent = os.getppid()

    def touch(self):
        with self._lock:
            self._last_activity = time.monotonic()

    def tether_opened(self):
        with self._lock:
            self._tethers += 1

    def tether_closed(self):
        with self._lock:
            self._tethers -= 1
            last = self._tethers == 0
        if last:
            self.stop('owner closed its tether')

    def stop(self, reason):
        with self._lock:
            if not self.reason:
                self.reason = reason
        self.stopping.set()

    def wait(self):
        """Blocks until something asks the server to stop."""
        while not self.stopping.wait(0.2):
            # A parent id of 1 at start means we were orphaned on purpose (double fork).
            if self._parent != 1 and os.getppid() != self._parent:
                self.stop('parent process exited')
            with self._lock:
                idle = time.monotonic() - self._last_activity
                tethered = self._tethers > 0
            if not tethered and self._idle_timeout > 0 and idle > self._idle_timeout:
                self.stop('idle for %d s' % self._idle_timeout)
        return self.reason


class RequestLog:
    """The ordered record of what clients asked, kept in memory and appended to a file."""

    def __init__(self, path):
        self._lock = threading.Lock()
        self._entries = []
        self._file = open(path, 'a', encoding='ascii') if path else None

    def append(self, entry):
        with self._lock:
            entry['seq'] = len(self._entries) + 1
            self._entries.append(entry)
            if self._file:
                self._file.write(json.dumps(entry, ensure_ascii=True) + '\n')
                self._file.flush()
            return entry['seq']

    def note(self, entry, key, value):
        """Changes a field of an entry after the fact (the control route shows it; the file
        keeps the entry as it was appended)."""
        with self._lock:
            entry[key] = value

    def clear(self):
        with self._lock:
            self._entries = []

    def lines(self):
        with self._lock:
            return ''.join(json.dumps(e, ensure_ascii=True) + '\n' for e in self._entries)

    def close(self):
        with self._lock:
            if self._file:
                self._file.close()
                self._file = None


class ControlError(Exception):
    """A control request that cannot be carried out; answered with 400 and the message."""


def parse_json_list(body):
    """A JSON object or a JSON array of objects, as a list of dicts."""
    try:
        value = json.loads(body.decode('utf-8'))
    except (UnicodeDecodeError, ValueError) as e:
        raise ControlError('body is not JSON: %s' % e)
    items = value if isinstance(value, list) else [value]
    for item in items:
        if not isinstance(item, dict):
            raise ControlError('expected a JSON object, got %r' % (item,))
    return items


class ScriptedRule:
    """One scripted behaviour: checked fields, and the skip/times counters every server's
    rules share. Subclasses set FIELDS (name -> type), KEY (the field that must be present)
    and KIND (its name in messages), and define applies_to(request)."""
    FIELDS = {}
    KEY = ''
    KIND = 'rule'

    def __init__(self, fields):
        for key, value in fields.items():
            kind = self.FIELDS.get(key)
            if kind is None:
                raise ControlError('unknown %s field "%s"' % (self.KIND, key))
            if isinstance(value, bool) and kind is not bool or not isinstance(value, kind):
                raise ControlError('%s field "%s" has the wrong type' % (self.KIND, key))
        if self.KEY not in fields:
            raise ControlError('a %s needs a "%s" ("*" for any)' % (self.KIND, self.KEY))
        self.fields = fields
        self.seen = 0
        self.applied = 0

    def get(self, key, default=None):
        return self.fields.get(key, default)

    def applies_to(self, request):
        raise NotImplementedError


class RuleBook:
    """The ordered rules of a server. The first rule that applies to a request and has uses
    left takes it; a rule still skipping counts the request and passes it on."""

    def __init__(self, rule_class):
        self._rule_class = rule_class
        self._lock = threading.Lock()
        self._rules = []

    def add(self, body):
        """Control route: adds a JSON object or array of rules, all or none."""
        new_rules = [self._rule_class(fields) for fields in parse_json_list(body)]
        with self._lock:
            self._rules.extend(new_rules)
            return 'ok %d\n' % len(self._rules)

    def clear(self, body=b''):
        with self._lock:
            self._rules = []
        return 'ok\n'

    def serve(self, routes, noun):
        """Routes POST /_control/<noun> to add rules and POST /_control/clear-<noun>."""
        routes.add('POST', noun, self.add)
        routes.add('POST', 'clear-' + noun, self.clear)

    def add_file(self, parser, option, path):
        """Adds the rules of a JSON file named on the command line; a bad one ends the start."""
        try:
            with open(path, 'rb') as f:
                self.add(f.read())
        except (OSError, ControlError) as e:
            parser.error('%s %s: %s' % (option, path, e))

    def choose(self, request):
        """(index, rule) for the request, or (-1, None)."""
        with self._lock:
            for index, rule in enumerate(self._rules):
                times = rule.get('times', -1)
                if (times >= 0 and rule.applied >= times) or not rule.applies_to(request):
                    continue
                rule.seen += 1
                if rule.seen <= rule.get('skip', 0):
                    continue
                rule.applied += 1
                return index, rule
            return -1, None


class ControlRoutes:
    """Routes of /_control/ shared by every server; a server adds its own with add()."""

    def __init__(self, lifetime, log, on_reset):
        self.lifetime = lifetime
        self.log = log
        self._routes = {
            ('GET', 'ping'): lambda body: 'ok\n',
            ('GET', 'log'): lambda body: self.log.lines(),
            ('POST', 'reset'): self._reset,
            ('POST', 'stop'): self._stop,
        }
        self._on_reset = on_reset

    def add(self, method, name, function):
        self._routes[(method, name)] = function

    def _reset(self, body):
        self._on_reset()
        self.log.clear()
        return 'ok\n'

    def _stop(self, body):
        # Answer first: the stop takes effect once this reply has been sent.
        threading.Timer(0.05, self.lifetime.stop, args=('stop requested',)).start()
        return 'stopping\n'

    def handle(self, handler, method, path, body):
        """Serves one control request on a BaseHTTPRequestHandler."""
        name = path[len(CONTROL_PREFIX):]
        if method == 'GET' and name == 'tether':
            self._hold_tether(handler)
            return
        route = self._routes.get((method, name))
        if route is None:
            send_plain(handler, 404, 'no control route %s %s\n' % (method, path))
            return
        try:
            send_plain(handler, 200, route(body))
        except ControlError as e:
            send_plain(handler, 400, '%s\n' % e)

    def _hold_tether(self, handler):
        handler.send_response(200)
        handler.send_header('Content-Type', 'text/plain')
        handler.send_header('Connection', 'close')
        handler.end_headers()
        handler.wfile.write(b'tethered\n')
        handler.wfile.flush()
        handler.close_connection = True
        self.lifetime.tether_opened()
        try:
            conn = handler.connection
            conn.settimeout(0.5)
            while not self.lifetime.stopping.is_set():
                try:
                    if not conn.recv(4096):
                        break
                except socket.timeout:
                    continue
                except OSError:
                    break
        finally:
            self.lifetime.tether_closed()


def send_plain(handler, status, text, content_type='text/plain'):
    payload = text.encode('utf-8') if isinstance(text, str) else text
    handler.send_response(status)
    handler.send_header('Content-Type', content_type)
    handler.send_header('Content-Length', str(len(payload)))
    handler.end_headers()
    if handler.command != 'HEAD':
        handler.wfile.write(payload)


def read_request_body(handler):
    """The request body, by Content-Length or chunked transfer coding; b'' when none."""
    if 'chunked' in handler.headers.get('Transfer-Encoding', '').lower():
        body = bytearray()
        while True:
            size_line = handler.rfile.readline(1024)
            if not size_line:
                break
            size = int(size_line.split(b';')[0].strip() or b'0', 16)
            if size == 0:
                while handler.rfile.readline(1024) not in (b'\r\n', b'\n', b''):
                    pass
                break
            body += handler.rfile.read(size)
            handler.rfile.readline(1024)
        return bytes(body)
    length = int(handler.headers.get('Content-Length') or 0)
    return handler.rfile.read(length) if length > 0 else b''


QUIET_ERRORS = (BrokenPipeError, ConnectionResetError, ConnectionAbortedError, socket.timeout)


class QuietHandlerMixin:
    """Request handlers that keep the server's stderr for real faults only."""

    def log_message(self, format, *args):
        pass

    def handle(self):
        try:
            super().handle()
        except QUIET_ERRORS:
            pass
        except Exception:
            traceback.print_exc(file=sys.stderr)


class ControlHandler(QuietHandlerMixin, BaseHTTPRequestHandler):
    """A listener that serves only the control routes (the DNS server's, or the HTTP server's
    in TLS mode)."""
    protocol_version = 'HTTP/1.1'

    def _serve(self):
        self.server.lifetime.touch()
        path = self.path.split('?', 1)[0]
        body = read_request_body(self)
        if not path.startswith(CONTROL_PREFIX):
            send_plain(self, 404, 'control listener: only %s paths\n' % CONTROL_PREFIX)
            return
        self.server.routes.handle(self, self.command, path, body)

    do_GET = do_POST = do_DELETE = _serve


def make_http_listener(port, handler_class, lifetime, routes):
    server = ThreadingHTTPServer(('127.0.0.1', port), handler_class)
    server.daemon_threads = True
    server.lifetime = lifetime
    server.routes = routes
    return server


def run_until_stopped(lifetime, servers, log, closers=()):
    """Serves every listener on a thread of its own until the lifetime ends, then exits.

    Closes `closers` first and the listeners in order after them, so a client that finds
    the last listener (the control port) closed knows everything else is closed too."""
    for s in servers:
        threading.Thread(target=s.serve_forever, kwargs={'poll_interval': 0.1},
                         daemon=True).start()
    reason = lifetime.wait()
    for close in closers:
        close()
    for s in servers:
        s.shutdown()
        s.server_close()
    log.close()
    sys.stderr.write('test server stopped: %s\n' % reason)
    sys.stderr.flush()
    # Handler threads may still sit in a stall or a drip; they must not keep the process.
    os._exit(0)
