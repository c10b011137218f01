"""The built program under a private Xvfb with its own home and settings hive, for the fault and
load scripts beside this file: starting it, reading its CPU time, memory and descriptors from
/proc, and ending it with SIGTERM."""
import atexit
import os
import signal
import subprocess
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PROGRAM = os.environ.get("KESTROVA", os.path.join(ROOT, "build", "src", "app", "kestrova"))
TICKS = os.sysconf("SC_CLK_TCK")

OPTIONS_KEY = "HKEY_CURRENT_USER\\Software\\MUR s.r.o.\\KestTerminal\\Options"


def reg_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


class Xvfb:
    def __init__(self, display):
        self.display = ":%d" % display
        self.proc = subprocess.Popen(
            ["Xvfb", self.display, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        atexit.register(self.close)  # also when a script gives up early
        socket = "/tmp/.X11-unix/X%d" % display
        for _ in range(100):
            if os.path.exists(socket):
                return
            time.sleep(0.05)
        raise RuntimeError("Xvfb %s did not start" % self.display)

    def close(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            self.proc.wait()


class Kestrova:
    """One run of the program; `port1` is port 1's text, `log` the log file (None: no log)."""

    def __init__(self, xvfb, port1, log=None, protocol="Text", env=None, home=None,
                 write_hive=True):
        self.home = home or tempfile.mkdtemp(prefix="kestrova-bench-")
        self.hive = os.path.join(self.home, ".config", "mur", "kestrova.reg")
        if write_hive:
            os.makedirs(os.path.dirname(self.hive), exist_ok=True)
            with open(self.hive, "w") as f:
                f.write("Windows Registry Editor Version 5.00\n\n[%s]\n" % OPTIONS_KEY)
                # A network port is stored as typed, a serial one as its configuration string.
                network = port1.startswith(":") or port1[:4].upper() in ("TCP:", "UDP:")
                stored = port1 if network else '"%s","115200"' % port1
                f.write('"Port1"=%s\n' % reg_string(stored))
                f.write('"Port2"=%s\n' % reg_string('"%s/no-port-2"' % self.home))
                f.write('"LogCom1"=dword:%08x\n' % (1 if log else 0))
                f.write('"LogFile"=%s\n' % reg_string(log or os.path.join(self.home, "unused.log")))
                f.write('"Protocol"=%s\n"PacketTimeout"="100"\n' % reg_string(protocol))
        full_env = dict(os.environ, HOME=self.home, XDG_CONFIG_HOME=os.path.join(self.home, ".config"),
                        XDG_CONFIG_DIRS=os.path.join(self.home, "machine"), DISPLAY=xvfb.display,
                        QT_QPA_PLATFORM="xcb", XDG_RUNTIME_DIR=self.home)
        full_env.update(env or {})
        self.stderr_path = os.path.join(self.home, "stderr.txt")
        self.proc = subprocess.Popen([PROGRAM], cwd=self.home, env=full_env,
                                     stdout=subprocess.DEVNULL, stderr=open(self.stderr_path, "w"))
        self.pid = self.proc.pid
        atexit.register(self.terminate)  # runs before the X server's close, registered earlier

    def cpu_seconds(self):
        with open("/proc/%d/stat" % self.pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / TICKS  # utime, stime

    def wakeups(self):
        """Context switches of all the program's threads so far: {thread name: count}."""
        counts = {}
        for task in os.listdir("/proc/%d/task" % self.pid):
            try:
                with open("/proc/%d/task/%s/status" % (self.pid, task)) as f:
                    status = dict(line.split(":", 1) for line in f if ":" in line)
            except OSError:
                continue  # the thread ended
            name = "%s/%s" % (status["Name"].strip(), task)
            counts[name] = sum(int(status[k]) for k in ("voluntary_ctxt_switches",
                                                        "nonvoluntary_ctxt_switches"))
        return counts

    def rss_kb(self):
        with open("/proc/%d/status" % self.pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
        return 0

    def fds(self):
        return len(os.listdir("/proc/%d/fd" % self.pid))

    def stderr(self):
        with open(self.stderr_path, errors="replace") as f:
            return f.read()

    def wait_for_stderr(self, text, timeout):
        deadline = time.time() + timeout
        while text not in self.stderr():
            if time.time() > deadline or self.proc.poll() is not None:
                return False
            time.sleep(0.1)
        return True

    def terminate(self, timeout=10):
        """SIGTERM; the exit status, or "killed" when it did not end in time."""
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
            return "killed"


def socat_pty_pair(work):
    """A pseudo-terminal pair linked as WORK/ours and WORK/theirs (the program takes theirs):
    the socat process, ours and theirs. socat ends with the script."""
    ours, theirs = os.path.join(work, "ours"), os.path.join(work, "theirs")
    socat = subprocess.Popen(["socat", "pty,raw,echo=0,link=" + ours,
                              "pty,raw,echo=0,link=" + theirs], stderr=subprocess.DEVNULL)
    atexit.register(lambda: socat.poll() is None and socat.kill())
    while not (os.path.exists(ours) and os.path.exists(theirs)):
        time.sleep(0.05)
    return socat, ours, theirs


def logged_program_on_pty(display, prefix):
    """The program with port 1 on a fresh pty pair and its log on, under its own Xvfb: the
    socat process, the X server, the program, the log's path and a descriptor writing into the
    pty."""
    work = tempfile.mkdtemp(prefix=prefix)
    socat, ours, theirs = socat_pty_pair(work)
    log = os.path.join(work, "log.txt")
    xvfb = Xvfb(display)
    program = Kestrova(xvfb, theirs, log)
    return socat, xvfb, program, log, os.open(ours, os.O_WRONLY | os.O_NOCTTY)


def wait_for_file_text(path, text, timeout):
    deadline = time.time() + timeout
    while time.time() < deadline:
        try:
            with open(path, "rb") as f:
                if text in f.read():
                    return True
        except FileNotFoundError:
            pass
        time.sleep(0.1)
    return False


def wait_for_port(kind, port, timeout=20):
    """Waits until something listens on 127.0.0.1:port ("tcp") or has it bound ("udp")."""
    import socket
    deadline = time.time() + timeout
    while time.time() < deadline:
        if kind == "tcp":
            try:
                socket.create_connection(("127.0.0.1", port), 0.2).close()
                return True
            except OSError:
                pass
        else:
            probe = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
            try:
                probe.bind(("0.0.0.0", port))
            except OSError:
                return True
            finally:
                probe.close()
        time.sleep(0.1)
    return False
