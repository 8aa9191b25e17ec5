#!/usr/bin/env python3
"""Verdicts of the ALSA VM scenarios, taken on the host from what guest-scenarios.sh left in
the results folder: exit statuses, pedal-sim's reports, the sequencer's port listings and
aseqdump's recordings of the updater's outgoing messages.

    check_scenarios.py RESULTS [IMAGE] [--harness-started-ns N] [--scenarios "1 2 3 4"]

Prints one line per scenario (PASS or FAIL, the seconds its runs took, what was seen), the
reasons of a failure below it, and the total; writes the same to RESULTS/summary.txt. Exits 0
only when every scenario asked for passed.
"""

import argparse
import re
import sys
import time
from pathlib import Path

HEADER = bytes.fromhex("00 6C 51 00 2E")
PROBE = bytes([0xF0]) + HEADER + bytes([0x00, 0xF7])
REVISION_QUERY = bytes([0xF0]) + HEADER + bytes([0x03, 0xF7])

BOOT_NAME = "Verrano2 Boot"
NORMAL_NAME = "Verrano2"
IMAGE_REVISION = "1222"
FACTORY_REVISION = "1187"
UPDATER_FAILED = 255  # the updater's exit code -1, as the shell sees it


# ==============================================================================
# Reading the results


def shipped_image():
    """The firmware image the project carries: the one .syx file in firmware/, which the
    build names after the product, version and revision it declares."""
    images = sorted((Path(__file__).resolve().parents[2] / "firmware").glob("*.syx"))
    if len(images) != 1:
        raise SystemExit(f"expected one firmware image in firmware/, found {[str(i) for i in images]}")
    return images[0]


def read_command_line(default_scenarios):
    """The checkers' command line: RESULTS [IMAGE] [--harness-started-ns N] [--scenarios "..."].
    Returns the results folder, the image's messages, the scenarios wanted and the start."""
    parser = argparse.ArgumentParser(description=sys.modules["__main__"].__doc__.splitlines()[0])
    parser.add_argument("results", type=Path)
    parser.add_argument("image", type=Path, nargs="?", default=None)
    parser.add_argument("--harness-started-ns", type=int, default=None)
    parser.add_argument("--scenarios", default=default_scenarios)
    args = parser.parse_args()
    image = split_sysex((args.image or shipped_image()).read_bytes())
    return args.results, image, args.scenarios.split(), args.harness_started_ns


def read_text(path):
    try:
        return path.read_text(errors="replace")
    except OSError:
        return None


def split_sysex(data):
    """The complete F0 ... F7 messages of a byte string, in order."""
    messages = []
    start = None
    for i, byte in enumerate(data):
        if byte == 0xF0:
            start = i
        elif byte == 0xF7 and start is not None:
            messages.append(bytes(data[start : i + 1]))
            start = None
    return messages


def parse_ports(text):
    """`aconnect -o` output -> {"client:port": port name}."""
    ports = {}
    client = None
    for line in (text or "").splitlines():
        m = re.match(r"client (\d+): ", line)
        if m:
            client = m.group(1)
            continue
        m = re.match(r"\s+(\d+) '(.*)'", line)
        if m and client is not None:
            ports[f"{client}:{m.group(1)}"] = m.group(2).rstrip()
    return ports


def address_named(ports, name):
    matches = [address for address, port_name in ports.items() if port_name == name]
    return matches[0] if len(matches) == 1 else None


def parse_report(text):
    report = {}
    for line in (text or "").splitlines():
        key, sep, value = line.partition("=")
        if sep:
            report[key.strip()] = value.strip()
    return report


class Delivery:
    """One message the updater sent, with the port the sequencer delivered it to."""

    def __init__(self, position, source, destinations, data):
        self.position = position
        self.source = source
        self.destinations = destinations
        self.data = data


