#!/usr/bin/env python3
"""Native checks of the test servers' command line and lifetime: what the Windows tests
cannot see from under Wine (parent and idle guards, start-up files, TLS, chunked bodies)."""

import http.client
import json
import os
import shutil
import socket
import ssl
import struct
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
HTTP_SERVER = os.path.join(HERE, 'http_server.py')
DNS_SERVER = os.path.join(HERE, 'dns_server.py')


def listening(port):
    try:
        socket.create_connection(('127.0.0.1', port), timeout=2).close()
        return True
    except OSError:
        return False


def wait_until(predicate, timeout=10.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(0.05)
    return predicate()


class ServerCase(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix='kelto-servers-')
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.root = os.path.join(self.dir, 'root')
        os.mkdir(self.root)
        with open(os.path.join(self.root, 'pkg.bin'), 'wb') as f:
            f.write(bytes(range(256)) * 40)
        self.processes = []

    def tearDown(self):
        for p in self.processes:
            if p.poll() is None:
                p.kill()
            p.wait(10)
            if p.stderr:
                p.stderr.close()

    def path(self, name):
        return os.path.join(self.dir, name)

    def start(self, script, *args, wait_port=True):
        port_file = self.path('port-%d' % len(self.processes))
        p = subprocess.Popen([sys.executable, script, '--port-file', port_file] + list(args),
                             stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                             stderr=subprocess.PIPE)
        self.processes.append(p)
        if not wait_port:
            return p, None
        self.assertTrue(wait_until(lambda: os.path.exists(port_file) or p.poll() is not None),
                        'no port file')
        self.assertIsNone(p.poll(), p.stderr.read().decode() if p.poll() is not None else '')
        with open(port_file) as f:
            return p, int(f.read())

    def start_http(self, *args):
        return self.start(HTTP_SERVER, '--root', self.root, '--log', self.path('log'), *args)

    def request(self, port, method, target, body=None, headers=None):
        conn = http.client.HTTPConnection('127.0.0.1', port, timeout=10)
        conn.request(method, target, body=body, headers=headers or {})
        reply = conn.getresponse()
        data = reply.read()
        conn.close()
        return reply.status, data

    def log_entries(self, port):
        status, text = self.request(port, 'GET', '/_control/log')
        self.assertEqual(status, 200)
        return [json.loads(line) for line in text.decode().splitlines()]


class HttpServerCommandLine(ServerCase):
    def test_rules_file_applies_from_the_start_and_bad_ones_stop_the_start(self):
        rules = self.path('rules.json')
        with open(rules, 'w') as f:
            json.dump([{'path': '/pkg.bin', 'times': 1, 'status': 503}], f)
        _, port = self.start_http('--rules', rules)
        self.assertEqual(self.request(port, 'GET', '/pkg.bin')[0], 503)
        self.assertEqual(self.request(port, 'GET', '/pkg.bin')[0], 200)
        # The log file holds what the control route reports.
        with open(self.path('log')) as f:
            self.assertEqual([json.loads(line)['status'] for line in f], [503, 200])

        with open(rules, 'w') as f:
            json.dump([{'path': '/x', 'stall': 'long'}], f)
        p, _ = self.start(HTTP_SERVER, '--root', self.root, '--rules', rules, wait_port=False)
        self.assertNotEqual(p.wait(20), 0)
        self.assertIn(b'stall', p.stderr.read())

    def test_missing_root_is_refused(self):
        p, _ = self.start(HTTP_SERVER, '--root', self.path('nowhere'), wait_port=False)
        self.assertNotEqual(p.wait(20), 0)
        self.assertIn(b'not a folder', p.stderr.read())

    def test_log_counts_the_body_bytes_sent(self):
        _, port = self.start_http()
        self.request(port, 'POST', '/_control/rules',
                     body=json.dumps({'path': '/pkg.bin', 'times': 1, 'close_after': 1000}).encode())
        with self.assertRaises(http.client.IncompleteRead):
            self.request(port, 'GET', '/pkg.bin')
        self.assertEqual(self.request(port, 'GET', '/pkg.bin', headers={'Range': 'bytes=100-'})[0],
                         206)
        size = os.path.getsize(os.path.join(self.root, 'pkg.bin'))
        self.assertTrue(wait_until(
            lambda: [e['sent'] for e in self.log_entries(port)] == [1000, size - 100]))

    def test_chunked_post_body_is_logged_whole(self):
        _, port = self.start_http()
        conn = http.client.HTTPConnection('127.0.0.1', port, timeout=10)
        conn.request('POST', '/api', body=iter([b'ab', b'\x00\xff', b'cd']), encode_chunked=True)
        self.assertEqual(conn.getresponse().status, 404)
        conn.close()
        entry = self.log_entries(port)[0]
        self.assertEqual(entry['body'].encode('latin-1'), b'ab\x00\xffcd')

    def test_control_routes_on_a_port_of_their_own(self):
        control_file = self.path('control')
        _, port = self.start_http('--control-port-file', control_file)
        with open(control_file) as f:
            control = int(f.read())
        self.assertEqual(self.request(control, 'GET', '/_control/ping'), (200, b'ok\n'))
        self.assertEqual(self.request(control, 'GET', '/pkg.bin')[0], 404)
        self.assertEqual(self.request(control, 'POST', '/_control/stop')[0], 200)
        self.assertTrue(wait_until(lambda: not listening(port) and not listening(control)))

    def test_proxy_mode_relays_to_loopback_and_answers_for_itself(self):
        _, origin = self.start_http()
        _, proxy = self.start(HTTP_SERVER, '--root', self.root, '--proxy')
        url = 'http://127.0.0.2:%d/pkg.bin?x=1' % origin
        status, data = self.request(proxy, 'GET', url,
                                    headers={'Proxy-Connection': 'keep-alive', 'Range': 'bytes=10-19'})
        self.assertEqual((status, data), (206, (bytes(range(256)) * 40)[10:20]))
        entry = self.log_entries(proxy)[0]
        self.assertEqual((entry['target'], entry['path'], entry['status']), (url, '/pkg.bin', 206))
        forwarded = self.log_entries(origin)[0]
        self.assertEqual((forwarded['target'], forwarded['range']), ('/pkg.bin?x=1', 'bytes=10-19'))
        self.assertNotIn('Proxy-Connection', forwarded['headers'])

        # A rule answers in the proxy's name, as a captive portal does: the origin hears nothing.
        rule = json.dumps({'path': '/pkg.bin', 'times': 1, 'html': True})
        self.assertEqual(self.request(proxy, 'POST', '/_control/rules', body=rule)[0], 200)
        status, data = self.request(proxy, 'GET', url)
        self.assertEqual(status, 200)
        self.assertIn(b'<html>', data)
        self.assertEqual(len(self.log_entries(origin)), 1)

        # Nothing listens at the URL's port: the proxy's own 502.
        s = socket.socket()
        s.bind(('127.0.0.1', 0))
        closed = s.getsockname()[1]
        s.close()
        self.assertEqual(self.request(proxy, 'GET', 'http://127.0.0.2:%d/x' % closed)[0], 502)
        # A plain path is a file of the proxy's own folder (an auto-config script, say).
        self.assertEqual(self.request(proxy, 'GET', '/pkg.bin')[0], 200)

    @unittest.skipUnless(shutil.which('openssl'), 'openssl is needed to make a certificate')
    def test_tls_mode_serves_https_for_localhost(self):
        cert, key = self.path('cert.pem'), self.path('key.pem')
        subprocess.run(['openssl', 'req', '-x509', '-newkey', 'rsa:2048', '-nodes', '-days', '2',
                        '-subj', '/CN=localhost', '-addext', 'subjectAltName=DNS:localhost',
                        '-keyout', key, '-out', cert], check=True, capture_output=True)
        _, port = self.start_http('--tls', cert, key)
        context = ssl.create_default_context(cafile=cert)
        conn = http.client.HTTPSConnection('localhost', port, context=context, timeout=10)
        conn.request('GET', '/pkg.bin', headers={'Range': 'bytes=256-511'})
        reply = conn.getresponse()
        self.assertEqual(reply.status, 206)
        self.assertEqual(reply.read(), bytes(range(256)))
        conn.close()
        # A client that never speaks TLS holds one handler, not the server.
        silent = socket.create_connection(('127.0.0.1', port))
        self.addCleanup(silent.close)
        conn = http.client.HTTPSConnection('localhost', port, context=context, timeout=10)
        conn.request('GET', '/pkg.bin')
        self.assertEqual(conn.getresponse().status, 200)
        conn.close()


class Lifetime(ServerCase):
    def test_ends_when_the_starting_process_exits(self):
        port_file = self.path('port')
        shell = subprocess.Popen(
            ['sh', '-c', '"$0" "$1" --root "$2" --port-file "$3" & sleep 1',
             sys.executable, HTTP_SERVER, self.root, port_file],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.processes.append(shell)
        self.assertTrue(wait_until(lambda: os.path.exists(port_file)))
        with open(port_file) as f:
            port = int(f.read())
        self.assertTrue(listening(port))
        shell.wait(10)
        self.assertTrue(wait_until(lambda: not listening(port)), 'server outlived its parent')

    def test_ends_when_idle_unless_tethered(self):
        p, port = self.start_http('--idle-timeout', '1')
        tether = socket.create_connection(('127.0.0.1', port))
        tether.sendall(b'GET /_control/tether HTTP/1.1\r\nHost: x\r\n\r\n')
        self.assertIn(b'200', tether.recv(1024))
        time.sleep(2)
        self.assertTrue(listening(port), 'a tethered server must not end for idleness')
        tether.close()
        self.assertEqual(p.wait(10), 0)
        self.assertIn(b'owner closed its tether', p.stderr.read())

        p, port = self.start_http('--idle-timeout', '1')
        self.assertEqual(p.wait(10), 0)
        self.assertIn(b'idle', p.stderr.read())

    def test_stop_ends_stalled_and_dripping_replies(self):
        p, port = self.start_http()
        self.request(port, 'POST', '/_control/rules',
                     json.dumps([{'path': '/pkg.bin', 'stall': -1},
                                 {'path': '/drip.bin', 'drip': 1}]))
        with open(os.path.join(self.root, 'drip.bin'), 'wb') as f:
            f.write(b'x' * 1000)
        for target in ('/pkg.bin', '/drip.bin'):
            s = socket.create_connection(('127.0.0.1', port))
            s.sendall(b'GET ' + target.encode() + b' HTTP/1.1\r\nHost: x\r\n\r\n')
            self.addCleanup(s.close)
        self.assertTrue(wait_until(lambda: len(self.log_entries(port)) == 2))
        self.assertEqual(self.request(port, 'POST', '/_control/stop')[0], 200)
        self.assertEqual(p.wait(10), 0)


class DnsServerCommandLine(ServerCase):
    def query(self, port, name, identifier=b'\x34\x12'):
        packet = identifier + struct.pack('!HHHHH', 0x0100, 1, 0, 0, 0)
        packet += b''.join(bytes([len(l)]) + l.encode() for l in name.split('.')) + b'\0'
        packet += struct.pack('!HH', 1, 1)
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        s.settimeout(2)
        s.sendto(packet, ('127.0.0.1', port))
        try:
            return s.recv(2048)
        finally:
            s.close()

    def test_answers_file_and_malformed_queries(self):
        answers = self.path('answers.json')
        with open(answers, 'w') as f:
            json.dump([{'name': 'dl.kelto.com', 'a': ['10.0.0.9']}], f)
        control_file = self.path('control')
        _, port = self.start(DNS_SERVER, '--control-port-file', control_file,
                             '--answers', answers)
        with open(control_file) as f:
            control = int(f.read())
        reply = self.query(port, 'dl.kelto.com')
        self.assertEqual(reply[:2], b'\x34\x12')
        self.assertEqual(reply[-4:], bytes([10, 0, 0, 9]))
        # A datagram that is no query is logged and gets no answer.
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        s.sendto(b'\x01\x02\x03', ('127.0.0.1', port))
        s.close()
        self.assertTrue(wait_until(lambda: len(self.log_entries(control)) == 2))
        self.assertEqual(self.log_entries(control)[1]['action'], 'malformed')
        self.assertEqual(self.query(port, 'dl.kelto.com')[-4:], bytes([10, 0, 0, 9]))


if __name__ == '__main__':
    unittest.main(verbosity=2)
