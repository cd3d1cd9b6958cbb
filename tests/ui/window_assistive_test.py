"""The real program driven the way assistive technology drives it: in a desktop session of the
test's own, against the demo session's ProFTPD and its saved "Demo server" profile, the controls
are found by role and accessible name and pressed, and the program is seen to connect, show the
server's files and disconnect. Ending the session's program with SIGTERM must end it cleanly."""

import signal
import subprocess
import sys
import tempfile
import time

from desktop_session import DesktopSession

PROGRAM_NAMES = ("dravik", "Dravik FTP")


def wait_for(find, what, seconds=60):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        found = find()
        if found is not None:
            return found
        time.sleep(0.2)
    raise AssertionError("not found: " + what)


def main(demo, program):
    with DesktopSession() as session, tempfile.TemporaryDirectory(prefix="dravik-demo-") as data:
        demo_process = session.start([demo, "--data", data, "--keyring-on-this-bus", program])
        session.join()
        import pyatspi

        def application():
            for candidate in pyatspi.Registry.getDesktop(0):
                if candidate is not None and candidate.name in PROGRAM_NAMES:
                    return candidate
            return None

        def control(role, name):
            def find():
                found = application()
                if found is None:
                    return None
                return pyatspi.findDescendant(found, lambda a: a.getRole() == role and a.name == name)
            return find

        try:
            wait_for(control(pyatspi.ROLE_PUSH_BUTTON, "Connect"), "the Connect button").queryAction().doAction(0)
            wait_for(control(pyatspi.ROLE_TABLE_CELL, "Welcome.txt"), "the server's Welcome.txt")
            wait_for(control(pyatspi.ROLE_PUSH_BUTTON, "Disconnect"), "the Disconnect button").queryAction().doAction(0)
            wait_for(control(pyatspi.ROLE_PUSH_BUTTON, "Connect"), "the Connect button after disconnecting")
        except AssertionError as error:
            print(error)
            return 1
        demo_process.send_signal(signal.SIGTERM)
        code = demo_process.wait(60)
        if code != 0:
            print("the session ended with %d" % code)
            return 1
        return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
