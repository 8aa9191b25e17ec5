#!/usr/bin/env python3
"""Every command and path that README.md and docs/*.md give a reader must work in this
build: the programs they run are built (where the text says), the scripts and files they
name exist, the ctest selections they show select at least one test, the build targets
they name exist, the packages they install carry the name the build gives them, and each
`PROGRAM --help` they show answers. The boot-loader steps of README.md and of the man page
(packaging/firmware-updater.1) must be those that `firmware-updater --help` lists, word for
word and in order. Fails naming each one that does not.

    check_docs.py SOURCE_FOLDER BUILD_FOLDER PROGRAMS_FILE TARGETS_FILE PACKAGE_VERSION

PROGRAMS_FILE: one "name<TAB>built file" line per program of the project; TARGETS_FILE:
one build target per line. The texts always say `build/`, the build folder's usual name.
"""

import re
import shlex
import shutil
import subprocess
import sys
from pathlib import Path

# Commands that run another command after their own options; the options that take a value.
WRAPPERS = {"sudo": set(), "xvfb-run": {"-s", "-n", "-e", "-f", "-p", "-w"}, "flock": set(),
            "timeout": {"-s", "-k"}, "env": set()}
# Wrappers a reader may not have on this machine but surely has on a desktop (root needs none).
UNCHECKED_WRAPPERS = {"sudo"}
TOOLS_CHECKED_INLINE = {"ctest", "cmake", "cpack", "xvfb-run"}
SEPARATORS = {";", "&", "&&", "||", "|", "(", ")"}
# Fenced blocks whose commands are checked: unmarked or marked as a POSIX shell's.
SHELL_BLOCKS = {"", "sh", "shell", "bash", "console"}


