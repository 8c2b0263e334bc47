"""Runs the tool as a whole process on real directories and compares the tree before and after.

Each case lays out a folder of its own under a fresh test area:
    <case>/prog/       the program directory, with the executable copied in
    <case>/outside/    files and directories beside it that the tool must never touch
    <case>/elsewhere/  the current directory the tool is started from
A case states the tree, the list, the command-line tail and what must be gone afterwards; everything
else, inside and outside, must be exactly as before (content, type, link target, write bits).

Two runners share the table: the native executable started directly, and the Windows executable under
Wine, started through a launcher that passes an exact raw command line. The Wine prefix has no drive
mapping the Linux root: C: is its own, and T: is the test area, so a tool that went astray could reach
nothing but the test area.
"""

import os
import shutil
import stat
import subprocess
import sys
import tempfile
import time

ACCESS_TAIL = "Uninstall,3c5,9,4e,2d1f7"


class Case:
    """One scenario.

    tree: {relative path: content}; a path ending in "/" is a directory; content bytes is a file, a
      Link(target) a symbolic link. Paths are relative to the case folder ("prog/Data/x.dat").
    list: the bytes of prog/XQTUP.TMP, or None for no list. "{root}" in it becomes the case folder as
      the tool sees it (native: /tmp/.../case; Wine: T:\\case), "{sep}" the separator of that form.
    gone: the paths that must be gone afterwards. XQTUP.TMP is added when the tail is accepted.
    readonly: paths made read-only. only: "native" or "wine" for a case of one build.
    locale: LC_ALL for the Wine run (its ANSI code page).
    sandbox: natively, run inside a private mount namespace with the case folder as its root, for a
      case that could reach beyond the case folder if the tool were wrong (Wine confines every case to
      its T: drive anyway).
    unreadable: directories the tool cannot read (natively it then runs as an unprivileged user).
    held: files another Wine process holds open without delete sharing while the tool runs.
    """

    def __init__(self, name, tree, list=None, gone=(), tail=ACCESS_TAIL, readonly=(), only=None,
                 locale=None, accepted=True, encoding="utf-8", sandbox=False, unreadable=(), held=()):
        self.name = name
        self.tree = tree
        self.list = list
        self.gone = set(gone)
        self.tail = tail
        self.readonly = set(readonly)
        self.only = only
        self.locale = locale
        self.accepted = accepted
        self.encoding = encoding
        self.sandbox = sandbox or bool(unreadable)
        self.unreadable = list_of(unreadable)
        self.held = list_of(held)
        if self.unreadable:
            self.only = "native"
        if self.held:
            self.only = "wine"


def list_of(items):
    return [items] if isinstance(items, str) else list(items)


class Link:
    def __init__(self, target):
        self.target = target


def fs_name(case, rel):
    """The on-disk bytes of a tree path: names are text, stored in the case's encoding."""
    return os.fsencode(rel) if case.encoding == "utf-8" else rel.encode(case.encoding)


def lay_out(case, root):
    for rel, content in sorted(case.tree.items()):
        path = os.path.join(root, fs_name(case, rel.rstrip("/")))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        if rel.endswith("/"):
            os.makedirs(path, exist_ok=True)
        elif isinstance(content, Link):
            os.symlink(fs_name(case, content.target), path)
        else:
            with open(path, "wb") as f:
                f.write(content)
    for rel in case.readonly:
        path = os.path.join(root, fs_name(case, rel.rstrip("/")))
        os.chmod(path, os.stat(path).st_mode & ~0o222)
    os.makedirs(os.path.join(root, b"prog"), exist_ok=True)
    os.makedirs(os.path.join(root, b"elsewhere"), exist_ok=True)


def snapshot(root):
    """Every entry below root: its type, content or link target, and write bits."""
    entries = {}
    for dirpath, dirnames, filenames in os.walk(root):
        for name in dirnames + filenames:
            path = os.path.join(dirpath, name)
            rel = os.path.relpath(path, root)
            st = os.lstat(path)
            if stat.S_ISLNK(st.st_mode):
                entries[rel] = ("link", os.readlink(path))
            elif stat.S_ISDIR(st.st_mode):
                entries[rel] = ("dir", st.st_mode & 0o222)
            else:
                with open(path, "rb") as f:
                    entries[rel] = ("file", f.read(), st.st_mode & 0o222)
    return entries


def expected_after(case, before):
    gone = {os.path.normpath(fs_name(case, g.rstrip("/"))) for g in case.gone}
    if case.accepted and case.list is not None:
        gone.add(os.path.normpath(b"prog/XQTUP.TMP"))
    return {rel: entry for rel, entry in before.items() if rel not in gone}, gone


