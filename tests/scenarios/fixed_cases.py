"""Scenarios of the fixed removal list and the "GameGuard" directory."""

from harness import Case, Link

X = b"x"

PROGRAM_FILES = ["oxqt.exe", "wxqt.exe", "oxqd.dll", "oxqt.s", "oxqd.s"]
GAMEGUARD_FILES = [
    "category.tsf", "daily.tsf", "GameGuard.ver", "GameMon.des", "Tessaroval.ini", "npgg.erl",
    "npgg9x.des", "npggNT.des", "npgl.erl", "npgm.erl", "npgmup.des", "npgmup.des.new", "npgmup.erl",
    "npsc.des", "npsc.erl", "pppp.txt", "Splash.jpg", "teas.dll", "teas.tls", "teasbase.tsf",
    "teasname.tsf", "TeCtrl.dll", "TyAv32.dll", "tyavd.tsf", "tyavn.tsf", "ggscan.des",
]


def files(folder, names):
    return {folder + name: X for name in names}


CASES = [
    Case("fixed-none-present",
         {"prog/game.dat": X, "prog/Data/x.dat": X}),
    Case("fixed-program-files-go",
         dict(files("prog/", PROGRAM_FILES), **{"prog/oxqt.exe.bak": X}),
         gone=["prog/" + n for n in PROGRAM_FILES]),
    Case("fixed-gameguard-keeps-a-user-log",
         dict(files("prog/GameGuard/", GAMEGUARD_FILES), **{"prog/GameGuard/user.log": X}),
         gone=["prog/GameGuard/" + n for n in GAMEGUARD_FILES]),
    Case("fixed-gameguard-with-only-listed-files-goes",
         files("prog/GameGuard/", GAMEGUARD_FILES),
         gone=["prog/GameGuard/" + n for n in GAMEGUARD_FILES] + ["prog/GameGuard/"]),
    Case("fixed-gameguard-recorded-by-the-list-goes-at-the-end",
         dict(files("prog/GameGuard/", GAMEGUARD_FILES[:3]), **{"prog/GameGuard/extra.bin": X}),
         list=b"GameGuard\\extra.bin\n",
         gone=["prog/GameGuard/" + n for n in GAMEGUARD_FILES[:3]]
              + ["prog/GameGuard/extra.bin", "prog/GameGuard/"]),
    Case("fixed-read-only-files-deleted",
         files("prog/", ["oxqt.exe", "oxqd.dll"]),
         readonly=["prog/oxqt.exe", "prog/oxqd.dll"],
         gone=["prog/oxqt.exe", "prog/oxqd.dll"]),
    Case("fixed-empty-gameguard-goes-without-a-list",
         {"prog/GameGuard/": None},
         gone=["prog/GameGuard/"]),
    Case("fixed-gameguard-symlink-and-its-target-stay",
         dict(files("outside/gg/", GAMEGUARD_FILES[:4]), **{"prog/GameGuard": Link("../outside/gg")})),
    Case("fixed-gameguard-symlink-to-empty-directory-stays",
         {"outside/empty/": None, "prog/GameGuard": Link("../outside/empty")}),
    Case("fixed-program-file-as-symlink-stays",
         {"outside/s.exe": X, "prog/oxqt.exe": Link("../outside/s.exe"), "prog/wxqt.exe": X},
         gone=["prog/wxqt.exe"]),
]
