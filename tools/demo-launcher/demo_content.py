"""
+----------------------------------------------------------------------------+
| demo_content.py — the fixed content of the demo launcher                   |
|                                                                            |
| The settings table of the Settings page, the game's default settings,      |
| the change logs of the installed and of the next version, and the texts    |
| of the cards on the Play page. Data only: no state, no threads.            |
+----------------------------------------------------------------------------+
"""

VERSION_INSTALLED = "0.9.3"
BUILD_INSTALLED = "2025.05.30-4f1c2ad"
VERSION_NEXT = "0.9.4"
BUILD_NEXT = "2025.06.14-9be07c3"

# Labels of the installation checklist, in display order, by internal name.
STEPS = [
    ("compiler", "Compiler downloaded"),
    ("disc", "Game disc checked"),
    ("code", "Code generated"),
    ("game", "Game built"),
]

MISSING = (
    "The installation needs your own Velocrash disc as an ISO image (European version), "
    "about 8 GB of free disk space for the build, and an internet connection for the "
    "one-time download of the compiler toolchain (about 1.1 GB). Everything stays inside "
    "the work folder."
)

COMPILER_OFFER = {
    "text": (
        "The game is generated as C++ code and built with a compiler toolchain that is "
        "downloaded once (about 1.1 GB) into the work folder. Its licence must be accepted "
        "before the download starts."
    ),
    "licence": "Toolchain licence terms, version 2.1",
    "hint": (
        "An interrupted download resumes where it stopped. Nothing is installed outside "
        "the work folder."
    ),
}
COMPILER_PRESENT = {"text": "", "licence": "", "hint": ""}

PURGE = (
    "The build keeps 4.2 GB of intermediate files (generated code and object files). "
    "The game runs without them; the next update regenerates what it needs, which takes "
    "about as long as the first build."
)

# ---- settings table ----

def _row(key, label, help="", **kind):
    row = {"key": key, "label": label}
    if help:
        row["help"] = help
    row.update(kind)
    return row


_DISPLAY = {
    "title": "Display",
    "rows": [
        _row("display_mode", "Window",
             "Borderless covers the screen without changing its resolution; switching to "
             "and from it is quicker than full screen.",
             choice=["windowed", "borderless", "fullscreen"]),
        _row("resolution", "Full-screen resolution",
             "Used in full-screen mode only; the other modes follow the window.",
             select=["1280x720", "1600x900", "1920x1080", "2560x1440", "3840x2160"]),
        _row("window_width", "Window size",
             "Width and height in pixels of the window in windowed mode.",
             number=[320, 7680], **{"and": "window_height"}),
        _row("window_x", "Window position",
             "Top-left corner of the window; remembered when the window is moved.",
             number=[-16384, 16384], **{"and": "window_y"}),
        _row("render_scale", "Internal resolution",
             "Multiple of the console's 640×448. Higher looks sharper and costs more "
             "graphics power; 3× suits a 1080p screen, 6× a 4K one.",
             range=[1, 8], unit="×"),
        _row("aspect", "Aspect ratio",
             "16:9 widens the view instead of stretching the picture; menus stay 4:3.",
             choice=["4:3", "16:9", "stretch"]),
        _row("fps_limit", "Frame rate",
             "The game logic runs at 60; higher rates interpolate the camera and the "
             "animations in between.",
             select=[30, 60, 120, 144, 240], unit=" fps"),
        _row("vsync", "Vertical sync",
             "Prevents tearing; adds up to one frame of input latency."),
        _row("texture_filter", "Texture filtering",
             "Nearest keeps the original pixel look.",
             choice=["nearest", "bilinear", "trilinear"]),
        _row("anisotropy", "Anisotropic filtering",
             "Keeps floors and roads sharp at grazing angles.",
             select=["off", "2x", "4x", "8x", "16x"]),
        _row("msaa", "Anti-aliasing",
             "Smooths the edges of the 3D scene. The interface is always sharp.",
             select=[1, 2, 4, 8], unit="× MSAA"),
        _row("brightness", "Brightness",
             "100% is the original picture; the dark levels of the third world read "
             "better at 110%.",
             range=[50, 150], unit="%"),
        _row("hdr_output", "HDR output",
             "Needs a display and a system set up for HDR."),
        _row("show_fps", "Show the frame rate",
             "A small counter in the top-left corner."),
    ],
}

