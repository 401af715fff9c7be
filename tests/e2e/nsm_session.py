#!/usr/bin/python3
"""Kelvarin in a session manager's session, played against a fake NSM server made here
with liblo. With a session: it announces itself, keeps Kelvarin.ini and midi.dat in the
directory the session gives and names its JACK clients after the client id, saves on
the server's save (a settings file it cannot write is said on stderr and answered with
an error, and the next save writes it whole), ends on SIGTERM with the sliders saved,
and started again in the same session it has its settings back. A server that never
answers, or refuses the program, does not keep the window from opening, and a session
directory that cannot be made leaves the files where the program started. Runs inside with_desktop_session.sh
(DISPLAY and a JACK server).

    nsm_session.py KELVARIN MIDI_TEST_SOURCE
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

try:
    import liblo
except ImportError:
    print("python3-liblo is not installed: skipped")
    sys.exit(77)

PROGRAM, MIDI_SOURCE = sys.argv[1], sys.argv[2]
WAIT = 20  # seconds for anything a busy machine may be slow to do


def fail(message, program=None):
    if program is not None:
        program.kill()
        sys.stderr.write("  kelvarin: " + program.stderr_text() + "\n")
    sys.exit("FAIL: " + message)


def wait_for(check, what, program=None):
    deadline = time.monotonic() + WAIT
    while not check():
        if time.monotonic() > deadline:
            fail(what, program)
        time.sleep(0.1)


class FakeManager:
    """An NSM server: every message it gets is kept, and it answers what it is told to."""

    def __init__(self):
        self.server = liblo.Server()
        self.url = "osc.udp://127.0.0.1:%d/" % self.server.port
        self.received = []
        self.client = None
        self.server.add_method(None, None, self.keep)

    def keep(self, path, args, types, source):
        self.received.append((path, args))
        self.client = source

    def expect(self, path, first=None, program=None):
        """The next message of that path (and first argument), waited for."""
        deadline = time.monotonic() + WAIT
        while time.monotonic() < deadline:
            for i, (got, args) in enumerate(self.received):
                if got == path and (first is None or args[0] == first):
                    del self.received[i]
                    return args
            self.server.recv(100)
        fail("the fake server got no %s %s; it got %s" % (path, first or "", self.received), program)

    def send(self, path, *args):
        self.server.send(self.client, path, *args)


class Program:
    def __init__(self, directory, manager_url):
        self.log = tempfile.TemporaryFile(mode="w+")
        env = dict(os.environ, NSM_URL=manager_url)
        self.process = subprocess.Popen([PROGRAM], cwd=directory, env=env, stdout=self.log, stderr=self.log)

    def stderr_text(self):
        self.log.seek(0)
        return self.log.read()

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()

    def window_up(self):
        return subprocess.run(["xdotool", "search", "--name", "^Kelvarin$"], capture_output=True).returncode == 0

    def end(self):
        """SIGTERM, as a session manager ends its clients: status 0 within the wait."""
        self.process.send_signal(signal.SIGTERM)
        try:
            status = self.process.wait(WAIT)
        except subprocess.TimeoutExpired:
            fail("the program did not end on SIGTERM", self)
        if status != 0:
            fail("the program ended with status %d on SIGTERM" % status, self)


def jack_ports():
    return subprocess.run(["jack_lsp"], capture_output=True, text=True).stdout.split("\n")


def settings(path):
    with open(path) as f:
        return f.read().split("\n")


def click(x, y):
    subprocess.run(["xdotool", "mousemove", "--sync", str(x), str(y), "click", "1"], check=True)


def start_in_session(manager, start_dir, session_dir, client_id):
    program = Program(start_dir, manager.url)
    args = manager.expect("/nsm/server/announce", program=program)
    if args[0] != "Kelvarin" or args[2] != "kelvarin" or args[5] != program.process.pid:
        fail("the announcement says %s" % args, program)
    manager.send("/reply", "/nsm/server/announce", "welcome", "fake", ":")
    manager.send("/nsm/client/open", session_dir, "Kelvarin", client_id)
    manager.expect("/reply", "/nsm/client/open", program)
    wait_for(program.window_up, "no window titled Kelvarin", program)
    return program


def in_a_session(work):
    start_dir = os.path.join(work, "started-here")
    session_dir = os.path.join(work, "session", "Kelvarin.nKLVA")
    os.makedirs(start_dir)
    os.makedirs(os.path.dirname(session_dir))
    manager = FakeManager()
    # A keyboard for the MIDI input to open, so that its JACK client shows.
    source = subprocess.Popen([MIDI_SOURCE, "Test keyboard"], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    try:
        if source.stdout.readline().strip() != "ready":
            fail("the MIDI source did not start")
        program = start_in_session(manager, start_dir, session_dir, "nKLVA")
        if not os.path.isdir(session_dir):
            fail("the session's directory was not made", program)
        wait_for(lambda: "nKLVA:outport 0" in jack_ports(), "no JACK output named nKLVA: %s" % jack_ports(), program)
        wait_for(lambda: any(p.startswith("nKLVA MIDI:") for p in jack_ports()),
                 "no JACK MIDI client named nKLVA MIDI: %s" % jack_ports(), program)
        if any(p.startswith("Kelvarin") for p in jack_ports()):
            fail("a JACK client still bears the program's own name: %s" % jack_ports(), program)

        ini = os.path.join(session_dir, "Kelvarin.ini")
        manager.send("/nsm/client/save")
        manager.expect("/reply", "/nsm/client/save", program)
        for entry in ["sl1=100", "sl2=0", "sldecrement=90"]:
            if entry not in settings(ini):
                fail("the saved Kelvarin.ini lacks %s: %s" % (entry, settings(ini)), program)

        click(46, 84)  # "Write": a new recording
        wait_for(lambda: os.path.exists(os.path.join(session_dir, "midi.dat")), "no midi.dat in the session", program)
        click(46, 116)  # "Write Stop"

        # A settings file that cannot be written: an error, said on stderr; then a save
        # that can write it whole.
        os.remove(ini)
        os.mkdir(ini)
        manager.send("/nsm/client/save")
        args = manager.expect("/error", "/nsm/client/save", program)
        if args[1] != -1 or "could not write Kelvarin.ini" not in program.stderr_text():
            fail("an unwritable save answered %s and said: %s" % (args, program.stderr_text()), program)
        os.rmdir(ini)
        manager.send("/nsm/client/save")
        manager.expect("/reply", "/nsm/client/save", program)
        if "sl1=100" not in settings(ini):
            fail("the save after the failed one wrote %s" % settings(ini), program)

        # Ended, the program saves; a slider then changed in the session's file is
        # where the program, started again in the session, has it.
        os.remove(ini)
        program.end()
        saved = settings(ini)
        if "slm2=0" not in saved:
            fail("ending the program saved %s" % saved)
        with open(ini, "w") as f:
            f.write("\n".join("slm2=37" if line == "slm2=0" else line for line in saved))
        program = start_in_session(manager, start_dir, session_dir, "nKLVA")
        os.remove(ini)
        manager.send("/nsm/client/save")
        manager.expect("/reply", "/nsm/client/save", program)
        if "slm2=37" not in settings(ini):
            fail("started again, the program did not have slm2=37: %s" % settings(ini), program)
        program.end()
        if os.listdir(start_dir):
            fail("files were kept where the program started: %s" % os.listdir(start_dir))
    finally:
        source.stdin.close()
        source.wait()


def announced(work, name):
    """The program started in a directory of its own, its announcement received."""
    start_dir = os.path.join(work, name)
    os.makedirs(start_dir)
    manager = FakeManager()
    program = Program(start_dir, manager.url)
    manager.expect("/nsm/server/announce", program=program)
    return start_dir, manager, program


def expect_answer(manager, path, request, code, said, program):
    """The manager's request answered with that error code, and said on stderr."""
    args = manager.expect(path, request, program)
    if args[1] != code or said not in program.stderr_text():
        fail("%s was answered %s, and the program said: %s" % (request, args, program.stderr_text()), program)


