"""Scenarios of the directory table: which directories go once the listed files are gone."""

from harness import Case, Link

X = b"x"

MANY = 129  # one more distinct directory than the table holds

CASES = [
    Case("dirs-removed-deepest-first",
         {"prog/a/f.dat": X, "prog/a/b/c/": None},
         list=b"a\\f.dat\n",
         gone=["prog/a/f.dat", "prog/a/b/c/", "prog/a/b/", "prog/a/"]),
    Case("dirs-above-the-listed-one-stay",
         {"prog/a/b/c/f.dat": X},
         list=b"a\\b\\c\\f.dat\n",
         gone=["prog/a/b/c/f.dat", "prog/a/b/c/"]),
    Case("dirs-one-holding-a-file-stays-with-its-parents",
         {"prog/a/f.dat": X, "prog/a/full/user.sav": X, "prog/a/empty1/": None, "prog/a/empty2/deeper/": None},
         list=b"a\\f.dat\n",
         gone=["prog/a/f.dat", "prog/a/empty1/", "prog/a/empty2/deeper/", "prog/a/empty2/"]),
    Case("dirs-unlisted-empty-subdirectories-go",
         {"prog/Data/f.dat": X, "prog/Data/Cache/Old/": None, "prog/Data/Logs/": None, "prog/Other/": None},
         list=b"data\\f.dat\n",
         gone=["prog/Data/f.dat", "prog/Data/Cache/Old/", "prog/Data/Cache/", "prog/Data/Logs/", "prog/Data/"]),
    Case("dirs-129th-not-recorded-the-others-go",
         dict({"prog/d%03d/f.dat" % i: X for i in range(MANY)}),
         list=b"".join(b"d%03d\\f.dat\n" % i for i in range(MANY)),
         gone=["prog/d%03d/f.dat" % i for i in range(MANY)] + ["prog/d%03d/" % i for i in range(MANY - 1)]),
    Case("dirs-differing-in-case-are-one-entry",
         {"prog/Data/x.dat": X, "prog/Data/y.dat": X},
         list=b"data\\x.dat\nDATA\\Y.DAT\n",
         gone=["prog/Data/x.dat", "prog/Data/y.dat", "prog/Data/"]),
    Case("dirs-program-directory-never-removed",
         {"prog/only.dat": X},
         list=b"only.dat\n.\\only.dat\n",
         gone=["prog/only.dat"]),
    # The list records 'a\' and 'a\b\' in lower case; the scan meets 'a\B\C\' on disk. Every child is
    # still attempted before its parent, so all three go.
    Case("dirs-children-first-whatever-the-case",
         {"prog/A/g.dat": X, "prog/A/B/f.dat": X, "prog/A/B/C/": None},
         list=b"a\\g.dat\na\\b\\f.dat\n",
         gone=["prog/A/g.dat", "prog/A/B/f.dat", "prog/A/B/C/", "prog/A/B/", "prog/A/"]),
    Case("dirs-forward-slash-list-lines",
         {"prog/a/b/f.dat": X, "prog/a/b/c/": None},
         list=b"a/b/f.dat\n",
         gone=["prog/a/b/f.dat", "prog/a/b/c/", "prog/a/b/"]),
    Case("dirs-symlink-below-a-recorded-one-and-its-target-survive",
         {"prog/data/f.dat": X, "prog/data/link": Link("../../outside/tree"),
          "outside/tree/empty1/": None, "outside/tree/empty2/deeper/": None, "prog/data/sub/": None},
         list=b"data\\f.dat\n",
         gone=["prog/data/f.dat", "prog/data/sub/"]),
    Case("dirs-listed-directory-is-a-symlink",
         {"prog/data": Link("../outside/tree"), "outside/tree/f.dat": X, "outside/tree/empty/": None},
         list=b"data\\f.dat\n"),
    Case("dirs-parent-outside-not-recorded",
         {"prog/x.dat": X, "outside/empty/": None, "outside/a/b/": None, "empty-beside/": None},
         list=b"..\\x.dat\n../x.dat\n..\\outside\\x.dat\n"),
    # Rooted and drive lines under Wine: T: is the test area, so a tool that recorded '\' would prune
    # the empty directories of the whole area. (Natively '\' would be the machine's root; those lines
    # are covered by the unit tables and the sandboxed runs.)
    Case("dirs-rooted-and-drive-lines-record-nothing",
         {"prog/x.dat": X, "outside/empty/": None, "empty-beside/deeper/": None},
         list=b"c:\\x.dat\n\\x.dat\nt:\\x.dat\n/x.dat\n",
         only="wine"),
    # 't:x.dat' is relative to the current directory of T:, which is the program directory.
    Case("dirs-drive-relative-line-on-the-program-drive",
         {"prog/x.dat": X, "x.dat": X, "outside/empty/": None},
         list=b"t:x.dat\n",
         gone=["prog/x.dat"], only="wine"),
]