_DETAILS = {
    "title": "Graphics details",
    "rows": [
        _row("shadows", "Shadows",
             "Original draws the round blob shadows of the console; high casts real "
             "shadows from the sun and the torches.",
             choice=["original", "low", "high"]),
        _row("draw_distance", "Draw distance",
             "How far away scenery is drawn in full detail. Above 100% the far hills "
             "no longer pop in.",
             range=[50, 400], unit="%"),
        _row("particles", "Particles",
             "Splashes, sparks and the snow of the ice levels.",
             choice=["original", "more"]),
        _row("motion_blur", "Motion blur",
             "Blurs the picture when the camera turns quickly."),
        _row("bloom", "Glow",
             "The soft glow around lights and crystals, as on the console."),
        _row("depth_of_field", "Depth of field",
             "Blurs the background of the cut-scenes as the original does."),
        _row("crt_effect", "Television effect",
             "Imitates the scan lines and the soft picture of a tube television.",
             choice=["off", "subtle", "strong"]),
        _row("widescreen_hud", "Widescreen interface",
             "Moves the counters to the corners of a 16:9 screen instead of the "
             "middle 4:3 area."),
        _row("texture_pack", "Texture pack folder",
             "A folder of replacement textures, loaded at the next start. Empty uses "
             "the textures of the disc.",
             text=True),
    ],
}

_SCREENSHOTS = {
    "title": "Screenshots",
    "rows": [
        _row("screenshot_folder", "Folder",
             "Where F12 saves screenshots. Empty saves them in the work folder, under "
             "screenshots.",
             text=True),
        _row("screenshot_format", "Format",
             "PNG is lossless; JPEG files are about a tenth of the size.",
             choice=["png", "jpeg"]),
        _row("screenshot_hud", "Include the interface",
             "Off hides the counters for the moment of the screenshot."),
        _row("screenshot_scale", "Size",
             "Native uses the internal resolution; window uses the size on screen.",
             select=["native", "window"]),
    ],
}

_AUDIO = {
    "title": "Audio",
    "rows": [
        _row("master_volume", "Volume",
             "All sound of the game; the three below are parts of it.",
             range=[0, 100], unit="%"),
        _row("music_volume", "Music",
             "The level music and the menus; the jingles of collected items count as "
             "sound effects.",
             range=[0, 100], unit="%"),
        _row("sfx_volume", "Sound effects",
             "Jumps, crates, enemies and the world around the character.",
             range=[0, 100], unit="%"),
        _row("voice_volume", "Voices", "Cut-scenes and the narrator.",
             range=[0, 100], unit="%"),
        _row("speakers", "Speaker layout",
             "Headphones mixes the surround channels down for two ears.",
             choice=["stereo", "surround", "headphones"]),
        _row("audio_latency", "Output latency",
             "Lower is more responsive; raise it when the sound crackles.",
             select=[20, 40, 60, 80, 120], unit=" ms"),
        _row("audio_stretch", "Time stretching",
             "Keeps the sound smooth when the game runs below full speed."),
        _row("mute_in_background", "Mute in the background",
             "Silences the game while another window has the focus."),
        _row("audio_device", "Output device",
             "Empty uses the system's default device.", text=True),
    ],
}

