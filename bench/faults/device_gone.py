#!/usr/bin/env python3
"""A serial device that goes away while data flow: port 1 on a socat pty pair, a writer
streaming into the other side, then socat is killed so that the pty's other side closes.
Prints the program's CPU time over the next 10 s (should stay under 0.1 s; while it waits for
the device to come back, under 0.05 s), the threads that woke meanwhile, its descriptors
and memory before and after, and how it ended on SIGTERM (0 is clean).
Usage: device_gone.py [DISPLAY_NUMBER]"""
import os
import signal
import sys
import threading
import time

from kestrova_run import logged_program_on_pty, wait_for_file_text

display = int(sys.argv[1]) if len(sys.argv) > 1 else 60
socat, xvfb, program, log, peer = logged_program_on_pty(display, "kestrova-gone-")
stop = threading.Event()


def stream():
    n = 0
    while not stop.is_set():
        try:
            os.write(peer, b"line %d of the stream\r\n" % n)
        except OSError:
            return
        n += 1
        time.sleep(0.001)


if not wait_for_file_text(log, b"", 20):
    sys.exit("no log file")
writer = threading.Thread(target=stream)
writer.start()
if not wait_for_file_text(log, b"line 100 of", 20):
    sys.exit("the stream does not reach the log")
fds_before, rss_before = program.fds(), program.rss_kb()
socat.send_signal(signal.SIGKILL)
socat.wait()
stop.set()
writer.join()
time.sleep(1)  # the hang-up is noticed and handled
cpu_start, wakeups_start = program.cpu_seconds(), program.wakeups()
time.sleep(10)
cpu = program.cpu_seconds() - cpu_start
woke = {name: n - wakeups_start.get(name, 0) for name, n in program.wakeups().items()}
fds_after, rss_after = program.fds(), program.rss_kb()
status = program.terminate()
xvfb.close()
print("CPU over the 10 s after the device went away: %.2f s (limit 0.1 s)" % cpu)
print("thread wake-ups over those 10 s: " +
      (", ".join("%s %d" % item for item in sorted(woke.items()) if item[1]) or "none"))
print("descriptors: %d while streaming, %d after" % (fds_before, fds_after))
print("RSS: %d kB while streaming, %d kB after" % (rss_before, rss_after))
print("ended on SIGTERM with status %s" % status)
sys.exit(0 if cpu < 0.1 and status == 0 else 1)
