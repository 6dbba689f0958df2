#pragma once

#include "model/photo_parameter.hpp"

#include <string>
#include <string_view>

// What the browsing screen's numeric fields make of the typed text. Nothing here fails: text that
// cannot be used gives the caller's fallback (normally the value in force), so a wrong entry leaves
// the value as it was. The texts the panel itself shows ("+0.35 EV", "±0") are read back as typed.
namespace sorvin::AdjustmentInput {

// "+2.5" for positive angles, "0.0", "-3.0" otherwise.
std::string rotationText(double degrees);
// An angle on the half-degree grid within -180 ... 179.5.
double rotation(std::string_view text, double fallback);
// An optionally signed whole number clamped into lower ... upper; the fallback comes back as given.
int integer(std::string_view text, int fallback, int lower, int upper);
// The stored exposure (0.05 EV a step) of a text in EV, within -100 ... 100.
int brightness(std::string_view text, int fallback);
// The stored value of any parameter from the text it is shown with.
int parameter(std::string_view text, PhotoParameter parameter, int fallback);

} // namespace sorvin::AdjustmentInput
