#pragma once

#include "controller/ControllerIF.h"
#include "message/Messages.h"

#include <vector>

namespace testing_support
{

/** A stand-in for any component: records every message delivered to it, keeping
    the objects alive so tests can check identity and payloads. */
class RecordingListener : public controller::ControllerIF
{
public:
    void processMessage (message::BaseMessage& m) override { received.emplace_back (&m); }
    int getExitCode() const override { return 0; }

    /** Codes of the messages delivered so far, in order. */
    std::vector<int> codes() const;

    /** The nth delivered message of the given class, or null. */
    template<typename MessageClass>
    const MessageClass* nth (size_t n = 0) const
    {
        for (auto& m : received)
            if (auto* typed = dynamic_cast<const MessageClass*> (m.get()))
                if (n-- == 0)
                    return typed;
        return nullptr;
    }

    /** How many delivered messages carry the given code. */
    size_t count (int code) const;

    std::vector<juce::ReferenceCountedObjectPtr<message::BaseMessage>> received;
};

} // namespace testing_support
