#!/usr/bin/env python3
"""Verdicts of the USB scenarios in the test VM, taken on the host from what
guest-usb-scenarios.sh left in the results folder: exit statuses, pedal-sim's reports, its
record of every byte that came over the USB link (on the pedal's side of it), the sequencer's
port listings, the kernel's log of the USB device coming and going, when the cable was
pulled and plugged back, and what the updater's window showed.

    check_usb_scenarios.py RESULTS [IMAGE] [--harness-started-ns N] [--scenarios "1 2 3 4 5 6 7"]

Prints one line per scenario (PASS or FAIL, the seconds its run took, what was seen), the
reasons of a failure below it, and the total; writes the same to RESULTS/summary.txt. Exits 0
only when every scenario asked for passed.
"""

import re
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from check_scenarios import (  # noqa: E402
    BOOT_NAME,
    NORMAL_NAME,
    PROBE,
    REVISION_QUERY,
    IMAGE_REVISION,
    UPDATER_FAILED,
    describe,
    judge,
    read_command_line,
    read_text,
    split_sysex,
)

# snd-usbmidi names the port of a device without jack strings "<product> MIDI 1".
BOOT_PORT = f"{BOOT_NAME} MIDI 1"
NORMAL_PORT = f"{NORMAL_NAME} MIDI 1"
CORRUPTED_BLOCK = "245"
FAILED_TEXT = "Status: Firmware upgrade failed. Please try again"
SUCCESS_TEXT = "Status: Firmware upgrade successful"

# The updater's stderr lines for the two ends of a pulled cable: the pedal came back still in
# its boot loader, whose own check of an incomplete image leaves revision 0; or it never came.
REVISION_0_LINE = f"revision 0 instead of {IMAGE_REVISION}"
NOT_BACK_LINE = "did not come back"
# Seconds from the pull to the updater's exit. Plugged back after 3 s (or once the kernel is
# done with the disconnect, which now and then takes 10 s): the rest of the transfer (the
# updater sends on, unaware; about 10 s from where the pull comes) and one search after the
# restart's pause (2.5 s), with room for a busy host. Left out: at the very
# least the 8 pauses of 2.5 s of the searches for the pedal's return (a search that gives up
# sooner leaves a slow pedal behind), at most the rest of the transfer, those searches and
# their probes (about 36 s after the transfer's end) with room.
PLUGGED_BACK_S = (3.0, 45.0)
LEFT_OUT_S = (20.0, 100.0)


# ==============================================================================
# What came over the link


def wire_problems(run, expected):
    """pedal-sim's record of its input must be exactly the expected messages, back to back
    (any messages with `expected` None)."""
    data = None
    try:
        data = (run.folder / "wire.syx").read_bytes()
    except OSError:
        return ["pedal-sim left no record of what came over the USB link"], []
    messages = split_sysex(data)
    problems = []
    if b"".join(messages) != data:
        problems.append(f"the link carried {len(data) - len(b''.join(messages))} bytes outside whole SysEx messages")
    if expected is not None and messages != expected:
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


def usb_problems(run, products, cable_out=False):
    """The host saw the device plugged in under each of `products` in turn, unplugged in
    between (a restart or a pulled cable), and the sequencer listed snd-usbmidi's port names:
    the first product's before the update, the last one's after it, or none when the cable
    was left out."""
    problems = []
    events = usb_events(read_text(run.folder / "kernel.txt"))
    expected = []
    for product in products:
        expected += ["unplugged"] if expected else []
        expected.append(f'plugged in "{product}"')
    if cable_out:
        expected.append("unplugged")
        if events != expected:
            problems.append(f"the host saw the USB device {events}, expected {expected} and no more")
    elif events[: len(expected)] != expected:
        problems.append(f"the host saw the USB device {events}, expected {expected} first")
    if BOOT_PORT not in run.before.values():
        listed = sorted(run.before.values())
        problems.append(f'"{BOOT_PORT}" was not among the sequencer\'s ports before the update: {listed}')
    port_after = f"{products[-1]} MIDI 1"
    if cable_out:
        gone = [name for name in run.after.values() if name.startswith(BOOT_NAME) or name.startswith(NORMAL_NAME)]
        if gone:
            problems.append(f"the sequencer still listed {gone} with the cable out")
    elif port_after not in run.after.values():
        listed = sorted(run.after.values())
        problems.append(f'"{port_after}" was not among the sequencer\'s ports after the update: {listed}')
    product = (read_text(run.folder / "gadget-product") or "").strip()
    if product != products[-1]:
        problems.append(f"the gadget's product string is {product!r} at the end, expected {products[-1]!r}")
    status = (read_text(run.folder / "pedal-status") or "").strip()
    if status != "0":
        said = (read_text(run.folder / "pedal.err") or "").strip()
        problems.append(f"pedal-sim ended with {status!r}, expected 0: {said}")
    return problems, events


