"""The NAT laboratory: an internet, three routers and three homes made of
network namespaces, veth pairs and nftables on this one machine.

    vektorak-inet   198.51.100.1/24 on the bridge vektorak-br; the lobby and
                    coturn listen here, and every router's outside port
                    hangs on the bridge.
    vektorak-rN     a home router: outside 198.51.100.1N, inside
                    192.168.N.1/24, forwarding on, nftables masquerade
                    (r1, r2: one mapping per socket, whatever the
                    destination) or masquerade fully-random (r3: a new port
                    for every destination). From outside it lets in only
                    what belongs to a conversation begun inside.
    vektorak-hN     a home: 192.168.N.2/24, default route through rN.

Nothing here touches the root namespace: links are made inside the lab's
namespaces (`ip -n`), sysctls and rules are set inside them, and the root
namespace never sends to a lab address. A flock on LOCK serializes labs on
the machine (the names are fixed); whoever holds it first removes what a
killed run left. A guardian process, in a session of its own, holds the
lock and the other end of a pipe: when the lab's owner goes, by any exit
down to SIGKILL, the pipe closes and the guardian tears the lab down.

start_internet() adds coturn (UDP 3478, relays on 49152-49183, a shared
secret for time-limited credentials) and the lobby to the internet.

    python3 natlab.py up|down      by hand, for a look inside
"""

import fcntl
import os
import shutil
import signal
import subprocess
import sys
import time

INET = "vektorak-inet"
INET_IP = "198.51.100.1"
TURN_PORT = 3478
HOMES = (1, 2, 3)
FULLY_RANDOM = (3,)
LOCK = "/run/vektorak-natlab.lock"
NAMESPACES = [INET] + ["vektorak-r%d" % n for n in HOMES] + ["vektorak-h%d" % n for n in HOMES]


def router(n):
    return "vektorak-r%d" % n


def home(n):
    return "vektorak-h%d" % n


def home_ip(n):
    return "192.168.%d.2" % n


def public_ip(n):
    return "198.51.100.1%d" % n


def unavailable():
    """Why no lab can be made here, or None."""
    if os.geteuid() != 0:
        return "NAT laboratory skipped: network namespaces need root."
    for tool in ("ip", "nft", "turnserver", "unshare"):
        if not shutil.which(tool):
            return "NAT laboratory skipped: %s is not installed." % tool
    # Root in a container may still be refused namespaces; a nameless one
    # leaves nothing behind to delete.
    if subprocess.run(["unshare", "--net", "true"], stderr=subprocess.DEVNULL, timeout=30).returncode != 0:
        return "NAT laboratory skipped: network namespaces cannot be made here."
    return None


def _run(*args, check=True):
    r = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, timeout=30)
    if check and r.returncode != 0:
        raise RuntimeError("%s: %s" % (" ".join(args), r.stderr.strip()))
    return r.stdout


def in_ns(ns, args):
    """The command line that runs args inside the namespace ns."""
    return ["ip", "netns", "exec", ns] + list(args)


def teardown():
    """Ends every process left in the lab's namespaces (all of them started
    by a lab), then deletes the namespaces; their links go with them."""
    present = set(_run("ip", "netns", "list", check=False).split())
    mine = [ns for ns in NAMESPACES if ns in present]
    for sig, grace in ((signal.SIGTERM, 2.0), (signal.SIGKILL, 2.0)):
        pids = [int(p) for ns in mine for p in _run("ip", "netns", "pids", ns, check=False).split()]
        for pid in pids:
            try:
                os.kill(pid, sig)
            except ProcessLookupError:
                pass
        deadline = time.time() + grace
        while pids and time.time() < deadline:
            pids = [p for p in pids if os.path.exists("/proc/%d" % p)]
            time.sleep(0.05)
    for ns in mine:
        _run("ip", "netns", "del", ns, check=False)


def _router_rules(n):
    out = "vektorak-r%do" % n
    nat = "masquerade fully-random" if n in FULLY_RANDOM else "masquerade"
    # Established and related first: answers to what a home sent come back
    # through the mapping; anything else arriving outside is dropped, as a
    # home router does with unsolicited datagrams.
    return """
table ip vektorak {
  chain postrouting { type nat hook postrouting priority srcnat; oifname "%(out)s" %(nat)s; }
  chain forward {
    type filter hook forward priority filter; policy accept;
    iifname "%(out)s" ct state established,related accept
    iifname "%(out)s" drop
  }
  chain input {
    type filter hook input priority filter; policy accept;
    iifname "%(out)s" ct state established,related accept
    iifname "%(out)s" drop
  }
}
""" % {"out": out, "nat": nat}


def build():
    """Makes the namespaces, links, addresses, routes and rules."""
    for ns in NAMESPACES:
        _run("ip", "netns", "add", ns)
        _run("ip", "-n", ns, "link", "set", "lo", "up")
    _run("ip", "-n", INET, "link", "add", "vektorak-br", "type", "bridge")
    _run("ip", "-n", INET, "addr", "add", INET_IP + "/24", "dev", "vektorak-br")
    _run("ip", "-n", INET, "link", "set", "vektorak-br", "up")
    for n in HOMES:
        r, h = router(n), home(n)
        outside, port = "vektorak-r%do" % n, "vektorak-i%d" % n
        inside, homeside = "vektorak-r%di" % n, "vektorak-h%d" % n
        _run("ip", "-n", r, "link", "add", outside, "type", "veth", "peer", "name", port, "netns", INET)
        _run("ip", "-n", INET, "link", "set", port, "master", "vektorak-br", "up")
        _run("ip", "-n", r, "addr", "add", public_ip(n) + "/24", "dev", outside)
        _run("ip", "-n", r, "link", "set", outside, "up")
        _run("ip", "-n", r, "link", "add", inside, "type", "veth", "peer", "name", homeside, "netns", h)
        _run("ip", "-n", r, "addr", "add", "192.168.%d.1/24" % n, "dev", inside)
        _run("ip", "-n", r, "link", "set", inside, "up")
        _run("ip", "-n", h, "addr", "add", home_ip(n) + "/24", "dev", homeside)
        _run("ip", "-n", h, "link", "set", homeside, "up")
        _run("ip", "-n", h, "route", "add", "default", "via", "192.168.%d.1" % n)
        _run(*in_ns(r, ["sysctl", "-qw", "net.ipv4.ip_forward=1"]))
        r_nft = subprocess.run(in_ns(r, ["nft", "-f", "-"]), input=_router_rules(n), text=True,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30)
        if r_nft.returncode != 0:
            raise RuntimeError("nft in %s: %s" % (r, r_nft.stderr.strip()))


