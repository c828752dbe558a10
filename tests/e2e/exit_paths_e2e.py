"""Esc and the close box while a station is recorded: the exit code, and the
record file left complete on disk ("Exit" is in controls_e2e.py).

Usage: dbus-run-session -- /usr/bin/python3 exit_paths_e2e.py PROGRAM
"""

import sys

from player_session import PlayerSession, icecast_port, run, wait_until


def recording(s):
    s.click(s.control("Stations")[0])
    wait_until(lambda: "MP3" in s.text("Stream format"), "the station to play")
    s.click("Rec")
    wait_until(lambda: sum(s.records().values()) > 20000, "a record file")
    return sum(s.records().values())


def leaves_its_record(s, leave):
    seen = recording(s)
    leave()
    assert s.exit_code() == 0, s.exit_code()
    sizes = list(s.records().values())  # a new file with each new title
    assert sizes and min(sizes) > 0 and sum(sizes) >= seen, (sizes, seen)


def escape_ends_with_zero(s):
    leaves_its_record(s, lambda: s.key("Escape"))


def close_box_ends_with_zero(s):
    leaves_its_record(s, s.close_box)


def main():
    url = "http://127.0.0.1:%d/test.mp3" % icecast_port()
    run([escape_ends_with_zero, close_box_ends_with_zero], lambda: PlayerSession(sys.argv[1], [("Harness MP3", url)]))


if __name__ == "__main__":
    main()