def force_remove(path):
    def writable(func, p, _):
        os.chmod(os.path.dirname(p), 0o755)
        os.chmod(p, 0o755)
        func(p)
    shutil.rmtree(path, onerror=writable)


NOBODY = 65534

# Mounts /proc in the case folder (the tool finds itself through /proc/self/exe) and runs the tool with
# the case folder as the root, so that "/" and every absolute path mean places inside it.
SANDBOX_SCRIPT = 'mount -t proc proc "$1/proc" && exec chroot $2 "$1" /prog/xqti "$3"'


class NativeRunner:
    name = "native"

    def __init__(self, exe, static_exe):
        self.exe = exe
        self.static_exe = static_exe

    def prepare(self, case, case_dir):
        if case.sandbox:
            os.makedirs(os.path.join(case_dir, b"proc"))

    def root_text(self, case, case_dir):
        return ("" if case.sandbox else os.fsdecode(case_dir)), "/"

    def run(self, case, case_dir):
        prog = os.path.join(case_dir, b"prog")
        exe = os.path.join(prog, b"xqti")
        shutil.copy2(self.static_exe if case.sandbox else self.exe, exe)
        if case.sandbox:
            user = ""
            if case.unreadable:
                # Root reads any directory, so these cases run as nobody, who owns the tree but may not
                # read the directories made unreadable.
                for dirpath, dirnames, filenames in os.walk(case_dir):
                    for name in [dirpath] + [os.path.join(dirpath, n) for n in dirnames + filenames]:
                        os.lchown(name, NOBODY, NOBODY)
                for rel in case.unreadable:
                    os.chmod(os.path.join(case_dir, fs_name(case, rel.rstrip("/"))), 0)
                user = "--userspec=%d:%d" % (NOBODY, NOBODY)
            args = ["unshare", "--mount", "--fork", "--", "sh", "-c", SANDBOX_SCRIPT, "sh", case_dir, user,
                    case.tail]
        else:
            args = [exe] + ([case.tail] if case.tail else [])
        done = subprocess.run(args, cwd=os.path.join(case_dir, b"elsewhere"), capture_output=True,
                              timeout=300)
        for rel in case.unreadable:
            os.chmod(os.path.join(case_dir, fs_name(case, rel.rstrip("/"))), 0o755)
        os.remove(exe)
        if case.sandbox and done.returncode != 0 and done.stderr:
            print("     sandbox: " + done.stderr.decode(errors="replace").strip())
        return done.returncode


