"""Every control of the window, used by mouse, keys and AT-SPI, in one run of
the player on the Icecast harness's two mounts.

Usage: dbus-run-session -- /usr/bin/python3 controls_e2e.py PROGRAM
"""

import math
import subprocess
import sys

import pyatspi

from player_session import PlayerSession, icecast_port, run, wait_until

STATIONS = ["Harness MP3", "Harness Ogg", "No such mount"]
SLIDERS = ["125 Hz", "1 kHz", "10 kHz", "Reverb"]
PRESETS = {"Инструментал": [8, 10, 2, 9], "Вокал": [10, 5, 10, 9], "Выключено": [10, 10, 10, 20]}


def db(a, b):
    return 20 * math.log10(a / b)


def playing(s, station, fmt):
    """The station is selected, its format shown, and the output is not silent."""
    wait_until(lambda: s.selected_row("Stations") == station, "%s selected" % station)
    wait_until(lambda: fmt in s.text("Stream format"), "%s in the format text" % fmt)
    s.wait_level(lambda v: v > 0.05, "sound from " + station)


def station_list_by_click_and_keys(s):
    assert s.rows("Stations") == STATIONS, s.rows("Stations")
    s.control("Эквалайзер", pyatspi.ROLE_PANEL)  # frames and labels let clicks through,
    s.control("CPU usage:", pyatspi.ROLE_LABEL)  # yet screen readers still find them
    s.click(s.control("Stations")[1])
    playing(s, "Harness Ogg", "OGG")
    s.key("Up")
    playing(s, "Harness MP3", "MP3")
    s.key("Down")
    playing(s, "Harness Ogg", "OGG")
    # A station that cannot be reached: the error box, closed by Enter, then
    # (another station chosen in between, so the choice is news) by a click.
    choices = iter([lambda: s.key("Down"), lambda: (s.click(s.control("Stations")[1]),
                                                    s.click(s.control("Stations")[2]))])
    box_closes_by_enter_and_by_click(s, lambda: next(choices)(), "Can't play the stream")
    s.click(s.control("Stations")[0])
    playing(s, "Harness MP3", "MP3")


def hidden_window_plays_on_and_shows_the_song_again(s):
    """Unmapped for longer than a song (6 s), the window plays on; mapped
    again, it shows the song the desktop is told of, not the one it hid with,
    and its meters follow the stream."""
    window = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "Tunelark"], env=s.xdotool_env,
                            stdout=subprocess.PIPE, text=True).stdout.split()[0]
    hid_with = s.text("Song title")
    s.xdotool("windowunmap", "--sync", window)
    desktop_title = lambda: subprocess.run(["playerctl", "-p", "tunelark", "metadata", "title"],
                                           stdout=subprocess.PIPE, text=True).stdout.strip()
    wait_until(lambda: desktop_title() not in ("", hid_with), "a new song while hidden")
    s.wait_level(lambda v: v > 0.05, "sound while hidden")
    s.xdotool("windowmap", "--sync", window)
    wait_until(lambda: s.text("Song title") != hid_with and s.text("Song title") in desktop_title(), "the song shown")
    s.click("Pause")  # the meters follow the stream again: down with Pause, up with Play
    wait_until(lambda: s.value("Left level") == s.value("Right level") == 0, "the meters at rest")
    s.click("Play")
    wait_until(lambda: s.value("Left level") > 0 and s.value("Right level") > 0, "the meters up again")


def volume_by_atspi_drag_and_keys(s):
    assert s.value("Volume") == 100
    full = s.level()
    s.set_value("Volume", 50)  # as a screen reader sets it
    wait_until(lambda: s.value("Volume") == 50, "volume 50")
    half = s.wait_level(lambda v: abs(db(v, full) + 6.02) <= 1, "the level to halve")
    print("  level at 100: %.4f, at 50: %.4f (%.2f dB)" % (full, half, db(half, full)))
    s.drag("Volume", (0.5, 0.5), (1.2, 0.5))  # the thumb of 50 is in the middle
    wait_until(lambda: s.value("Volume") == 100, "volume dragged to 100")
    s.wait_level(lambda v: abs(db(v, full)) <= 1, "the full level again")
    s.key("Left", "Left")
    wait_until(lambda: s.value("Volume") == 98, "volume 98 after two Left keys")
    s.key("End")
    wait_until(lambda: s.value("Volume") == 100, "volume 100 after End")