_GAME = {
    "title": "Game",
    "rows": [
        _row("language", "Language",
             "Texts and voices. Voices exist in English, French, German, Spanish and "
             "Italian; the other languages use English voices.",
             select=["English", "Français", "Deutsch", "Español", "Italiano",
                     "Nederlands"]),
        _row("subtitles", "Subtitles", "Subtitles for the cut-scenes."),
        _row("difficulty", "Difficulty",
             "Hard gives fewer extra lives and checkpoints, as in the original release.",
             choice=["easy", "normal", "hard"]),
        _row("player_name", "Player name", "Shown on the time-trial tables.",
             text=True),
        _row("skip_intro", "Skip the intro videos",
             "The logos and the opening film; the story cut-scenes still play."),
        _row("autosave", "Save after every level",
             "Writes the memory card when a level is finished, without asking."),
        _row("hud_scale", "Interface size",
             "Size of the lives, crystal and time counters. The menus keep their size.",
             range=[50, 200], unit="%"),
        _row("camera_speed", "Camera speed",
             "How fast L1 and R1 turn the camera, and the right stick of a controller.",
             range=[10, 200], unit="%"),
        _row("invert_camera_x", "Invert the camera horizontally",
             "Pushing right turns the camera to the left."),
        _row("invert_camera_y", "Invert the camera vertically",
             "Pushing up looks down, as in a flight game."),
        _row("vibration", "Controller vibration",
             "Only controllers that can vibrate; the keyboard ignores it."),
    ],
}

_CONTROLLER = {
    "title": "Controller",
    "rows": [
        _row("controller", "Controller",
             "Which connected controller plays. Auto takes the first one that is used.",
             select=["auto", "1", "2", "3", "4"]),
        _row("vibration_strength", "Vibration strength",
             "Applies when controller vibration is on.",
             range=[0, 100], unit="%"),
        _row("button_prompts", "Button prompts",
             "Which button symbols the game shows. Auto follows the controller in use; "
             "with the keyboard the PS2 symbols are shown.",
             choice=["auto", "xbox", "playstation"]),
        _row("deadzone", "Stick dead zone",
             "Raise it when the character creeps without the stick being touched.",
             range=[0, 50], unit="%"),
        _row("stick_sensitivity", "Stick sensitivity",
             "Below 100% the character walks more before it runs.",
             range=[25, 200], unit="%"),
        _row("mouse_camera", "Camera on the mouse",
             "The mouse turns the camera; the keys of the shoulder buttons keep working."),
        _row("mouse_sensitivity", "Mouse sensitivity",
             "Used while the camera is on the mouse.", range=[1, 100]),
    ],
}

_TRIALS = {
    "title": "Time trials",
    "rows": [
        _row("trial_ghost", "Race against a ghost",
             "Shows your best run of the level as a transparent character."),
        _row("trial_ghost_source", "Ghost",
             "Best is your fastest run so far; last is the run just before this one.",
             choice=["best", "last"]),
        _row("trial_splits", "Split times",
             "Shows at every checkpoint how far ahead of or behind your best run you are."),
        _row("trial_precision", "Clock precision",
             "The original clock shows hundredths; thousandths help to compare close runs.",
             choice=["hundredths", "thousandths"]),
        _row("trial_countdown", "Countdown",
             "Seconds between pressing Start and the beginning of the run.",
             number=[0, 10]),
    ],
}

_MEMORY = {
    "title": "Memory card and save states",
    "rows": [
        _row("memcard_size", "Memory card size",
             "8 MB is the size of the original card; larger cards hold more saves. "
             "Applies to memory cards created from now on.",
             select=[8, 16, 32, 64], unit=" MB"),
        _row("savestate_slots", "Save state slots",
             "Quick save (F5) and quick load (F7) cycle through these slots.",
             number=[1, 20]),
        _row("savestate_on_exit", "Keep a save state when quitting",
             "The next start offers to continue from it."),
        _row("savestate_compression", "Save state compression",
             "Small takes a third of the space of fast and half a second longer to save.",
             choice=["none", "fast", "small"]),
    ],
}

