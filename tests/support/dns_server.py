#!/usr/bin/env python3
"""Fake DNS server (UDP) for the tests of the installer's own DNS resolver.

  python3 tests/support/dns_server.py --port-file F --control-port-file F [--log F]
      [--port N] [--answers F] [--idle-timeout S]

Answers DNS queries on UDP 127.0.0.1 (port 0 by default: the kernel picks one, written to
--port-file); a resolver under test is pointed at "127.0.0.1:PORT". Its control routes
(testserver_common.py) are served over plain HTTP on a TCP port written to
--control-port-file.

Scripts say how to answer. Add them with POST /_control/answers (a JSON object or an array),
clear them with POST /_control/clear-answers (or /_control/reset, which also clears the log),
or load them at start from --answers F (a JSON array). For each query the first script that
matches and has uses left answers it. A query no script matches gets NXDOMAIN (rcode 3).
Fields of a script:
  name        query name, without the final dot, compared without regard to case; "*": any
  qtype       only queries of this type (1 = A)
  skip, times as for the HTTP server's rules: let `skip` queries through to later scripts,
              then answer `times` queries (default: no limit)
  a           list of IPv4 addresses: A records owned by the query name, in this order
  cname       a canonical name: one CNAME record owned by the query name, placed before the
              A records (which then stay owned by the query name unless `records` is used)
  records     full control instead of a/cname: a list of {"type": 1 | 5 | "A" | "CNAME" | n,
              "name": owner (default the query name), "data": "1.2.3.4" for A, a name for
              CNAME, "data_hex": raw bytes for other types, "ttl": seconds (default 60)}
  rcode       response code (default 0)
  truncated   true: set the truncation flag
  flags       the whole flags field, overriding the computed one
  wrong_id    send this many copies of the answer with a wrong identifier first (default 0)
  silent      true: send no answer with the right identifier (wrong_id copies still go)
  delay_ms    wait this long before answering
  compress    false: write owner names in full instead of pointing at the question (default
              true)
  raw_hex     reply with exactly these bytes (hex); unless `raw_keep_id` is true, their first
              two bytes are replaced by the query's identifier
Answers copy the query's identifier bytes and question as they were received; flags are
0x8180 (response, recursion desired and available) with the truncation flag and rcode.

Log. One JSON object per query received: seq, id (the identifier bytes as 4 hex digits, in
packet order), flags, qdcount, name, qtype, qclass, size, raw (the whole datagram in hex),
script (index of the answering script, -1 for none), action ("answer", "nxdomain",
"silent" or "malformed"), time.
"""

import argparse
import ipaddress
import os
import socket
import struct
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import testserver_common as common  # noqa: E402

TYPE_NAMES = {'A': 1, 'CNAME': 5, 'TXT': 16, 'AAAA': 28}
SCRIPT_FIELDS = {
    'name': str, 'qtype': int, 'skip': int, 'times': int, 'a': list, 'cname': str,
    'records': list, 'rcode': int, 'truncated': bool, 'flags': int, 'wrong_id': int,
    'silent': bool, 'delay_ms': int, 'compress': bool, 'raw_hex': str, 'raw_keep_id': bool,
}


class Query:
    """A parsed query: identifier bytes, flags, the question's name, type and class."""

    def __init__(self, data):
        if len(data) < 12:
            raise ValueError('shorter than a DNS header')
        self.id_bytes = data[0:2]
        self.flags, self.qdcount = struct.unpack('!HH', data[2:6])
        labels, offset = [], 12
        while True:
            if offset >= len(data):
                raise ValueError('name runs past the end')
            length = data[offset]
            offset += 1
            if length == 0:
                break
            if length & 0xC0:
                raise ValueError('compression pointer in a query name')
            if offset + length > len(data):
                raise ValueError('label runs past the end')
            labels.append(data[offset:offset + length].decode('latin-1'))
            offset += length
        if offset + 4 > len(data):
            raise ValueError('question type and class missing')
        self.name = '.'.join(labels)
        self.qtype, self.qclass = struct.unpack('!HH', data[offset:offset + 4])
        self.question = data[12:offset + 4]


def encode_name(name):
    out = bytearray()
    for label in name.split('.'):
        if label:
            raw = common.text_bytes(label)
            if len(raw) > 63:
                raise common.ControlError('label longer than 63 bytes in "%s"' % name)
            out += bytes([len(raw)]) + raw
    return bytes(out + b'\0')


def record_type(value):
    if isinstance(value, int) and not isinstance(value, bool):
        return value
    if isinstance(value, str) and value.upper() in TYPE_NAMES:
        return TYPE_NAMES[value.upper()]
    raise common.ControlError('unknown record type %r' % (value,))


