#include "view/WindowIcon.h"

#include "UpdaterIconData.h"

namespace view
{

namespace
{
// Large enough for a dock on a high-density screen; the desktop scales it down.
constexpr int iconSize = 128;
} // namespace

WindowIcon::WindowIcon (juce::Component& windowToMark)
    : window (windowToMark)
    , image (render (iconSize))
{
    window.addComponentListener (this);
    applyToPeer();
}

WindowIcon::~WindowIcon()
{
    window.removeComponentListener (this);
}

juce::Image WindowIcon::render (int size)
{
    juce::Image result (juce::Image::ARGB, size, size, true);

    if (auto drawable = juce::Drawable::createFromImageData (
            icon_data::firmwareupdater_svg, static_cast<size_t> (icon_data::firmwareupdater_svgSize)))
    {
        juce::Graphics g (result);
        drawable->drawWithin (g, result.getBounds().toFloat(), juce::RectanglePlacement::centred, 1.0f);
    }

    return result;
}

void WindowIcon::componentParentHierarchyChanged (juce::Component&)
{
    applyToPeer();
}

void WindowIcon::applyToPeer()
{
    if (auto* peer = window.getPeer())
        peer->setIcon (image);
}

} // namespace view
