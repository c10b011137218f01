#!/usr/bin/env python3
"""TCP server mode under churn: port 1 listens; a few peers stay connected and keep sending
while waves of up to PEERS peers from 127.0.0.1 connect, send and disconnect for SECONDS.
Peers' data are shown, not logged (the log takes port 1's serial data only), so the bytes are
checked in the terminal view: after the churn a last wave of CHECKED peers sends numbered
tokens, the view is saved as a capture (a double click in the capture name box) and each
token must be in it exactly once (the view keeps the last 2100 lines, so not every churn
peer's can be; it is filled to that limit before the start figures). Prints the peer count,
lost and doubled tokens, and descriptors and RSS at the start and after the churn.
Usage: tcp_churn.py [SECONDS=60] [PEERS=500] [DISPLAY_NUMBER=61]"""
import collections
import os
import re
import socket
import subprocess
import sys
import tempfile
import threading
import time

from kestrova_run import Kestrova, Xvfb, wait_for_file_text, wait_for_port

seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 60
peers = int(sys.argv[2]) if len(sys.argv) > 2 else 500
display = int(sys.argv[3]) if len(sys.argv) > 3 else 61
port = 47000 + display
STAYERS = 10

work = tempfile.mkdtemp(prefix="kestrova-churn-")
log = os.path.join(work, "log.txt")
xvfb = Xvfb(display)
program = Kestrova(xvfb, ":%d" % port, log)
if not wait_for_port("tcp", port):
    sys.exit("the server does not listen on %d" % port)
sent = []  # every token sent, from every thread
sent_lock = threading.Lock()


def note(tokens):
    with sent_lock:
        sent.extend(tokens)


stop = threading.Event()


def stayer(index):
    s = socket.create_connection(("127.0.0.1", port))
    seq = 0
    while not stop.is_set():
        token = "s%d:%d;" % (index, seq)
        s.sendall(token.encode() + b"\r\n")
        note([token])
        seq += 1
        time.sleep(0.1)
    s.close()


stayers = [threading.Thread(target=stayer, args=(i,)) for i in range(STAYERS)]
for t in stayers:
    t.start()
# The view keeps its last 2100 lines by design; filled to that limit before the start figure, the
# figures compare what the peers cost, not the view's store growing from empty (about 0.6 MB).
filler = socket.create_connection(("127.0.0.1", port))
filler.sendall(b"".join(b"fill %04d %s\r\n" % (k, b"." * 56) for k in range(2500)))
filler.close()
time.sleep(6)
fds_start, rss_start = program.fds(), program.rss_kb()

connections = 0
refused = 0
deadline = time.time() + seconds
samples = []  # RSS every 10 s of churn: growth that levels off is the view filling up
next_sample = time.time() + 10
while time.time() < deadline and program.proc.poll() is None:
    if time.time() >= next_sample:
        samples.append(program.rss_kb())
        next_sample += 10
    wave = []
    for _ in range(peers):
        try:
            wave.append(socket.create_connection(("127.0.0.1", port), 10))
        except OSError:
            refused += 1
    for s in wave:
        connections += 1
        tokens = ["c%d:%d;" % (connections, k) for k in range(2)]
        try:
            s.sendall("\r\n".join(tokens).encode() + b"\r\n")
            note(tokens)
        except OSError:
            refused += 1
    for s in wave:
        s.close()
stop.set()
for t in stayers:
    t.join()
crashed = program.proc.poll() is not None
time.sleep(5)  # the peers' removals are handled
fds_end = program.fds() if not crashed else -1
rss_end = program.rss_kb() if not crashed else -1

CHECKED = 300
checked = []
wave = [socket.create_connection(("127.0.0.1", port), 10) for _ in range(CHECKED)]
for k, s in enumerate(wave):
    token = "v%d:%d;" % (k, k * 7919 % 1000)
    s.sendall(token.encode() + b"\r\n")
    checked.append(token)
for s in wave:
    s.close()
time.sleep(3)
display_env = dict(os.environ, DISPLAY=xvfb.display)
window = subprocess.run(["xdotool", "search", "--name", "^Kestrova - MUR"], env=display_env,
                        capture_output=True, text=True).stdout.split()
capture = os.path.join(program.home, "Pokusy_1.rtf")
if window:
    subprocess.run(["xdotool", "mousemove", "--sync", "--window", window[0], "60", "81",
                    "click", "--repeat", "2", "1"], env=display_env)
    wait_for_file_text(capture, checked[-1].encode(), 20)
status = program.terminate()
xvfb.close()

try:
    with open(capture, "rb") as f:
        # The view wraps long lines; the capture breaks them with \par wherever they wrapped.
        view = re.sub(rb"\\par\r?\n", b"", f.read())
    shown = collections.Counter(re.findall(rb"v\d+:\d+;", view))
except FileNotFoundError:
    shown = collections.Counter()
lost = [t for t in checked if shown[t.encode()] == 0]
doubled = [t for t, n in shown.items() if n > 1]
print("peers connected in churn: %d over %.0f s (waves of %d), refused or failed: %d"
      % (connections, seconds, peers, refused))
print("churn tokens sent: %d; last wave: %d peers, tokens missing from the view: %d, shown more "
      "than once: %d" % (len(sent), len(checked), len(lost), len(doubled)))
if lost:
    print("  first lost:", lost[:5])
print("descriptors: %d at the start, %d after (%+.1f %%)"
      % (fds_start, fds_end, 100.0 * (fds_end - fds_start) / fds_start))
print("RSS: %d kB at the start, %d kB after (%+.1f %%)"
      % (rss_start, rss_end, 100.0 * (rss_end - rss_start) / rss_start))
print("RSS every 10 s of churn (kB): %s" % " ".join(str(k) for k in samples))
print("ended on SIGTERM with status %s%s" % (status, " (it had crashed)" if crashed else ""))
ok = (not crashed and not lost and not doubled and status == 0
      and fds_end <= fds_start * 1.05 and rss_end <= rss_start * 1.05)
sys.exit(0 if ok else 1)
