#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <mutex>
#include <optional>

namespace bench
{

/**
    When the updater's transport did what on the wire during one update: the first
    firmware package, the searches and device probes after it (the reconnection), and
    the pedal's revision reply. Filled by TimedPorts from the downloader's thread and
    the pedal's thread; read by the benchmark afterwards.
*/
class WireLog
{
public:
    struct Summary
    {
        std::optional<double> firstPackageMs;  ///< the begin-update package left the transport
        double cpuMsAtFirstPackage = 0.0;      ///< the process's CPU time at that moment
        std::optional<double> endMarkerMs;     ///< the end-of-image package left the transport
        std::optional<double> revisionReplyMs; ///< the pedal's revision reply reached the transport
        int blocksSent = 0;
        int searchesAfterFirstPackage = 0; ///< port list reads, one per search for the pedal
        int probesAfterFirstPackage = 0;   ///< device probes sent, one per candidate pair tried
    };

    /** A message the transport sent to the pedal. */
    void noteSent (const juce::MidiMessage& message);

    /** A message that reached the transport's input callback. */
    void noteReceived (const juce::MidiMessage& message);

    /** The transport read the list of input ports: a search for the pedal began. */
    void noteSearch();

    Summary getSummary() const;

private:
    mutable std::mutex lock;
    Summary summary;
};

} // namespace bench
