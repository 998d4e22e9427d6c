#!/usr/bin/env python3
"""Round trips between two homes of the NAT laboratory, directly or through
coturn's relays, timed to the microsecond (coturn's own client counts whole
milliseconds). Run inside a home by bench/natconnect.py, once per side:

    turnecho.py direct|relay SERVER_IP SECRET ME OTHER FOLDER COUNT

Each side learns its public address from the server (a STUN Binding for
direct, a TURN Allocate for relay, whose relayed address it then uses),
writes it to FOLDER/ME and reads the other's from FOLDER/OTHER. Side "a"
times COUNT datagrams of 100 bytes, 10 ms apart, and prints their round
trips in ms as JSON; side "b" echoes until "a" says it is done. Through the
relay each datagram crosses coturn twice, from one allocation to the other,
as the game's relayed packets do.
"""

import base64
import hashlib
import hmac
import json
import os
import socket
import struct
import sys
import time

MAGIC = 0x2112A442
BINDING, ALLOCATE, PERMISSION, SEND, DATA = 0x0001, 0x0003, 0x0008, 0x0016, 0x0017
USERNAME, INTEGRITY, PEER, DATA_ATTR, REALM, NONCE, RELAYED, TRANSPORT, MAPPED = (
    0x0006, 0x0008, 0x0012, 0x0013, 0x0014, 0x0015, 0x0016, 0x0019, 0x0020)


def attr(kind, value):
    return struct.pack(">HH", kind, len(value)) + value + b"\0" * (-len(value) % 4)


def xor_address(ip, port):
    raw = struct.unpack(">I", socket.inet_aton(ip))[0] ^ MAGIC
    return struct.pack(">BBHI", 0, 1, port ^ (MAGIC >> 16), raw)


def unxor(value):
    port, raw = struct.unpack(">HI", value[2:8])
    return socket.inet_ntoa(struct.pack(">I", raw ^ MAGIC)), port ^ (MAGIC >> 16)


def message(kind, attrs, key=None):
    body = b"".join(attrs)
    head = struct.pack(">HHI", kind, len(body) + (24 if key else 0), MAGIC) + os.urandom(12)
    if key:
        body += attr(INTEGRITY, hmac.new(key, head + body, hashlib.sha1).digest())
    return head + body


def parse(data):
    kind, length = struct.unpack(">HH", data[:4])
    attrs, at = {}, 20
    while at + 4 <= 20 + length:
        t, n = struct.unpack(">HH", data[at:at + 4])
        attrs[t] = data[at + 4:at + 4 + n]
        at += 4 + n + (-n % 4)
    return kind, attrs


class Side:
    def __init__(self, mode, server, secret):
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.settimeout(2)
        self.server, self.relay = (server, 3478), mode == "relay"
        if not self.relay:
            self.public = unxor(self.ask(message(BINDING, []))[1][MAPPED])
            return
        # coturn's use-auth-secret: the password is the user name signed.
        self.user = ("%d:bench" % (time.time() + 600)).encode()
        password = base64.b64encode(hmac.new(secret.encode(), self.user, hashlib.sha1).digest())
        transport = attr(TRANSPORT, bytes([17, 0, 0, 0]))
        _, challenge = self.ask(message(ALLOCATE, [transport]))
        self.realm, self.nonce = challenge[REALM], challenge[NONCE]
        self.key = hashlib.md5(self.user + b":" + self.realm + b":" + password).digest()
        kind, answer = self.ask(message(ALLOCATE, [transport] + self.auth(), self.key))
        if kind != 0x0103:
            sys.exit("allocation refused: %r" % answer)
        self.public = unxor(answer[RELAYED])

    def auth(self):
        return [attr(USERNAME, self.user), attr(REALM, self.realm), attr(NONCE, self.nonce)]

    def ask(self, request):
        self.sock.sendto(request, self.server)
        return parse(self.sock.recv(2000))

    def permit(self, other):
        if self.relay and self.ask(message(PERMISSION, [attr(PEER, xor_address(*other))] + self.auth(),
                                           self.key))[0] != 0x0108:
            sys.exit("permission refused")

    def send(self, other, payload):
        if self.relay:
            self.sock.sendto(message(SEND, [attr(PEER, xor_address(*other)), attr(DATA_ATTR, payload)]), self.server)
        else:
            self.sock.sendto(payload, other)

    def receive(self):
        data, _ = self.sock.recvfrom(2000)
        if self.relay:
            kind, attrs = parse(data)
            return attrs.get(DATA_ATTR, b"") if kind == DATA else b""
        return data


def main():
    mode, server, secret, me, other, folder, count = sys.argv[1:8]
    side = Side(mode, server, secret)
    with open(os.path.join(folder, me + ".tmp"), "w") as f:
        f.write("%s:%d" % side.public)
    os.rename(os.path.join(folder, me + ".tmp"), os.path.join(folder, me))
    deadline = time.time() + 10
    while not os.path.exists(os.path.join(folder, other)) and time.time() < deadline:
        time.sleep(0.01)
    with open(os.path.join(folder, other)) as f:
        ip, port = f.read().split(":")
    peer = (ip, int(port))
    side.permit(peer)
    side.sock.settimeout(0.02)
    if me == "b":
        heard, deadline = False, time.time() + 60
        while time.time() < deadline:
            try:
                payload = side.receive()
            except socket.timeout:
                if not heard:  # our own router's hole, for the direct path
                    side.send(peer, b"punch")
                continue
            if payload == b"done":
                return
            if payload:
                heard = True
                side.send(peer, payload)
        sys.exit("side a never finished")
    # Warm-up: the other side may not yet have its permission, or its punch.
    for _ in range(250):
        side.send(peer, b"warm" + b"\0" * 96)
        try:
            if side.receive():
                break
        except socket.timeout:
            pass
    else:
        sys.exit("no answer from the other side in 5 s")
    side.sock.settimeout(1)
    times = []
    for n in range(int(count)):
        payload = struct.pack(">I", n) + b"\0" * 96
        sent = time.perf_counter()
        side.send(peer, payload)
        while side.receive() != payload:
            pass
        times.append((time.perf_counter() - sent) * 1000)
        time.sleep(0.01)
    for _ in range(3):
        side.send(peer, b"done")
    print(json.dumps(times))


main()
