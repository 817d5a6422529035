#!/usr/bin/env python3
"""Fails when a product file includes across an edge the layer map does not allow.

include_layers.py ROOT: every #include "..." in the product folders under ROOT
(tests/, benchmarks/ and fuzz/ may include anything). An include is taken
relative to the including file when that file exists, else relative to ROOT.
"""
import os
import re
import sys

# Folder -> the folders below it that it may include (itself always), from the
# one map the build's per-layer include directories are made of.
def read_layer_map(path):
    allowed = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            layer, _, below = line.partition(":")
            allowed[layer.strip()] = set(below.split())
    return allowed


ALLOWED = read_layer_map(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "cmake", "layers.txt"))
# The in-process far end over the device model: serial/loopback may reach
# simulator/model, and only tests may include such a file.
TEST_ONLY_BRIDGE = ("serial/loopback/", "simulator/model/")
# The controls gallery is a developer's tool, never shipped: it drives the
# controls through the test host and its painter.
TEST_HOST_USERS = ("controls/gallery/",)
SOURCES = (".h", ".hpp", ".cpp", ".cc", ".c")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def resolve(root, including, name):
    beside = os.path.normpath(os.path.join(os.path.dirname(including), name))
    if os.path.exists(os.path.join(root, beside)):
        return beside
    return os.path.normpath(name)


def product_files(root):
    for layer in sorted(ALLOWED):
        for folder, _, files in os.walk(os.path.join(root, layer)):
            for f in sorted(files):
                if f.endswith(SOURCES):
                    yield os.path.relpath(os.path.join(folder, f), root)


def includes(root, path):
    with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
        return [resolve(root, path, n) for n in INCLUDE.findall(f.read())]


def violations(root):
    bridges = set()
    found = []
    files = list(product_files(root))
    for path in files:
        for target in includes(root, path):
            if path.startswith(TEST_ONLY_BRIDGE[0]) and target.startswith(TEST_ONLY_BRIDGE[1]):
                bridges.add(path)
    for path in files:
        layer = path.split(os.sep)[0]
        for target in includes(root, path):
            top = target.split(os.sep)[0]
            if target in bridges and not path.startswith(TEST_ONLY_BRIDGE[0]):
                found.append(f"{path}: includes {target}, which is for tests only")
            elif top == layer or (path.startswith(TEST_ONLY_BRIDGE[0]) and target.startswith(TEST_ONLY_BRIDGE[1])):
                continue
            elif path.startswith(TEST_HOST_USERS) and target.startswith("support/test_host"):
                continue
            elif top not in ALLOWED:
                found.append(f"{path}: includes {target}, outside the product's layers")
            elif top not in ALLOWED[layer]:
                found.append(f"{path}: {layer}/ may not include {top}/ ({target})")
    return files, found


def main():
    if len(sys.argv) != 2:
        print("usage: include_layers.py ROOT", file=sys.stderr)
        return 64
    files, found = violations(sys.argv[1])
    if not files:
        print("no product files found", file=sys.stderr)
        return 1
    for line in found:
        print(line)
    print(f"{len(files)} files, {len(found)} includes across a forbidden edge")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