class Checker:
    def __init__(self, source, build, programs, targets, package_version):
        self.source = source
        self.build = build
        self.programs = programs
        self.targets = targets
        self.package_version = package_version
        self.architecture = subprocess.run(["dpkg", "--print-architecture"], capture_output=True,
                                           text=True).stdout.strip()
        self.problems = []
        self.checked = 0
        self.where = ""

    def problem(self, text):
        self.problems.append(f"{self.where}: {text}")

    # ------------------------------------------------------------------------------
    def project_path(self, word):
        """The file a relative path of the texts stands for, or None when the path is
        not the project's (absolute, a URL, a placeholder or the reader's own file)."""
        if word.startswith(("/", "~", "-", "$")) or "://" in word or "/" not in word:
            return None
        if any(c in word for c in "<>[]*{}") or word.endswith("..."):
            return None
        parts = Path(word).parts
        if parts[0] == ".":
            parts = parts[1:]
        if not parts:
            return None
        if parts[0] == "build":
            return self.build.joinpath(*parts[1:])
        if (self.source / parts[0]).exists():
            return self.source.joinpath(*parts)
        return None

    def check_path(self, word):
        path = self.project_path(word)
        if path is None:
            return
        self.checked += 1
        if not path.exists():
            self.problem(f"{word} does not exist")

    def check_package_name(self, word):
        name = Path(word).name
        match = re.fullmatch(r"(firmware-updater(?:-pedal-sim)?)_.*\.deb", name)
        if match is None:
            return
        self.checked += 1
        # One package per Debian release, its version ending in "~debNN".
        expected = f"{match.group(1)}_{self.package_version}~debNN_{self.architecture}.deb"
        if re.fullmatch(re.escape(expected).replace("NN", "(12|13)"), name) is None:
            self.problem(f"{word}: the build makes {expected}")

    # ------------------------------------------------------------------------------
    def program_file(self, word):
        """The built file of one of the project's programs, named by path or by name."""
        path = self.project_path(word)
        if path is not None:
            return path
        return self.programs.get(word)

    def check_program(self, word):
        self.checked += 1
        built = self.program_file(word)
        if built is not None:
            if not built.is_file() or not built.stat().st_mode & 0o111:
                self.problem(f"{word} is not a program of this build ({built} is missing)")
            return built
        if "/" not in word and (shutil.which(word) or is_shell_builtin(word)):
            return None
        self.problem(f"{word}: no such program")
        return None

    def check_help(self, program, word):
        self.checked += 1
        try:
            run = subprocess.run([str(program), "--help"], capture_output=True, text=True, timeout=30)
        except (OSError, subprocess.TimeoutExpired) as error:
            self.problem(f"{word} --help does not answer: {error}")
            return
        if run.returncode != 0 or not run.stdout.strip():
            self.problem(f"{word} --help exits {run.returncode} with {len(run.stdout)} characters of text")

    def check_ctest_selection(self, arguments):
        selection = []
        for option, value in zip(arguments, arguments[1:]):
            if option in ("-R", "-E", "-L", "-LE"):
                selection += [option, value]
        if not selection:
            return
        self.checked += 1
        run = subprocess.run(["ctest", "--test-dir", str(self.build), "-N", *selection],
                             capture_output=True, text=True)
        found = re.search(r"Total Tests: (\d+)", run.stdout)
        if found is None or int(found.group(1)) == 0:
            self.problem(f"ctest {' '.join(selection)} selects no test")

    def check_build_targets(self, arguments):
        if "--target" not in arguments:
            return
        for target in arguments[arguments.index("--target") + 1:]:
            if target.startswith("-"):
                break
            self.checked += 1
            if target not in self.targets:
                self.problem(f"no build target {target}")

    # ------------------------------------------------------------------------------
    def check_command(self, words, inline):
        while words and re.fullmatch(r"[A-Za-z_][A-Za-z0-9_]*=.*", words[0]):
            words = words[1:]
        while words and words[0] in WRAPPERS:
            wrapper, words = words[0], words[1:]
            if wrapper not in UNCHECKED_WRAPPERS:
                self.check_program(wrapper)
            while words and words[0].startswith("-"):
                takes_value = words[0] in WRAPPERS[wrapper]
                words = words[2:] if takes_value else words[1:]
        if not words or is_placeholder(words[0]):
            return

        first = words[0]
        # In running text a lone path is just a path, and a bare word is just a word.
        if inline and (len(words) == 1 or (self.program_file(first) is None
                                           and first not in TOOLS_CHECKED_INLINE)):
            for word in words:
                self.check_path(word)
            return

        program = self.check_program(first)
        for word in words[1:]:
            self.check_path(word)
            self.check_package_name(word)
        if first == "ctest":
            self.check_ctest_selection(words[1:])
        if first == "cmake":
            self.check_build_targets(words[1:])
        if program is not None and words[1:] == ["--help"] and program.is_file():
            self.check_help(program, first)

    def check_line(self, line, inline=False):
        lexer = shlex.shlex(line, posix=True, punctuation_chars=";&|()")
        lexer.whitespace_split = True
        lexer.commenters = "" if inline else "#"
        try:
            tokens = list(lexer)
        except ValueError:
            if not inline:
                self.problem(f"cannot read the command {line!r}")
            return
        command = []
        for token in tokens + [";"]:
            if token in SEPARATORS:
                if command:
                    self.check_command(command, inline)
                command = []
            else:
                command.append(token)

    # ------------------------------------------------------------------------------
    def check_document(self, document):
        name = document.relative_to(self.source)
        lines = document.read_text(encoding="utf-8").splitlines()
        fenced = False
        foreign = False
        previous_blank = True
        in_indented = False
        pending = ""
        for number, line in enumerate(lines, 1):
            self.where = f"{name}:{number}"
            if line.lstrip().startswith("```"):
                fenced = not fenced
                # A block marked as another language (a Windows command line, a program's
                # output as text) is not a command for this machine.
                foreign = fenced and line.strip()[3:].strip() not in SHELL_BLOCKS
                continue
            indented = line.startswith("    ") and line.strip() and (previous_blank or in_indented)
            in_indented = bool(indented) or (in_indented and not line.strip())
            previous_blank = not line.strip()

            if foreign:
                continue
            if fenced or indented:
                text = line.strip()
                if text.endswith("\\"):
                    pending += text[:-1] + " "
                    continue
                self.check_line(pending + text)
                pending = ""
                continue

            for span in re.findall(r"`([^`]+)`", line):
                self.check_line(span, inline=True)
            for target in re.findall(r"\]\(([^)\s]+)\)", line):
                self.check_path(target.split("#")[0])