_ACCESSIBILITY = {
    "title": "Accessibility",
    "rows": [
        _row("text_size", "Text size",
             "Menus, subtitles and the hints of the levels.",
             range=[80, 200], unit="%"),
        _row("colour_filter", "Colour filter",
             "Adjusts the picture for colour blindness; the crystals and the switches "
             "also get distinct shapes.",
             select=["none", "protanopia", "deuteranopia", "tritanopia"]),
        _row("screen_shake", "Screen shake",
             "Explosions, landings after a long fall and the boss attacks.",
             range=[0, 100], unit="%"),
        _row("reduce_flashes", "Reduce flashes",
             "Dims the lightning of the storm levels and the flashes of the bosses."),
        _row("hold_to_repeat", "Hold instead of pressing repeatedly",
             "Holding Circle repeats the spin; holding Cross climbs ladders."),
        _row("game_speed", "Game speed",
             "Slows the whole game down, for the hardest jumps. Time trials stay at "
             "full speed.",
             select=[100, 90, 75, 60], unit="%"),
        _row("subtitle_background", "Subtitle background",
             "Darkens the area behind the subtitles.",
             range=[0, 100], unit="%"),
    ],
}

_ADVANCED = {
    "title": "Performance and diagnostics",
    "rows": [
        _row("worker_threads", "Worker threads",
             "Threads for shader compilation and streaming of the level data.",
             number=[1, 64]),
        _row("shader_cache", "Keep compiled shaders",
             "Avoids stutter the second time a level loads."),
        _row("frame_pacing", "Even frame pacing",
             "Spreads frames evenly when the frame rate limit is above the screen's "
             "refresh rate."),
        _row("log_level", "Log detail",
             "How much the game writes to the console. Debug slows the game down.",
             choice=["error", "warning", "info", "debug"]),
        _row("extra_args", "Extra arguments",
             "Passed to the game at launch, separated by spaces. For testing only.",
             text=True),
    ],
}

# PS2 buttons: [name, label, help]; L3 deliberately has no help member.
BUTTONS = [
    ["CROSS", "Cross", "Jump; confirm in menus"],
    ["CIRCLE", "Circle", "Spin attack; back in menus"],
    ["SQUARE", "Square", "Crouch and slide"],
    ["TRIANGLE", "Triangle", "Show the collected crystals"],
    ["L1", "L1", "Turn the camera left"],
    ["R1", "R1", "Turn the camera right"],
    ["L2", "L2", "Look around"],
    ["R2", "R2", "Centre the camera behind the character"],
    ["L3", "L3"],
    ["R3", "R3", ""],
    ["START", "Start", "Pause menu"],
    ["SELECT", "Select", "World map"],
    ["UP", "D-pad up", ""],
    ["DOWN", "D-pad down", ""],
    ["LEFT", "D-pad left", ""],
    ["RIGHT", "D-pad right", ""],
]

TABLE = {
    "columns": [
        [_DISPLAY, _DETAILS, _AUDIO, _SCREENSHOTS],
        [_GAME, _CONTROLLER, _ACCESSIBILITY, _TRIALS, _MEMORY, _ADVANCED],
    ],
    "buttons": BUTTONS,
}

