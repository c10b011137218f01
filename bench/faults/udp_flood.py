#!/usr/bin/env python3
"""UDP server mode flooded: port 1 is a UDP server; SENDERS processes send datagrams to it as
fast as loopback takes them for SECONDS. Prints the datagrams sent, the longest event-loop gap
the program reported (KESTROVA_LOOP_GAPS; should stay under 100 ms), its RSS over the run, the
kernel's drop count for its socket and the total the program itself told.
Usage: udp_flood.py [SECONDS=10] [SENDERS=2] [DISPLAY_NUMBER=62]"""
import multiprocessing
import os
import re
import socket
import sys
import tempfile
import time

from kestrova_run import Kestrova, Xvfb, wait_for_port

seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 10
senders = int(sys.argv[2]) if len(sys.argv) > 2 else 2
display = int(sys.argv[3]) if len(sys.argv) > 3 else 62
port = 47000 + display


def flood(index, until, counts):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    payload = b"datagram from sender %d, padding to some sixty bytes.....\r\n" % index
    n = 0
    while time.time() < until:
        for _ in range(100):
            try:
                s.sendto(payload, ("127.0.0.1", port))
                n += 1
            except OSError:
                pass
    counts[index] = n


def kernel_drops(port):
    """The drops column of /proc/net/udp for the socket bound to `port`."""
    with open("/proc/net/udp") as f:
        for line in f.readlines()[1:]:
            fields = line.split()
            if int(fields[1].split(":")[1], 16) == port:
                return int(fields[-1])
    return -1


work = tempfile.mkdtemp(prefix="kestrova-flood-")
xvfb = Xvfb(display)
program = Kestrova(xvfb, "UDP:%d" % port, os.path.join(work, "log.txt"),
                   env={"KESTROVA_LOOP_GAPS": "1"})
if not wait_for_port("udp", port):
    sys.exit("nothing bound to UDP port %d" % port)
time.sleep(2)
rss_start = program.rss_kb()
counts = multiprocessing.Array("q", senders)
until = time.time() + seconds
workers = [multiprocessing.Process(target=flood, args=(i, until, counts)) for i in range(senders)]
for w in workers:
    w.start()
rss_peak = rss_start
gaps_before = program.stderr()
while any(w.is_alive() for w in workers):
    if program.proc.poll() is None:
        rss_peak = max(rss_peak, program.rss_kb())
    time.sleep(0.2)
drops = kernel_drops(port)
time.sleep(0.5)
during = program.stderr()  # the close's own gap comes later
time.sleep(3)
crashed = program.proc.poll() is not None
rss_end = program.rss_kb() if not crashed else -1
status = program.terminate(30)
xvfb.close()
text = program.stderr()
# Only each new longest gap is reported: one during the flood shows only when it beats the
# start-up's, which then bounds it.
start_gaps = [int(g) for g in re.findall(r"event-loop gap (\d+) ms", gaps_before)]
gaps = [int(g) for g in re.findall(r"event-loop gap (\d+) ms", during[len(gaps_before):])]
bound = max(gaps) if gaps else max(start_gaps, default=0)
told = [line for line in text.splitlines() if "datagram" in line.lower()]
print("load average at the end: %s" % open("/proc/loadavg").read().split()[0])
print("datagrams sent: %d in %.0f s by %d senders" % (sum(counts), seconds, senders))
print("longest event-loop gap before the flood: %d ms; during it: %s (limit 100 ms)"
      % (max(start_gaps, default=0), "%d ms" % max(gaps) if gaps else "no longer one"))
print("RSS: %d kB before, %d kB peak, %d kB after" % (rss_start, rss_peak, rss_end))
print("kernel drops on the program's socket: %d" % drops)
told_total = sum(int(n) for n in re.findall(r"UDP: (\d+) datagrams could not be taken", text))
print("the program told %d dropped datagrams in %d messages" % (told_total, len(told)))
print("ended on SIGTERM with status %s%s" % (status, " (it had crashed)" if crashed else ""))
sys.exit(0 if status == 0 and not crashed and bound < 100 else 1)
