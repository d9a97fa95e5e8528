"""
+----------------------------------------------------------------------------+
| test_play.py — the Play page driven with the mouse and the keyboard        |
|                                                                            |
| The ISO field and the compiler download, the licence terms, the build and  |
| the deletion of the build files, a state update while the user types, Play |
| and Stop, choosing and creating a save profile, and the two layouts (one   |
| column up to 940 wide, above that a pinned play card beside the sections). |
| Widgets are found in screenshots by their fills: a text field or select    |
| box is field fill inside card fill, a primary button or a playable Play    |
| button is accent. Every command is read back from the demo launcher's      |
| request log with its raw body. Quiet buttons have no fill: they are found  |
| by their label's pixels.                                                   |
+----------------------------------------------------------------------------+
"""

import json
import os
import signal
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from vlr_gui import (ACCENT, BACKGROUND, BASE_SIZE, CARD, FOOTER, LAYOUT, PAGE_TOP,  # noqa: E402
                     PAGE_X, PANEL, TAB_Y, VIEW_TOP, WindowTest, artifacts_dir, boxes, column,
                     near, page_column, runs, tab_underline, wait_for)

W, H = BASE_SIZE
ONE_COLUMN = LAYOUT["kOneColumnMaxWidth"]
ISO = "/srv/games/velocrash-eu.iso"

# A launcher with the game built and the disc known: Play is available. The
# compiler is left out so that the Installation card keeps its download block and
# the page is taller than a short window.
READY = {"iso": "/games/velocrash.iso", "profile": "Default",
         "profiles": ["Default", "Career"],
         "steps": {"compiler": False, "disc": True, "code": True, "game": True}}


def column_geometry(width):
    """(column x, column width, wide?) of the content at scale 1."""
    col_x, col_w = page_column(width)
    return col_x, col_w, ONE_COLUMN < width


def fields(picture, col_x, bottom):
    """(top, bottom, right) of the inside of every text field and select box of the
    left column: field fill just right of the card's content edge, card fill in the
    card's margin."""
    # 8 in: past the rounded corner (so the rows are the full inside height), before
    # the text, which starts 11 in.
    inside, margin = col_x + 19 + 8, col_x + 6
    rows = [near(picture.pixel(margin, y), CARD, 2)
            and near(picture.pixel(inside, y), BACKGROUND, 2) for y in range(VIEW_TOP, bottom)]
    found = []
    for top, end in runs(rows, lambda hit: hit):
        if end - top < 20:
            continue
        # The row just under the top outline holds no text: field fill up to the right outline.
        right = runs(picture.row(VIEW_TOP + top + 2, inside, picture.width), BACKGROUND, 2)[0][1]
        found.append((VIEW_TOP + top, VIEW_TOP + end, inside + right))
    return found


def accent_boxes(picture, x0, x1, bottom):
    """Primary buttons (and a playable Play button) between x0 and x1."""
    return boxes(picture, ACCENT, x0, x1, VIEW_TOP, bottom, min_width=40, min_height=30)


def cards(picture, x, bottom):
    """(top, bottom) of the cards crossed by the column x (not background)."""
    return [(VIEW_TOP + a, VIEW_TOP + b) for a, b in runs(column(picture, x, VIEW_TOP, bottom),
                                                          lambda p: not near(p, BACKGROUND, 2))
            if b - a > 20]


