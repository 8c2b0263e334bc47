"""Scenarios of the command-line gate: a refused run touches nothing, an accepted one does its job."""

from harness import Case

X = b"x"
TREE = {"prog/Data/a.dat": X, "prog/oxqt.exe": X, "prog/GameGuard/npgg.erl": X}
LIST = b"Data\\a.dat\n"
JOB = ["prog/Data/a.dat", "prog/Data/", "prog/oxqt.exe", "prog/GameGuard/npgg.erl", "prog/GameGuard/"]


def refused(name, tail):
    return Case("gate-refused-" + name, TREE, list=LIST, tail=tail, accepted=False)


def accepted(name, tail):
    return Case("gate-accepted-" + name, TREE, list=LIST, tail=tail, gone=JOB)


CASES = [
    accepted("exact", "Uninstall,3c5,9,4e,2d1f7"),
    accepted("prefixes-case-zeros-more-fields", "Uninstall,0x3C5,09,0X4e,2D1F7,whatever,else"),
    accepted("doubled-and-leading-commas", ",,Uninstall,,3c5,,,9,4e,2d1f7,"),
    accepted("digits-then-other-text", "Uninstall,3c5 and more,9,4e,2d1f7"),
    refused("no-tail", ""),
    refused("lower-case-keyword", "uninstall,3c5,9,4e,2d1f7"),
    refused("upper-case-keyword", "UNINSTALL,3c5,9,4e,2d1f7"),
    refused("blank-after-keyword", "Uninstall ,3c5,9,4e,2d1f7"),
    refused("wrong-second-field", "Uninstall,3c6,9,4e,2d1f7"),
    refused("wrong-last-field", "Uninstall,3c5,9,4e,2d1f8"),
    refused("keyword-alone", "Uninstall"),
    refused("four-fields", "Uninstall,3c5,9,4e"),
    refused("only-commas", ",,,,"),
    refused("value-over-32-bits", "Uninstall,1000003c5,9,4e,2d1f7"),
    refused("quoted-tail", "\"Uninstall,3c5,9,4e,2d1f7\""),
]
