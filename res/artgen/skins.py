"""The skin pictures of the tool: id -> size, alpha and role, plus the places where the
program draws controls over them. Shared by make_art.py and scripts/contact-sheet.py."""

ACCENT = (37, 117, 226)

# id: (width, height, has alpha, role)
SKINS = {}


def _add(ids, w, h, alpha, role):
    for i in ids:
        SKINS[i] = (w, h, alpha, role)


_add([148, 206], 410, 611, True, "main window back")
_add([149, 207], 400, 600, False, "main panel")
_add([150], 48, 16, True, "check box cells")
_add(range(151, 155), 26, 34, False, "close button")
_add(range(157, 161), 26, 34, False, "minimise button")
_add(range(165, 169), 58, 18, False, "more tools")
_add(list(range(192, 196)) + list(range(208, 212)), 246, 47, False, "repair button")
_add([155], 232, 132, True, "progress back")
_add([156], 204, 104, True, "progress child")
_add([169, 212], 330, 150, True, "prompt back")
_add([170], 320, 140, False, "prompt child")
_add([213], 320, 140, True, "prompt child")
_add(range(174, 177), 12, 12, False, "prompt close")
_add(list(range(171, 174)) + list(range(177, 186)) + list(range(214, 223)), 55, 24, False,
     "prompt button")
_add([186], 410, 479, True, "feedback back")
_add([187], 400, 468, True, "feedback child")
_add(range(188, 192), 12, 12, False, "feedback close")
_add(list(range(197, 201)) + list(range(202, 206)) + list(range(161, 165)), 266, 60, True,
     "feedback button")
_add([201], 541, 402, True, "agreement viewer")

STATES4 = ("normal", "hover", "pressed", "disabled")
STATES3 = ("normal", "hover", "pressed")

# Button picture sets: first id, number of states, caption key.
BUTTON_SETS = {
    "close": (151, 4), "minimise": (157, 4), "more_tools": (165, 4),
    "repair_zh": (192, 4), "repair_en": (208, 4),
    "solved": (197, 4), "unsolved": (202, 4), "more_solutions": (161, 4),
    "feedback_close": (188, 4), "prompt_close": (174, 3),
    "yes_zh": (183, 3), "no_zh": (177, 3), "confirm_zh": (180, 3), "cancel_zh": (171, 3),
    "ok_en": (220, 3), "no_en": (217, 3), "cancel_en": (214, 3),
}

# Rectangles (left, top, right, bottom) in the child pictures, where the program lays
# its controls at 96 DPI.
MAIN_CLOSE = (368, 0, 394, 34)
MAIN_MINIMISE = (340, 0, 366, 34)
MAIN_VERSION = (188, 16, 228, 31)
MAIN_REPAIR = (77, 280, 323, 327)
MAIN_MORE_TOOLS = (50, 540, 108, 558)
MAIN_CHECKBOX = (8, 575, 24, 595)
PROGRESS_TEXT = (10, 42, 194, 82)
PROMPT_FIRST = (106, 107, 161, 131)
PROMPT_SECOND = (185, 107, 240, 131)
PROMPT_CLOSE = (294, 8, 306, 20)
PROMPT_TEXT = (10, 50, 310, 100)
FEEDBACK_CLOSE = (382, 6, 394, 18)
FEEDBACK_BUTTONS = ((67, 154, 333, 214), (67, 234, 333, 294), (67, 314, 333, 374))

# Child inset (left, top, right, bottom) inside each back picture.
INSET_MAIN = (5, 4, 5, 7)
INSET_PROGRESS = (14, 12, 14, 16)
INSET_PROMPT = (5, 3, 5, 7)
INSET_FEEDBACK = (5, 4, 5, 7)
INSET_VIEWER = (1, 1, 2, 18)