# The settings file as the game writes it at its first launch, in file order.
# "hdr_output" and "window_y" are absent on purpose: the table knows them, this
# version of the game does not write them yet (so "window_x" lands under "Other").
DEFAULT_SETTINGS = [
    ("config_version", "7"),
    ("display_mode", "windowed"),
    ("resolution", "1920x1080"),
    ("window_width", "1280"),
    ("window_height", "720"),
    ("window_x", "120"),
    ("render_scale", "3"),
    ("aspect", "16:9"),
    ("fps_limit", "60"),
    ("vsync", "true"),
    ("texture_filter", "bilinear"),
    ("anisotropy", "4x"),
    ("msaa", "2"),
    ("brightness", "100"),
    ("show_fps", "false"),
    ("shadows", "original"),
    ("draw_distance", "150"),
    ("particles", "original"),
    ("motion_blur", "false"),
    ("bloom", "true"),
    ("depth_of_field", "true"),
    ("crt_effect", "off"),
    ("widescreen_hud", "true"),
    ("texture_pack", ""),
    ("master_volume", "80"),
    ("music_volume", "70"),
    ("sfx_volume", "90"),
    ("voice_volume", "100"),
    ("speakers", "stereo"),
    ("audio_latency", "60"),
    ("audio_stretch", "true"),
    ("mute_in_background", "false"),
    ("audio_device", ""),
    ("screenshot_folder", ""),
    ("screenshot_format", "png"),
    ("screenshot_hud", "true"),
    ("screenshot_scale", "native"),
    ("language", "English"),
    ("subtitles", "true"),
    ("difficulty", "normal"),
    ("player_name", "Player"),
    ("skip_intro", "false"),
    ("autosave", "true"),
    ("hud_scale", "100"),
    ("camera_speed", "100"),
    ("invert_camera_x", "false"),
    ("invert_camera_y", "false"),
    ("vibration", "true"),
    ("controller", "auto"),
    ("vibration_strength", "75"),
    ("button_prompts", "auto"),
    ("deadzone", "12"),
    ("stick_sensitivity", "100"),
    ("mouse_camera", "true"),
    ("mouse_sensitivity", "35"),
    ("text_size", "100"),
    ("colour_filter", "none"),
    ("screen_shake", "100"),
    ("reduce_flashes", "false"),
    ("hold_to_repeat", "false"),
    ("game_speed", "100"),
    ("subtitle_background", "40"),
    ("trial_ghost", "true"),
    ("trial_ghost_source", "best"),
    ("trial_splits", "true"),
    ("trial_precision", "hundredths"),
    ("trial_countdown", "3"),
    ("memcard_size", "8"),
    ("savestate_slots", "5"),
    ("savestate_on_exit", "false"),
    ("savestate_compression", "fast"),
    ("worker_threads", "4"),
    ("shader_cache", "true"),
    ("frame_pacing", "true"),
    ("log_level", "warning"),
    ("extra_args", ""),
    ("key_CROSS", "K SPACE MOUSE_LEFT"),
    ("key_CIRCLE", "L MOUSE_RIGHT"),
    ("key_SQUARE", "J LEFT_CONTROL"),
    ("key_TRIANGLE", "I KP_8"),
    ("key_L1", "Q"),
    ("key_R1", "E"),
    ("key_L2", "1 MOUSE_WHEEL_UP"),
    ("key_R2", "3 MOUSE_WHEEL_DOWN"),
    ("key_L3", "NONE"),
    ("key_R3", "MOUSE_MIDDLE KEY_161"),
    ("key_START", "ENTER ESCAPE P KP_ENTER"),   # more than three: shown whole
    ("key_SELECT", "TAB"),
    ("key_UP", "W UP"),
    ("key_DOWN", "S DOWN"),
    ("key_LEFT", "A LEFT"),
    ("key_RIGHT", "D RIGHT"),
    ("last_level", "1-1"),
]


def table_rows():
    """Every row of the table, section by section."""
    for column in TABLE["columns"]:
        for section in column:
            yield from section["rows"]


# ---- change logs: [title, body]; body lines may carry **bold** and `code` ----