class WineRunner:
    name = "wine"

    def __init__(self, exe, launcher, area, prefix):
        self.exe = exe
        self.launcher = launcher
        self.area = area
        self.prefix = prefix
        self.env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
        self.wine = "/usr/lib/wine/wine64" if exe_is_64bit(exe) else "wine"
        if not exe_is_64bit(exe):
            self.env["WINEARCH"] = "win32"
        self.start_prefix()

    def start_prefix(self):
        if not os.path.isdir(os.path.join(self.prefix, "drive_c")):
            subprocess.run([self.wine, "wineboot", "-i"], env=self.env, capture_output=True, timeout=300,
                           check=True)
        dosdevices = os.path.join(self.prefix, "dosdevices")
        for name in os.listdir(dosdevices):
            if name not in ("c:",):
                os.remove(os.path.join(dosdevices, name))
        os.symlink(self.area, os.path.join(dosdevices, "t:"))
        shutil.copy2(self.launcher, os.path.join(self.area, "xqti-launch.exe"))
        shutil.copy2(os.path.join(os.path.dirname(self.launcher), "xqti-hold.exe"),
                     os.path.join(self.area, "xqti-hold.exe"))
        subprocess.Popen(["wineserver", "-p"], env=self.env).wait()
        # The first program starts Wine's background services, which would hold on to captured output
        # pipes; start them here with nothing to hold on to.
        subprocess.run([self.wine, "cmd", "/c", "exit"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env, capture_output=True)

    def windows_path(self, case_dir):
        rel = os.path.relpath(os.fsdecode(case_dir), self.area)
        return "T:\\" + rel.replace("/", "\\")

    def prepare(self, case, case_dir):
        pass

    def root_text(self, case, case_dir):
        return self.windows_path(case_dir), "\\"

    def hold(self, case, case_dir, env):
        """Starts one holder per held file and waits until each says it holds its file."""
        holders = []
        for i, rel in enumerate(case.held):
            marker = os.path.join(case_dir, b"elsewhere", b"held%d" % i)
            target = self.windows_path(case_dir) + "\\" + rel.replace("/", "\\")
            holder = subprocess.Popen([self.wine, os.path.join(self.area, "xqti-hold.exe"), target,
                                       self.windows_path(marker)], env=env, stdin=subprocess.DEVNULL,
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            holders.append((holder, marker))
        for holder, marker in holders:
            for _ in range(600):
                if os.path.exists(marker) or holder.poll() is not None:
                    break
                time.sleep(0.05)
            if not os.path.exists(marker):
                raise RuntimeError("the holder could not open its file")
        return holders

    def release(self, holders):
        for holder, marker in holders:
            holder.kill()
            holder.wait()
            os.remove(marker)
        if holders:
            # The Windows side of a killed holder ends with the Wine server's next turn.
            subprocess.run([self.wine, "cmd", "/c", "exit"], env=self.env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)

    def run(self, case, case_dir):
        prog = os.path.join(case_dir, b"prog")
        exe = os.path.join(prog, b"xqti.exe")
        shutil.copy2(self.exe, exe)
        line = '"' + self.windows_path(case_dir) + '\\prog\\xqti.exe"' + (" " + case.tail if case.tail else "")
        env = dict(self.env)
        if case.locale:
            env["LC_ALL"] = case.locale
            env.setdefault("LOCPATH", os.environ.get("XQTI_LOCPATH", ""))
        launcher = os.path.join(self.area, "xqti-launch.exe")
        holders = self.hold(case, case_dir, env)
        try:
            # Wine reads its arguments as text of the Linux locale and hands them on in the ANSI code page.
            done = subprocess.run([self.wine, launcher, line],
                                  cwd=os.path.join(case_dir, b"elsewhere"), env=env, capture_output=True,
                                  timeout=300)
        finally:
            self.release(holders)
        os.remove(exe)
        return done.returncode


def exe_is_64bit(path):
    with open(path, "rb") as f:
        data = f.read(4096)
    pe = int.from_bytes(data[0x3C:0x40], "little")
    return int.from_bytes(data[pe + 4:pe + 6], "little") == 0x8664


def run_case(runner, case, area):
    case_dir = os.path.join(os.fsencode(area), case.name.encode())
    os.makedirs(case_dir)
    lay_out(case, case_dir)
    runner.prepare(case, case_dir)
    if case.list is not None:
        root, sep = runner.root_text(case, case_dir)
        text = case.list.replace(b"{root}", root.encode(case.encoding)).replace(b"{sep}", sep.encode())
        with open(os.path.join(case_dir, b"prog", b"XQTUP.TMP"), "wb") as f:
            f.write(text)
    before = snapshot(case_dir)
    code = runner.run(case, case_dir)
    after = snapshot(case_dir)
    want, gone = expected_after(case, before)
    problems = []
    if code != 0:
        problems.append("exit code %d" % code)
    for rel in sorted(set(want) | set(after)):
        if want.get(rel) != after.get(rel):
            what = "changed" if rel in after and rel in want else ("gone" if rel in want else "appeared")
            shown = os.fsdecode(rel)
            problems.append("%s: %s" % (what, shown if len(shown) < 120 else shown[:60] + "..." + shown[-50:]))
    for rel in gone:
        if rel not in before:
            problems.append("test error: %s was never laid out" % os.fsdecode(rel))
    force_remove(case_dir)
    return problems


def main(cases, argv):
    import argparse
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", choices=["native", "wine"], required=True)
    parser.add_argument("--exe", required=True)
    parser.add_argument("--launcher")
    parser.add_argument("--static-exe", help="native: the self-contained build for sandboxed cases")
    parser.add_argument("--prefix")
    parser.add_argument("-k", dest="only", help="run only cases whose name contains this")
    args = parser.parse_args(argv)
    area = tempfile.mkdtemp(prefix="xqti-scenarios-")
    runner = None
    try:
        if args.build == "native":
            runner = NativeRunner(os.path.abspath(args.exe), os.path.abspath(args.static_exe))
        else:
            runner = WineRunner(os.path.abspath(args.exe), os.path.abspath(args.launcher), area,
                                os.path.abspath(args.prefix))
        passed = failed = 0
        for case in cases:
            if case.only not in (None, runner.name) or (args.only and args.only not in case.name):
                continue
            problems = run_case(runner, case, area)
            if problems:
                failed += 1
                print("FAIL %s [%s]" % (case.name, runner.name))
                for p in problems[:20]:
                    print("     " + p)
            else:
                passed += 1
                print("ok   %s [%s]" % (case.name, runner.name))
        print("%d passed, %d failed" % (passed, failed))
        return 1 if failed or passed == 0 else 0
    finally:
        if isinstance(runner, WineRunner):
            runner.stop()
        force_remove(area)
