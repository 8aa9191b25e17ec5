#!/usr/bin/env python3
"""Verdict of the Windows updater's update through Windows' MIDI under Wine, taken on the
host from what guest-wine-update.sh left in the results folder.

    check_wine_update.py RESULTS [IMAGE] [--harness-started-ns N]

Prints one PASS/FAIL line with what was seen and the reasons of a failure below it; writes
the same to RESULTS/summary.txt. Exits 0 only when the update passed.
"""

import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "alsa-vm"))
from check_scenarios import (  # noqa: E402
    IMAGE_REVISION,
    PROBE,
    REVISION_QUERY,
    describe,
    parse_report,
    read_command_line,
    read_text,
    split_sysex,
)

# Wine names a sequencer port "client - port" when that fits the 31 characters a Windows
# MIDI device name may have, else the port's own name cut to 31 characters; pedal-sim's
# client is JUCE's default, "JUCE". JUCE numbers devices of equal name from the second on.
PEDAL_PORT_NAME = "JUCE - Verrano2 Boot"
SECOND_PEDAL_PORT_NAME = "JUCE - Verrano2 Boot-2"
LONG_PORT_NAME = "Verrano2 pedal on the USB hub Boot"[:31]


def status_of(results, name):
    text = (read_text(results / name) or "").strip()
    return int(text) if text.isdigit() else None


def check(results, image_messages):
    problems = []
    error = read_text(results / "error")
    if error:
        problems.append(f"the run could not be carried out: {error.strip()}")

    # The names a Windows program lists: each pedal once among the inputs and once among
    # the outputs, under the same name, which is what the updater pairs them by.
    ports = (read_text(results / "ports.txt") or "").splitlines()
    inputs = [line[len("input ") :] for line in ports if line.startswith("input ")]
    outputs = [line[len("output ") :] for line in ports if line.startswith("output ")]
    for name in (PEDAL_PORT_NAME, SECOND_PEDAL_PORT_NAME, LONG_PORT_NAME):
        if inputs.count(name) != 1 or outputs.count(name) != 1:
            problems.append(f'"{name}" is not listed once as input and once as output: {ports}')

    # The exit code the updater ended with, as Wine's start /wait reports it: the wine
    # command's own status is Wine's (139, see guest-wine-update.sh).
    updater_status = status_of(results, "updater-status")
    if updater_status != 0:
        problems.append(f"the updater exited {updater_status}, expected 0")

    report = parse_report(read_text(results / "pedal-report.txt"))
    expected = {
        "mode": "normal",
        "revision": IMAGE_REVISION,
        "check": "passed",
        "blocks": "490",
        "duplicates": "",
        "missing": "",
        "restarts": "1",
        "queries": "1",
    }
    for key, value in expected.items():
        if report.get(key) != value:
            problems.append(f"pedal-sim reports {key}={report.get(key)!r}, expected {value!r}")
    if not (results / "pedal-ended-itself").exists() or status_of(results, "pedal-status") != 0:
        problems.append("pedal-sim --exit-after-update did not end by itself with 0")

    # Everything that reached the pedal's input, in arrival order: the probe, the image, and
    # after the restart the probe and the revision query.
    record = results / "pedal-record.syx"
    received = split_sysex(record.read_bytes()) if record.exists() else []
    expected_wire = [PROBE] + image_messages + [PROBE, REVISION_QUERY]
    packages = received[1:-2]
    if received != expected_wire:
        first = next(
            (i for i, (a, b) in enumerate(zip(received, expected_wire)) if a != b),
            min(len(received), len(expected_wire)),
        )
        shown = describe(received[first]) if first < len(received) else "nothing"
        problems.append(
            f"the pedal received {len(received)} messages, expected {len(expected_wire)} "
            f"(probe, {len(image_messages)} packages, probe, revision query); first difference "
            f"at message {first}: {shown}"
        )

    facts = (
        f"exit {updater_status}; ports {inputs} in, {outputs} out; the pedal received "
        f"{len(received)} messages, {len(packages)} packages "
        f"{'equal to' if packages == image_messages else 'unlike'} the image byte for byte; "
        f"came back as revision {report.get('revision')} (check {report.get('check')})"
    )
    return facts, problems


def main():
    results, image_messages, _, harness_started_ns = read_command_line("")
    try:
        facts, problems = check(results, image_messages)
    except Exception as e:  # a broken result folder is a failed run, not a crash
        facts, problems = "", [f"the results could not be read: {e!r}"]

    seconds = (read_text(results / "seconds") or "?").strip()
    wine = (read_text(results / "wine-start-seconds") or "?").strip()
    total = ""
    if harness_started_ns is not None:
        total = f", {(time.time_ns() - harness_started_ns) / 1e9:.1f} s with the VM"
    lines = [
        f"windows vm update: {'PASS' if not problems else 'FAIL'} in {seconds} s{total} "
        f"(Wine's first start {wine} s)  the Windows updater flashes pedal-sim through WinMM",
        f"    {facts}",
    ]
    lines += [f"    problem: {p}" for p in problems]
    if problems:
        lines.append(f"    results: {results}")
    summary = "\n".join(lines) + "\n"
    sys.stdout.write(summary)
    (results / "summary.txt").write_text(summary)
    return 0 if not problems else 1


if __name__ == "__main__":
    sys.exit(main())
