#!/usr/bin/env python3
"""Fails when the folders stop being one-way layers.

Each folder of the plug-in is one layer and includes only the folders below it
(docs/architecture.md draws them). Three things are checked: every include
against ALLOWED; each folder's static library in CMakeLists.txt (kem_layer)
links exactly the folders ALLOWED names; no source file of the product
is longer than MAX_LINES, so no file grows back into several jobs; and no
folder but platform/ (and devhost/, tests/, bench/, which are not the plug-in)
includes a system header for sockets, files, processes or loading, so every
operating-system call stays behind platform/. KNOWN lists the places that still break a
rule today, each with what removes it; an exception that no longer occurs must
be deleted here, so the list only ever shrinks.
"""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent

# folder -> folders it may include (besides itself)
ALLOWED = {
    "hostsdk": set(),
    "platform": set(),
    "plugin": {"hostsdk"},
    "host": {"hostsdk", "platform"},
    "timeline": {"host", "hostsdk", "platform"},
    "events": {"host", "timeline", "hostsdk", "platform"},
    "server": {"platform"},
    "commands": {"host", "timeline", "events", "hostsdk", "platform"},
    "surface": {"plugin", "host", "timeline", "events", "server", "commands", "hostsdk", "platform"},
    "module": {"surface", "server", "plugin", "host", "hostsdk", "platform"},
    "devhost": {"hostsdk", "platform"},
}

# (file, included folder): what still breaks a rule, and what will end it.
# Nothing today; an entry added here must say what will remove it.
KNOWN = {}

# System headers that only platform/ may include in the plug-in's folders.
SYSTEM_HEADER = re.compile(
    r"^\s*#\s*include\s+<((?:sys|netinet|arpa|net|mach|mach-o|CoreGraphics|CommonCrypto|CoreFoundation)/[^>]+"
    r"|(?:unistd|poll|fcntl|dlfcn|dirent|signal|spawn|netdb|pthread|termios|windows|winsock2|ws2tcpip|winsock"
    r"|mswsock|bcrypt|io|process|direct|ifaddrs)\.h|csignal)>",
    re.M | re.I,
)
MAY_CALL_SYSTEM = {"platform", "devhost"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/', re.M)
LAYER = re.compile(r"kem_layer\((\w+)\s+SOURCES[^)]*?(?:DEPENDS([^)]*))?\)", re.S)
MAX_LINES = 450
# Folders without a library of their own: headers only, or not linked into the plug-in.
NO_LIBRARY = {"hostsdk", "devhost"}


def link_problems():
    cmake = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    linked = {name: set(deps.split()) for name, deps in LAYER.findall(cmake)}
    problems = []
    for folder, allowed in ALLOWED.items():
        if folder in NO_LIBRARY:
            continue
        if folder not in linked:
            problems.append(f"{folder}/ has no kem_layer library in CMakeLists.txt")
        elif linked[folder] != allowed:
            extra = sorted(linked[folder] - allowed)
            missing = sorted(allowed - linked[folder])
            problems.append(f"kem_{folder} links {extra} beyond and misses {missing} of what {folder}/ may use")
    return problems


def length_problems():
    problems = []
    for folder in ALLOWED:
        for path in sorted((ROOT / folder).glob("*")):
            if path.suffix in (".h", ".cpp", ".mm"):
                lines = len(path.read_text(encoding="utf-8").splitlines())
                if lines > MAX_LINES:
                    problems.append(f"{folder}/{path.name} has {lines} lines (at most {MAX_LINES})")
    return problems


def system_header_problems():
    problems = []
    for folder in ALLOWED:
        if folder in MAY_CALL_SYSTEM:
            continue
        for path in sorted((ROOT / folder).glob("*")):
            if path.suffix not in (".h", ".cpp", ".mm"):
                continue
            for header in SYSTEM_HEADER.findall(path.read_text(encoding="utf-8")):
                problems.append(f"{folder}/{path.name} includes <{header}>: operating-system calls belong in platform/")
    return problems


def main():
    problems = []
    seen = set()
    for folder, allowed in ALLOWED.items():
        for path in sorted((ROOT / folder).glob("*")):
            if path.suffix not in (".h", ".cpp", ".mm"):
                continue
            name = f"{folder}/{path.name}"
            for included in sorted(set(INCLUDE.findall(path.read_text(encoding="utf-8")))):
                if included == folder or included in allowed:
                    continue
                if (name, included) in KNOWN:
                    seen.add((name, included))
                    continue
                problems.append(f"{name} includes {included}/, which {folder}/ may not use")
    problems += link_problems() + length_problems() + system_header_problems()
    for stale in sorted(set(KNOWN) - seen):
        problems.append(f"{stale[0]} no longer includes {stale[1]}/: delete its line from KNOWN")
    for p in problems:
        print(f"layers: {p}", file=sys.stderr)
    print(f"layers: {len(ALLOWED)} folders checked, {len(seen)} known exceptions, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
