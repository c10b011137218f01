#!/usr/bin/env python3
"""A long run at a steady rate: port 1 on a socat pty pair with the view and the log on; a
writer sends numbered 64-byte lines (CR LF ended) into the pty's other side at RATE KB/s for
MINUTES. The program's RSS and CPU time are sampled every minute. At the end every line must be
in the log exactly once and whole.
Criteria: RSS after the first minute grows by at most 5 MB, no line lost, doubled or damaged,
CPU per minute flat (the last third's mean within 25 % of the second minute to the end of the
first third), and a clean exit on SIGTERM.
Usage: soak.py [MINUTES=30] [RATE_KB_PER_S=100] [DISPLAY_NUMBER=72]"""
import os
import re
import sys
import threading
import time

from kestrova_run import logged_program_on_pty, wait_for_file_text

minutes = float(sys.argv[1]) if len(sys.argv) > 1 else 30
rate = float(sys.argv[2]) if len(sys.argv) > 2 else 100
display = int(sys.argv[3]) if len(sys.argv) > 3 else 72
LINE = 64
TICK = 0.02  # the writer sends one block per tick
RSS_GROWTH_LIMIT_KB = 5 * 1024


def line(n):
    head = b"soak %08d " % n
    return head + b"-" * (LINE - 2 - len(head)) + b"\r\n"


socat, xvfb, program, log, peer = logged_program_on_pty(display, "kestrova-soak-")
if not wait_for_file_text(log, b"", 20):
    sys.exit("no log file")
time.sleep(2)  # the window is up and the port open

stop = threading.Event()
lines_sent = 0


def write_steadily():
    global lines_sent
    per_tick = rate * 1024 * TICK / LINE
    due = 0.0
    next_tick = time.monotonic()
    while not stop.is_set():
        due += per_tick
        count = int(due) - lines_sent
        if count > 0:
            os.write(peer, b"".join(line(n) for n in range(lines_sent, lines_sent + count)))
            lines_sent += count
        next_tick += TICK
        time.sleep(max(0.0, next_tick - time.monotonic()))


writer = threading.Thread(target=write_steadily)
started = time.monotonic()
writer.start()
samples = []  # (minute, RSS kB, CPU s in that minute)
cpu_before = program.cpu_seconds()
for minute in range(1, int(minutes) + 1):
    time.sleep(max(0.0, started + 60 * minute - time.monotonic()))
    if program.proc.poll() is not None:
        break
    cpu_now = program.cpu_seconds()
    samples.append((minute, program.rss_kb(), cpu_now - cpu_before))
    cpu_before = cpu_now
    print("minute %3d: RSS %d kB, CPU %.2f s" % samples[-1], flush=True)
stop.set()
writer.join()
elapsed = time.monotonic() - started
crashed = program.proc.poll() is not None
last = line(lines_sent - 1).rstrip(b"\r\n")
arrived = wait_for_file_text(log, last, 60)
status = program.terminate()
xvfb.close()

seen = bytearray(lines_sent)
doubled = damaged = 0
whole = re.compile(rb"soak (\d{8}) -{%d}$" % (LINE - 2 - 14))
with open(log, "rb") as f:
    for text in f:
        if b"soak" not in text:
            continue
        found = whole.search(text.rstrip(b"\r\n"))
        if not found or text.count(b"soak") != 1:
            damaged += 1
            continue
        n = int(found.group(1))
        if n >= lines_sent:
            damaged += 1
        elif seen[n]:
            doubled += 1
        else:
            seen[n] = 1
lost = lines_sent - sum(seen)

print("sent %d lines (%.1f MB) in %.0f s: %.1f KB/s" % (
    lines_sent, lines_sent * LINE / 1e6, elapsed, lines_sent * LINE / 1024 / elapsed))
print("log: lost %d, doubled %d, damaged %d; the last line %s" % (
    lost, doubled, damaged, "arrived" if arrived else "did not arrive"))
ok = not crashed and status == 0 and arrived and lost == doubled == damaged == 0
if len(samples) >= 3:
    rss_growth = samples[-1][1] - samples[0][1]
    print("RSS: %d kB after minute 1, %d kB at the end (%+d kB; limit +%d kB), highest %d kB" % (
        samples[0][1], samples[-1][1], rss_growth, RSS_GROWTH_LIMIT_KB, max(s[1] for s in samples)))
    third = max(1, len(samples) // 3)
    early = [s[2] for s in samples[1:1 + third]]
    late = [s[2] for s in samples[-third:]]
    early_mean, late_mean = sum(early) / len(early), sum(late) / len(late)
    print("CPU per minute: %.2f s mean over minutes 2-%d, %.2f s over the last %d (%+.0f %%)" % (
        early_mean, 1 + third, late_mean, third, 100.0 * (late_mean - early_mean) / early_mean))
    ok = ok and rss_growth <= RSS_GROWTH_LIMIT_KB and late_mean <= early_mean * 1.25
print("ended on SIGTERM with status %s%s" % (status, " (it had crashed)" if crashed else ""))
sys.exit(0 if ok else 1)
