#pragma once

#include <juce_core/juce_core.h>

namespace pedal
{

/**
    A USB MIDI device made with Linux's configfs gadget framework (needs root and a USB
    device controller, such as dummy_hcd's inside a test VM): one configuration with one
    MIDI function of one input and one output. While it is bound to the controller, the
    host side's USB audio class driver finds a MIDI device whose port is named after the
    product string ("<product> MIDI 1"), and the gadget side has a raw MIDI device and a
    sequencer port "f_midi" of its own. Unbinding is the cable pulled out, binding with
    another product string a device that came back under another name.

    Vendor 0x1209 and product 0x0001 are the open test pair: the gadget impersonates no
    real product.

    Not thread-safe: one owner calls it.
*/
class UsbGadget
{
public:
    struct Settings
    {
        /** Where configfs keeps the gadgets. */
        juce::File gadgetRoot{"/sys/kernel/config/usb_gadget"};

        /** Where the kernel lists the USB device controllers. */
        juce::File controllerList{"/sys/class/udc"};

        /** The gadget's folder name under gadgetRoot. */
        juce::String name{"verrano2-sim"};

        /** The controller to bind to; empty: the first one listed. */
        juce::String controller;
    };

    explicit UsbGadget (Settings settings);

    /** Unplugs and removes the gadget if it still exists. */
    ~UsbGadget();

    /** Makes the gadget (or takes over one of the same name left behind), unbinds it if it
        is bound, sets the product string and binds it to the controller. */
    juce::Result plugIn (const juce::String& product);

    /** Unbinds the gadget from its controller, if it is bound. */
    juce::Result unplug();

    /** Unplugs the gadget and removes its folders. */
    juce::Result remove();

    /** The product string last written. */
    juce::String getProduct() const;

private:
    juce::Result make();
    juce::Result pickController();
    juce::File gadget() const { return settings.gadgetRoot.getChildFile (settings.name); }
    bool isBound() const;

    const Settings settings;
    juce::String controller;

    JUCE_DECLARE_NON_COPYABLE (UsbGadget)
};

} // namespace pedal