def end_saved_where_started(program, start_dir):
    program.end()
    if "sl1=100" not in settings(os.path.join(start_dir, "Kelvarin.ini")):
        fail("the settings were not saved in the directory the program started in")


def without_an_answer(work):
    start_dir, manager, program = announced(work, "silent")
    wait_for(program.window_up, "the window did not open without the server's answer", program)
    wait_for(lambda: "Kelvarin:outport 0" in jack_ports(), "no JACK output named Kelvarin", program)
    # Its JACK clients are named already: an open that comes now is refused, "not now".
    manager.send("/nsm/client/open", os.path.join(work, "late"), "Kelvarin", "nKLVC")
    expect_answer(manager, "/error", "/nsm/client/open", -8, "opened no session", program)
    if os.path.exists(os.path.join(work, "late")):
        fail("a late open made its directory", program)
    end_saved_where_started(program, start_dir)


def refused(work):
    start_dir, manager, program = announced(work, "refused")
    manager.send("/error", "/nsm/server/announce", -3, "not welcome here")
    wait_for(program.window_up, "no window after the announcement was refused", program)
    manager.send("/nsm/client/save")
    expect_answer(manager, "/error", "/nsm/client/save", -6, "refused it (not welcome here)", program)
    end_saved_where_started(program, start_dir)


def into_a_directory_that_cannot_be(work):
    not_a_directory = os.path.join(work, "a-file")
    open(not_a_directory, "w").close()
    start_dir, manager, program = announced(work, "unusable")
    manager.send("/nsm/client/open", os.path.join(not_a_directory, "Kelvarin.nKLVB"), "Kelvarin", "nKLVB")
    expect_answer(manager, "/error", "/nsm/client/open", -10, "cannot be used", program)
    wait_for(program.window_up, "no window after the failed open", program)
    end_saved_where_started(program, start_dir)


work = tempfile.mkdtemp()
try:
    in_a_session(work)
    without_an_answer(work)
    refused(work)
    into_a_directory_that_cannot_be(work)
finally:
    shutil.rmtree(work)
print("joined a session: its directory, names, saves, a failed save, SIGTERM and a restart; "
      "went on without an answer, refused, and without a usable directory")
