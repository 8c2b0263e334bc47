"""Scenarios of the uninstall list and the guarded delete."""

from harness import Case, Link

X = b"x"


def deep_path(length):
    """A relative path of exactly length bytes, in directories of 200-byte names."""
    parts = []
    while length > 201:
        parts.append(chr(ord("a") + len(parts)) * 200)
        length -= 201
    return "/".join(parts + ["z" * length])


def dotted_line(length, name):
    """A list line of exactly length bytes that names name through "." components."""
    dots = length - len(name)
    prefix = ".\\" * (dots // 2) + ("\\" if dots % 2 else "")
    return (prefix + name).encode()

CASES = [
    Case("typical-road",
         {"prog/Data/Sound/Bgm01.dat": X, "prog/Data/Sound/Bgm02.dat": X, "prog/patch.dll": X,
          "prog/Exe/keep.txt": X},
         list=b"Data\\Sound\\Bgm01.dat\nExe\\Patch.DLL\n",
         gone=["prog/Data/Sound/Bgm01.dat", "prog/patch.dll"]),
    Case("upper-case-lines-mixed-case-tree",
         {"prog/Data/Sound/BGM01.DAT": X, "prog/MoViE/Intro.Bik": X, "prog/readme.txt": X},
         list=b"DATA\\SOUND\\BGM01.DAT\nmovie/INTRO.bik\n",
         gone=["prog/Data/Sound/BGM01.DAT", "prog/Data/Sound/", "prog/MoViE/Intro.Bik", "prog/MoViE/"]),
    Case("read-only-file-deleted",
         {"prog/Data/locked.dat": X, "prog/Data/other.dat": X},
         list=b"data\\locked.dat\n", readonly=["prog/Data/locked.dat"],
         gone=["prog/Data/locked.dat"]),
    Case("dot-dot-refused-anywhere",
         {"prog/notes..old.txt": X, "prog/a/b.dat": X, "outside/s.dat": X},
         list=b"notes..old.txt\na\\..\\a\\b.dat\n..\\outside\\s.dat\n../outside/s.dat\n"),
    Case("absolute-path-inside-deleted-outside-refused",
         {"prog/in.dat": X, "prog/Sub/in2.dat": X, "outside/s.dat": X, "outside/prog2/s.dat": X},
         list=b"{root}{sep}prog{sep}in.dat\n{root}/prog/SUB/in2.dat\n{root}{sep}outside{sep}s.dat\n"
              b"{root}{sep}prog2{sep}s.dat\n{root}{sep}outside{sep}prog2{sep}s.dat\n",
         gone=["prog/in.dat", "prog/Sub/in2.dat"]),
    Case("path-through-symlinked-directory-refused",
         {"prog/link": Link("../outside"), "prog/real/f.dat": X, "outside/s.dat": X},
         list=b"link\\s.dat\nreal\\f.dat\n",
         gone=["prog/real/f.dat", "prog/real/"]),
    Case("listed-symlink-to-outside-file-left",
         {"prog/f.dat": Link("../outside/s.dat"), "outside/s.dat": X},
         list=b"f.dat\n"),
    Case("crlf-list",
         {"prog/Data/a.dat": X, "prog/b.dat": X, "prog/c.dat": X},
         list=b"Data\\a.dat\r\nb.dat\r\nc.dat\r",
         gone=["prog/Data/a.dat", "prog/Data/", "prog/b.dat", "prog/c.dat"]),
    Case("long-line-leaves-both-fragments",
         {"prog/" + "p" * 254: X, "prog/" + "q" * 46: X, "prog/short.dat": X},
         list=b"p" * 254 + b"q" * 46 + b"\nshort.dat\n",
         gone=["prog/short.dat"]),
    # A whole line of 2047 bytes is one path; one of 2048 does not fit and is passed over whole. The
    # "." components keep the full path short enough for Windows' 260-character limit.
    Case("line-of-2047-bytes-is-whole-2048-passed-over",
         {"prog/a.dat": X, "prog/b.dat": X},
         list=dotted_line(2047, "a.dat") + b"\n" + dotted_line(2048, "b.dat") + b"\n",
         gone=["prog/a.dat"]),
    Case("deep-path-of-2047-bytes",
         {"prog/" + deep_path(2047): X, "prog/" + deep_path(2048): X},
         list=deep_path(2047).replace("/", "\\").encode() + b"\n" + deep_path(2048).replace("/", "\\").encode(),
         gone=["prog/" + deep_path(2047)], only="native"),
    Case("missing-list-changes-nothing",
         {"prog/a.dat": X, "prog/Data/b.dat": X}),
    Case("empty-list-deleted",
         {"prog/a.dat": X}, list=b""),
    Case("blank-and-empty-lines",
         {"prog/a.dat": X, "prog/ b.dat": X},
         list=b"\n\n \n\na.dat\n\n",
         gone=["prog/a.dat"]),
    Case("nul-byte-ends-the-line-text",
         {"prog/a.dat": X, "prog/a.datjunk": X},
         list=b"a.dat\x00junk\n",
         gone=["prog/a.dat"]),
    Case("exe-reduction-to-program-directory",
         {"prog/setupexe/notes.txt": X, "prog/notes.txt": X, "prog/Exe/Tool.exe": X, "prog/tool.exe": X},
         list=b"setupexe\\notes.txt\nExe\\Tool.exe\n",
         gone=["prog/notes.txt", "prog/tool.exe"]),
    Case("device-stream-and-trailing-dot-names-refused",
         {"prog/x.dat": X, "prog/y.dat": X, "prog/nul.txt": X},
         list=b"x.dat.\ny.dat \nx.dat:s\nnul.txt\ncon\n"),
    Case("list-as-symlink-is-not-read",
         {"prog/XQTUP.TMP": Link("../outside/list.txt"), "outside/list.txt": b"a.dat\n", "prog/a.dat": X}),
    Case("list-as-directory-is-not-read",
         {"prog/XQTUP.TMP/": None, "prog/a.dat": X}),
    Case("korean-code-page",
         {"prog/데이터/음악.dat": X, "prog/데이터/ＡＢ.dat": X, "prog/데이터/keep.dat": X},
         list="데이터\\음악.DAT\n데이터\\ＡＢ.dat\n".encode("cp949"),
         gone=["prog/데이터/음악.dat", "prog/데이터/ＡＢ.dat"],
         only="wine", locale="ko_KR.UTF-8"),
    Case("japanese-code-page-trail-byte-5c",
         {"prog/表/ソフト.dat": X, "prog/表/keep.dat": X, "prog/Ｚ.dat": X},
         list="表\\ソフト.dat\nＺ.DAT\n".encode("cp932"),
         gone=["prog/表/ソフト.dat", "prog/Ｚ.dat"],
         only="wine", locale="ja_JP.UTF-8"),
]
