#!/usr/bin/env python3
"""How fast the test HTTP server delivers a large file over loopback, against Python's own
http.server on the same file in the same run: download benchmarks of the installer use this
server, and must know it is not what limits them."""

import http.client
import os
import socket
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SERVER = os.path.join(HERE, '..', 'tests', 'support', 'test_server.py')
SIZE_MB = 200
ROUNDS = 3


def wait_for_port_file(path, process):
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline:
        if os.path.exists(path):
            with open(path) as f:
                return int(f.read())
        if process.poll() is not None:
            break
        time.sleep(0.05)
    raise SystemExit('server did not start')


def free_port():
    with socket.socket() as s:
        s.bind(('127.0.0.1', 0))
        return s.getsockname()[1]


def wait_listening(port):
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline:
        try:
            socket.create_connection(('127.0.0.1', port), timeout=1).close()
            return
        except OSError:
            time.sleep(0.05)
    raise SystemExit('reference server did not start')


def best_download_seconds(port):
    best = None
    for _ in range(ROUNDS):
        conn = http.client.HTTPConnection('127.0.0.1', port, timeout=60)
        start = time.perf_counter()
        conn.request('GET', '/big.bin')
        reply = conn.getresponse()
        got = 0
        while True:
            chunk = reply.read(1 << 20)
            if not chunk:
                break
            got += len(chunk)
        elapsed = time.perf_counter() - start
        conn.close()
        if got != SIZE_MB << 20:
            raise SystemExit('short download: %d bytes' % got)
        best = elapsed if best is None else min(best, elapsed)
    return best


def main():
    with tempfile.TemporaryDirectory(prefix='kelto-bench-') as root:
        block = os.urandom(1 << 20)
        with open(os.path.join(root, 'big.bin'), 'wb') as f:
            for _ in range(SIZE_MB):
                f.write(block)
        port_file = os.path.join(root, 'port')
        ours = subprocess.Popen([sys.executable, SERVER, '--root', root, '--port-file', port_file],
                                stdin=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        ref_port = free_port()
        reference = subprocess.Popen([sys.executable, '-m', 'http.server', '--bind', '127.0.0.1',
                                      '--directory', root, str(ref_port)],
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        try:
            port = wait_for_port_file(port_file, ours)
            wait_listening(ref_port)
            ours_s = best_download_seconds(port)
            ref_s = best_download_seconds(ref_port)
        finally:
            ours.kill()
            reference.kill()
            ours.wait()
            reference.wait()
    print('BENCH test_http_server_throughput %.0f MB/s' % (SIZE_MB / ours_s))
    print('BENCH test_http_server_vs_python_http_server %.2f ratio' % (ref_s / ours_s))


if __name__ == '__main__':
    main()
