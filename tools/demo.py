"""Shows one uninstall: a sample program directory before and after, and the tool's trace."""

import os
import shutil
import stat
import subprocess
import sys
import tempfile

TAIL = "Uninstall,3c5,9,4e,2d1f7"

TREE = {
    "prog/Data/Sound/BGM01.DAT": "listed, mixed case on disk",
    "prog/Data/Sound/Voice/v01.wav": "listed, in a nested directory",
    "prog/Data/Map/Field.map": "listed, read-only",
    "prog/patch.dll": "listed as Exe\\Patch.DLL",
    "prog/Screenshots/shot0001.bmp": "made by the player, not listed",
    "prog/oxqt.exe": "a program file the tool always deletes",
    "prog/GameGuard/npgg.erl": "a component file the tool always deletes",
    "outside/precious.txt": "outside the program directory: the lines naming it are refused",
}

DIRECTORIES = {
    "prog/Data/Sound/Voice": "held a listed file, empty afterwards",
    "prog/Data/Sound/Empty": "empty, below a directory that held a listed file",
    "prog/Data/Sound": "held a listed file, empty once its subdirectories went",
    "prog/Data/Map": "held a listed file, empty afterwards",
    "prog/Data": "never held a listed file itself, so it is not removed on their account",
    "prog/Screenshots": "holds the player's file",
    "prog/GameGuard": "empty once the component's files went",
}

LIST = (b"Data\\Sound\\Bgm01.dat\n"
        b"DATA\\SOUND\\VOICE\\V01.WAV\n"
        b"data\\map\\field.map\n"
        b"Exe\\Patch.DLL\n"
        b"..\\outside\\precious.txt\n"
        b"{outside}\n")


def show_tree(root, title):
    print(title)
    for dirpath, dirnames, filenames in sorted(os.walk(root)):
        dirnames.sort()
        rel = os.path.relpath(dirpath, root)
        depth = 0 if rel == "." else rel.count(os.sep) + 1
        if rel != ".":
            print("  " + "  " * (depth - 1) + os.path.basename(dirpath) + "/")
        for name in sorted(filenames):
            mode = os.lstat(os.path.join(dirpath, name)).st_mode
            ro = "  (read-only)" if not mode & stat.S_IWUSR else ""
            print("  " + "  " * depth + name + ro)
    print()


def main(exe):
    area = tempfile.mkdtemp(prefix="xqti-demo-")
    try:
        for rel in TREE:
            path = os.path.join(area, rel)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w") as f:
                f.write(TREE[rel] + "\n")
        os.chmod(os.path.join(area, "prog/Data/Map/Field.map"), 0o444)
        os.makedirs(os.path.join(area, "prog/Data/Sound/Empty"))
        outside = os.path.join(area, "outside/precious.txt")
        with open(os.path.join(area, "prog/XQTUP.TMP"), "wb") as f:
            f.write(LIST.replace(b"{outside}", outside.encode()))
        shutil.copy2(exe, os.path.join(area, "prog/xqti"))
        print("The uninstall list prog/XQTUP.TMP:")
        for line in LIST.replace(b"{outside}", outside.encode()).decode().splitlines():
            print("  " + line)
        print()
        show_tree(area, "Before:")
        elsewhere = tempfile.mkdtemp(prefix="xqti-demo-cwd-")
        cmd = [os.path.join(area, "prog/xqti"), TAIL]
        print("Run from %s:\n  %s %s\n" % (elsewhere, cmd[0], TAIL))
        done = subprocess.run(cmd, cwd=elsewhere, capture_output=True, text=True)
        os.rmdir(elsewhere)
        print("Trace (exit code %d):" % done.returncode)
        for line in done.stderr.splitlines():
            print("  " + line)
        print()
        os.remove(os.path.join(area, "prog/xqti"))
        show_tree(area, "After:")
        print("What happened to each, and why:")
        for rel, why in TREE.items():
            fate = "stayed" if os.path.lexists(os.path.join(area, rel)) else "gone  "
            print("  %s  %-32s %s" % (fate, rel, why))
        for rel, why in DIRECTORIES.items():
            fate = "stayed" if os.path.lexists(os.path.join(area, rel)) else "gone  "
            print("  %s  %-32s %s" % (fate, rel + "/", why))
    finally:
        for dirpath, dirnames, filenames in os.walk(area):
            for name in filenames:
                os.chmod(os.path.join(dirpath, name), 0o644)
        shutil.rmtree(area)


if __name__ == "__main__":
    main(os.path.abspath(sys.argv[1]))
