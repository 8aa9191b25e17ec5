#!/usr/bin/env python3
"""Verdicts of the USB scenarios in the test VM, taken on the host from what
guest-usb-scenarios.sh left in the results folder: exit statuses, pedal-sim's reports, its
record of every byte that came over the USB link (on the pedal's side of it), the sequencer's
port listings, the kernel's log of the USB device coming and going, and what the updater's
window showed.

    check_usb_scenarios.py RESULTS IMAGE [--harness-started-ns N] [--scenarios "1 2 3"]

Prints one line per scenario (PASS or FAIL, the seconds its run took, what was seen), the
reasons of a failure below it, and the total; writes the same to RESULTS/summary.txt. Exits 0
only when every scenario asked for passed.
"""

import argparse
import re
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from check_scenarios import (  # noqa: E402
    BOOT_NAME,
    NORMAL_NAME,
    PROBE,
    REVISION_QUERY,
    UPDATER_FAILED,
    describe,
    judge,
    read_text,
    split_sysex,
)

# snd-usbmidi names the port of a device without jack strings "<product> MIDI 1".
BOOT_PORT = f"{BOOT_NAME} MIDI 1"
NORMAL_PORT = f"{NORMAL_NAME} MIDI 1"
CORRUPTED_BLOCK = "245"


# ==============================================================================
# What came over the link


def wire_problems(run, expected):
    """pedal-sim's record of its input must be exactly the expected messages, back to back."""
    data = None
    try:
        data = (run.folder / "wire.syx").read_bytes()
    except OSError:
        return ["pedal-sim left no record of what came over the USB link"], []
    messages = split_sysex(data)
    problems = []
    if b"".join(messages) != data:
        problems.append(f"the link carried {len(data) - len(b''.join(messages))} bytes outside whole SysEx messages")
    if messages != expected:
        problems.append(difference(messages, expected))
    return problems, messages


def difference(got, expected):
    first = next((i for i, (a, b) in enumerate(zip(got, expected)) if a != b), min(len(got), len(expected)))
    shown = describe(got[first]) if first < len(got) else "nothing"
    wanted = describe(expected[first]) if first < len(expected) else "nothing"
    return (
        f"the pedal's side of the link got {len(got)} messages, expected {len(expected)}; "
        f"message {first} is {shown}, expected {wanted}"
    )


def name_message(message, image):
    if message == PROBE:
        return "probe"
    if message == REVISION_QUERY:
        return "revision query"
    return "package" if message in image else "other"


def summarise(messages, image):
    """'probe, 492 packages, probe, revision query': runs of the same kind folded."""
    runs = []
    for message in messages:
        kind = name_message(message, image)
        if runs and runs[-1][0] == kind:
            runs[-1][1] += 1
        else:
            runs.append([kind, 1])
    return ", ".join(kind if count == 1 else f"{count} {kind}s" for kind, count in runs) or "nothing"


# ==============================================================================
# The USB device as the host saw it


def usb_events(kernel_log):
    """The kernel's log -> ['plugged in "Verrano2 Boot"', 'unplugged', ...] in order."""
    events = []
    for line in (kernel_log or "").splitlines():
        m = re.search(r"usb [\d.-]+: Product: (.*)$", line)
        if m:
            events.append(f'plugged in "{m.group(1).strip()}"')
        elif re.search(r"usb [\d.-]+: USB disconnect", line):
            events.append("unplugged")
    return events


def usb_problems(run, product_after):
    """The pedal's restart was a USB disconnect and a new enumeration under `product_after`,
    and the sequencer listed its port under snd-usbmidi's name before and after."""
    problems = []
    events = usb_events(read_text(run.folder / "kernel.txt"))
    expected = [f'plugged in "{BOOT_NAME}"', "unplugged", f'plugged in "{product_after}"']
    if events[:3] != expected:
        problems.append(f"the host saw the USB device {events}, expected {expected} first")
    if BOOT_PORT not in run.before.values():
        problems.append(f'"{BOOT_PORT}" was not among the sequencer\'s ports before the update: {sorted(run.before.values())}')
    port_after = f"{product_after} MIDI 1"
    if port_after not in run.after.values():
        problems.append(f'"{port_after}" was not among the sequencer\'s ports after the update: {sorted(run.after.values())}')
    product = (read_text(run.folder / "gadget-product") or "").strip()
    if product != product_after:
        problems.append(f"the gadget's product string is {product!r} at the end, expected {product_after!r}")
    status = (read_text(run.folder / "pedal-status") or "").strip()
    if status != "0":
        problems.append(f"pedal-sim ended with {status!r}, expected 0: {(read_text(run.folder / 'pedal.err') or '').strip()}")
    return problems, events