class Recording:
    """aseqdump's output: the sequencer's announcements and the tapped messages, in the
    order the sequencer delivered them. Follows the subscriptions so that every message is
    attributed to the port(s) its sending port was connected to at that moment."""

    ANNOUNCE = "0:1"
    LINE = re.compile(r"^\s*(\d+:\d+)\s+(\S+(?: \S+)*?)\s{2,}(.*)$")

    def __init__(self, text, recorder):
        self.deliveries = []
        self.port_exits = {}  # address -> positions of its "Port exit" events
        self.port_starts = {}  # address -> positions of its "Port start" events
        self.unreadable = []
        subscribers = {}

        for position, line in enumerate((text or "").splitlines()):
            m = self.LINE.match(line)
            if not m:
                if line.strip() and not line.startswith(("Waiting for data", "Source ")):
                    self.unreadable.append(line)
                continue
            source, event, rest = m.groups()

            if event == "System exclusive":
                data = bytes(int(b, 16) for b in rest.split())
                targets = sorted(subscribers.get(source, set()) - {recorder})
                self.deliveries.append(Delivery(position, source, targets, data))
            elif source != self.ANNOUNCE:
                self.deliveries.append(Delivery(position, source, [], f"{event} {rest}".encode()))
            elif event in ("Port subscribed", "Port unsubscribed"):
                sender, _, dest = rest.partition(" -> ")
                targets = subscribers.setdefault(sender.strip(), set())
                if event == "Port subscribed":
                    targets.add(dest.strip())
                else:
                    targets.discard(dest.strip())
            elif event == "Port start":
                self.port_starts.setdefault(rest.strip(), []).append(position)
            elif event == "Port exit":
                address = rest.strip()
                self.port_exits.setdefault(address, []).append(position)
                subscribers.pop(address, None)
                for targets in subscribers.values():
                    targets.discard(address)


def describe(data):
    if len(data) > 12:
        return f"{data[:10].hex(' ').upper()} ... ({len(data)} bytes)"
    return data.hex(" ").upper()


# ==============================================================================
# Checks. Each returns (facts for the summary line, list of problems).


class Run:
    def __init__(self, results, name):
        self.folder = results / name
        self.name = name
        self.error = read_text(self.folder / "error")
        self.status = read_text(self.folder / "updater-status")
        self.report = parse_report(read_text(self.folder / "pedal-report.txt"))
        self.before = parse_ports(read_text(self.folder / "ports-before.txt"))
        self.after = parse_ports(read_text(self.folder / "ports-after.txt"))
        seconds = read_text(self.folder / "seconds")
        self.seconds = float(seconds) if seconds else 0.0

    def exit_code(self):
        return int(self.status) if self.status and self.status.strip().isdigit() else None

    def basic_problems(self, expected_exit):
        if not self.folder.is_dir():
            return [f"run '{self.name}' did not take place"]
        problems = []
        if self.error:
            problems.append(f"run '{self.name}' could not be carried out: {self.error.strip()}")
        code = self.exit_code()
        if code is None:
            problems.append("the updater did not run to an exit code")
        elif code == 124:
            problems.append("the updater did not end within its time limit")
        elif code != expected_exit:
            problems.append(f"the updater exited {code}, expected {expected_exit}")
        return problems

    def expect_online(self, problems, mode, revision, **more):
        """The pedal's report: online in `mode` ("boot" or "normal", under that mode's port
        name) at `revision`, and whatever `more` names."""
        name = NORMAL_NAME if mode == "normal" else BOOT_NAME
        self.expect_report(problems, state="online", mode=mode, name=name, revision=revision, **more)

    def expect_flashed(self, problems, queries="1"):
        """The pedal's report after a good update: back in normal operation at the image's
        revision, every block flashed once, restarted once and asked `queries` times."""
        self.expect_online(
            problems,
            "normal",
            IMAGE_REVISION,
            check="passed",
            blocks="490",
            duplicates="",
            missing="",
            malformed="0",
            restarts="1",
            queries=queries,
        )

    def expect_report(self, problems, **expected):
        if not self.report:
            problems.append("pedal-sim left no report")
            return
        for key, value in expected.items():
            key = key.replace("_", "-")
            if self.report.get(key) != value:
                problems.append(f"pedal-sim reports {key}={self.report.get(key)!r}, expected {value!r}")


