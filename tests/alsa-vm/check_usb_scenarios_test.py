#!/usr/bin/env python3
"""The verdicts of check_usb_scenarios.py on made-up results: a good USB update must pass, and
each way the link, the re-enumeration, the pulled cable or the window can go wrong must fail
with a reason that names it. Runs on the host without the VM (CTest: alsa_vm_usb_checker)."""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import check_scenarios as cs  # noqa: E402
import check_usb_scenarios as usb  # noqa: E402
from check_scenarios_test import ResultsTestCase  # noqa: E402


GOOD_REPORT = """state=online
mode=normal
name=Verrano2
revision=1222
blocks=490
duplicates=
missing=
malformed=0
check=passed
restarts=1
queries=1
"""


def kernel_log(*products, unplugged_at_end=False):
    """The kernel's lines for a device plugged in under each product in turn, unplugged in between."""
    lines = []
    for number, product in enumerate(products, start=2):
        if lines:
            lines.append(f"[   30.0] usb 1-1: USB disconnect, device number {number - 1}")
        lines.append(f"[    7.4] usb 1-1: new high-speed USB device number {number} using dummy_hcd")
        lines.append(f"[    7.6] usb 1-1: Product: {product}")
    if unplugged_at_end:
        lines.append(f"[   40.0] usb 1-1: USB disconnect, device number {len(products) + 1}")
    return "\n".join(lines) + "\n"


def boot_loader_report(queries):
    """pedal-sim's report of a pedal whose transfer was cut off: erased, never checked."""
    return (
        "state=online\nmode=boot\nname=Verrano2 Boot\nrevision=0\nerased=1\ncheck=not-run\n"
        f"restarts=0\nqueries={queries}\n"
    )


def ports_listing(client, port_name):
    return f"client 20: 'f_midi' [type=kernel,card=1]\n    0 'f_midi          '\nclient {client}: 'x' [type=kernel,card=2]\n    0 '{port_name:<16}'\n"


