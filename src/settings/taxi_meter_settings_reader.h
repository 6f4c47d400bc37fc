#pragma once

#include "decode/taxi_meter.h"

class CSettingsStore;

// The taxi meter's settings as the NMEA page stores them.
TaxiMeterSettings LoadTaxiMeterSettings(const CSettingsStore& store);
