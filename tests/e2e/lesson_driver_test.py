"""The guided lesson's eyes without an X server: finding an image button's
picture on a screen, and reading the replay ruler's blocks.

usage: lesson_driver_test.py SOURCE_DIR WORK_DIR
"""
import importlib.util
import os
import subprocess
import sys
import unittest

SOURCE, WORK = sys.argv[1], sys.argv[2]
module_spec = importlib.util.spec_from_file_location(
    "driver", os.path.join(SOURCE, "scripts", "lib", "lesson-driver.py"))
driver = importlib.util.module_from_spec(module_spec)
module_spec.loader.exec_module(driver)

BACKGROUND = "rgb(38,38,38)"


def magick(*args):
    return subprocess.run(["convert", *args], check=True, capture_output=True).stdout


class FakeScreen(driver.Screen):
    """A screen made of an image file instead of the X server's."""

    def __init__(self, buttons, w, h, picture_args):
        super().__init__(buttons)
        self.size = (w, h)
        self.data = magick("-size", "%dx%d" % (w, h), "xc:" + BACKGROUND, *picture_args,
                           "-depth", "8", "rgb:-")

    def move(self, x, y):
        pass

    def grab(self):
        return self.size[0], self.size[1], self.data


class PictureTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        os.makedirs(WORK, exist_ok=True)
        # A button picture with transparent rounded corners, as the build paints them.
        cls.button = os.path.join(WORK, "PNG_41.png")
        magick("-size", "40x40", "xc:none", "-fill", "#2c546b", "-draw",
               "roundrectangle 0,0,39,39,6,6", "-fill", "white", "-draw",
               "rectangle 12,10,27,29", cls.button)
        cls.other = os.path.join(WORK, "PNG_91.png")
        magick("-size", "40x40", "xc:none", "-fill", "#343a3c", "-draw",
               "roundrectangle 0,0,39,39,6,6", "-fill", "red", "-draw", "circle 20,20,20,30",
               cls.other)

    def screen(self, *placed):
        args = []
        for path, x, y in placed:
            args += [path, "-geometry", "+%d+%d" % (x, y), "-composite"]
        return FakeScreen(WORK, 400, 300, args)

    def test_finds_the_centre_of_the_picture_over_any_background(self):
        s = self.screen((self.other, 10, 250), (self.button, 123, 77))
        self.assertEqual(s.find_picture(["PNG_41.png"]), (143, 97))
        self.assertEqual(s.find_picture(["PNG_91.png"]), (30, 270))

    def test_the_first_look_that_is_shown_wins(self):
        s = self.screen((self.other, 300, 5))
        self.assertEqual(s.find_picture(["PNG_41.png", "PNG_91.png"]), (320, 25))

    def test_a_picture_not_on_the_screen_is_not_found(self):
        s = self.screen((self.other, 10, 10))
        self.assertIsNone(s.find_picture(["PNG_41.png"]))
        # Half off the screen's bottom edge is not there either.
        s = self.screen((self.button, 100, 280))
        self.assertIsNone(s.find_picture(["PNG_41.png"]))

    def test_a_button_without_any_picture_is_an_error(self):
        s = self.screen()
        with self.assertRaises(driver.StepFailed):
            s.find_picture(["PNG_999.png"])


class RulerTest(unittest.TestCase):
    def test_blocks_are_read_from_the_left_edge_with_their_colours(self):
        # A 600 x 400 window: the ruler row lies 40 above the 49-pixel bar.
        draw = []
        for i, colour in enumerate(["gray50", "gray50", "rgb(185,0,0)", "gray50", "rgb(0,187,0)"]):
            draw += ["-fill", colour, "-draw", "rectangle %d,300 %d,330" % (19 * i, 19 * i + 17)]
        s = FakeScreen(WORK, 600, 400, draw)
        lesson = driver.Lesson.__new__(driver.Lesson)
        lesson.x = s
        lesson.main = ("1", "Tavrin", 0, 0, 600, 400)
        y, blocks = lesson.ruler_blocks()
        self.assertEqual(y, 400 - 49 - 40)
        self.assertEqual([b[0] for b in blocks], [0, 19, 38, 57, 76])
        self.assertEqual({b[1] for b in blocks}, {18})
        self.assertEqual(blocks[2][2], bytes([185, 0, 0]))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