CHANGELOG = [
    ["Version 0.9.3", "\n".join([
        "- **Faster first build**: the code generator uses every processor core, about "
        "40% quicker on four cores.",
        "- Save states are compressed; a slot takes 3 MB instead of 32 MB "
        "(setting `savestate_compression`).",
        "- Fixed a crash at start when the ISO path holds letters outside Latin-1.",
        "- The internal resolution goes up to **8×**.",
        "",
        "- Key bindings accept the mouse wheel: `MOUSE_WHEEL_UP` and `MOUSE_WHEEL_DOWN`.",
    ])],
    ["Version 0.9.2", "\n".join([
        "- New setting **Even frame pacing** for screens above 60 Hz.",
        "  - The camera no longer clips through the ceiling of the ice caves.",
        "- Memory cards of other sizes than 8 MB are created on request "
        "(`memcard_size`).",
        "- The launcher shows the build output in the console while it works.",
    ])],
    ["Version 0.9.1", "\n".join([
        "- Fixed the missing shadows under moving platforms.",
        "- Fixed the music stopping after the boss of the second world when "
        "`audio_stretch` was off.",
        "- **Profiles**: each profile keeps its own memory card and save states.",
    ])],
    ["Version 0.9.0", "\n".join([
        "First public test version.",
        "- The whole game is playable from start to end.",
        "- Known problem: the credits run at double speed above 60 fps.",
    ])],
    ["Version 0.8.2", "\n".join([
        "- **Accessibility** settings: text size, colour filters, screen shake and "
        "reduced flashes.",
        "- Fixed the lost sound after the window was minimised during a cut-scene.",
        "- Fixed the time-trial clock that kept running in the pause menu.",
        "- The settings file gains `game_speed` and `hold_to_repeat`.",
    ])],
    ["Version 0.8.1", "\n".join([
        "- Screenshots with **F12**; the folder and the format are settings.",
        "- The boss of the third world no longer waits forever when it is hit during "
        "its jump.",
        "- Fixed the texture of the water in the docks at internal resolutions above 4\u00d7.",
        "- Faster loading: level data is streamed on `worker_threads` threads.",
    ])],
    ["Version 0.8.0", "\n".join([
        "- **Graphics details**: real shadows, longer draw distance, optional television "
        "effect.",
        "- Widescreen interface: the counters move to the corners of a 16:9 screen.",
        "- Texture packs are read from the folder named by `texture_pack`.",
        "- The launcher frees the build files on request (**Free up disk space**).",
        "- Known problem: motion blur smears the subtitles; it is off by default.",
    ])],
    ["Version 0.7.0", "\n".join([
        "- Key bindings for keyboard and mouse, up to three inputs per PS2 button.",
        "- Controllers are recognised by their layout; the button prompts follow.",
        "- First version with a launcher: disc check, compiler download, build and play.",
    ])],
    ["Version 0.6.0", "\n".join([
        "- The generated code runs the whole first world at full speed.",
        "- **Memory cards** are files in the profile folder (`memcard\\Mcd001.ps2`); "
        "saves of the console can be imported.",
        "- Known problems: no sound in the cut-scenes, the ice levels crash at the "
        "second checkpoint.",
    ])],
]

NEXT_ENTRIES = [
    ["Version 0.9.4", "\n".join([
        "- **Widescreen cut-scenes**: cut-scenes fill a 16:9 screen without black bars.",
        "- Fixed the camera snapping back after `R2` in the ice levels.",
        "- New profiles can import saves from another installation's `save\\Default` "
        "or `work\\local` folder.",
        "",
        "- The frame rate counter (`show_fps`) also shows the frame time.",
    ])],
    ["Launcher", "\n".join([
        "- The console keeps the last **16 000** lines of output.",
        "- Updates rebuild only what changed: a few minutes instead of half an hour.",
    ])],
]


# ---- console output ----

# The code generator's map of functions (one line each) and what it notes about some.
FUNCTION_COUNT = 9412
FUNCTION_NOTES = [
    "", "", "leaf", "", "calls the VU0 macro mode", "", "jump table (14 cases)", "",
    "r\u00e9entrant \u2014 \u00ab s\u00fbr \u00bb", "", "",
    "reads the GS privileged registers through a mirror; kept as an exact interpreter block "
    "because its timing is observable by the game's vsync handler (the intro logo waits on it)",
]

# The game's text check at start: subtitles in the languages of the European disc.
GAME_TEXT_CHECK = [
    "[text]\tEnglish\t\u201cWelcome to Lantern Docks!\u201d \u2713",
    "[text]\tFran\u00e7ais\t\u00ab Bienvenue aux Docks-Lanterne ! \u00bb \u2713",
    "[text]\tDeutsch\t\u201eWillkommen in den Laternendocks!\u201c \u2713",
    "[text]\tEspa\u00f1ol\t\u00a1Bienvenido a los Muelles Farol! \u2713",
    "[text]\tPolski\t\u201eWitaj w Latarnianych Dokach!\u201d \u017c\u00f3\u0142\u0107 \u2713",
]
