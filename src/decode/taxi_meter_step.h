#pragma once

struct GnssReceiverState;

// The fare meter that rides on the NMEA decoder; the decoder steps it after every
// sentence that left a position in its state.
class ITaxiMeterStep {
public:
    virtual ~ITaxiMeterStep() = default;
    virtual void Step(const GnssReceiverState& state) = 0;
    // Forget the two position samples the meter measures distance between.
    virtual void ResetSamples() = 0;
};