def check_flash(run):
    problems = run.basic_problems(0)
    run.expect_flashed(problems)
    if BOOT_NAME not in run.before.values():
        problems.append(f'"{BOOT_NAME}" was not among the sequencer\'s ports before the update')
    # pedal-sim --exit-after-update leaves once the restarted pedal has been asked for its
    # revision, with 0 when its image checked out.
    ended_itself = (run.folder / "pedal-ended-itself").exists()
    pedal_status = (read_text(run.folder / "pedal-status") or "").strip()
    if not ended_itself or pedal_status != "0":
        problems.append(f"pedal-sim --exit-after-update did not end by itself with 0 (status {pedal_status!r})")
    facts = (
        f'exit {run.exit_code()}; pedal-sim came back as "{run.report.get("name")}" with revision '
        f'{run.report.get("revision")}, image check {run.report.get("check")}, '
        f'{run.report.get("blocks")} blocks in order {run.report.get("block-order")}, '
        f"then {'left by itself' if ended_itself else 'was stopped'} with status {pedal_status}"
    )
    return facts, problems


class Traffic:
    """The updater's messages of one recorded run, sorted by the device they reached."""

    def __init__(self, run, image_messages):
        self.problems = []
        recording_text = read_text(run.folder / "recording.txt")
        recorder = (read_text(run.folder / "recorder") or "").strip()
        if recording_text is None or not recorder:
            self.problems.append("no recording of the updater's messages")
        self.recording = Recording(recording_text, recorder)
        self.image = image_messages

        # The pedal's input port in its boot loader, and after its restart in normal operation.
        self.boot_port = address_named(run.before, BOOT_NAME)
        self.normal_port = address_named(run.after, NORMAL_NAME)
        if self.boot_port is None:
            self.problems.append(f'no single port "{BOOT_NAME}" listed before the update: {run.before}')
        if self.normal_port is None:
            self.problems.append(f'no single port "{NORMAL_NAME}" listed after the update: {run.after}')

        self.boot_gone = None  # position of the boot loader's port exit
        self.normal_up = None  # position of the restarted pedal's port start
        if self.boot_port is not None:
            exits = self.recording.port_exits.get(self.boot_port, [])
            self.boot_gone = exits[0] if exits else None
        if self.normal_port is not None and self.boot_gone is not None:
            # The sequencer hands a freed client number to the next client: the updater's own
            # client of a search made while the pedal was away may carry the pedal's old number
            # and start a port of the same address. The pedal's is the last start before the
            # first message that reached that address again.
            first_to_normal = next(
                (
                    d.position
                    for d in self.recording.deliveries
                    if d.destinations == [self.normal_port] and d.position > self.boot_gone
                ),
                None,
            )
            starts = [
                p
                for p in self.recording.port_starts.get(self.normal_port, [])
                if p > self.boot_gone and (first_to_normal is None or p < first_to_normal)
            ]
            self.normal_up = starts[-1] if starts else None

        self.to_boot = []
        self.to_normal = []
        self.to_others = []
        for d in self.recording.deliveries:
            if len(d.destinations) != 1:
                self.problems.append(
                    f"{describe(d.data)} from {d.source} reached {len(d.destinations)} ports {d.destinations}"
                )
                continue
            target = d.destinations[0]
            if target == self.boot_port and (self.boot_gone is None or d.position < self.boot_gone):
                self.to_boot.append(d)
            elif target == self.normal_port and self.normal_up is not None and d.position > self.normal_up:
                self.to_normal.append(d)
            else:
                self.to_others.append(d)

    def whole_messages(self):
        """Every event the tap saw must be exactly one SysEx message: nothing split or merged."""
        problems = []
        for d in self.recording.deliveries:
            if len(split_sysex(d.data)) != 1 or d.data[0] != 0xF0 or d.data[-1] != 0xF7:
                problems.append(f"not one whole SysEx message: {describe(d.data)} from {d.source}")
        problems += [f"unreadable recording line: {line}" for line in self.recording.unreadable[:5]]
        return problems

    def probes_to_others(self):
        problems = []
        for d in self.to_others:
            if d.data != PROBE:
                problems.append(f"{describe(d.data)} went to {d.destinations[0]}, which is not the pedal")
        return problems

    def boot_loader_traffic(self):
        """The pedal in its boot loader gets the probe, then the image, whole and in order."""
        problems = []
        got = [d.data for d in self.to_boot]
        if not got or got[0] != PROBE:
            problems.append(f"the first message to the boot loader is not the probe: {describe(got[0]) if got else 'none'}")
        packages = got[1:]
        if packages != self.image:
            problems.append(self.image_difference(packages))
        return problems

    def image_difference(self, packages):
        image = self.image
        seen = {}
        for i, p in enumerate(packages):
            seen.setdefault(p, []).append(i)
        twice = sum(1 for positions in seen.values() if len(positions) > 1)
        missing = sum(1 for p in image if p not in seen)
        foreign = sum(1 for p in packages if p not in set(image))
        first = next((i for i, (a, b) in enumerate(zip(packages, image)) if a != b), min(len(packages), len(image)))
        return (
            f"the boot loader got {len(packages)} packages, the image has {len(image)}: "
            f"{missing} missing, {twice} more than once, {foreign} not in the image, first difference at package {first}"
        )

    def restarted_traffic(self):
        """After its restart the pedal gets the probe and the revision query, nothing else."""
        got = [d.data for d in self.to_normal]
        if got != [PROBE, REVISION_QUERY]:
            shown = ", ".join(describe(g) for g in got) or "nothing"
            return [f"the restarted pedal got {shown}; expected the probe and the revision query"]
        return []