class Script(common.ScriptedRule):
    FIELDS = SCRIPT_FIELDS
    KEY = 'name'
    KIND = 'answer script'

    def __init__(self, fields):
        super().__init__(fields)
        try:
            self.records = self._records(fields)
            self.raw = bytes.fromhex(fields['raw_hex']) if 'raw_hex' in fields else None
        except (ValueError, TypeError) as e:
            raise common.ControlError('bad answer script: %s' % e)

    @staticmethod
    def _records(fields):
        """(owner or None for the query name, type, ttl, data bytes) in answer order."""
        records = []
        if 'cname' in fields:
            records.append((None, 5, 60, encode_name(fields['cname'])))
        for address in fields.get('a', []):
            records.append((None, 1, 60, ipaddress.IPv4Address(address).packed))
        for r in fields.get('records', []):
            if not isinstance(r, dict):
                raise common.ControlError('a record must be an object')
            rtype = record_type(r.get('type', 1))
            if 'data_hex' in r:
                data = bytes.fromhex(r['data_hex'])
            elif rtype == 1:
                data = ipaddress.IPv4Address(r.get('data', '')).packed
            elif rtype == 5:
                data = encode_name(r.get('data', ''))
            else:
                raise common.ControlError('record of type %d needs "data_hex"' % rtype)
            records.append((r.get('name'), rtype, int(r.get('ttl', 60)), data))
        return records

    def applies_to(self, query):
        wanted = self.fields['name']
        return ((wanted == '*' or wanted.lower() == query.name.lower())
                and self.fields.get('qtype', query.qtype) == query.qtype)

    def reply(self, query):
        if self.raw is not None:
            if self.fields.get('raw_keep_id') or len(self.raw) < 2:
                return self.raw
            return query.id_bytes + self.raw[2:]
        f = self.fields
        flags = f.get('flags', 0x8000 | (query.flags & 0x0100) | 0x0080
                      | (0x0200 if f.get('truncated') else 0) | (f.get('rcode', 0) & 0xF))
        out = bytearray(query.id_bytes)
        out += struct.pack('!HHHHH', flags, 1, len(self.records), 0, 0)
        out += query.question
        for owner, rtype, ttl, data in self.records:
            if owner is None and f.get('compress', True):
                out += b'\xc0\x0c'
            else:
                out += encode_name(query.name if owner is None else owner)
            out += struct.pack('!HHIH', rtype, 1, ttl, len(data)) + data
        return bytes(out)


def nxdomain(query):
    flags = 0x8000 | (query.flags & 0x0100) | 0x0080 | 3
    return query.id_bytes + struct.pack('!HHHHH', flags, 1, 0, 0, 0) + query.question


class DnsServer:
    def __init__(self, port, lifetime, log):
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.bind(('127.0.0.1', port))
        self.sock.settimeout(0.1)
        self.lifetime = lifetime
        self.log = log
        self.scripts = common.RuleBook(Script)
        self.started = time.monotonic()

    def serve(self):
        while not self.lifetime.stopping.is_set():
            try:
                data, peer = self.sock.recvfrom(65535)
            except socket.timeout:
                continue
            except OSError:
                break
            self.lifetime.touch()
            self._answer(data, peer)

    def _answer(self, data, peer):
        entry = {'size': len(data), 'raw': data.hex(), 'script': -1,
                 'time': round(time.monotonic() - self.started, 4)}
        try:
            query = Query(data)
        except ValueError as e:
            entry.update(action='malformed', error=str(e))
            self.log.append(entry)
            return
        entry.update(id=query.id_bytes.hex(), flags=query.flags, qdcount=query.qdcount,
                     name=query.name, qtype=query.qtype, qclass=query.qclass)
        index, script = self.scripts.choose(query)
        entry['script'] = index
        if script is None:
            entry['action'] = 'nxdomain'
            self.log.append(entry)
            self.sock.sendto(nxdomain(query), peer)
            return
        f = script.fields
        try:
            answer = script.reply(query)
        except common.ControlError as e:
            entry.update(action='malformed', error=str(e))
            self.log.append(entry)
            return
        entry['action'] = 'silent' if f.get('silent') else 'answer'
        self.log.append(entry)
        wrong = bytes([answer[0] ^ 0xFF, answer[1] ^ 0x5A]) + answer[2:] if len(answer) >= 2 else b''
        datagrams = [wrong] * f.get('wrong_id', 0) + ([] if f.get('silent') else [answer])
        delay = f.get('delay_ms', 0) / 1000.0
        if delay > 0:
            threading.Timer(delay, self._send_all, args=(datagrams, peer)).start()
        else:
            self._send_all(datagrams, peer)

    def _send_all(self, datagrams, peer):
        for d in datagrams:
            try:
                self.sock.sendto(d, peer)
            except OSError:
                return


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('--port-file', required=True)
    parser.add_argument('--control-port-file', required=True)
    parser.add_argument('--log')
    parser.add_argument('--port', type=int, default=0)
    parser.add_argument('--answers')
    parser.add_argument('--idle-timeout', type=float, default=600)
    args = parser.parse_args()

    lifetime = common.Lifetime(args.idle_timeout)
    log = common.RequestLog(args.log)
    dns = DnsServer(args.port, lifetime, log)
    routes = common.ControlRoutes(lifetime, log, dns.scripts.clear)
    dns.scripts.serve(routes, 'answers')
    if args.answers:
        dns.scripts.add_file(parser, '--answers', args.answers)
    control = common.make_http_listener(0, common.ControlHandler, lifetime, routes)
    threading.Thread(target=dns.serve, daemon=True).start()
    common.write_port_file(args.control_port_file, control.server_address[1])
    common.write_port_file(args.port_file, dns.sock.getsockname()[1])
    common.run_until_stopped(lifetime, [control], log, closers=[dns.sock.close])


if __name__ == '__main__':
    main()
