#!/usr/bin/python3
"""The comparison for `quorvane-cli show` in make bench: the same two
requests with python3-serial, the replies cut, checked and decoded.
usage: show_peer.py PORT"""
import sys
import serial

GET_NET_CONFIG = bytes.fromhex("55AA01000000D801")
GET_PASSWORD = bytes.fromhex("55AA09000000B803")


def crc16(data):
    crc = 0xFFFF
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def main():
    with serial.Serial(sys.argv[1], 115200, timeout=3) as port:
        port.write(GET_NET_CONFIG + GET_PASSWORD)
        replies, held = {}, b""
        while len(replies) < 2:
            chunk = port.read(max(1, port.in_waiting))
            if not chunk:
                sys.exit("no answer")
            held += chunk
            while len(held) >= 8 and held[:2] == b"\x55\xaa":
                total = (held[4] << 8 | held[5]) + 8
                if len(held) < total:
                    break
                frame, held = held[:total], held[total:]
                if crc16(frame[2:-2]) == (frame[-2] << 8 | frame[-1]) and frame[6] == 0:
                    replies[frame[2]] = frame[7:-2]
    net, password = replies[0x02], replies[0x0A]
    dotted = lambda b: ".".join(str(x) for x in b)
    print("dhcp", "on" if net[0] else "off")
    if not net[0]:
        print("ip", dotted(net[1:5]), "mask", dotted(net[5:9]), "gateway", dotted(net[9:13]))
    print("password", password.split(b"\0")[0].decode("gbk"))


main()
