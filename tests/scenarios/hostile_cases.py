"""The hostile catalogue: lists, links and trees made to lead the tool outside its program directory,
to crash it or to stop it early. Each case lays a sentinel tree beside the program directory (files,
empty directories, a read-only file) that must come through byte for byte and entry for entry; inside,
only what should go may go. Natively these cases run with the case folder as the root of a private
mount namespace, so that a tool gone wrong could reach nothing of the machine's."""

import random

from harness import Case, Link

X = b"x"

SENTINEL = {
    "outside/s.dat": b"sentinel",
    "outside/ro.dat": b"read-only sentinel",
    "outside/empty/": None,
    "outside/deep/er/": None,
    "outside/prog/in.dat": b"a look-alike of the program directory",
    "x.dat": b"beside the program directory",
}
SENTINEL_READONLY = ["outside/ro.dat"]


def hostile(name, tree=None, list=b"", gone=(), **kw):
    laid = dict(SENTINEL)
    laid.update(tree or {})
    kw.setdefault("readonly", SENTINEL_READONLY)
    return Case("hostile-" + name, laid, list=list, gone=gone, sandbox=True, **kw)


def lines(*texts):
    return b"".join(t + b"\n" for t in texts)


def noise(seed, size):
    rng = random.Random(seed)
    return bytes(rng.randrange(256) for _ in range(size))


