// The channels the operator selected most recently (ClickPorts) and the rule
// that turns them into a programme combination (CombineRecent).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavrin {

class TClickHistory {
public:
    // nChannels entries, all empty (0).
    explicit TClickHistory(int nChannels = 0)
        : ClickPorts(std::size_t(nChannels > 0 ? nChannels : 0)) {}

    void Clear();
    // Puts c first, the others one place back (the last drops out). Ignored
    // for c < 1 and for the channel that is already first.
    void PushClickedChannel(int32_t c);
    const std::vector<int32_t>& Ports() const { return ClickPorts; }
    // For tests and restoring: the entries as given (missing ones empty).
    void Assign(const std::vector<int32_t>& ports);

    // The programme list for "combine n recent channels": up to n distinct
    // channels from the most recent on, stopping at an empty entry, with the
    // most recent last. With swap, when exactly two were collected and the
    // programme shows exactly those two in that order, they are swapped.
    std::vector<int32_t> CombineRecent(int n, bool swap,
                                       const std::vector<int32_t>& currentProgramme) const;

private:
    std::vector<int32_t> ClickPorts;
};

} // namespace tavrin
