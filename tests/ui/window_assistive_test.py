"""The real program driven the way assistive technology drives it: in a desktop session of the
test's own, against the demo session's ProFTPD and its saved "Demo server" profile, the controls
are found by role and accessible name and pressed, and the program is seen to connect, show the
server's files and disconnect. Ending the session's program with SIGTERM must end it cleanly."""

import signal
import sys
import tempfile

from desktop_session import DesktopSession

PROGRAM_NAMES = ("dravik", "Dravik FTP")


def main(demo, program):
    with DesktopSession() as session, tempfile.TemporaryDirectory(prefix="dravik-demo-") as data:
        demo_process = session.start([demo, "--data", data, "--keyring-on-this-bus", program])
        session.join()
        session.control(PROGRAM_NAMES, "PUSH_BUTTON", "Connect").queryAction().doAction(0)
        session.control(PROGRAM_NAMES, "TABLE_CELL", "Welcome.txt")
        session.control(PROGRAM_NAMES, "PUSH_BUTTON", "Disconnect").queryAction().doAction(0)
        session.control(PROGRAM_NAMES, "PUSH_BUTTON", "Connect")
        demo_process.send_signal(signal.SIGTERM)
        code = demo_process.wait(60)
        assert code == 0, "the session ended with %d" % code


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
