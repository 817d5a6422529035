#!/usr/bin/env python3
"""Reads the application manifest (RT_MANIFEST, id 1) back out of a built
Windows program by walking its PE resource directory, and checks what the
program must declare: it runs as the invoking user without UI access, and it
names every Windows version from Vista to 10/11 as supported.

  pe_manifest_check.py PROGRAM.exe [--common-controls 6|none]

--common-controls says whether the manifest must ask for the version 6 common
controls or must not. Exit 0 when all holds; every problem is printed.
"""
import struct
import sys
import xml.etree.ElementTree as ET

RT_MANIFEST = 24
MANIFEST_ID = 1
ASM_V1 = "urn:schemas-microsoft-com:asm.v1"
ASM_V3 = "urn:schemas-microsoft-com:asm.v3"
COMPAT = "urn:schemas-microsoft-com:compatibility.v1"
SUPPORTED_OS = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}": "Vista",
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "7",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "8",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "8.1",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}": "10/11",
}


class BadFile(Exception):
    pass


def unpack(fmt, data, offset):
    size = struct.calcsize(fmt)
    if offset < 0 or offset + size > len(data):
        raise BadFile("truncated at offset %d" % offset)
    return struct.unpack_from(fmt, data, offset)


def sections(data):
    """The file's sections as (rva, virtual size, file offset, raw size), and the resource directory's RVA."""
    if data[:2] != b"MZ":
        raise BadFile("no MZ header")
    (pe,) = unpack("<I", data, 0x3C)
    if data[pe:pe + 4] != b"PE\0\0":
        raise BadFile("no PE signature")
    _, count, _, _, _, optional_size, _ = unpack("<HHIIIHH", data, pe + 4)
    optional = pe + 24
    (magic,) = unpack("<H", data, optional)
    directories = optional + {0x10B: 96, 0x20B: 112}.get(magic, -1)
    if directories < optional:
        raise BadFile("unknown optional header 0x%x" % magic)
    resource_rva, _ = unpack("<II", data, directories + 2 * 8)
    table = optional + optional_size
    found = []
    for i in range(count):
        vsize, rva, raw_size, raw_offset = unpack("<IIII", data, table + 40 * i + 8)
        found.append((rva, vsize, raw_offset, raw_size))
    return found, resource_rva


def file_offset(table, rva):
    for start, vsize, raw, raw_size in table:
        if start <= rva < start + max(vsize, raw_size):
            return raw + rva - start
    raise BadFile("RVA 0x%x is in no section" % rva)


def entries(data, at):
    """The (id or None for a named entry, offset, is-directory) entries of the directory at file offset at."""
    named, ids = unpack("<HH", data, at + 12)
    out = []
    for i in range(named + ids):
        name, target = unpack("<II", data, at + 16 + 8 * i)
        out.append((None if name & 0x80000000 else name, target & 0x7FFFFFFF, bool(target & 0x80000000)))
    return out


def manifests(path):
    """Every RT_MANIFEST resource as (id, language, bytes)."""
    data = open(path, "rb").read()
    table, resource_rva = sections(data)
    if resource_rva == 0:
        return []
    root = file_offset(table, resource_rva)
    found = []
    for type_id, types, is_dir in entries(data, root):
        if type_id != RT_MANIFEST or not is_dir:
            continue
        for name_id, names, name_is_dir in entries(data, root + types):
            if not name_is_dir:
                raise BadFile("manifest %s has no language level" % name_id)
            for language, leaf, leaf_is_dir in entries(data, root + names):
                if leaf_is_dir:
                    raise BadFile("manifest %s: a directory where its data should be" % name_id)
                rva, size, _, _ = unpack("<IIII", data, root + leaf)
                at = file_offset(table, rva)
                if at + size > len(data):
                    raise BadFile("manifest %s runs past the end of the file" % name_id)
                found.append((name_id, language, data[at:at + size]))
    return found


def problems_of(text, common_controls):
    problems = []
    try:
        root = ET.fromstring(text)
    except ET.ParseError as e:
        return ["the manifest is not well-formed XML: %s" % e]
    if root.tag != "{%s}assembly" % ASM_V1:
        problems.append("the root element is %s, not an asm.v1 assembly" % root.tag)
    levels = root.findall(".//{%s}requestedExecutionLevel" % ASM_V3)
    if len(levels) != 1:
        problems.append("%d requestedExecutionLevel elements, expected one" % len(levels))
    else:
        level, ui_access = levels[0].get("level"), levels[0].get("uiAccess")
        if level != "asInvoker":
            problems.append("execution level %r, expected 'asInvoker'" % level)
        if ui_access != "false":
            problems.append("uiAccess %r, expected 'false'" % ui_access)
    declared = [e.get("Id", "").lower() for e in root.findall(".//{%s}application/{%s}supportedOS" % (COMPAT, COMPAT))]
    for guid, name in SUPPORTED_OS.items():
        if guid not in declared:
            problems.append("Windows %s (%s) is not declared supported" % (name, guid))
    for guid in declared:
        if guid not in SUPPORTED_OS:
            problems.append("an unknown supportedOS Id %s" % guid)
    if len(declared) != len(set(declared)):
        problems.append("a supportedOS Id is declared twice: %s" % declared)
    controls = [a for a in root.findall(".//{%s}dependentAssembly/{%s}assemblyIdentity" % (ASM_V1, ASM_V1))
                if a.get("name") == "Microsoft.Windows.Common-Controls"]
    if common_controls == "6" and not any(a.get("version", "").startswith("6.") for a in controls):
        problems.append("no dependency on the version 6 common controls")
    if common_controls == "none" and controls:
        problems.append("a dependency on the common controls %s" % controls[0].get("version"))
    return problems


def main(argv):
    if len(argv) not in (2, 4) or (len(argv) == 4 and (argv[2] != "--common-controls" or argv[3] not in ("6", "none"))):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    path = argv[1]
    common_controls = argv[3] if len(argv) == 4 else None
    try:
        found = manifests(path)
    except (OSError, BadFile) as e:
        print("%s: cannot read its resources: %s" % (path, e), file=sys.stderr)
        return 1
    ids = [name for name, _, _ in found]
    if ids != [MANIFEST_ID]:
        print("%s: manifest resources %s, expected exactly one with id %d" % (path, ids, MANIFEST_ID), file=sys.stderr)
        return 1
    problems = problems_of(found[0][2], common_controls)
    for p in problems:
        print("%s: %s" % (path, p), file=sys.stderr)
    if problems:
        return 1
    print("%s: manifest id 1, language 0x%04x, %d bytes: asInvoker, uiAccess false, supported %s"
          % (path, found[0][1], len(found[0][2]), ", ".join(SUPPORTED_OS.values())))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