# ==============================================================================
# The pulled cable


def cut_transfer(messages, image):
    """Where the pulled cable cut the image off: the longest run of the image's packages from
    its first, with at most one message after it that is no package (one cut short by the
    pull). Returns (packages that arrived, messages up to there, problems)."""
    count = 0
    while count < len(messages) and count < len(image) and messages[count] == image[count]:
        count += 1
    used = count
    if used < len(messages) and messages[used] not in image and messages[used] not in (PROBE, REVISION_QUERY):
        used += 1
    problems = []
    if count < 2:
        problems.append(f"the pedal got {count} packages of the image before the cable was pulled: not mid-transfer")
    elif count == len(image):
        problems.append("the whole image reached the pedal: the cable was not pulled mid-transfer")
    return count, used, problems


def pulled_wire_problems(run, image, before, after):
    """What came over the link: `before`, a transfer cut off by the pull, then `after`."""
    problems, messages = wire_problems(run, None)
    if problems:
        return problems, 0
    if messages[: len(before)] != before:
        problems.append(difference(messages[: len(before)], before))
        return problems, 0
    count, used, cut = cut_transfer(messages[len(before) :], image)
    rest = messages[len(before) + used :]
    if rest != after:
        problems.append(f"after the pull the pedal got {summarise(rest, image)}; expected {summarise(after, image)}")
    return problems + cut, count


def events_of(run):
    """The run's events file -> {name: seconds since the run began}."""
    events = {}
    for line in (read_text(run.folder / "events") or "").splitlines():
        name, _, seconds = line.partition(" ")
        try:
            events.setdefault(name, float(seconds))
        except ValueError:
            pass
    return events


def exit_after_pull(run, bounds):
    """Seconds from the pull to the updater's exit, and the problems with them."""
    events = events_of(run)
    if "cable-pulled" not in events or "updater-ended" not in events:
        return None, [f"no time of the pull or of the updater's end: {events}"]
    seconds = events["updater-ended"] - events["cable-pulled"]
    low, high = bounds
    if not low <= seconds <= high:
        return seconds, [f"the updater ended {seconds:.1f} s after the pull, expected {low:.0f} to {high:.0f} s"]
    return seconds, []


def error_line(run, text):
    """The updater's stderr line holding `text`, and the problems if there is none."""
    lines = (read_text(run.folder / "updater.err") or "").splitlines()
    found = [line for line in lines if text in line]
    if len(found) != 1:
        return "", [f"the updater's stderr holds {len(found)} lines with {text!r}, expected one: {lines[-5:]}"]
    return found[0], []


# ==============================================================================
# Scenarios. Each returns (facts for the summary line, list of problems).


def check_flash(run, image):
    problems = run.basic_problems(0)
    run.expect_flashed(problems)
    wire, messages = wire_problems(run, [PROBE] + image + [PROBE, REVISION_QUERY])
    usb, events = usb_problems(run, [BOOT_NAME, NORMAL_NAME])
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
    run.expect_online(problems, "boot", "0", check="failed", restarts="1")
    wire, messages = wire_problems(run, [PROBE] + image + [PROBE, REVISION_QUERY])
    usb, events = usb_problems(run, [BOOT_NAME, BOOT_NAME])
    facts = (
        f"exit {run.exit_code()}; the link carried {summarise(messages, image)}"
        f"{' (the image intact)' if not wire else ''}, block {CORRUPTED_BLOCK} was corrupted after it; "
        f"image check {run.report.get('check')} ({run.report.get('check-reason')}); "
        f"USB: {', '.join(events[:3])}; pedal back in its boot loader at revision {run.report.get('revision')}"
    )
    return facts, problems + wire + usb


