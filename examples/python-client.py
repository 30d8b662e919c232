#!/usr/bin/env python3
"""A KEM Engine client with nothing but the standard library.

    python3 examples/python-client.py get.version "get.angle.marker:Interview"
    python3 examples/python-client.py vitals.subscribe      # then prints pushes until Ctrl+C
"""
import base64
import os
import socket
import struct
import sys


def connect(host="127.0.0.1", port=7890):
    sock = socket.create_connection((host, port))
    key = base64.b64encode(os.urandom(16)).decode()
    sock.sendall((f"GET / HTTP/1.1\r\nHost: {host}:{port}\r\nUpgrade: websocket\r\n"
                  f"Connection: Upgrade\r\nSec-WebSocket-Key: {key}\r\nSec-WebSocket-Version: 13\r\n\r\n").encode())
    reply = b""
    while not reply.endswith(b"\r\n\r\n"):
        byte = sock.recv(1)
        if not byte:
            raise ConnectionError("closed during the upgrade")
        reply += byte
    if not reply.startswith(b"HTTP/1.1 101"):
        raise ConnectionError(reply.decode(errors="replace").splitlines()[0])
    return sock


def send(sock, text):
    payload = text.encode()
    mask = os.urandom(4)
    n = len(payload)
    header = bytes([0x81]) + (bytes([0x80 | n]) if n < 126 else bytes([0x80 | 126]) + struct.pack(">H", n))
    sock.sendall(header + mask + bytes(b ^ mask[i % 4] for i, b in enumerate(payload)))


def receive(sock):
    def exact(n):
        data = b""
        while len(data) < n:
            chunk = sock.recv(n - len(data))
            if not chunk:
                raise ConnectionError("closed")
            data += chunk
        return data
    first, second = exact(2)
    n = second & 0x7F
    if n == 126:
        n = struct.unpack(">H", exact(2))[0]
    elif n == 127:
        n = struct.unpack(">Q", exact(8))[0]
    return first & 0x0F, exact(n).decode(errors="replace")


def main(commands):
    sock = connect()
    for command in commands:
        send(sock, command)
        if command == "vitals.subscribe":
            while True:
                print(receive(sock)[1], flush=True)
        sock.settimeout(1.0)
        try:
            while True:  # a command may answer with several messages, or none
                print(receive(sock)[1])
                if command not in ("get.commands",) and not command.startswith("dump.angle:"):
                    break
        except socket.timeout:
            pass
        sock.settimeout(None)


if __name__ == "__main__":
    main(sys.argv[1:] or ["get.version"])
