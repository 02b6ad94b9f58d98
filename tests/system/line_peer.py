#!/usr/bin/env python3
"""The far end of a serial line for system tests: a pseudo-terminal driven by commands.

Prints the device of the line as its first stdout line, then "done <command>" after each
command read from stdin, one per line:
  send <hex>                      write these bytes
  queue <hex>                     write these bytes and wait until they wait in the line's
                                  input, unread (so a program that opens the line later finds
                                  them there)
  cut <hex> <k> <gap ms>          write the first k bytes, wait, then the rest
  trickle <hex> <gap ms>          write the bytes one at a time, one every gap ms; prints
                                  "longest gap <n> ms" (the longest seen) before "done"
  stop-output / start-output      the line stops taking bytes from the program, or takes them
                                  again (flow control on the line, as a stuck handshake)
  flood <n> <seed> <bytes per ms> n random bytes (every value 0 to 255) paced at line rate;
                                  the last 64 hold no ',' or '\\' (see flood below)
  hangup-on-save                  close the line as soon as a byte 'S' arrives
  echo                            from now on send every byte received straight back
  hangup                          close the line now and end
Every byte received is appended to <dir>/received.bin as it arrives.
"""
import argparse
import fcntl
import os
import random
import select
import struct
import sys
import termios
import threading
import time
import tty


class Line:
    def __init__(self, log_dir, link):
        self.master, self.slave = os.openpty()
        tty.setraw(self.slave)
        attrs = termios.tcgetattr(self.slave)
        attrs[4] = attrs[5] = termios.B57600
        termios.tcsetattr(self.slave, termios.TCSANOW, attrs)
        self.name = os.ttyname(self.slave)
        self.link = link
        if link:
            if os.path.islink(link):
                os.unlink(link)
            os.symlink(self.name, link)
        self.received = open(os.path.join(log_dir, "received.bin"), "ab", buffering=0)
        self.lock = threading.Lock()
        self.closed = False
        self.hangup_on_save = False
        self.echo = False
        self.ended = threading.Event()
        # The slave stays open here too, so reading the master never fails while the program
        # under test is not connected.
        threading.Thread(target=self.read_loop, daemon=True).start()

    def read_loop(self):
        while True:
            with self.lock:
                if self.closed:
                    return
                master = self.master
            ready, _, _ = select.select([master], [], [], 0.05)
            if not ready:
                continue
            try:
                data = os.read(master, 4096)
            except OSError:
                time.sleep(0.01)
                continue
            if not data:
                continue
            self.received.write(data)
            if self.echo:
                self.write(data)
            if self.hangup_on_save and b"S" in data:
                self.hangup()
                return

    def write(self, data):
        view = memoryview(data)
        while view:
            put = os.write(self.master, view)
            view = view[put:]

    def waiting_input(self):
        # The bytes the far end has not read yet (FIONREAD on the slave, which the peer holds).
        return struct.unpack("i", fcntl.ioctl(self.slave, termios.FIONREAD, b"\0\0\0\0"))[0]

    def hangup(self):
        with self.lock:
            if self.closed:
                return
            self.closed = True
            os.close(self.master)
            os.close(self.slave)
            if self.link and os.path.islink(self.link) and os.readlink(self.link) == self.name:
                os.unlink(self.link)
        self.ended.set()
        print("hangup", flush=True)


def keep_pace():
    # A paced writer on a machine busy with builds wakes late now and then; real-time priority
    # (when the peer may take it) lets it keep its pace. It sleeps most of the time.
    try:
        os.sched_setscheduler(0, os.SCHED_FIFO, os.sched_param(1))
    except (AttributeError, OSError):
        pass


def flood(line, count, seed, rate):
    # Every byte value may appear, NUL and 128-255 included. The last 64 bytes hold no field
    # delimiter (comma or NUL) and no escape: once the line has been quiet, fewer than 49 of
    # them can still wait unread, and taken together with the report that follows they only
    # lengthen the report's first field, so the report stays a report.
    rng = random.Random(seed)
    data = bytearray(rng.randrange(256) for _ in range(count))
    for i in range(max(0, count - 64), count):
        while data[i] in (0, ord(","), ord("\\")):
            data[i] = rng.randrange(256)
    start = time.monotonic()
    step = 64
    for at in range(0, count, step):
        due = start + at / rate / 1000.0
        wait = due - time.monotonic()
        if wait > 0:
            time.sleep(wait)
        line.write(bytes(data[at:at + step]))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    parser.add_argument("--link")
    args = parser.parse_args()
    line = Line(args.dir, args.link)
    print(line.name, flush=True)
    for command in sys.stdin:
        words = command.split()
        if not words:
            continue
        if line.ended.is_set() and words[0] != "hangup":
            print("closed " + command.strip(), flush=True)
            continue
        if words[0] == "send":
            line.write(bytes.fromhex(words[1]))
        elif words[0] == "queue":
            data = bytes.fromhex(words[1])
            before = line.waiting_input()
            line.write(data)
            # However late the system moves them there: "done" before that would let a program
            # opened next find nothing, and the caller's own deadline bounds a hang.
            while line.waiting_input() < before + len(data):
                time.sleep(0.005)
        elif words[0] == "cut":
            data, k, gap = bytes.fromhex(words[1]), int(words[2]), int(words[3])
            line.write(data[:k])
            time.sleep(gap / 1000.0)
            line.write(data[k:])
        elif words[0] == "trickle":
            # Paced by deadlines, so one late wake-up does not delay the rest; the longest gap
            # between two writes is told, as a busy machine may stretch one beyond the pace.
            data, gap = bytes.fromhex(words[1]), int(words[2])
            keep_pace()
            start = time.monotonic()
            last = None
            longest = 0.0
            for i in range(len(data)):
                wait = start + i * gap / 1000.0 - time.monotonic()
                if wait > 0:
                    time.sleep(wait)
                now = time.monotonic()
                if last is not None:
                    longest = max(longest, now - last)
                last = now
                line.write(data[i:i + 1])
            print("longest gap %d ms" % round(longest * 1000), flush=True)
        elif words[0] == "stop-output":
            termios.tcflow(line.slave, termios.TCOOFF)
        elif words[0] == "start-output":
            termios.tcflow(line.slave, termios.TCOON)
        elif words[0] == "flood":
            flood(line, int(words[1]), int(words[2]), float(words[3]))
        elif words[0] == "hangup-on-save":
            line.hangup_on_save = True
        elif words[0] == "echo":
            line.echo = True
        elif words[0] == "hangup":
            line.hangup()
            return
        else:
            print("unknown " + command.strip(), flush=True)
            continue
        print("done " + words[0], flush=True)
    line.hangup()


if __name__ == "__main__":
    main()