class PlayPageTest(WindowTest):
    def setUp(self):
        super().setUp()
        self.origin = (0, 0)

    def open(self, seed=None, env=None):
        box = self.sandbox()
        if seed is not None:
            box.seed_state(seed)
        box, program, window = self.start_window(env=env, box=box)
        self.origin = self.x.geometry(window)[:2]
        return box, program, window

    def click(self, x, y, button=1):
        self.x.click(self.origin[0] + x, self.origin[1] + y, button)

    def settled(self, program, window, test, what, timeout=8):
        """Waits until test(picture) gives something true on a screenshot."""
        return wait_for(lambda: test(self.picture(window)), timeout, what, interval=0.15)

    def wait_request(self, box, action, count=1, timeout=10):
        return wait_for(lambda: len(box.bodies(action)) >= count and box.bodies(action),
                        timeout, "%d %r command(s)" % (count, action))

    def wait_state_applied(self, box, program, before):
        """After an event that asks for a state: the window fetched it and drew."""
        wait_for(lambda: box.requests().count("state") > before, 10, "a state request")
        program.wait_quiet(0.5)

    def iso_field(self, program, window, bottom=H - FOOTER):
        return self.settled(program, window, lambda p: fields(p, PAGE_X, bottom),
                            "the Play page's ISO field")[0]

    def console_shown(self, program, window, play_tab):
        console_x = play_tab[1] + 14 + 4 + 14
        self.settled(program, window,
                     lambda p: tab_underline(p) and tab_underline(p)[0] == console_x,
                     "the Console tab's underline")

    def download_button(self, program, window):
        """The left column's primary button: "Accept the licence and download"."""
        found = self.settled(program, window,
                             lambda p: accent_boxes(p, PAGE_X, PAGE_X + 822, H - FOOTER),
                             "the primary download button")
        self.assertEqual(len(found), 1, found)
        return found[0]


