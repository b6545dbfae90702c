// The whole public interface of the Cordavex library in one include: the
// recognition engine's entry, the result record, symbology and content codes,
// classification of QR bytes and the QR encoder.
//
// Link with cordavex::core (CMake) or `pkg-config --libs cordavex`.
#pragma once

#include "cordavex/content.h"
#include "cordavex/qr_code.h"
#include "cordavex/qr_encoder.h"
#include "cordavex/recognizer.h"
#include "cordavex/scan_result.h"
#include "cordavex/symbology.h"
#include "cordavex/version.h"
