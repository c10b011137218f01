#!/usr/bin/env python3
"""Crash safety of the stored settings: the program is asked to close (SIGTERM, which stores
its settings) and killed with SIGKILL a random moment later, RUNS times. The hive starts each
run with old values ("Protocol"="PPP", which the program stores back as "Hex"); after each
kill it must parse (the program's own --export-settings reads it; a hive it cannot read would
be set aside as kestrova.reg.corrupt-*) and every value must be the old or the new one.
Usage: settings_kill.py [RUNS=200] [DISPLAY_NUMBER=63]"""
import glob
import os
import random
import re
import signal
import subprocess
import sys
import tempfile
import time

from kestrova_run import OPTIONS_KEY, PROGRAM, Kestrova, Xvfb, reg_string

runs = int(sys.argv[1]) if len(sys.argv) > 1 else 200
display = int(sys.argv[2]) if len(sys.argv) > 2 else 63
home = tempfile.mkdtemp(prefix="kestrova-kill-")
hive = os.path.join(home, ".config", "mur", "kestrova.reg")
os.makedirs(os.path.dirname(hive))
OLD = ("Windows Registry Editor Version 5.00\n\n[%s]\n" % OPTIONS_KEY
       + '"Port1"=%s\n' % reg_string('"%s/no-port-1"' % home)
       + '"Port2"=%s\n' % reg_string('"%s/no-port-2"' % home)
       + '"Protocol"="PPP"\n"PacketTimeout"="250"\n"SkipByte"="\'x\'"\n')
EXPECTED = {"Protocol": {"PPP", "Hex"}, "PacketTimeout": {"250"}, "SkipByte": {"'x'"}}
env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
           XDG_CONFIG_DIRS=os.path.join(home, "machine"))
xvfb = Xvfb(display)


def windows_up(timeout=20):
    deadline = time.time() + timeout
    while time.time() < deadline:
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Terminal$"],
                               env=dict(env, DISPLAY=xvfb.display), capture_output=True)
        if found.returncode == 0:
            return True
        time.sleep(0.1)
    return False


def check_hive():
    """"" when the hive parses and holds old or new values, else what is wrong."""
    out = os.path.join(home, "export.reg")
    done = subprocess.run([PROGRAM, "--export-settings", out], env=env, capture_output=True)
    if done.returncode != 0 or glob.glob(hive + ".corrupt*"):
        return "does not parse: " + done.stderr.decode(errors="replace")
    with open(hive, errors="replace") as f:
        text = f.read()
    for name, allowed in EXPECTED.items():
        m = re.search(r'^"%s"="(.*)"$' % name, text, re.M)
        value = m.group(1) if m else None
        if value not in allowed:
            return "%s is %r" % (name, value)
    return "new" if '"Protocol"="Hex"' in text else "old"


# How long the close takes when nothing interrupts it.
with open(hive, "w") as f:
    f.write(OLD)
program = Kestrova(xvfb, None, home=home, write_hive=False)
windows_up()
start = time.time()
program.proc.send_signal(signal.SIGTERM)
program.proc.wait()
close_time = time.time() - start
outcomes = {"old": 0, "new": 0}
bad = []
not_started = []
clean_exits = 0
for run in range(runs):
    with open(hive, "w") as f:
        f.write(OLD)
    program = Kestrova(xvfb, None, home=home, write_hive=False)
    if not windows_up():
        # Now and then the X server refuses a connection right after a killed client; such a
        # run stored nothing and says nothing about the settings.
        status = program.terminate()
        not_started.append("run %d: no windows within 20 s (status %s): %s"
                           % (run, status, program.stderr().strip().splitlines()[-1:]))
        continue
    program.proc.send_signal(signal.SIGTERM)
    time.sleep(random.uniform(0, close_time * 1.2))
    if program.proc.poll() is not None:
        clean_exits += 1
    else:
        program.proc.send_signal(signal.SIGKILL)
    program.proc.wait()
    result = check_hive()
    if result in outcomes:
        outcomes[result] += 1
    else:
        bad.append("run %d: %s" % (run, result))
xvfb.close()
leftovers = glob.glob(os.path.join(os.path.dirname(hive), ".*tmp-*"))
print("close path takes %.0f ms undisturbed; %d runs, %d ended before the kill"
      % (close_time * 1000, runs, clean_exits))
print("hive afterwards: %d with the old values, %d with the new, %d bad"
      % (outcomes["old"], outcomes["new"], len(bad)))
for line in bad[:10]:
    print("  " + line)
print("runs in which the program did not start: %d" % len(not_started))
for line in not_started[:3]:
    print("  " + line)
print("temporaries left by the last kill: %d" % len(leftovers))
sys.exit(0 if not bad else 1)