class UsbCheckerTest(ResultsTestCase):
    def write_flash(self, wire, kernel=None, before="Verrano2 Boot MIDI 1"):
        return self.new_run(
            "flash",
            {
                "updater-status": "0\n",
                "pedal-status": "0\n",
                "pedal-report.txt": GOOD_REPORT,
                "wire.syx": wire,
                "kernel.txt": kernel or kernel_log("Verrano2 Boot", "Verrano2"),
                "ports-before.txt": ports_listing(24, before),
                "ports-after.txt": ports_listing(24, "Verrano2 MIDI 1"),
                "gadget-product": "Verrano2\n",
            },
        )

    def flash_problems(self, messages=None, **files):
        if messages is None:
            messages = [cs.PROBE] + self.image + [cs.PROBE, cs.REVISION_QUERY]
        wire = files.pop("wire", b"".join(messages))
        return usb.check_flash(self.write_flash(wire, **files), self.image)

    # ==========================================================================

    def test_a_good_update_passes(self):
        facts, problems = self.flash_problems()
        self.assertEqual(problems, [])
        self.assertIn("probe, 492 packages, probe, revision query (the image byte for byte)", facts)

    def test_packages_lost_repeated_reordered_or_damaged_on_the_link_fail(self):
        image = self.image
        flipped = bytearray(image[300])
        flipped[100] ^= 0x01
        for packages, reason in [
            (image[:100] + image[101:], "message 101 is"),
            (image[:100] + [image[99]] + image[100:], "got 496 messages, expected 495"),
            (image[:7] + [image[8], image[7]] + image[9:], "message 8 is"),
            (image[:300] + [bytes(flipped)] + image[301:], "message 301 is"),
        ]:
            problems = self.flash_problems([cs.PROBE] + packages + [cs.PROBE, cs.REVISION_QUERY])[1]
            self.assertProblem(reason, problems)

    def test_bytes_outside_messages_or_a_missing_revision_query_fail(self):
        whole = b"".join([cs.PROBE] + self.image + [cs.PROBE, cs.REVISION_QUERY])
        self.assertProblem("2 bytes outside whole SysEx messages", self.flash_problems(wire=whole + b"\x90\x40")[1])
        self.assertProblem(
            "got 494 messages, expected 495", self.flash_problems([cs.PROBE] + self.image + [cs.PROBE])[1]
        )

    def test_a_restart_the_host_did_not_see_or_a_bare_port_name_fails(self):
        # The ports came back without the device ever leaving the bus.
        no_disconnect = "[    7.6] usb 1-1: Product: Verrano2 Boot\n"
        self.assertProblem("the host saw the USB device", self.flash_problems(kernel=no_disconnect)[1])
        self.assertProblem(
            '"Verrano2 Boot MIDI 1" was not among', self.flash_problems(before="Verrano2 Boot")[1]
        )

    def test_the_window_must_show_the_usb_port_and_enable_update(self):
        window = self.new_run("window", {"wire.syx": cs.PROBE, "window-status": "0\n"}).folder / "window.txt"

        window.write_text("device=Device: Verrano2 Boot MIDI 1\nstatus=\nupdate-enabled=yes\n")
        self.assertEqual(usb.check_window(cs.Run(self.folder, "window"), self.image)[1], [])

        window.write_text("device=Device: Verrano2 Boot MIDI 1\nstatus=\nupdate-enabled=no\n")
        self.assertProblem("update-enabled is 'no'", usb.check_window(cs.Run(self.folder, "window"), self.image)[1])

        window.write_text("device=Device: Not found\nstatus=\nupdate-enabled=no\n")
        self.assertProblem("device is 'Device: Not found'", usb.check_window(cs.Run(self.folder, "window"), self.image)[1])

    # ==========================================================================
    # The pulled cable

    def write_pulled(self, name, wire, updater_err, events, kernel, after_port, report, status="255"):
        return self.new_run(
            name,
            {
                "updater-status": status + "\n",
                "updater.err": updater_err,
                "events": events,
                "pedal-status": "0\n",
                "pedal-report.txt": report,
                "wire.syx": b"".join(wire),
                "kernel.txt": kernel,
                "ports-before.txt": ports_listing(24, "Verrano2 Boot MIDI 1"),
                "ports-after.txt": ports_listing(25, after_port) if after_port else "",
                "gadget-product": "Verrano2 Boot\n",
            },
        )

    def pulled_back(self, **changes):
        """Scenario 4's results: 200 packages and half of the next one before the pull, the
        probe and the revision query after it; changes replace any of them."""
        half = self.image[200][:300]
        files = dict(
            wire=[cs.PROBE] + self.image[:200] + [half + b"\xf7", cs.PROBE, cs.REVISION_QUERY],
            updater_err="firmware-updater: the pedal reported revision 0 instead of 1222: it did not take it\n",
            events="cable-pulled 14.2\ncable-back 17.2\nupdater-ended 31.0\n",
            kernel=kernel_log("Verrano2 Boot", "Verrano2 Boot", unplugged_at_end=True),
            after_port="Verrano2 Boot MIDI 1",
            report=boot_loader_report(1),
        )
        files.update(changes)
        return usb.check_pulled(self.write_pulled("pulled-back", **files), self.image, back=True)

    def pulled_out(self, **changes):
        files = dict(
            wire=[cs.PROBE] + self.image[:200],
            updater_err="firmware-updater: the pedal did not come back after the transfer: leave it connected\n",
            events="cable-pulled 14.2\nupdater-ended 62.0\n",
            kernel=kernel_log("Verrano2 Boot", unplugged_at_end=True),
            after_port=None,
            report=boot_loader_report(0),
        )
        files.update(changes)
        return usb.check_pulled(self.write_pulled("pulled-out", **files), self.image, back=False)

    def test_a_pulled_cable_ends_in_the_failure_the_pedal_gives_reason_for(self):
        self.assertEqual(self.pulled_back()[1], [])
        self.assertEqual(self.pulled_out()[1], [])

        # Reported as success, or with another reason than the pedal's revision 0.
        self.assertProblem("the updater exited 0, expected 255", self.pulled_back(status="0")[1])
        self.assertProblem(
            "0 lines with 'revision 0 instead of 1222'",
            self.pulled_back(updater_err="firmware-updater: the pedal did not come back\n")[1],
        )
        # The pedal was never asked after its return, or the whole image got through.
        self.assertProblem(
            "after the pull the pedal got probe; expected probe, revision query",
            self.pulled_back(wire=[cs.PROBE] + self.image[:200] + [cs.PROBE])[1],
        )
        self.assertProblem(
            "the whole image reached the pedal",
            self.pulled_back(wire=[cs.PROBE] + self.image + [cs.PROBE, cs.REVISION_QUERY])[1],
        )
        # An updater that gives up on the pedal's return too soon, or a cable that came back.
        self.assertProblem(
            "ended 8.0 s after the pull", self.pulled_out(events="cable-pulled 14.2\nupdater-ended 22.2\n")[1]
        )
        came_back = kernel_log("Verrano2 Boot", "Verrano2 Boot", unplugged_at_end=True)
        self.assertProblem("and no more", self.pulled_out(kernel=came_back)[1])

    def test_the_window_shows_the_pulled_cable_and_a_second_press_updates(self):
        cut = [cs.PROBE] + self.image[:200] + [cs.PROBE, cs.REVISION_QUERY]
        run = self.new_run(
            "window-pulled",
            {
                "wire.syx": b"".join(cut + self.image + [cs.PROBE, cs.REVISION_QUERY]),
                "window-status": "0\n",
                "pedal-status": "0\n",
                "pedal-report.txt": GOOD_REPORT.replace("queries=1", "queries=2"),
                "kernel.txt": kernel_log("Verrano2 Boot", "Verrano2 Boot", "Verrano2", unplugged_at_end=True),
                "ports-before.txt": ports_listing(24, "Verrano2 Boot MIDI 1"),
                "ports-after.txt": ports_listing(26, "Verrano2 MIDI 1"),
                "gadget-product": "Verrano2\n",
            },
        ).folder
        good = (
            "device=Device: Verrano2 Boot MIDI 1\nstatus=\nupdate-enabled=yes\n"
            "press1-status=Status: Firmware upgrade failed. Please try again\npress1-update-enabled=yes\n"
            "press2-status=Status: Firmware upgrade successful\n"
            "press2-update-enabled=yes\n"
        )

        def problems(window):
            (run / "window.txt").write_text(window)
            return usb.check_window_pulled(cs.Run(self.folder, "window-pulled"), self.image)[1]

        self.assertEqual(problems(good), [])
        disabled = good.replace("press1-update-enabled=yes", "press1-update-enabled=no")
        self.assertProblem("press1-update-enabled is 'no'", problems(disabled))
        self.assertProblem(
            "press1-status is 'Status: Firmware upgrade successful'",
            problems(good.replace("upgrade failed. Please try again", "upgrade successful")),
        )
        # A second press that never came leaves the pedal in its boot loader.
        (run / "pedal-report.txt").write_text(boot_loader_report(1))
        self.assertProblem("pedal-sim reports revision='0'", problems(good))

    def test_list_passes_only_for_one_pedal_asked_nothing_but_its_revision(self):
        good_listing = (
            "MIDI inputs:\n  0  Midi Through Port-0\n  1  f_midi\n  2  Verrano2 Boot MIDI 1\n"
            "Pairs probed (an input and the output of exactly its name):\n"
            '  "Midi Through Port-0"  input 0, output 0: no answer within 300 ms\n'
            '  "f_midi"  input 1, output 1: no answer within 300 ms\n'
            '  "Verrano2 Boot MIDI 1"  input 2, output 2: answered in 3.21 ms, boot loader, revision 1187\n'
            'One pedal answered: "Verrano2 Boot MIDI 1", ready for the update.\n'
        )
        report = "state=online\nmode=boot\nname=Verrano2 Boot\nrevision=1187\npackages=0\nprobes=1\nqueries=1\n"

        def problems(status="0", listing=good_listing, messages=(cs.PROBE, cs.REVISION_QUERY), pedal=report):
            files = {"list-status": status + "\n", "list.out": listing, "pedal-report.txt": pedal}
            return usb.check_list(self.new_run("list", dict(files, **{"wire.syx": b"".join(messages)})))[1]

        self.assertEqual(problems(), [])
        self.assertTrue(problems(status="2"))
        self.assertTrue(problems(listing=good_listing.replace("revision 1187", "no answer to the revision question")))
        self.assertTrue(problems(listing=good_listing.replace("One pedal answered", "2 pedals answered")))
        self.assertTrue(problems(messages=(cs.PROBE, cs.REVISION_QUERY, self.image[0])))
        self.assertTrue(problems(pedal=report.replace("probes=1", "probes=2")))


if __name__ == "__main__":
    unittest.main()