# ==============================================================================
# Scenarios. Each returns (facts for the summary line, list of problems).


def check_flash(run, image):
    problems = run.basic_problems(0)
    run.expect_flashed(problems)
    wire, messages = wire_problems(run, [PROBE] + image + [PROBE, REVISION_QUERY])
    usb, events = usb_problems(run, NORMAL_NAME)
    user = (read_text(run.folder / "updater-user") or "?").strip()
    facts = (
        f"exit {run.exit_code()} (run as {user}); the pedal's side of the link got "
        f"{summarise(messages, image)}{' (the image byte for byte)' if not wire else ''}; "
        f"USB: {', '.join(events[:3])}; pedal at revision {run.report.get('revision')}, "
        f"image check {run.report.get('check')}"
    )
    return facts, problems + wire + usb


def check_corrupt(run, image):
    problems = run.basic_problems(UPDATER_FAILED)
    run.expect_report(
        problems,
        state="online",
        mode="boot",
        name=BOOT_NAME,
        revision="0",
        check="failed",
        restarts="1",
    )
    wire, messages = wire_problems(run, [PROBE] + image + [PROBE, REVISION_QUERY])
    usb, events = usb_problems(run, BOOT_NAME)
    facts = (
        f"exit {run.exit_code()}; the link carried {summarise(messages, image)}"
        f"{' (the image intact)' if not wire else ''}, block {CORRUPTED_BLOCK} was corrupted after it; "
        f"image check {run.report.get('check')} ({run.report.get('check-reason')}); "
        f"USB: {', '.join(events[:3])}; pedal back in its boot loader at revision {run.report.get('revision')}"
    )
    return facts, problems + wire + usb


def check_window(run, image):
    problems = []
    if not run.folder.is_dir():
        return "", [f"run '{run.name}' did not take place"]
    if run.error:
        problems.append(f"run '{run.name}' could not be carried out: {run.error.strip()}")
    window = {}
    for line in (read_text(run.folder / "window.txt") or "").splitlines():
        key, _, value = line.partition("=")
        window.setdefault(key, value)
    if not window:
        problems.append(f"the window left no report: {(read_text(run.folder / 'window.out') or '')[-2000:]}")
    # A pedal in its boot loader leaves the status line empty ("Device is not in boot mode"
    # otherwise).
    expected = {"device": f"Device: {BOOT_PORT}", "status": "", "update-enabled": "yes"}
    for key, value in expected.items():
        if window and window.get(key) != value:
            problems.append(f"the window's {key} is {window.get(key)!r}, expected {value!r}")
    if "failure" in window:
        problems.append(f"the window's run: {window['failure']}")
    # The window only searched: the pedal got the probe and nothing else.
    wire, messages = wire_problems(run, [PROBE])
    status = (read_text(run.folder / "window-status") or "").strip()
    if status != "0":
        problems.append(f"the window's program ended with {status!r}")
    facts = (
        f'the window showed "{window.get("device")}", "update" '
        f"{'enabled' if window.get('update-enabled') == 'yes' else 'disabled'}, "
        f'status "{window.get("status")}"; the pedal got {summarise(messages, image)}'
    )
    return facts, problems + wire


# ==============================================================================


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("results", type=Path)
    parser.add_argument("image", type=Path)
    parser.add_argument("--harness-started-ns", type=int, default=None)
    parser.add_argument("--scenarios", default="1 2 3")
    args = parser.parse_args()

    image = split_sysex(args.image.read_bytes())
    results = args.results
    wanted = args.scenarios.split()

    scenarios = {
        "1": ("the updater flashes the USB pedal", ["flash"], lambda run: check_flash(run, image)),
        "2": (
            f"block {CORRUPTED_BLOCK} corrupted behind the USB link: exit -1",
            ["corrupt"],
            lambda run: check_corrupt(run, image),
        ),
        "3": ("the window shows the USB pedal and enables update", ["window"], lambda run: check_window(run, image)),
    }

    return judge(results, wanted, scenarios, "alsa-vm USB scenario", args.harness_started_ns)


if __name__ == "__main__":
    sys.exit(main())