def pause_gives_silence_and_play_resumes(s):
    s.click("Pause")
    wait_until(lambda: s.control("Play", pyatspi.ROLE_PUSH_BUTTON), "the button to read Play")
    s.wait_level(lambda v: v == 0 and max(map(abs, s.listen(1.0))) < 1e-4, "silence while paused")
    s.click("Play")
    wait_until(lambda: s.control("Pause", pyatspi.ROLE_PUSH_BUTTON), "the button to read Pause")
    s.wait_level(lambda v: v > 0.05, "sound after Play")


def effect_sliders_by_drag_and_keys(s):
    for name in SLIDERS:
        s.set_value(name, 10)
        wait_until(lambda: s.value(name) == 10, name + " set to 10 through AT-SPI")
        s.drag(name, (0.5, 0.5), (0.5, -0.3))  # from position 10 (the middle) past the top
        wait_until(lambda: s.value(name) == 0, name + " dragged to the top (0)")
        s.key("Down", "Down", "Down")  # position 0 is the top: Down raises the position
        wait_until(lambda: s.value(name) == 3, name + " at 3 after three Down keys")
        s.key("End")
        wait_until(lambda: s.value(name) == 20, name + " at the bottom (20) after End")


def presets_set_the_four_sliders(s):
    for caption, positions in PRESETS.items():
        s.click(caption)
        wait_until(lambda: s.checked(caption), caption + " checked")
        wait_until(lambda: [s.value(n) for n in SLIDERS] == positions,
                   "%s: sliders at %s (now %s)" % (caption, positions, [s.value(n) for n in SLIDERS]))
        assert [s.checked(c) for c in PRESETS].count(True) == 1


def rec_click_writes_a_file(s):
    assert not s.checked("Rec") and not s.records()
    s.click("Rec")
    wait_until(lambda: s.checked("Rec"), "the Rec check mark")
    wait_until(lambda: any(size > 50000 for size in s.records().values()), "a record file growing")
    s.control("Rec").queryAction().doAction(0)  # off again, as an assistive tool toggles it
    wait_until(lambda: not s.checked("Rec"), "the Rec check mark cleared")
    closed = s.records()
    s.listen(2.0)
    assert s.records() == closed, "a record file grew after Rec was cleared"
    s.click("Rec")
    wait_until(lambda: len(s.records()) > len(closed), "a new record file")


def box_closes_by_enter_and_by_click(s, open_box, text, while_open=lambda box_text: None):
    for close in ("key", "click"):
        open_box()
        box = wait_until(lambda: s.boxes(), "a box with " + text)[0]
        box_text = "".join(child.name for child in box)
        assert text in box_text, box_text
        while_open(box_text)
        if close == "key":
            s.key("Return")
        else:
            s.click(pyatspi.findDescendant(box, lambda a: a.getRole() == pyatspi.ROLE_PUSH_BUTTON))
        wait_until(lambda: not s.boxes(), "the box to close by " + close)


def info_box_reports_while_the_stream_plays_on(s):
    assert s.checked("Rec")  # left on by the last check: a file grows behind the box

    def report_and_sound_go_on(text):
        for piece in ("BASS version. 2.4.9..", "Аудиовыходы:\n", " IP:   ", " OS:  ", ",  Версия: ",
                      " Свободно памяти:  ", " Mb\n\nЗагруженные плагины:\n", "AAC stream: ", "Ogg Opus: "):
            assert piece in text, "%r not in the report %r" % (piece, text)
        assert "  -  DEFAULT\n" in text, text  # SDL's disk output is this machine's only output
        grown = sum(s.records().values())
        s.wait_level(lambda v: v > 0.05, "sound while the box is open")
        wait_until(lambda: sum(s.records().values()) > grown, "recording to go on behind the box")
    box_closes_by_enter_and_by_click(s, lambda: s.click("Info"), "BASS version.", report_and_sound_go_on)


def exit_button_ends_with_zero_and_complete_records(s):
    s.listen(1.0)
    s.click("Exit")
    assert s.exit_code() == 0
    files = s.records()
    assert files and all(size > 0 for size in files.values()), files


def main():
    program = sys.argv[1]
    port = icecast_port()
    urls = ["http://127.0.0.1:%d/test.mp3" % port, "http://127.0.0.1:%d/test.ogg" % port, "http://127.0.0.1:%d/none" % port]
    stations = list(zip(STATIONS, urls))
    run([station_list_by_click_and_keys, hidden_window_plays_on_and_shows_the_song_again, volume_by_atspi_drag_and_keys, pause_gives_silence_and_play_resumes,
         effect_sliders_by_drag_and_keys, presets_set_the_four_sliders, rec_click_writes_a_file,
         info_box_reports_while_the_stream_plays_on, exit_button_ends_with_zero_and_complete_records],
        lambda: PlayerSession(program, stations))


if __name__ == "__main__":
    main()
