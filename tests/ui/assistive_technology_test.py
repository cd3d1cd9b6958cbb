"""A screen reader's path through an alert: find the program on the AT-SPI bus, find the button by
its role and accessible name, press it, and see the program receive that answer."""

import subprocess
import sys

from desktop_session import DesktopSession


def main(probe):
    with DesktopSession() as session:
        program = session.start([probe], stdout=subprocess.PIPE, text=True)
        session.join()
        session.control(["alert-probe"], "PUSH_BUTTON", "Quit", 30).queryAction().doAction(0)
        answer = program.communicate(timeout=30)[0].strip()
        assert answer == "answer 1", "the program received %r" % answer


if __name__ == "__main__":
    main(sys.argv[1])