def check_wire(run, image_messages):
    problems = run.basic_problems(0)
    traffic = Traffic(run, image_messages)
    problems += traffic.problems
    problems += traffic.whole_messages()
    problems += traffic.probes_to_others()
    problems += traffic.boot_loader_traffic()
    problems += traffic.restarted_traffic()
    events = len(traffic.recording.deliveries)
    whole = sum(1 for d in traffic.recording.deliveries if split_sysex(d.data) == [d.data])
    packages = [d.data for d in traffic.to_boot[1:]]
    names = {PROBE: "probe", REVISION_QUERY: "revision query"}
    facts = (
        f"aseqdump saw {events} messages, {whole} of them one whole SysEx event each; "
        f'to {traffic.boot_port} ("{BOOT_NAME}") {len(traffic.to_boot)} messages: probe and {len(packages)} '
        f"packages {'equal to' if packages == image_messages else 'unlike'} the image; "
        f'to {traffic.normal_port} ("{NORMAL_NAME}"): '
        f"{' + '.join(names.get(d.data, 'other') for d in traffic.to_normal) or 'nothing'}; "
        f"{len(traffic.to_others)} messages to other ports"
    )
    return facts, problems


def check_no_pedal_and_normal(no_pedal, normal):
    problems = no_pedal.basic_problems(UPDATER_FAILED)
    if any(name in (BOOT_NAME, NORMAL_NAME) for name in no_pedal.before.values()):
        problems.append("a pedal port was listed in the run without pedal-sim")
    normal_problems = normal.basic_problems(UPDATER_FAILED)
    normal.expect_online(normal_problems, "normal", FACTORY_REVISION, restarts="0", check="not-run")
    facts = (
        f"without pedal-sim exit {no_pedal.exit_code()} after {no_pedal.seconds:.1f} s; "
        f'"{NORMAL_NAME}" in normal operation: exit {normal.exit_code()}, revision stays '
        f'{normal.report.get("revision")} ({normal.report.get("packages")} firmware messages ignored)'
    )
    return facts, problems + normal_problems


