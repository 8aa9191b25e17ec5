// A listening tap on the updater's outgoing MIDI, for the ALSA VM scenarios.
//
// JUCE opens every port of the updater without the subscription capabilities, so no
// other sequencer client may subscribe to the updater's output port: `aseqdump -p`
// and `aconnect` on it fail with "Operation not permitted". Loaded with LD_PRELOAD
// into the updater, this library wraps snd_seq_create_simple_port(): when the port
// just made can send (an output port), the updater's own client subscribes the
// sequencer address in SEQUENCER_TAP (client:port, e.g. an aseqdump) to it, before
// JUCE connects the port to the device it opens. Every event the updater then sends
// on that port reaches the device and the recorder alike, from the first byte on.
// Nothing else about the updater changes.

#include <alsa/asoundlib.h>

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>

namespace
{
using CreateSimplePort = int (*) (snd_seq_t*, const char*, unsigned int, unsigned int);

CreateSimplePort findNextCreateSimplePort()
{
    void* const symbol = dlsym (RTLD_NEXT, "snd_seq_create_simple_port");

    // A function pointer taken from dlsym()'s object pointer, without the cast that
    // ISO C++ leaves to the implementation.
    CreateSimplePort next = nullptr;
    static_assert (sizeof (next) == sizeof (symbol), "function and object pointers differ in size");
    std::memcpy (&next, &symbol, sizeof (next));
    return next;
}
} // namespace

extern "C" int snd_seq_create_simple_port (snd_seq_t* seq, const char* name, unsigned int caps,
                                           unsigned int type)
{
    static const CreateSimplePort next = findNextCreateSimplePort();

    if (next == nullptr)
        return -ENOSYS;

    const int port = next (seq, name, caps, type);
    const char* const tap = std::getenv ("SEQUENCER_TAP");

    if (port < 0 || tap == nullptr || (caps & SND_SEQ_PORT_CAP_READ) == 0)
        return port;

    snd_seq_addr_t recorder;

    // A tap that cannot be reached leaves the port as it is: the scenario's check then
    // finds the recording short, which says more than a failing updater would.
    if (snd_seq_parse_address (seq, &recorder, tap) == 0)
        snd_seq_connect_to (seq, port, recorder.client, recorder.port);

    return port;
}