def window_problems(run):
    """The window's report (key=value lines) and what is wrong with the run that made it."""
    problems = []
    if not run.folder.is_dir():
        return {}, [f"run '{run.name}' did not take place"]
    if run.error:
        problems.append(f"run '{run.name}' could not be carried out: {run.error.strip()}")
    window = {}
    for line in (read_text(run.folder / "window.txt") or "").splitlines():
        key, _, value = line.partition("=")
        window.setdefault(key, value)
    if not window:
        problems.append(f"the window left no report: {(read_text(run.folder / 'window.out') or '')[-2000:]}")
    if "failure" in window:
        problems.append(f"the window's run: {window['failure']}")
    status = (read_text(run.folder / "window-status") or "").strip()
    if status != "0":
        problems.append(f"the window's program ended with {status!r}")
    return window, problems


def expect_window(window, problems, **expected):
    for key, value in expected.items():
        key = key.replace("_", "-")
        if window and window.get(key) != value:
            problems.append(f"the window's {key} is {window.get(key)!r}, expected {value!r}")


def check_window(run, image):
    window, problems = window_problems(run)
    # A pedal in its boot loader leaves the status line empty ("Device is not in boot mode"
    # otherwise).
    expect_window(window, problems, device=f"Device: {BOOT_PORT}", status="", update_enabled="yes")
    # The window only searched: the pedal got the probe and nothing else.
    wire, messages = wire_problems(run, [PROBE])
    facts = (
        f'the window showed "{window.get("device")}", "update" '
        f"{'enabled' if window.get('update-enabled') == 'yes' else 'disabled'}, "
        f'status "{window.get("status")}"; the pedal got {summarise(messages, image)}'
    )
    return facts, problems + wire


def check_pulled(run, image, back):
    """Pulled mid-transfer. Plugged `back`: the pedal, still in its boot loader, answers the
    updater's search and its revision question with 0 (its incomplete image never passed its
    check), and the updater exits -1 saying so. Left out: nothing more reaches the pedal, and
    the updater searches for its return, then exits -1 saying it did not come back."""
    problems = run.basic_problems(UPDATER_FAILED)
    queries = "1" if back else "0"
    run.expect_online(problems, "boot", "0", check="not-run", restarts="0", queries=queries)
    wire, count = pulled_wire_problems(run, image, [PROBE], [PROBE, REVISION_QUERY] if back else [])
    usb, usb_seen = usb_problems(run, [BOOT_NAME] * (2 if back else 1), cable_out=not back)
    line, missing_line = error_line(run, REVISION_0_LINE if back else NOT_BACK_LINE)
    seconds, timing = exit_after_pull(run, PLUGGED_BACK_S if back else LEFT_OUT_S)
    events = events_of(run)
    out = ""
    if "cable-back" in events and "cable-pulled" in events:
        out = f" (out {events['cable-back'] - events['cable-pulled']:.1f} s)"
    after = (
        f"the probe and the revision query after it{out}, answered revision {run.report.get('revision')}"
        if back
        else "nothing after it"
    )
    facts = (
        f"{count} of {len(image)} packages reached the pedal before the pull, {after} "
        f"(image check {run.report.get('check')}); USB: {', '.join(usb_seen[:3])}; exit {run.exit_code()} "
        f"{'?' if seconds is None else f'{seconds:.1f}'} s after the pull: {line.strip()[:80]}"
    )
    return facts, problems + wire + usb + missing_line + timing