def check_restart(run, image_messages):
    problems = run.basic_problems(0)
    run.expect_report(problems, revision=IMAGE_REVISION, check="passed", restarts="1", mode="normal")
    traffic = Traffic(run, image_messages)
    problems += traffic.problems
    problems += traffic.boot_loader_traffic()
    problems += traffic.restarted_traffic()

    searched_meanwhile = 0
    if traffic.boot_gone is None:
        problems.append(f"the sequencer never announced the exit of the boot loader's port {traffic.boot_port}")
    elif traffic.normal_up is None:
        problems.append(f"the sequencer never announced the restarted pedal's port {traffic.normal_port}")
    else:
        searched_meanwhile = sum(
            1 for d in traffic.to_others if traffic.boot_gone < d.position < traffic.normal_up and d.data == PROBE
        )
        # The pedal stays away for 8 s, the updater searches every 2.5 s plus the search:
        # at least one whole search must have found the ports gone.
        if searched_meanwhile == 0:
            problems.append("the updater did not search the ports while the pedal was away")
    facts = (
        f"the boot loader's port {traffic.boot_port} went away, the updater probed {searched_meanwhile} "
        f"other ports meanwhile, found the pedal back at {traffic.normal_port} "
        f'("{NORMAL_NAME}") and read revision {run.report.get("revision")}; exit {run.exit_code()}'
    )
    return facts, problems


# ==============================================================================


def judge(results, wanted, scenarios, label, harness_started_ns):
    """Takes the verdict on each wanted scenario (its key names a title, the names of the
    runs it is made of and a check that takes those runs and gives facts and problems),
    prints one summary and writes it to RESULTS/summary.txt. Returns 0 when all passed."""
    lines = []
    passed = failed = 0
    for key in wanted:
        title, names, check = scenarios[key]
        runs = [Run(results, name) for name in names]
        try:
            facts, problems = check(*runs)
        except Exception as e:  # a broken result folder is a failed scenario, not a crash
            facts, problems = "", [f"the results could not be read: {e!r}"]
        seconds = sum(r.seconds for r in runs)
        verdict = "PASS" if not problems else "FAIL"
        passed += verdict == "PASS"
        failed += verdict == "FAIL"
        lines.append(f"{label} {key}: {verdict} in {seconds:5.1f} s  {title}")
        lines.append(f"    {facts}")
        lines += [f"    problem: {p}" for p in problems]
        if problems:
            lines += [f"    results: {r.folder}" for r in runs]

    x_seconds = read_text(results / "x-seconds")
    total = ""
    if harness_started_ns is not None:
        total = f" in {(time.time_ns() - harness_started_ns) / 1e9:.1f} s"
    lines.append(
        f"{label}s: {passed} of {len(wanted)} PASS, {failed} FAIL{total} "
        f"(the X server in the VM took {(x_seconds or '?').strip()} s to start)"
    )
    summary = "\n".join(lines) + "\n"
    sys.stdout.write(summary)
    (results / "summary.txt").write_text(summary)
    return 0 if failed == 0 and passed == len(wanted) else 1


def main():
    results, image_messages, wanted, harness_started_ns = read_command_line("1 2 3 4")

    # Each scenario: its title, the runs it is made of, and its check.
    scenarios = {
        "1": ("the updater flashes pedal-sim's boot loader", ["flash"], check_flash),
        "2": ("aseqdump checks the wire", ["wire"], lambda run: check_wire(run, image_messages)),
        "3": ("no pedal, or a pedal in normal operation: exit -1", ["no-pedal", "normal"], check_no_pedal_and_normal),
        "4": (
            "the pedal's ports go and come back (8 s restart)",
            ["restart"],
            lambda run: check_restart(run, image_messages),
        ),
    }

    return judge(results, wanted, scenarios, "alsa-vm scenario", harness_started_ns)


if __name__ == "__main__":
    sys.exit(main())