def text(path):
    with open(path) as f:
        return f.read()


def wait_for(condition, timeout, what):
    deadline = time.time() + timeout
    while not condition():
        if time.time() > deadline:
            raise RuntimeError("%s: not within %d s" % (what, timeout))
        time.sleep(0.1)


def start_turn(scratch):
    """coturn in vektorak-inet, once it listens; its secret in
    scratch/turn-secret and its log beside it."""
    key = os.urandom(16).hex()
    with open(os.path.join(scratch, "turn-secret"), "w") as f:
        f.write(key + "\n")
    turn = subprocess.Popen(in_ns(INET, [
        "turnserver", "-n", "--listening-ip", INET_IP, "--relay-ip", INET_IP,
        "--listening-port", str(TURN_PORT), "--min-port", "49152", "--max-port", "49183",
        "--use-auth-secret", "--static-auth-secret", key, "--realm", "vektorak.lab",
        "--no-tls", "--no-dtls", "--no-cli", "--no-tcp-relay", "--db", os.path.join(scratch, "turndb"),
        "--log-file", os.path.join(scratch, "turn.log"), "--simple-log", "--no-stdout-log",
        "--pidfile", os.path.join(scratch, "turn.pid")]),
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # Its log is a file: the listening socket shows in its namespace's table.
    wait_for(lambda: ":%d " % TURN_PORT in subprocess.run(
        in_ns(INET, ["ss", "-Hlun"]), stdout=subprocess.PIPE, text=True).stdout
        or turn.poll() is not None, 10, "coturn listens")
    if turn.poll() is not None:
        raise RuntimeError("coturn ended with %d; its log is in %s" % (turn.returncode, scratch))
    return turn


def start_internet(scratch, lobby_bin):
    """coturn and the lobby in vektorak-inet, once both listen."""
    turn = start_turn(scratch)
    out = os.path.join(scratch, "lobby.out")
    with open(out, "w") as f:
        lobby = subprocess.Popen(in_ns(INET, [
            lobby_bin, "--turn", "%s:%d" % (INET_IP, TURN_PORT), "--turn-secret-file",
            os.path.join(scratch, "turn-secret")]), stdout=f, stderr=subprocess.STDOUT)
    wait_for(lambda: "Lobby listening on UDP 27185." in text(out) or lobby.poll() is not None, 10,
             "the lobby listens")
    if lobby.poll() is not None:
        raise RuntimeError("the lobby ended with %d: %s" % (lobby.returncode, text(out)))
    return turn, lobby


def _guard(lock_fd):
    """The guardian's body: waits for its owner's pipe to close."""
    signal.signal(signal.SIGINT, signal.SIG_IGN)
    signal.signal(signal.SIGTERM, signal.SIG_IGN)
    sys.stdin.buffer.read()
    teardown()
    os.close(lock_fd)


class Lab:
    """with Lab() as lab: the lab exists inside the block, and not after it
    whichever way the block or the program ends."""

    def __init__(self, lock_timeout=300):
        self.lock_timeout = lock_timeout
        self.guardian = None
        self.lock_fd = None

    def __enter__(self):
        fd = os.open(LOCK, os.O_RDWR | os.O_CREAT, 0o600)
        deadline = time.time() + self.lock_timeout
        while True:
            try:
                fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
                break
            except BlockingIOError:
                if time.time() > deadline:
                    os.close(fd)
                    raise RuntimeError("another NAT laboratory kept %s for %d s" % (LOCK, self.lock_timeout))
                time.sleep(0.5)
        self.lock_fd = fd
        teardown()  # what a killed run left
        self.guardian = subprocess.Popen([sys.executable, os.path.abspath(__file__), "--guard",
                                          str(self.lock_fd)], stdin=subprocess.PIPE,
                                         pass_fds=(self.lock_fd,), start_new_session=True)
        try:
            build()
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def __exit__(self, *exc):
        if self.lock_fd is None:
            return False  # never held: the lab there is another run's
        teardown()
        if self.guardian:
            self.guardian.stdin.close()
            self.guardian.wait(30)
            self.guardian = None
        if self.lock_fd is not None:
            os.close(self.lock_fd)
            self.lock_fd = None
        return False

    def start(self, ns, args, **kwargs):
        """A process inside ns; it ends with the lab at the latest."""
        return subprocess.Popen(in_ns(ns, args), **kwargs)


if __name__ == "__main__":
    if sys.argv[1:2] == ["--guard"]:
        _guard(int(sys.argv[2]))
    elif sys.argv[1:] in (["up"], ["down"]):
        fd = os.open(LOCK, os.O_RDWR | os.O_CREAT, 0o600)
        try:
            fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except BlockingIOError:
            sys.exit("a NAT laboratory is in use (%s)" % LOCK)
        teardown()
        if sys.argv[1] == "up":
            build()
    else:
        sys.exit("usage: natlab.py up|down")