def check_window_pulled(run, image):
    """The window: pulled mid-transfer and plugged back, the press ends in the failure with
    "update" enabled; the second press updates the pedal."""
    window, problems = window_problems(run)
    expect_window(window, problems, device=f"Device: {BOOT_PORT}", update_enabled="yes")
    # The device line keeps the name the start's search found: the searches after the
    # transfer do not change it. What the pedal got tells whether it was found back.
    expect_window(window, problems, press1_status=FAILED_TEXT, press1_update_enabled="yes", press2_status=SUCCESS_TEXT)
    # Asked for its revision after the pull and after the restart.
    run.expect_flashed(problems, queries="2")
    # The start's search, the first press cut off, the pedal found back; the second press,
    # whole, and the pedal found after its restart.
    wire, count = pulled_wire_problems(
        run, image, [PROBE], [PROBE, REVISION_QUERY] + image + [PROBE, REVISION_QUERY]
    )
    usb, events = usb_problems(run, [BOOT_NAME, BOOT_NAME, NORMAL_NAME])
    facts = (
        f"first press: {count} of {len(image)} packages before the pull, then "
        f'"{window.get("press1-status")}" with "update" '
        f"{'enabled' if window.get('press1-update-enabled') == 'yes' else 'disabled'}; "
        f'second press: the whole image, "{window.get("press2-status")}", pedal at revision '
        f"{run.report.get('revision')} (image check {run.report.get('check')}); USB: {', '.join(events[:5])}"
    )
    return facts, problems + wire + usb


def check_list(run):
    """--list: the USB pedal's pair answered, in its boot loader at the factory's revision, the
    sum says one pedal, exit 0; the pedal got the probe and the revision query, nothing else."""
    problems = []
    if not run.folder.is_dir():
        return "", [f"run '{run.name}' did not take place"]
    if run.error:
        problems.append(f"run '{run.name}' could not be carried out: {run.error.strip()}")
    status = (read_text(run.folder / "list-status") or "").strip()
    if status != "0":
        problems.append(f"--list exited {status!r}, expected 0 (one pedal)")
    listing = read_text(run.folder / "list.out") or ""
    pedal_line = re.search(
        rf'^  "{re.escape(BOOT_PORT)}"  input \d+, output \d+: answered in ([0-9.]+) ms, boot loader, '
        r"revision 1187$",
        listing,
        re.MULTILINE,
    )
    if not pedal_line:
        problems.append(f"no line for the pedal's pair, answered, boot loader, revision 1187, in: {listing!r}")
    if not listing.endswith(f'One pedal answered: "{BOOT_PORT}", ready for the update.\n'):
        problems.append(f"--list does not end saying one pedal answered: {listing[-200:]!r}")
    others = re.findall(r"^  \"(.+)\"  input \d+, output [\d, ]+: no answer within 300 ms$", listing, re.MULTILINE)
    run.expect_report(problems, mode="boot", revision="1187", packages="0", probes="1", queries="1")
    wire, _ = wire_problems(run, [PROBE, REVISION_QUERY])
    facts = (
        f"exit {status}; the pedal's pair answered in {pedal_line.group(1) if pedal_line else '?'} ms, "
        f"silent pairs: {', '.join(others) or 'none'}; the link carried the probe and the revision query"
        f"{'' if not wire else ' and more'}"
    )
    return facts, problems + wire


# ==============================================================================


def main():
    results, image, wanted, harness_started_ns = read_command_line("1 2 3 4 5 6 7")

    scenarios = {
        "1": ("the updater flashes the USB pedal", ["flash"], lambda run: check_flash(run, image)),
        "2": (
            f"block {CORRUPTED_BLOCK} corrupted behind the USB link: exit -1",
            ["corrupt"],
            lambda run: check_corrupt(run, image),
        ),
        "3": ("the window shows the USB pedal and enables update", ["window"], lambda run: check_window(run, image)),
        "4": (
            "cable pulled mid-transfer, back after 3 s: exit -1, revision 0",
            ["pulled-back"],
            lambda run: check_pulled(run, image, back=True),
        ),
        "5": (
            "cable pulled mid-transfer, left out: exit -1, did not come back",
            ["pulled-out"],
            lambda run: check_pulled(run, image, back=False),
        ),
        "6": (
            "the window: cable pulled mid-transfer, failure shown, second press updates",
            ["window-pulled"],
            lambda run: check_window_pulled(run, image),
        ),
        "7": ("--list shows the USB pedal in its boot loader", ["list"], check_list),
    }

    return judge(results, wanted, scenarios, "alsa-vm USB scenario", harness_started_ns)


if __name__ == "__main__":
    sys.exit(main())
