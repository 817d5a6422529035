#!/usr/bin/env python3
"""The man pages cannot drift from the programs' --help.

  man_pages_test.py PROGRAM=PAGE ...

For each pair: every option --help lists (name and argument word) must be in the
page's OPTIONS section and nothing else, and the exit codes --help lists must be
the page's EXIT STATUS codes; the page must render without a warning (groff, and
mandoc's lint). Last, the check itself must see a page that lost an option.
A missing tool is a failure.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

failures = []


def fail(what):
    failures.append(what)
    print("man-pages: FAIL: " + what, file=sys.stderr)


# An option line of --help: indented "--name", then its argument word when one
# follows after a single space: upper case (PATH, N, MS) or a choice (on|off).
HELP_OPTION = re.compile(r"^\s+(--[a-z][a-z0-9-]*)(?: (\S+))?")
ARGUMENT = re.compile(r"^([A-Z][A-Z0-9]*|[a-z0-9]+(\|[a-z0-9]+)+)$")


def help_text(program):
    env = dict(os.environ, LANG="C", LC_ALL="C")
    env.pop("LANGUAGE", None)
    run = subprocess.run([program, "--help"], capture_output=True, env=env, timeout=10)
    if run.returncode != 0:
        fail("%s --help exited with %d" % (program, run.returncode))
    return run.stdout.decode("utf-8", "replace")


def help_options(text):
    options = {}
    for line in text.splitlines():
        m = HELP_OPTION.match(line)
        if not m:
            continue
        arg = m.group(2) if m.group(2) and ARGUMENT.match(m.group(2)) else None
        options[m.group(1)] = arg
    return options


def help_exit_codes(text):
    m = re.search(r"Exit (?:codes|status)\b(.*)", text, re.S)
    if not m:
        return None
    # "0 upgraded, 1 no firmware loaded, ...": a number that starts an item.
    return set(int(n) for n in re.findall(r"(?:^|[:,;]|\bstatus)\s*(\d+)\b", m.group(1)))


def plain(roff):
    """A roff macro line's words without fonts, quotes and escaped hyphens."""
    text = re.sub(r"^\.\S+\s*", "", roff)
    text = re.sub(r"\\f[BIRP]", "", text).replace("\\-", "-").replace('"', "")
    return text.split()


def sections(page_text):
    found, name = {}, None
    for line in page_text.splitlines():
        if line.startswith(".SH "):
            name = line[4:].strip().strip('"')
            found[name] = []
        elif name:
            found[name].append(line)
    return found


def tags(lines):
    """The tag line of every .TP in lines, as plain words."""
    return [plain(lines[i + 1]) for i, line in enumerate(lines[:-1]) if line.strip() == ".TP"]


def page_options(page_text):
    options = {}
    for words in tags(sections(page_text).get("OPTIONS", [])):
        if words and words[0].startswith("--"):
            options[words[0]] = words[1] if len(words) > 1 else None
    return options


def page_exit_codes(page_text):
    return set(int(w[0]) for w in tags(sections(page_text).get("EXIT STATUS", [])) if w and w[0].isdigit())


def compare(program, page, help, page_text):
    """The differences between one program's --help and its page, as messages."""
    name = os.path.basename(program)
    problems = []
    wanted, documented = help_options(help), page_options(page_text)
    if not wanted:
        problems.append("%s --help lists no options" % name)
    for opt in sorted(set(wanted) - set(documented)):
        problems.append("%s: %s is in --help but not in the OPTIONS of %s" % (name, opt, page))
    for opt in sorted(set(documented) - set(wanted)):
        problems.append("%s: %s is in %s but not in --help" % (name, opt, page))
    for opt in sorted(set(wanted) & set(documented)):
        if wanted[opt] != documented[opt]:
            problems.append("%s: %s takes %s in --help but %s in %s" % (name, opt, wanted[opt], documented[opt], page))
    codes = page_exit_codes(page_text)
    if not codes:
        problems.append("%s: %s has no EXIT STATUS codes" % (name, page))
    listed = help_exit_codes(help)
    if listed is not None and listed != codes:
        problems.append("%s: exit codes %s in --help, %s in %s" % (name, sorted(listed), sorted(codes), page))
    return problems


def check_usage_exit(program, page_text):
    # What a mistyped option really returns must be one of the documented codes.
    run = subprocess.run([program, "--no-such-option"], capture_output=True, timeout=10)
    if run.returncode not in page_exit_codes(page_text):
        fail("%s --no-such-option exits with %d, not listed in its page" % (program, run.returncode))


def check_renders(page):
    for tool, args in (("groff", ["-man", "-ww", "-z", page]), ("mandoc", ["-T", "lint", "-W", "warning", page])):
        if not shutil.which(tool):
            fail("%s not found: run 'make setup'" % tool)
            continue
        run = subprocess.run([tool] + args, capture_output=True, timeout=30)
        said = (run.stdout + run.stderr).decode("utf-8", "replace").strip()
        if run.returncode != 0 or said:
            fail("%s %s: exit %d: %s" % (tool, page, run.returncode, said))


def check_sees_missing_option(program, page, help, page_text):
    # The page less its last option entry must be caught.
    last = page_text.rfind(".TP\n.B \\-\\-help")
    if last < 0:
        fail("%s: no .TP entry for --help to take out" % page)
        return
    cut = page_text[:last] + page_text[last + len(".TP\n.B \\-\\-help"):]
    if not any("--help is in --help but not" in p for p in compare(program, page, help, cut)):
        fail("a page without --help went unnoticed")


def main(pairs):
    if not pairs:
        print("usage: man_pages_test.py PROGRAM=PAGE ...", file=sys.stderr)
        return 2
    first = None
    for pair in pairs:
        program, _, page = pair.partition("=")
        with open(page, encoding="utf-8") as f:
            page_text = f.read()
        help = help_text(program)
        for problem in compare(program, page, help, page_text):
            fail(problem)
        check_usage_exit(program, page_text)
        check_renders(page)
        first = first or (program, page, help, page_text)
        print("man-pages: %s: %d options, exit codes %s" % (
            os.path.basename(page), len(page_options(page_text)), sorted(page_exit_codes(page_text))))
    check_sees_missing_option(*first)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