class DiscAndDownloadTest(PlayPageTest):
    def test_typed_iso_path_goes_with_the_download_and_the_console_shows(self):
        box, program, window = self.open(env={"VLR_DEMO_SPEED": "0.05"})
        play_tab = tab_underline(self.picture(window))
        top, bottom, right = self.iso_field(program, window)
        self.click(right - 20, (top + bottom) // 2)
        program.wait_quiet(0.3)
        self.x.type_text(window, ISO)
        program.wait_quiet(0.5)
        left, btop, bright, bbottom = self.download_button(program, window)
        self.click((left + bright) // 2, (btop + bbottom) // 2)
        self.wait_request(box, "download-compiler")
        self.console_shown(program, window, play_tab)
        self.assertEqual(box.bodies("download-compiler"), [json.dumps({"iso": ISO})])

    def test_state_update_while_typing_keeps_the_typed_text(self):
        seed = {"iso": "/old/disc.iso"}
        box, program, window = self.open(seed=seed)
        top, bottom, right = self.iso_field(program, window)
        middle = (top + bottom) // 2
        self.click(right - 20, middle)          # past the text: the caret goes to its end
        program.wait_quiet(0.3)
        self.x.key(window, *["BackSpace"] * len(seed["iso"]))
        self.x.type_text(window, "/new/")

        # Focused and edited: the launcher's "/old/disc.iso" must not come back.
        states = box.requests().count("state")
        box.post("test-lines", {"state": True})
        self.wait_state_applied(box, program, states)

        # Unfocused but edited: still the user's text.
        self.click(PAGE_X + 8, middle)          # the card's margin: nothing there
        program.wait_quiet(0.3)
        states = box.requests().count("state")
        box.post("test-lines", {"state": True})
        self.wait_state_applied(box, program, states)

        self.click(right - 20, middle)
        program.wait_quiet(0.3)
        self.x.type_text(window, "disc.iso")
        program.wait_quiet(0.5)
        left, btop, bright, bbottom = self.download_button(program, window)
        self.click((left + bright) // 2, (btop + bbottom) // 2)
        self.wait_request(box, "download-compiler")
        self.assertEqual(box.bodies("download-compiler"),
                         [json.dumps({"iso": "/new/disc.iso"})])

    def test_browse_answer_fills_the_field(self):
        chosen = "/media/discs/velocrash-browsed.iso"
        box, program, window = self.open(env={"VLR_DEMO_BROWSE": chosen})
        top, bottom, right = self.iso_field(program, window)
        # "Browse" stands 8 right of the field's outline.
        self.click(right + 1 + 8 + 25, (top + bottom) // 2)
        self.wait_request(box, "browse")
        self.assertEqual(box.bodies("browse"), ["{}"])
        program.wait_quiet(0.5)
        left, btop, bright, bbottom = self.download_button(program, window)
        self.click((left + bright) // 2, (btop + bbottom) // 2)
        self.wait_request(box, "download-compiler")
        self.assertEqual(box.bodies("download-compiler"), [json.dumps({"iso": chosen})])



def label_centre(picture, x0, x1, y0, y1):
    """Centre of the text pixels (a label on card fill, no button fill) in an area."""
    hits = [(x, y) for y in range(y0, y1) for x in range(x0, x1)
            if min(picture.pixel(x, y)) > 60]
    if not hits:
        return None
    xs, ys = [x for x, _ in hits], [y for _, y in hits]
    return (min(xs) + max(xs)) // 2, (min(ys) + max(ys)) // 2


class LicenceBuildAndPurgeTest(PlayPageTest):
    def back_to_play(self, program, window, play_tab):
        self.click(40, TAB_Y)
        self.settled(program, window, lambda p: tab_underline(p) == play_tab, "the Play tab")

    def test_licence_download_build_then_delete_the_build_files(self):
        box, program, window = self.open(env={"VLR_DEMO_SPEED": "0.05"})
        play_tab = tab_underline(self.picture(window))
        top, bottom, right = self.iso_field(program, window)
        self.click(right - 20, (top + bottom) // 2)
        program.wait_quiet(0.3)
        self.x.type_text(window, ISO)
        program.wait_quiet(0.5)

        # "Licence terms" is quiet (no fill): its label stands 8 right of the download button.
        left, btop, bright, bbottom = self.download_button(program, window)
        terms = label_centre(self.picture(window), bright + 8, bright + 8 + 160, btop, bbottom)
        self.assertIsNotNone(terms, "the Licence terms label beside the download button")
        self.click(*terms)
        self.wait_request(box, "licence")
        self.assertEqual(box.bodies("licence"), ["{}"])
        program.wait_quiet(0.5)
        self.assertEqual(tab_underline(self.picture(window)), play_tab, "the terms stay on Play")
        self.assertNotIn("download-compiler", box.requests())

        self.click((left + bright) // 2, (btop + bbottom) // 2)
        self.wait_request(box, "download-compiler")
        self.console_shown(program, window, play_tab)
        self.assertEqual(box.bodies("download-compiler"), [json.dumps({"iso": ISO})])

        # Once the compiler is in, its block goes and the build button gets its panel
        # fill (a disabled one is faded into the card). Browse, level with the field,
        # is the other panel-filled button.
        self.back_to_play(program, window, play_tab)

        def build_button(picture):
            found = boxes(picture, PANEL, PAGE_X, PAGE_X + 822, bottom + 1, H - FOOTER,
                          min_width=200, min_height=30)
            return found[0] if len(found) == 1 else None
        left, btop, bright, bbottom = self.settled(program, window, build_button,
                                                   "the enabled build button", timeout=15)
        self.assertEqual(accent_boxes(self.last_picture, PAGE_X, PAGE_X + 822, H - FOOTER), [],
                         "no download button once the compiler is in")
        self.click((left + bright) // 2, (btop + bbottom) // 2)
        self.wait_request(box, "install")
        self.console_shown(program, window, play_tab)
        self.assertEqual(box.bodies("install"), [json.dumps({"iso": ISO})])

        # Built: Play turns red, and the launcher offers to free the build files.
        self.back_to_play(program, window, play_tab)
        self.settled(program, window,
                     lambda p: [b for b in accent_boxes(p, 890, 890 + 340, H - FOOTER)
                                if b[2] - b[0] > 200], "the red Play button", timeout=15)
        program.wait_quiet(0.5)
        picture = self.picture(window)
        build = build_button(picture)
        self.assertIsNotNone(build, "the build button after the build")
        card = [c for c in cards(picture, PAGE_X + 15, H - FOOTER) if c[0] < build[1] < c[1]]
        self.assertEqual(len(card), 1, "the Installation card")
        free = label_centre(picture, build[0], build[2], build[3] + 2, card[0][1] - 4)
        self.assertIsNotNone(free, "the Free up disk space label under the build button")
        self.assertEqual(accent_boxes(picture, PAGE_X, PAGE_X + 822, H - FOOTER), [],
                         "closed confirmation")
        self.click(*free)
        delete = self.settled(program, window,
                              lambda p: accent_boxes(p, PAGE_X, PAGE_X + 822, H - FOOTER),
                              "the Delete the build files button")
        self.assertEqual(len(delete), 1, delete)
        dl, dt, dr, db = delete[0]
        self.assertGreater(dt, free[1], "the confirmation opens under Free up disk space")
        self.assertNotIn("purge", box.requests(), "opening the confirmation sends nothing")
        self.click((dl + dr) // 2, (dt + db) // 2)
        self.wait_request(box, "purge")
        self.console_shown(program, window, play_tab)
        self.assertEqual(box.bodies("purge"), ["{}"])
        self.assertEqual(len(box.bodies("install")), 1)


class PlayAndStopTest(PlayPageTest):
    def play_button(self, picture):
        found = accent_boxes(picture, 890, 890 + 340, H - FOOTER)
        return found[0] if len(found) == 1 and found[0][2] - found[0][0] > 200 else None

    def test_play_sends_the_selected_profile_and_stop_ends_the_game(self):
        seed = dict(READY, profile="Career")
        box, program, window = self.open(seed=seed)
        play_tab = tab_underline(self.picture(window))
        left, top, right, bottom = self.settled(program, window, self.play_button,
                                                "the red Play button")
        self.assertEqual((left, right), (890 + 19, 890 + 340 - 19), "the play card's width")
        self.assertEqual(bottom - top, 56)
        self.click((left + right) // 2, (top + bottom) // 2)
        self.wait_request(box, "play")
        self.console_shown(program, window, play_tab)
        self.assertEqual(box.bodies("play"), [json.dumps({"profile": "Career"})])

        self.click(40, TAB_Y)                   # back to Play
        self.settled(program, window, lambda p: tab_underline(p) == play_tab, "the Play tab")

        def stop_label(picture):
            # Running: the Play button is grey, the status line primary, and the last
            # line of text in the card is the Stop label, secondary when enabled
            # (a disabled one is drawn at 40 % and stays far darker).
            if self.play_button(picture):
                return None
            lines, current = [], None
            for y in range(bottom, H - FOOTER):
                xs = [x for x, p in enumerate(picture.row(y, 890 + 19, 890 + 340 - 19), 890 + 19)
                      if not near(p, CARD, 4)]
                if not xs or len(xs) > 250:
                    if current:
                        lines.append(current)
                    current = None
                    if xs:
                        break               # the card's bottom outline
                    continue
                brightest = max(max(picture.pixel(x, y)) for x in xs)
                if current is None:
                    current = [min(xs), y, max(xs), y, brightest]
                else:
                    current = [min(current[0], min(xs)), current[1], max(current[2], max(xs)),
                               y, max(current[4], brightest)]
            if not lines or not 120 <= lines[-1][4] <= 160:
                return None
            left, top, right, low, _ = lines[-1]
            return (left + right) // 2, (top + low) // 2
        sx, sy = self.settled(program, window, stop_label, "the enabled Stop button")
        self.assertLessEqual(abs(sx - (890 + 170)), 3, "Stop is centred in the card")
        self.click(sx, sy)
        self.wait_request(box, "stop")
        self.assertEqual(box.bodies("stop"), ["{}"])
        self.settled(program, window, self.play_button, "Play red again once the game stopped")
        self.assertEqual(len(box.bodies("play")), 1)

    def test_killed_launcher_turns_play_off_and_the_status_button_starts_a_new_one(self):
        box, program, window = self.open(seed=READY)
        left, top, right, bottom = self.settled(program, window, self.play_button, "the red Play button")
        middle = ((left + right) // 2, (top + bottom) // 2)
        old = box.session()
        os.kill(old["pid"], signal.SIGKILL)

        # Off while it is gone: grey, silent on a click, and saying why under the pointer.
        self.settled(program, window, lambda p: near(p.pixel(*middle), PANEL, 2), "a grey Play button")
        before = len(box.request_log())
        self.click(*middle)
        self.settled(program, window, lambda p: near(p.pixel(W - 28 - 4, bottom + 6 + 13), PANEL, 2),
                     "the box that says why, under the button")
        time.sleep(1.0)
        self.assertEqual(box.request_log()[before:], [], "a click on it sends nothing")

        # The status line's button, at the footer's right end, starts a launcher with a new
        # session; the window then follows it and its commands reach it.
        self.x.move_mouse(1, 1)
        self.click(W - 28 - 20, H - FOOTER // 2)
        new = wait_for(lambda: (box.session() or old)["pid"] != old["pid"] and box.session(), 20,
                       "a new launcher's session")
        self.assertNotEqual(new["token"], old["token"])
        left, top, right, bottom = self.settled(program, window, self.play_button, "Play red again", 15)
        self.click((left + right) // 2, (top + bottom) // 2)
        self.wait_request(box, "play")
        self.assertEqual(box.bodies("play"), [json.dumps({"profile": "Default"})])
        self.assertIsNone(program.exit_code())

    def test_grey_play_button_does_nothing(self):
        box, program, window = self.open()        # nothing built: not ready
        picture = self.picture(window)
        self.assertIsNone(self.play_button(picture))
        warning, card = cards(picture, 890 + 15, H - FOOTER)[:2]   # the warning spans both columns
        # The button is 56 high, 5 below the card's content top (17 below the card's).
        self.assertTrue(near(picture.pixel(890 + 170, card[0] + 17 + 5 + 28), PANEL, 2),
                        "the grey Play button")
        before = len(box.request_log())
        self.click(890 + 170, card[0] + 17 + 5 + 28)
        time.sleep(1.0)
        self.assertEqual(box.request_log()[before:], [], "a click on it sends nothing")


    def test_the_focus_ring_shows_on_the_red_play_button(self):
        """Shift+Tab from no focus goes to the page's last control, Play: its ring is a light
        line along the red button with the accent round it, where a ring in the accent alone
        would melt into the button. The picture is kept as docs/focus-ring-play.png shows it."""
        box, program, window = self.open(seed=READY)
        left, top, right, bottom = self.settled(program, window, self.play_button, "the red Play button")
        middle = (left + right) // 2
        light, t = LAYOUT["kFocusLight"], LAYOUT["kFocusRing"]

        def ring(picture):
            return all(near(picture.pixel(x, y), colour, 3)
                       for x, y, colour in ((left - 1, top + 28, light), (left - t - 1, top + 28, ACCENT),
                                            (middle, top - 1, light), (middle, top - t - 1, ACCENT),
                                            (middle, top - 2 * t - 1, CARD)))
        self.assertFalse(ring(self.picture(window)), "no ring before a key was used")
        self.x.key(window, "shift+Tab")
        picture = self.settled(program, window, lambda p: ring(p) and p, "the two-tone ring round Play")
        picture.crop(890 - 20, top - 60, 380, bottom - top + 150).save_png(
            os.path.join(artifacts_dir(), "focus-ring-play.png"))
        self.x.key(window, "Return")
        self.wait_request(box, "play")


class SaveProfileTest(PlayPageTest):
    def test_choose_a_profile_then_create_one_with_saves(self):
        # Compiler present: no download block, so the whole form fits in the window.
        box, program, window = self.open(seed=dict(READY, steps=dict(READY["steps"],
                                                                     compiler=True)))
        found = self.settled(program, window, lambda p: len(fields(p, PAGE_X, H - FOOTER)) >= 2 and
                             fields(p, PAGE_X, H - FOOTER), "the ISO field and the profile box")
        self.assertEqual(len(found), 2, found)
        top, bottom, right = found[1]
        self.assertLessEqual(abs(right - (PAGE_X + 19 + 259)), 2, "the select box is 260 wide")
        self.click(PAGE_X + 19 + 60, (top + bottom) // 2)
        # The list: panel fill inside its outline, 30 per row plus 4 above and below,
        # opening 4 below the box (whose outline is one pixel) where it fits.
        listed = self.settled(program, window,
                              lambda p: boxes(p, PANEL, PAGE_X, PAGE_X + 822, bottom, H - FOOTER,
                                              min_width=200, min_height=40),
                              "the drop-down list")
        self.assertEqual(len(listed), 1, listed)
        self.assertLessEqual(abs(listed[0][1] - (bottom + 6)), 1, "4 below the box: %r" % listed)
        self.assertLessEqual(abs(listed[0][3] - listed[0][1] - (2 * 30 + 8 - 2)), 1,
                             "two rows: %r" % listed)
        list_top = listed[0][1] - 1
        self.click(PAGE_X + 19 + 100, list_top + 4 + 30 + 15)
        self.wait_request(box, "select")
        self.assertEqual(box.bodies("select"), [json.dumps({"profile": "Career"})])
        program.wait_quiet(0.5)

        # "New" stands 268 right of the select box; the form's name field takes the focus.
        self.click(PAGE_X + 19 + 268 + 20, (top + bottom) // 2)
        form = self.settled(program, window, lambda p: len(fields(p, PAGE_X, H - FOOTER)) >= 4 and
                            fields(p, PAGE_X, H - FOOTER), "the new-profile form")
        name, saves = form[2], form[3]
        self.x.type_text(window, "Trial")
        folder = os.path.join(box.root, "work", "sample-saves")
        self.click(saves[2] - 20, (saves[0] + saves[1]) // 2)
        program.wait_quiet(0.3)
        self.x.type_text(window, folder)
        self.click(name[2] - 20, (name[0] + name[1]) // 2)
        program.wait_quiet(0.3)
        self.x.key(window, "Return")
        self.wait_request(box, "new-profile")
        self.assertEqual(box.bodies("new-profile"),
                         [json.dumps({"name": "Trial", "saves": folder})])

        def notice(picture):
            stripe = [r for r in runs(picture.row(H - 44 - 21, 0, W), ACCENT) if r[1] - r[0] == 3]
            return stripe and len(fields(picture, PAGE_X, H - FOOTER)) == 2
        self.settled(program, window, notice, "the notice and the form closed")

    def test_refused_profile_keeps_the_form_and_its_text(self):
        box, program, window = self.open(seed=dict(READY, steps=dict(READY["steps"],
                                                                     compiler=True)))
        top, bottom, right = self.settled(program, window,
                                          lambda p: len(fields(p, PAGE_X, H - FOOTER)) >= 2 and
                                          fields(p, PAGE_X, H - FOOTER), "the profile box")[1]
        self.click(PAGE_X + 19 + 268 + 20, (top + bottom) // 2)
        self.settled(program, window, lambda p: len(fields(p, PAGE_X, H - FOOTER)) == 4,
                     "the new-profile form")
        self.x.type_text(window, "career")        # taken: names differ by more than case
        self.x.key(window, "Return")
        self.wait_request(box, "new-profile")

        def notice_and_form(picture):
            stripe = [r for r in runs(picture.row(H - 44 - 21, 0, W), ACCENT) if r[1] - r[0] == 3]
            return stripe and len(fields(picture, PAGE_X, H - FOOTER)) == 4
        self.settled(program, window, notice_and_form, "the error notice, the form still open")
        self.x.key(window, "Return")                # still focused: Enter commits again
        self.wait_request(box, "new-profile", 2)
        body = json.dumps({"name": "career", "saves": ""})
        self.assertEqual(box.bodies("new-profile"), [body, body])
        self.assertNotIn("select", box.requests())


class LayoutTest(PlayPageTest):
    def play_card_button(self, picture, bottom):
        found = [b for b in accent_boxes(picture, 0, picture.width, bottom)
                 if b[3] - b[1] == 56]
        return found[0] if len(found) == 1 else None

    def test_wide_and_narrow_columns(self):
        box, program, window = self.open(seed=READY)
        for width, height in (BASE_SIZE, (ONE_COLUMN + 1, 700), (ONE_COLUMN, 700), (900, 700)):
            if self.x.geometry(window)[2:] != (width, height):
                resized = time.monotonic()
                self.x.resize(window, width, height)
                wait_for(lambda: program.frames(resized), 5,
                         "a frame at %d x %d" % (width, height))
                program.wait_quiet(0.5)
            col_x, col_w, wide = column_geometry(width)
            footer = height - FOOTER
            if wide:
                right_x = col_x + col_w - 340
                button = self.settled(program, window,
                                      lambda p: p.width == width and
                                      self.play_card_button(p, footer),
                                      "the Play button at %d" % width)
                self.assertEqual((button[0], button[2]), (right_x + 19, right_x + 340 - 19),
                                 "right column at %d" % width)
                first = cards(self.picture(window), right_x + 15, footer)[0]
                left_first = cards(self.last_picture, col_x + 15, footer)[0]
                self.assertEqual(first[0], left_first[0], "level with the first section")
                self.assertEqual(left_first[0], PAGE_TOP, "no warning: Game disc at the page top")
            else:
                def one_column(p):
                    if p.width != width:
                        return None
                    row = (VIEW_TOP + footer) // 2
                    # Left of the scrollbar, which stands at the window's right edge.
                    spans = runs(p.row(row, 0, width - 12), lambda q: not near(q, BACKGROUND, 2))
                    return spans if len(spans) == 1 else None
                spans = self.settled(program, window, one_column, "one column at %d" % width)
                self.assertEqual(spans[0], (col_x, col_x + col_w), "full width at %d" % width)
                for _ in range(12):
                    self.click(width // 2, (VIEW_TOP + footer) // 2, 5)
                button = self.settled(program, window,
                                      lambda p: self.play_card_button(p, footer),
                                      "the Play button below the sections at %d" % width)
                self.assertEqual((button[0], button[2]), (col_x + 19, col_x + col_w - 19))
                for _ in range(12):
                    self.click(width // 2, (VIEW_TOP + footer) // 2, 4)
                program.wait_quiet(0.5)

    def test_play_card_stays_in_view_while_scrolling(self):
        box, program, window = self.open(seed=READY)
        width, height = 1200, 560
        resized = time.monotonic()
        self.x.resize(window, width, height)
        wait_for(lambda: program.frames(resized), 5, "a frame at %d x %d" % (width, height))
        program.wait_quiet(0.5)
        col_x, col_w, wide = column_geometry(width)
        footer = height - FOOTER
        right_x, left_probe = col_x + col_w - 340 + 15, col_x + 15

        def layout(p):
            if p.width != width:
                return None
            return cards(p, left_probe, footer), cards(p, right_x, footer)
        left, right = self.settled(program, window, lambda p: all(layout(p) or [None]) and
                                   layout(p), "the page at %d x %d" % (width, height))
        self.assertEqual(right[0][0], left[0][0], "the play card starts level with Game disc")
        installation = left[1][0]

        self.click(width // 2, 300, 5)          # one notch: 60 down
        left, right = self.settled(program, window,
                                   lambda p: layout(p) and layout(p)[0][1][0] == installation - 60
                                   and layout(p), "the page 60 further up")
        self.assertEqual(left[0][0], VIEW_TOP, "Game disc is cut by the viewport top")
        self.assertEqual(right[0][0], VIEW_TOP, "pinned to the viewport top")
        play_height = right[0][1] - right[0][0]

        for _ in range(15):
            self.click(width // 2, 300, 5)
        program.wait_quiet(0.5)
        left, right = layout(self.picture(window))
        # At the end of the page it is still pinned, above the bottom of Save profile.
        self.assertEqual(right, [(VIEW_TOP, VIEW_TOP + play_height)])
        self.assertLess(right[0][1], left[-1][1], "%r %r" % (left, right))

        for _ in range(16):
            self.click(width // 2, 300, 4)
        program.wait_quiet(0.5)
        left, right = layout(self.picture(window))
        self.assertEqual((left[1][0], right[0][0]), (installation, left[0][0]),
                         "back at the top, level with Game disc again")


if __name__ == "__main__":
    unittest.main()
