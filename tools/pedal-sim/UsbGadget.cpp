#include "tools/pedal-sim/UsbGadget.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace pedal
{

namespace
{

juce::Result failure (const juce::String& what, const juce::File& file)
{
    return juce::Result::fail (what + " " + file.getFullPathName() + ": " +
                               juce::String (std::strerror (errno)));
}

/** configfs and sysfs take an attribute in one write, as `echo value > file` does. */
juce::Result writeAttribute (const juce::File& file, const juce::String& value)
{
    const auto text = (value + "\n").toStdString();
    const int fd = ::open (file.getFullPathName().toRawUTF8(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return failure ("cannot open", file);

    const auto written = ::write (fd, text.data(), text.size());
    const int writeError = errno;
    ::close (fd);

    if (written != static_cast<ssize_t> (text.size()))
    {
        errno = written < 0 ? writeError : EIO;
        return failure ("cannot write \"" + value + "\" to", file);
    }
    return juce::Result::ok();
}

juce::Result makeFolder (const juce::File& folder)
{
    if (::mkdir (folder.getFullPathName().toRawUTF8(), 0755) != 0 && errno != EEXIST)
        return failure ("cannot make", folder);
    return juce::Result::ok();
}

/** Removes what configfs made on mkdir too; a folder already gone is fine. */
juce::Result removeFolder (const juce::File& folder)
{
    if (::rmdir (folder.getFullPathName().toRawUTF8()) != 0 && errno != ENOENT)
        return failure ("cannot remove", folder);
    return juce::Result::ok();
}

using Step = std::function<juce::Result()>;

/** Runs the steps in order, up to the first that fails. */
juce::Result inOrder (std::initializer_list<Step> steps)
{
    for (const auto& step : steps)
        if (auto result = step(); result.failed())
            return result;
    return juce::Result::ok();
}

} // namespace

//==============================================================================
UsbGadget::UsbGadget (Settings newSettings)
    : settings (std::move (newSettings))
{
}

UsbGadget::~UsbGadget()
{
    if (gadget().isDirectory())
        remove();
}

juce::String UsbGadget::getProduct() const
{
    return gadget().getChildFile ("strings/0x409/product").loadFileAsString().trimEnd();
}

bool UsbGadget::isBound() const
{
    return gadget().getChildFile ("UDC").loadFileAsString().trim().isNotEmpty();
}

juce::Result UsbGadget::pickController()
{
    controller = settings.controller;
    if (controller.isNotEmpty())
        return juce::Result::ok();

    juce::StringArray names;
    for (const auto& entry : juce::RangedDirectoryIterator (settings.controllerList, false, "*",
                                                            juce::File::findFilesAndDirectories))
        names.add (entry.getFile().getFileName());
    names.sort (false);

    if (names.isEmpty())
        return juce::Result::fail ("no USB device controller in " +
                                   settings.controllerList.getFullPathName() + " (is dummy_hcd loaded?)");
    controller = names[0];
    return juce::Result::ok();
}

juce::Result UsbGadget::make()
{
    if (!settings.gadgetRoot.isDirectory())
        return juce::Result::fail ("no USB gadget support: " + settings.gadgetRoot.getFullPathName() +
                                   " is missing (configfs and libcomposite, and root, are needed)");

    const auto root = gadget();
    const auto function = root.getChildFile ("functions/midi.usb0");
    const auto config = root.getChildFile ("configs/c.1");

    // mkdir on configfs makes a folder full of attributes; each step tolerates a leftover
    // of an earlier run that was killed before it could clean up.
    const auto attribute = [] (juce::File file, juce::String value) -> Step
    { return [file, value] { return writeAttribute (file, value); }; };
    const auto folder = [] (juce::File file) -> Step { return [file] { return makeFolder (file); }; };

    auto result = inOrder ({folder (root), attribute (root.getChildFile ("idVendor"), "0x1209"),
                            attribute (root.getChildFile ("idProduct"), "0x0001"),
                            attribute (root.getChildFile ("bcdUSB"), "0x0200"),
                            folder (root.getChildFile ("strings/0x409")),
                            attribute (root.getChildFile ("strings/0x409/manufacturer"), "pedal-sim"),
                            folder (config), folder (function)});

    // The function's jacks can be set only while no configuration links it.
    const auto link = config.getChildFile ("midi.usb0");
    if (result.failed() || link.isSymbolicLink())
        return result;

    return inOrder (
        {attribute (function.getChildFile ("in_ports"), "1"),
         attribute (function.getChildFile ("out_ports"), "1"),
         [function, link]
         {
             if (::symlink (function.getFullPathName().toRawUTF8(), link.getFullPathName().toRawUTF8()) != 0)
                 return failure ("cannot link", link);
             return juce::Result::ok();
         }});
}

juce::Result UsbGadget::plugIn (const juce::String& product)
{
    const auto productFile = gadget().getChildFile ("strings/0x409/product");
    const auto udc = gadget().getChildFile ("UDC");

    // The product string is set while the gadget is unbound, as a device is named before
    // it shows itself to a host.
    return inOrder ({[this] { return make(); }, [this] { return unplug(); },
                     [this] { return pickController(); },
                     [productFile, product] { return writeAttribute (productFile, product); },
                     [this, udc] { return writeAttribute (udc, controller); }});
}

juce::Result UsbGadget::unplug()
{
    // Writing an empty name to an unbound gadget fails, so ask first.
    if (!gadget().isDirectory() || !isBound())
        return juce::Result::ok();
    return writeAttribute (gadget().getChildFile ("UDC"), {});
}

juce::Result UsbGadget::remove()
{
    if (auto result = unplug(); result.failed())
        return result;

    const auto root = gadget();
    const auto link = root.getChildFile ("configs/c.1/midi.usb0");
    if (::unlink (link.getFullPathName().toRawUTF8()) != 0 && errno != ENOENT)
        return failure ("cannot remove", link);

    // configfs removes a folder's attributes with it, but not its folders: innermost first.
    for (auto folder : {"configs/c.1", "functions/midi.usb0", "strings/0x409"})
        if (auto result = removeFolder (root.getChildFile (folder)); result.failed())
            return result;

    return removeFolder (root);
}

} // namespace pedal