CASES = [
    hostile("absolute-paths-outside",
            {"prog/keep.dat": X},
            lines(b"{root}{sep}outside{sep}s.dat", b"{root}/outside/ro.dat", b"{root}\\x.dat",
                  b"{root}{sep}outside{sep}prog{sep}in.dat", b"{root}{sep}prog{sep}..{sep}x.dat",
                  b"{root}{sep}prog{sep}.{sep}..{sep}x.dat")),
    hostile("rooted-and-drive-paths",
            {"prog/keep.dat": X},
            lines(b"\\outside\\s.dat", b"/outside/s.dat", b"\\x.dat", b"/x.dat", b"c:\\x.dat", b"c:/outside/s.dat",
                  b"c:x.dat", b"z:\\x.dat", b"\\\\", b"\\", b"/")),
    hostile("unc-and-device-namespace-paths",
            {"prog/keep.dat": X},
            lines(b"\\\\localhost\\c$\\x.dat", b"//localhost/share/x.dat", b"\\\\?\\{root}{sep}x.dat",
                  b"\\\\?\\{root}{sep}prog{sep}keep.dat", b"\\\\.\\{root}{sep}x.dat", b"//?/{root}/x.dat",
                  b"\\\\.\\PhysicalDrive0", b"\\??\\{root}{sep}x.dat")),
    hostile("dot-dot-in-every-position",
            {"prog/sub/keep.dat": X, "prog/keep.dat": X},
            lines(b"..", b"..\\", b"..\\x.dat", b"../x.dat", b"sub\\..\\..\\x.dat", b"sub/../../x.dat",
                  b"..\\outside\\s.dat", b"sub\\..", b"...\\x.dat", b"..x.dat", b"x.dat..", b"sub\\..\\keep.dat")),
    hostile("trailing-dots-blanks-streams-devices",
            {"prog/keep.dat": X, "prog/keep2.dat": X},
            lines(b"keep.dat.", b"keep.dat ", b"keep.dat. . ", b"keep.dat::$DATA", b"keep2.dat:zone",
                  b"{root}{sep}x.dat.", b"{root}{sep}x.dat:s", b"CON", b"NUL", b"AUX", b"COM1", b"LPT1",
                  b"con.txt", b"sub\\nul", b"PRN", b"CONIN$", b"CONOUT$")),
    hostile("listed-directory-symlink-to-the-sentinel",
            {"prog/data": Link("../outside"), "prog/real/f.dat": X},
            lines(b"data\\s.dat", b"data\\ro.dat", b"data\\prog\\in.dat", b"real\\f.dat", b"data\\empty\\x"),
            gone=["prog/real/f.dat", "prog/real/"]),
    hostile("recorded-directory-with-a-symlink-to-empty-directories",
            {"prog/data/f.dat": X, "prog/data/to-empty": Link("../../outside/deep"),
             "prog/data/to-root": Link("/"), "prog/data/sub/": None},
            lines(b"data\\f.dat", b"data\\to-empty\\er\\x.dat"),
            gone=["prog/data/f.dat", "prog/data/sub/"]),
    hostile("gameguard-symlink",
            {"prog/GameGuard": Link("../outside"), "outside/npgg.erl": X, "outside/Splash.jpg": X},
            lines(b"GameGuard\\s.dat", b"gameguard\\npgg.erl")),
    hostile("list-symlink-to-a-sentinel-file",
            {"prog/XQTUP.TMP": Link("../outside/list.txt"), "outside/list.txt": b"keep.dat\n",
             "prog/keep.dat": X},
            None),
    hostile("list-is-a-directory",
            {"prog/XQTUP.TMP/f.dat": X, "prog/keep.dat": X},
            None),
    hostile("listed-path-is-a-symlink-to-a-sentinel-file",
            {"prog/f.dat": Link("../outside/s.dat"), "prog/g.dat": Link("/x.dat"), "prog/h.dat": X},
            lines(b"f.dat", b"g.dat", b"h.dat"),
            gone=["prog/h.dat"]),
    hostile("empty-list", {"prog/keep.dat": X}, b""),
    hostile("only-line-feeds", {"prog/keep.dat": X}, b"\n" * 1000),
    hostile("nul-bytes-inside-lines",
            {"prog/a.dat": X, "prog/keep.dat": X},
            # A line's text ends at its first zero byte.
            b"a.dat\x00..\\x.dat\n\x00keep.dat\n\x00\x00\x00\n",
            gone=["prog/a.dat"]),
    hostile("binary-noise", {"prog/keep.dat": X}, noise(1, 200000)),
    hostile("no-final-line-feed", {"prog/a.dat": X, "prog/b.dat": X}, b"a.dat\nb.dat",
            gone=["prog/a.dat", "prog/b.dat"]),
    hostile("line-of-5000-bytes",
            {"prog/" + "a" * 200: X, "prog/keep.dat": X},
            # Neither line fits; no piece of either (such as the first 200 bytes) is acted on.
            b"a" * 200 + b"\\" * 4600 + b"b" * 200 + b"\n" + b"a" * 5000 + b"\n"),
    hostile("list-of-100000-lines",
            {"prog/d%02d/f%04d.dat" % (i % 50, i): X for i in range(2000)},
            b"".join(b"d%02d\\f%04d.dat\n" % (i % 50, i % 2000) for i in range(100000)),
            gone=["prog/d%02d/f%04d.dat" % (i % 50, i) for i in range(2000)] + ["prog/d%02d/" % i for i in range(50)]),
    hostile("list-of-50-megabytes",
            {"prog/f.dat": X, "prog/keep.dat": X},
            (b"nothing\\here\\" + b"n" * 100 + b".dat\n") * 440000 + b"f.dat\n",
            gone=["prog/f.dat"]),
    hostile("more-than-128-directories-to-record",
            dict({"prog/data/d%03d/e/" % i: None for i in range(150)}, **{"prog/data/f.dat": X}),
            lines(b"data\\f.dat"),
            # The table holds 'data\' and the first 127 directories the walk meets (in name order:
            # d000\, d000\e\, d001\, ...); those empty ones go, the rest stay.
            gone=["prog/data/f.dat"] + ["prog/data/d%03d/e/" % i for i in range(63)]
                 + ["prog/data/d%03d/" % i for i in range(63)]),
    hostile("tree-200-levels-deep",
            {"prog/t/" + "/".join(["l"] * 200) + "/": None, "prog/t/f.dat": X},
            lines(b"t\\f.dat"),
            gone=["prog/t/f.dat"]),
    hostile("unreadable-directory",
            {"prog/data/f.dat": X, "prog/data/locked/inside.dat": X, "prog/data/locked/sub/": None,
             "prog/data/open/": None},
            lines(b"data\\f.dat", b"data\\locked\\inside.dat"),
            gone=["prog/data/f.dat", "prog/data/open/"], unreadable=["prog/data/locked"]),
    hostile("high-bytes-in-names",
            {"prog/\xe9t\xe9/caf\xe9.dat": X, "prog/\xe9t\xe9/keep.dat": X},
            "\xe9t\xe9\\caf\xe9.dat\n".encode("latin-1"),
            gone=["prog/\xe9t\xe9/caf\xe9.dat"], encoding="latin-1", only="native"),
    hostile("held-open-file-stays-the-run-goes-on",
            {"prog/a.dat": X, "prog/held.dat": X, "prog/b.dat": X, "prog/oxqt.exe": X},
            lines(b"a.dat", b"held.dat", b"b.dat"),
            gone=["prog/a.dat", "prog/b.dat", "prog/oxqt.exe"], held=["prog/held.dat"]),
]
