#!/usr/bin/env python3
"""The verdicts of check_scenarios.py on made-up results: a recording of a good update must
pass, and each way the wire can go wrong must fail with a reason that names it. Runs on the
host without the VM (CTest: alsa_vm_checker)."""

import shutil
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import check_scenarios as cs  # noqa: E402

RECORDER = "128:0"
BOOT_PORT = "129:0"
NORMAL_PORT = "131:0"
OTHERS = ["14:0", "16:0"]


def sysex_line(source, data):
    return f"{source:>6}   System exclusive           " + " ".join(f"{b:02X}" for b in data)


def announce(event, text):
    return f"   0:1   {event:<26} {text}"


class Recording:
    """Builds aseqdump's view of an update the way the tap and the sequencer produce it: each
    updater port subscribed to the recorder and then to the one device it opens."""

    def __init__(self):
        self.lines = ["Waiting for data. Press Ctrl+C to end.", "Source  Event                  Ch  Data"]
        self.lines.append(announce("Port subscribed", f"0:1 -> {RECORDER}"))

    def open_pair(self, updater_port, device):
        self.lines.append(announce("Port start", updater_port))
        self.lines.append(announce("Port subscribed", f"{updater_port} -> {RECORDER}"))
        self.lines.append(announce("Port subscribed", f"{updater_port} -> {device}"))

    def close(self, port):
        self.lines.append(announce("Port exit", port))

    def send(self, port, data):
        self.lines.append(sysex_line(port, data))

    def search_others(self, updater_port):
        for device in OTHERS:
            self.open_pair(updater_port, device)
            self.send(updater_port, cs.PROBE)
            self.close(updater_port)


def good_update(packages):
    r = Recording()
    r.lines.append(announce("Port start", BOOT_PORT))
    r.search_others("130:1")
    r.open_pair("130:1", BOOT_PORT)
    r.send("130:1", cs.PROBE)
    for package in packages:
        r.send("130:1", package)
    r.close(BOOT_PORT)
    r.close("130:1")
    r.search_others("129:1")
    r.lines.append(announce("Port start", NORMAL_PORT))
    # The updater's client took the pedal's old number: a port number is no identity.
    r.open_pair("129:1", NORMAL_PORT)
    r.send("129:1", cs.PROBE)
    r.send("129:1", cs.REVISION_QUERY)
    r.close("129:1")
    return r


def ports_listing(address, name):
    client, port = address.split(":")
    return f"client {client}: 'JUCE' [type=user,pid=1]\n    {port} '{name:<16}'\n"


class ResultsTestCase(unittest.TestCase):
    """A results folder of made-up runs, removed after each test, and the image's messages."""

    def setUp(self):
        self.folder = Path(tempfile.mkdtemp())
        self.image = cs.split_sysex(cs.shipped_image().read_bytes())

    def tearDown(self):
        shutil.rmtree(self.folder)

    def new_run(self, name, files):
        """The run NAME holding FILES (file name to text, or to bytes), replacing one of that name."""
        run = self.folder / name
        shutil.rmtree(run, ignore_errors=True)
        run.mkdir()
        for file_name, content in files.items():
            if isinstance(content, bytes):
                (run / file_name).write_bytes(content)
            else:
                (run / file_name).write_text(content)
        return cs.Run(self.folder, name)

    def assertProblem(self, text, problems):
        self.assertTrue(any(text in p for p in problems), problems)


class CheckerTest(ResultsTestCase):
    def write_run(self, name, recording, report="revision=1222\ncheck=passed\nrestarts=1\nmode=normal\n"):
        return self.new_run(
            name,
            {
                "updater-status": "0\n",
                "pedal-report.txt": report,
                "ports-before.txt": ports_listing(BOOT_PORT, cs.BOOT_NAME),
                "ports-after.txt": ports_listing(NORMAL_PORT, cs.NORMAL_NAME),
                "recorder": RECORDER + "\n",
                "recording.txt": "\n".join(recording.lines) + "\n",
            },
        )

    def wire_problems(self, recording):
        return cs.check_wire(self.write_run("wire", recording), self.image)[1]

    # ==========================================================================

    def test_a_good_update_passes_the_wire_and_the_restart_checks(self):
        self.assertEqual(self.wire_problems(good_update(self.image)), [])
        facts, problems = cs.check_restart(self.write_run("restart", good_update(self.image)), self.image)
        self.assertEqual(problems, [])
        self.assertIn("probed 2 other ports meanwhile", facts)

    def test_packages_lost_repeated_or_reordered_fail(self):
        lost = self.image[:100] + self.image[101:]
        repeated = self.image[:100] + [self.image[99]] + self.image[100:]
        swapped = self.image[:7] + [self.image[8], self.image[7]] + self.image[9:]
        for packages, reason in [
            (lost, "1 missing"),
            (repeated, "1 more than once"),
            (swapped, "first difference at package 7"),
        ]:
            problems = self.wire_problems(good_update(packages))
            self.assertTrue(any(reason in p for p in problems), problems)
            shutil.rmtree(self.folder / "wire")

    def test_a_package_split_into_two_events_fails(self):
        recording = good_update(self.image)
        at = next(i for i, line in enumerate(recording.lines) if line.endswith(" F7") and len(line) > 1000)
        bytes_of = recording.lines[at].split("System exclusive")[1].split()
        recording.lines[at : at + 1] = [
            sysex_line("130:1", bytes.fromhex("".join(bytes_of[:300]))),
            sysex_line("130:1", bytes.fromhex("".join(bytes_of[300:]))),
        ]
        problems = self.wire_problems(recording)
        self.assertTrue(any("not one whole SysEx message" in p for p in problems), problems)

    def test_a_wrong_probe_or_a_missing_revision_query_fails(self):
        wrong_probe = good_update(self.image)
        at = wrong_probe.lines.index(sysex_line("130:1", cs.PROBE))
        wrong_probe.lines[at] = sysex_line("130:1", cs.PROBE[:6] + bytes([0x01, 0xF7]))
        problems = self.wire_problems(wrong_probe)
        self.assertTrue(any("which is not the pedal" in p for p in problems), problems)
        shutil.rmtree(self.folder / "wire")

        no_query = good_update(self.image)
        no_query.lines.remove(sysex_line("129:1", cs.REVISION_QUERY))
        problems = self.wire_problems(no_query)
        self.assertTrue(any("expected the probe and the revision query" in p for p in problems), problems)

    def test_a_message_that_reached_no_device_fails(self):
        recording = good_update(self.image)
        recording.lines.append(sysex_line("132:1", cs.PROBE))
        problems = self.wire_problems(recording)
        self.assertTrue(any("reached 0 ports" in p for p in problems), problems)

    def test_a_restart_without_a_search_in_between_fails(self):
        recording = good_update(self.image)
        # From just after the updater's port closed behind the boot loader to the comeback.
        start = recording.lines.index(announce("Port exit", BOOT_PORT)) + 2
        end = recording.lines.index(announce("Port start", NORMAL_PORT))
        del recording.lines[start:end]
        problems = cs.check_restart(self.write_run("restart", recording), self.image)[1]
        self.assertIn("the updater did not search the ports while the pedal was away", problems)


if __name__ == "__main__":
    unittest.main()
