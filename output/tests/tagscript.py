"""What the scripts that check the tag I/O module share: their checks, the
runs of tagtool (the module's command-line driver) and of the components'
tests that make the files, and Shift-JIS texts on tagtool's command line.

Under Wine (WX_WINE_RUN set) tagtool and the tests run through the wrapper.
"""
import os
import subprocess
import sys

WINE = os.environ.get("WX_WINE_RUN", "")
failures = []
verbose = False  # True: the checks that pass are listed too


def check(cond, what):
    if verbose or not cond:
        print(("ok: " if cond else "FAIL: ") + what)
    if not cond:
        failures.append(what)
    return cond


def finish(passed=None):
    """Exits 1 when a check failed, else prints `passed` (when given)."""
    if failures:
        print("%d check(s) failed" % len(failures))
        sys.exit(1)
    if passed:
        print(passed)


def tagtool(tool, *args):
    cmd = ([WINE] if WINE else []) + [tool] + [str(a) for a in args]
    return subprocess.run(cmd, capture_output=True, text=True)


def answer(r):
    """The KEY=value lines of a tagtool answer, as a dict."""
    return dict(line.split("=", 1) for line in r.stdout.strip().splitlines())


def tool_path(p):
    return "Z:" + p if WINE else p


def sj(text):
    """A text as tagtool takes it: its Shift-JIS bytes in hex."""
    return text.encode("cp932").hex()


def latin_to_cp932(s):
    return s.encode("latin-1").decode("cp932")


def component_run(tests, gtest_filter, work, var="WX_ENC_OUT"):
    """Runs the tests of a component under Wine, filtered, with the
    environment variable `var` naming the folder `work` for the files they
    make; the finished process."""
    winwork = subprocess.run([WINE, "winepath", "-w", work], capture_output=True, text=True).stdout.strip()
    return subprocess.run([WINE, tests, "--gtest_filter=" + gtest_filter], env=dict(os.environ, **{var: winwork}),
                          capture_output=True, text=True)


def make_mp3(path, frequency, seconds):
    """A stereo sine as a 128 kbit/s MP3 file with no tag and no Xing frame."""
    subprocess.run(["ffmpeg", "-v", "error", "-y", "-f", "lavfi",
                    "-i", "sine=frequency=%d:duration=%d" % (frequency, seconds),
                    "-ac", "2", "-ar", "44100", "-c:a", "libmp3lame", "-b:a", "128k",
                    "-id3v2_version", "0", "-write_id3v1", "0", "-write_xing", "0", path], check=True)