def numbered_steps(lines, item):
    """The numbered list that begins at the first line `item` matches (its number in group
    1, its text in group 2), up to the first line that neither continues nor ends it."""
    steps = []
    for line in lines:
        match = re.fullmatch(item, line)
        if match is not None and int(match.group(1)) == len(steps) + 1:
            steps.append(match.group(2).strip())
        elif steps:
            break
    return steps


def man_page_lines(text):
    """The man page's lines, each `.IP N. width` joined to the line of text after it."""
    lines = iter(text.splitlines())
    return [line.split()[1] + " " + next(lines, "") if line.startswith(".IP ") else line
            for line in lines]


def check_boot_loader_steps(checker, updater):
    """README.md and the man page give the steps to the boot loader as the updater's own
    --help does, which takes them from the help window's text."""
    checker.where = "boot-loader steps"
    checker.checked += 1
    if updater is None or not updater.is_file():
        checker.problem("no firmware-updater in this build to compare with")
        return
    run = subprocess.run([str(updater), "--help"], capture_output=True, text=True, timeout=30)
    help_lines = run.stdout.splitlines()
    start = next((i for i, line in enumerate(help_lines) if line.endswith("into its boot loader:")), None)
    expected = [] if start is None else numbered_steps(help_lines[start + 1:], r"\s+(\d+)\. (.*)")
    if not expected:
        checker.problem("firmware-updater --help lists no boot-loader steps")
        return

    readme = (checker.source / "README.md").read_text(encoding="utf-8").splitlines()
    heading = next((i for i, line in enumerate(readme) if line == "### Put the pedal into its boot loader"), None)
    texts = {
        "README.md": [] if heading is None else numbered_steps(readme[heading:], r"(\d+)\. (.*)"),
        "packaging/firmware-updater.1": numbered_steps(
            man_page_lines((checker.source / "packaging/firmware-updater.1").read_text(encoding="utf-8")),
            r"(\d+)\. (.*)"),
    }
    for name, steps in texts.items():
        if steps != expected:
            checker.problem(f"{name} gives the steps {steps}, firmware-updater --help {expected}")


def is_placeholder(word):
    return word.isupper() or word.startswith("[") or word == "..."


def is_shell_builtin(word):
    return subprocess.run(["bash", "-c", f"type -t {shlex.quote(word)}"], capture_output=True,
                          text=True).stdout.strip() in ("builtin", "keyword")


def read_programs(path):
    programs = {}
    for line in path.read_text().splitlines():
        if "\t" in line:
            name, built = line.split("\t", 1)
            programs[name] = Path(built)
    return programs


def main():
    source, build, programs_file, targets_file, package_version = sys.argv[1:6]
    checker = Checker(Path(source), Path(build), read_programs(Path(programs_file)),
                      set(Path(targets_file).read_text().split()), package_version)
    documents = [Path(source) / "README.md", *sorted((Path(source) / "docs").glob("*.md"))]
    for document in documents:
        checker.check_document(document)
    check_boot_loader_steps(checker, checker.programs.get("firmware-updater"))

    for problem in checker.problems:
        print(f"FAIL: {problem}")
    print(f"docs: {checker.checked} commands, paths and names checked in {len(documents)} texts, "
          f"{len(checker.problems)} wrong")
    return 1 if checker.problems else 0


if __name__ == "__main__":
    sys.exit(main())
